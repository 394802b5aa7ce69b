// SPDX-License-Identifier: GPL-3.0-or-later
#include "sync/SyncStateStore.h"

#include "model/StoreSchema.h"

#include <QJsonDocument>

#include <tuple>

namespace {

QByteArray recordText(const SyncRecord &record)
{
    return QJsonDocument(record.toJson()).toJson(QJsonDocument::Compact);
}

} // namespace

Expected<void, StoreError> SyncStateStore::open(const QString &databaseUri)
{
    if (auto opened = m_database.open(databaseUri, SqliteDatabase::OpenMode::readWriteExisting);
        !opened)
        return opened;
    return m_database.exec(
        QStringLiteral("CREATE TABLE IF NOT EXISTS syncState ("
                       " recordName TEXT PRIMARY KEY,"
                       " pk INTEGER,"
                       " observedRowVersion INTEGER NOT NULL DEFAULT 0,"
                       " record TEXT NOT NULL,"
                       " remoteTag TEXT,"
                       " remoteHash TEXT,"
                       " agreedBodyHash TEXT,"
                       " pending TEXT,"
                       " pendingPk INTEGER);"
                       "CREATE UNIQUE INDEX IF NOT EXISTS syncState_pk ON syncState (pk)"
                       " WHERE pk IS NOT NULL;"
                       "CREATE TABLE IF NOT EXISTS syncMeta (key TEXT PRIMARY KEY,"
                       " value TEXT NOT NULL);"));
}

Expected<QHash<QString, SyncStateEntry>, StoreError> SyncStateStore::load()
{
    auto prepared = m_database.prepare(
        QStringLiteral("SELECT recordName, pk, observedRowVersion, record, remoteTag, remoteHash,"
                       " agreedBodyHash, pending, pendingPk FROM syncState"));
    if (!prepared)
        return Unexpected(prepared.error());
    const std::unique_ptr<SqliteStatement> statement = std::move(prepared).value();
    QHash<QString, SyncStateEntry> entries;
    QHash<QString, Parsed> parsed;
    parsed.reserve(m_parsed.size());
    while (statement->step()) {
        SyncStateEntry entry;
        entry.recordName = statement->text(0);
        if (!statement->isNull(1))
            entry.pk = statement->int64(1);
        entry.observedRowVersion = statement->int64(2);
        const QString text = statement->text(3);
        if (const auto known = m_parsed.constFind(entry.recordName);
            known != m_parsed.constEnd() && known->text == text) {
            parsed.insert(entry.recordName, *known);
        } else {
            auto record = SyncRecord::fromJson(text.toUtf8());
            // A record this table cannot read again is dropped; the row it belonged to is
            // then seen as new and merged by name.
            if (!record)
                continue;
            record->recordName = entry.recordName;
            parsed.insert(entry.recordName, Parsed{text, *record, std::nullopt});
        }
        entry.record = parsed.value(entry.recordName).record;
        entry.remoteTag = statement->text(4);
        entry.remoteHash = statement->text(5).toLatin1();
        entry.agreedBodyHash = statement->text(6).toLatin1();
        if (!statement->isNull(7)) {
            if (auto pending = SyncRecord::fromJson(statement->text(7).toUtf8()))
                entry.pending = std::move(pending).value();
            if (!statement->isNull(8))
                entry.pendingPk = statement->int64(8);
        }
        entries.insert(entry.recordName, entry);
    }
    if (statement->failed()) {
        m_parsed.clear();
        return Unexpected(
            m_database.lastError(QStringLiteral("No se pudo leer el estado de la sincronización")));
    }
    m_parsed = std::move(parsed);
    return entries;
}

QByteArray SyncStateStore::loadedContentHash(const QString &recordName) const
{
    const auto found = m_parsed.constFind(recordName);
    if (found == m_parsed.constEnd())
        return {};
    if (!found->contentHash)
        found->contentHash = found->record.contentHash();
    return *found->contentHash;
}

Expected<void, StoreError> SyncStateStore::save(const QList<SyncStateEntry> &entries)
{
    if (entries.isEmpty())
        return {};
    if (auto begun = m_database.exec(QStringLiteral("BEGIN IMMEDIATE")); !begun)
        return begun;
    Expected<void, StoreError> written = writeEntries(entries);
    if (written)
        written = m_database.exec(QStringLiteral("COMMIT"));
    if (!written)
        std::ignore = m_database.exec(QStringLiteral("ROLLBACK"));
    return written;
}

Expected<void, StoreError> SyncStateStore::writeEntries(const QList<SyncStateEntry> &entries)
{
    auto prepared = m_database.prepare(
        QStringLiteral("INSERT OR REPLACE INTO syncState (recordName, pk, observedRowVersion,"
                       " record, remoteTag, remoteHash, agreedBodyHash, pending, pendingPk)"
                       " VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    if (!prepared)
        return Unexpected(prepared.error());
    // A row handed from one record to another must leave its old entry first, or the
    // unique index refuses the write.
    auto preparedRelease = m_database.prepare(
        QStringLiteral("UPDATE syncState SET pk = NULL WHERE pk = ? AND recordName <> ?"));
    if (!preparedRelease)
        return Unexpected(preparedRelease.error());
    SqliteStatement *statement = prepared->get();
    SqliteStatement *release = preparedRelease->get();
    const auto failed = [this] {
        return Unexpected(m_database.lastError(
            QStringLiteral("No se pudo guardar el estado de la sincronización")));
    };
    for (const SyncStateEntry &entry : entries) {
        if (entry.pk) {
            release->reset();
            release->bindInt64(1, *entry.pk);
            release->bindText(2, entry.recordName);
            release->step();
            if (release->failed())
                return failed();
        }
        statement->reset();
        statement->bindText(1, entry.recordName);
        if (entry.pk)
            statement->bindInt64(2, *entry.pk);
        else
            statement->bindNull(2);
        statement->bindInt64(3, entry.observedRowVersion);
        statement->bindText(4, QString::fromUtf8(recordText(entry.record)));
        const auto bindOptionalText = [&](int index, const QString &text) {
            if (text.isEmpty())
                statement->bindNull(index);
            else
                statement->bindText(index, text);
        };
        bindOptionalText(5, entry.remoteTag);
        bindOptionalText(6, QString::fromLatin1(entry.remoteHash));
        bindOptionalText(7, QString::fromLatin1(entry.agreedBodyHash));
        if (entry.pending)
            statement->bindText(8, QString::fromUtf8(recordText(*entry.pending)));
        else
            statement->bindNull(8);
        if (entry.pending && entry.pendingPk)
            statement->bindInt64(9, *entry.pendingPk);
        else
            statement->bindNull(9);
        statement->step();
        if (statement->failed())
            return failed();
    }
    return {};
}

bool SyncStateStore::holdsMirroredNotes()
{
    return mirroredNoteCount() > 0;
}

int SyncStateStore::mirroredNoteCount()
{
    return int(m_database
                   .scalar(QStringLiteral("SELECT count(*) FROM syncState"
                                          " WHERE pk IS NOT NULL AND remoteTag IS NOT NULL"))
                   .value_or(QVariant())
                   .toLongLong());
}

Expected<void, StoreError> SyncStateStore::forgetRemote()
{
    return m_database.exec(QStringLiteral("UPDATE syncState SET remoteTag = NULL,"
                                          " remoteHash = NULL, agreedBodyHash = NULL"));
}

void SyncStateStore::remove(const QStringList &recordNames)
{
    removeWhere(QStringLiteral("recordName = ?"), recordNames);
}

void SyncStateStore::removeDetached(const QStringList &recordNames)
{
    removeWhere(QStringLiteral("recordName = ? AND pk IS NULL"), recordNames);
}

void SyncStateStore::removeWhere(const QString &condition, const QStringList &recordNames)
{
    if (recordNames.isEmpty())
        return;
    const auto prepared =
        m_database.prepare(QStringLiteral("DELETE FROM syncState WHERE ") + condition);
    if (!prepared)
        return;
    SqliteStatement *statement = prepared->get();
    for (const QString &name : recordNames) {
        statement->reset();
        statement->bindText(1, name);
        statement->step();
    }
}

std::optional<SyncStateStore::NoteRow> SyncStateStore::readNote(const QString &recordName,
                                                                qint64 pk)
{
    const auto prepared = m_database.prepare(
        QStringLiteral("SELECT %1 FROM Note WHERE pk = ?").arg(StoreSchema::selectColumns()));
    if (!prepared)
        return std::nullopt;
    SqliteStatement *statement = prepared->get();
    statement->bindInt64(1, pk);
    if (!statement->step())
        return std::nullopt;
    return NoteRow{SyncRecord::fromRow(recordName, *statement),
                   statement->int64(Note::fieldCount + 1)};
}

Expected<QList<SyncStateStore::NoteVersion>, StoreError> SyncStateStore::noteVersions()
{
    const auto prepared = m_database.prepare(QStringLiteral("SELECT pk, rowVersion FROM Note"));
    if (!prepared)
        return Unexpected(prepared.error());
    SqliteStatement *rows = prepared->get();
    QList<NoteVersion> versions;
    while (rows->step())
        versions.append({rows->int64(0), rows->int64(1)});
    if (rows->failed())
        return Unexpected(m_database.lastError());
    return versions;
}

QString SyncStateStore::meta(const QString &key)
{
    const auto prepared =
        m_database.prepare(QStringLiteral("SELECT value FROM syncMeta WHERE key = ?"));
    if (!prepared)
        return {};
    SqliteStatement *statement = prepared->get();
    statement->bindText(1, key);
    return statement->step() ? statement->text(0) : QString();
}

Expected<void, StoreError> SyncStateStore::setMeta(const QString &key, const QString &value)
{
    const auto prepared = m_database.prepare(
        QStringLiteral("INSERT OR REPLACE INTO syncMeta (key, value) VALUES (?, ?)"));
    if (!prepared)
        return Unexpected(prepared.error());
    SqliteStatement *statement = prepared->get();
    statement->bindText(1, key);
    statement->bindText(2, value);
    statement->step();
    if (statement->failed())
        return Unexpected(m_database.lastError(
            QStringLiteral("No se pudo guardar el estado de la sincronización")));
    return {};
}
