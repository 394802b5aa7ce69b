// SPDX-License-Identifier: GPL-3.0-or-later
#include "sync/SyncLocalScan.h"

namespace {

bool fieldFollowsUpdatedAt(Note::Field field)
{
    return field == Note::Field::title || field == Note::Field::richText ||
           field == Note::Field::plainText || field == Note::Field::colorToken ||
           field == Note::Field::edgeToken || field == Note::Field::updatedAt;
}

qint64 dateValue(const SyncRecord &record, Note::Field field)
{
    const QJsonValue value = record.value(field);
    return value.isDouble() ? qint64(value.toDouble()) : 0;
}

// The time a field of a row seen for the first time was written, from the note's own
// dates: a note restored from an old copy must not look newer than the mirrored one.
qint64 firstSeenTime(const SyncRecord &record, Note::Field field, qint64 now)
{
    qint64 time = dateValue(record, Note::Field::updatedAt);
    if (field == Note::Field::id || field == Note::Field::createdAt)
        time = dateValue(record, Note::Field::createdAt);
    else if (field == Note::Field::deletedAt || field == Note::Field::completedAt)
        time = qMax(time, dateValue(record, field));
    return qBound<qint64>(1, time, now);
}

// The time of a field that changed here since it was last seen: the note's own date
// when it tells the moment of the change, otherwise now.
qint64 changeTime(const SyncRecord &current, Note::Field field, qint64 previousTime, qint64 now)
{
    qint64 candidate = now;
    if (fieldFollowsUpdatedAt(field))
        candidate = dateValue(current, Note::Field::updatedAt);
    else if (field == Note::Field::deletedAt || field == Note::Field::completedAt)
        candidate = dateValue(current, field);
    if (candidate <= previousTime || candidate > now)
        candidate = now;
    return qMax(candidate, previousTime + 1);
}

} // namespace

SyncLocalScan::SyncLocalScan(SyncPassEnvironment environment) : m_env(std::move(environment)) {}

SyncResult<void> SyncLocalScan::run()
{
    auto loaded = m_env.state.load();
    if (!loaded)
        return Unexpected(SyncPassErrors::database(loaded.error()));
    m_states = std::move(loaded).value();
    m_time = m_env.now();

    settleInterruptedImports();
    for (auto it = m_states.cbegin(); it != m_states.cend(); ++it) {
        if (it->pk)
            m_byPk.insert(*it->pk, it.key());
    }

    const auto rows = m_env.state.noteVersions();
    if (!rows)
        return Unexpected(SyncPassErrors::database(rows.error()));
    QSet<qint64> present;
    for (const SyncStateStore::NoteVersion &row : *rows) {
        present.insert(row.pk);
        const QString known = m_byPk.value(row.pk);
        if (known.isEmpty())
            observeNewRow(row.pk);
        else if (m_states[known].observedRowVersion != row.rowVersion)
            observeKnownRow(known, row.pk);
    }
    markDeletedRows(present);

    return m_env.state.save(m_changed).transform_error(SyncPassErrors::database);
}

// An import cut short by a crash: keep what reached the store, forget the rest.
void SyncLocalScan::settleInterruptedImports()
{
    QStringList dropped;
    for (auto it = m_states.begin(); it != m_states.end();) {
        SyncStateEntry &entry = it.value();
        if (!entry.pending) {
            ++it;
            continue;
        }
        const SyncRecord pending = *entry.pending;
        bool applied = false;
        qint64 version = 0;
        if (pending.isDeleted) {
            applied = !entry.pk || !m_env.state.readNote(entry.recordName, *entry.pk);
        } else if (entry.pendingPk) {
            if (const auto row = m_env.state.readNote(entry.recordName, *entry.pendingPk)) {
                applied = row->record.sameValues(pending);
                version = row->rowVersion;
            }
        }
        if (!applied && !entry.pk) {
            dropped << entry.recordName;
            it = m_states.erase(it);
            continue;
        }
        if (applied) {
            entry.record = pending;
            entry.pk = pending.isDeleted ? std::nullopt : entry.pendingPk;
            entry.observedRowVersion = version;
        } else {
            entry.remoteTag.clear();
            entry.remoteHash.clear();
        }
        entry.pending.reset();
        entry.pendingPk.reset();
        markChanged(entry);
        ++it;
    }
    m_env.state.remove(dropped);
}

void SyncLocalScan::observeKnownRow(const QString &recordName, qint64 pk)
{
    SyncStateEntry &entry = m_states[recordName];
    auto row = m_env.state.readNote(recordName, pk);
    if (!row)
        return;
    SyncRecord current = row->record;
    for (int i = 0; i < Note::fieldCount; ++i) {
        const auto field = Note::Field(i);
        if (!entry.record.isDeleted && entry.record.value(field) == current.value(field))
            current.modifiedAt[size_t(i)] = entry.record.time(field);
        else
            current.modifiedAt[size_t(i)] = changeTime(
                current, field, entry.record.isDeleted ? 0 : entry.record.time(field), m_time);
    }
    entry.record = current;
    entry.observedRowVersion = row->rowVersion;
    markChanged(entry);
}

void SyncLocalScan::observeNewRow(qint64 pk)
{
    auto row = m_env.state.readNote(QString(), pk);
    if (!row)
        return;
    SyncRecord current = row->record;
    const QUuid id = current.noteId();
    const QString name = SyncRecord::nameFor(id.isNull() ? QUuid::createUuid() : id);
    // A second row with an id another row already mirrors is a repeat: sending it too
    // would carry the repeat to every computer, where no sync reset could undo it. It
    // stays on this computer, where the settings window reports it and offers the
    // reset, which keeps it in the dated backup.
    if (m_states.contains(name) && m_states[name].pk)
        return;
    SyncStateEntry entry = m_states.value(name);
    const bool wasDeleted = m_states.contains(name) && entry.record.isDeleted;
    entry.recordName = name;
    current.recordName = name;
    for (int i = 0; i < Note::fieldCount; ++i) {
        // A note that comes back after its deletion is this computer's latest word.
        current.modifiedAt[size_t(i)] = wasDeleted ? qMax(m_time, entry.record.deletedAtMs + 1)
                                                   : firstSeenTime(current, Note::Field(i), m_time);
    }
    entry.record = current;
    entry.pk = pk;
    entry.observedRowVersion = row->rowVersion;
    m_states[name] = entry;
    m_byPk.insert(pk, name);
    markChanged(entry);
}

void SyncLocalScan::markDeletedRows(const QSet<qint64> &present)
{
    for (auto it = m_states.begin(); it != m_states.end(); ++it) {
        SyncStateEntry &entry = it.value();
        if (!entry.pk || present.contains(*entry.pk))
            continue;
        entry.record = SyncRecord::tombstone(entry.recordName, m_time);
        entry.pk.reset();
        entry.observedRowVersion = 0;
        markChanged(entry);
    }
}

void SyncLocalScan::markChanged(const SyncStateEntry &entry)
{
    const auto found = m_changedIndex.constFind(entry.recordName);
    if (found != m_changedIndex.cend()) {
        m_changed[*found] = entry;
    } else {
        m_changedIndex.insert(entry.recordName, m_changed.size());
        m_changed << entry;
    }
}
