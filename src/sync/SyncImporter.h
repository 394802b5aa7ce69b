// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "sync/SyncPass.h"

#include <QHash>
#include <QList>

#include <memory>

class ModelContainer;
class ModelContext;
class Note;

// The import step of a pass: lists the target's records, reads those whose tag changed,
// merges each with what this computer holds and writes the result into the store
// through a context of its own, keeping the sync state in step (an import in flight is
// written down first, so that a crash between the two saves can be settled later).
class SyncImporter
{
public:
    SyncImporter(SyncPassEnvironment environment, ModelContainer *container);
    ~SyncImporter();

    SyncResult<void> run();
    // Records of the target this pass could not take in (damaged, of a newer format, or
    // not the note their file name says), by name, with the reason. They are neither
    // imported nor written over: the status must say so instead of "Al día".
    const QHash<QString, SyncError> &refused() const { return m_refused; }
    // A local save came between this computer's reading of a row and the import's
    // writing of it: the import left that row alone, and another pass must follow.
    bool metALocalEdit() const { return m_metALocalEdit; }
    // The listing of the target's notes this pass read, as `digestOf` gives it.
    const QByteArray &listingDigest() const { return m_listingDigest; }
    // A digest of every entry's name and tag, whatever their order.
    static QByteArray digestOf(const QList<SyncRemoteEntry> &entries);

private:
    struct Plan
    {
        QString name;
        SyncRecord merged;
        std::optional<SyncRecord> losingBody;
        std::optional<qint64> pk;
        SyncRecord previous;
        QString remoteTag;
        QByteArray remoteHash;
        QByteArray agreedBodyHash;
    };
    struct Applied
    {
        Plan plan;
        Note *note = nullptr;
        bool isCopy = false;
    };
    enum class Action
    {
        none,
        insert,
        update,
        remove
    };

    SyncResult<QHash<QString, QString>> listRemote();
    SyncResult<void> plan(const QHash<QString, QString> &remoteTags);
    void planSyncthingCopies();
    void removeSurfacedCopies();
    std::optional<Plan> planOne(const QString &name, const SyncRemoteFile &file,
                                const SyncRecord &remote);
    SyncResult<void> apply();
    SyncResult<void> applyToStore(ModelContext &context, QHash<qint64, Note *> &notes);
    void applyConflictCopy(ModelContext &context, const SyncRecord &losingBody);
    void undoIntents();
    bool changedSinceScan(const Plan &plan, const ModelContext &context, const Note *note) const;
    SyncStateEntry settled(const Plan &plan) const;
    // Fails with the reason the remote file cannot be taken as the record `name`.
    static SyncResult<void> checkRecord(const QString &name, const QByteArray &data,
                                        const Expected<SyncRecord, QString> &remote);
    static Action actionOf(const Plan &plan);

    SyncPassEnvironment m_env;
    ModelContainer *m_container;
    QHash<QString, SyncStateEntry> m_states;
    QList<Plan> m_plans;
    QList<Applied> m_applied;
    QList<SyncStateEntry> m_intents;
    QList<SyncStateEntry> m_quiet;
    QHash<QString, SyncError> m_refused;
    bool m_metALocalEdit = false;
    QByteArray m_listingDigest;
    // Syncthing's copies of records it found changed on two computers at once, file name
    // → record name; and those whose text this pass turns into conflict copies here.
    QHash<QString, QString> m_syncthingCopies;
    QList<SyncRecord> m_surfacedBodies;
    QStringList m_surfacedFiles;
};
