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

    std::optional<SyncError> run();

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
    std::optional<SyncError> plan(const QHash<QString, QString> &remoteTags);
    std::optional<Plan> planOne(const QString &name, const SyncRemoteFile &file,
                                const SyncRecord &remote);
    std::optional<SyncError> apply();
    std::optional<SyncError> applyToStore(ModelContext &context, QHash<qint64, Note *> &notes);
    void applyConflictCopy(ModelContext &context, const SyncRecord &losingBody);
    void undoIntents();
    SyncStateEntry settled(const Plan &plan) const;
    static Action actionOf(const Plan &plan);

    SyncPassEnvironment m_env;
    ModelContainer *m_container;
    QHash<QString, SyncStateEntry> m_states;
    QList<Plan> m_plans;
    QList<Applied> m_applied;
    QList<SyncStateEntry> m_intents;
    QList<SyncStateEntry> m_quiet;
};
