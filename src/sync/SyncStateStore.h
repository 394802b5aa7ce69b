// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/SqliteDatabase.h"
#include "sync/SyncRecord.h"

#include <QHash>
#include <QList>
#include <QString>

#include <optional>

// What this computer knows about one mirrored record: the local row it belongs to, the
// record as held here (values and their write times), and what the remote copy held the
// last time both sides agreed.
struct SyncStateEntry
{
    QString recordName;
    // The local row; none once the note is deleted here (the record is then a tombstone).
    std::optional<qint64> pk;
    // The row's `rowVersion` when `record` was last taken from it or written to it.
    qint64 observedRowVersion = 0;
    SyncRecord record;
    // The remote file's tag and content when they last matched what is known here; empty
    // when the remote copy is unknown (never written, or gone).
    QString remoteTag;
    QByteArray remoteHash;
    // The body both sides last held; empty when they never agreed.
    QByteArray agreedBodyHash;
    // An import in flight: the record about to be written to row `pendingPk`. Survives a
    // crash between the store's save and this table's update, so the next run can tell
    // an imported value from a local edit.
    std::optional<SyncRecord> pending;
    std::optional<qint64> pendingPk;
};

// The mirroring's own tables in the store file (created when missing): `syncState`, one
// row per record, and `syncMeta` for the pairing with the target. Opened on its own
// connection by the thread that mirrors.
class SyncStateStore
{
public:
    Expected<void, StoreError> open(const QString &databaseUri);
    bool isOpen() const { return m_database.isOpen(); }

    Expected<QHash<QString, SyncStateEntry>, StoreError> load();
    // The content hash of the record named `recordName` as the last `load` read it, worked
    // out once per stored text; empty when that load had no such record.
    QByteArray loadedContentHash(const QString &recordName) const;
    // Writes the entries in one transaction.
    Expected<void, StoreError> save(const QList<SyncStateEntry> &entries);
    // At least one local note has been mirrored to the current target.
    bool holdsMirroredNotes();
    // The local notes whose record the target is known to hold.
    int mirroredNoteCount();
    // Forgets everything known about the remote copy (a new target or a remote copy
    // made anew), keeping the local records, so that everything is merged and sent again.
    Expected<void, StoreError> forgetRemote();

    // Drops the entries named, mirrored or not.
    void remove(const QStringList &recordNames);
    // Drops the entries named that belong to no local row.
    void removeDetached(const QStringList &recordNames);

    // A note row of the store as a record, with the row's `rowVersion`.
    struct NoteRow
    {
        SyncRecord record;
        qint64 rowVersion = 0;
    };
    std::optional<NoteRow> readNote(const QString &recordName, qint64 pk);
    // Every note row's key and `rowVersion`.
    struct NoteVersion
    {
        qint64 pk = 0;
        qint64 rowVersion = 0;
    };
    Expected<QList<NoteVersion>, StoreError> noteVersions();

    QString meta(const QString &key);
    Expected<void, StoreError> setMeta(const QString &key, const QString &value);

private:
    Expected<void, StoreError> writeEntries(const QList<SyncStateEntry> &entries);
    void removeWhere(const QString &condition, const QStringList &recordNames);

    SqliteDatabase m_database;
    // The records of the last load with the text they were read from: a pass reads the
    // whole table several times, and most records have not changed since the pass before.
    struct Parsed
    {
        QString text;
        SyncRecord record;
        mutable std::optional<QByteArray> contentHash;
    };
    QHash<QString, Parsed> m_parsed;
};
