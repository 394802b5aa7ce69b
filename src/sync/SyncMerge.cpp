// SPDX-License-Identifier: GPL-3.0-or-later
#include "sync/SyncMerge.h"

#include "model/ConflictCopy.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace {

QByteArray ordering(const QJsonValue &value)
{
    return QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
}

} // namespace

bool SyncMerge::laterWins(const QJsonValue &a, qint64 timeA, const QJsonValue &b, qint64 timeB)
{
    // True when `b` should replace `a`. Equal times fall to the larger value, so both
    // computers pick the same one.
    if (timeA != timeB)
        return timeB > timeA;
    return ordering(b) > ordering(a);
}

SyncMerge::Result SyncMerge::merge(const SyncRecord &local, const SyncRecord &remote,
                                   const QByteArray &agreedBodyHash)
{
    Result result;
    if (local.isDeleted && remote.isDeleted) {
        result.merged =
            SyncRecord::tombstone(local.recordName, qMax(local.deletedAtMs, remote.deletedAtMs));
        return result;
    }
    if (local.isDeleted || remote.isDeleted) {
        const SyncRecord &dead = local.isDeleted ? local : remote;
        const SyncRecord &alive = local.isDeleted ? remote : local;
        // An edit made after the deletion brings the note back; anything older goes.
        result.merged = alive.latestModification() > dead.deletedAtMs ? alive : dead;
        result.merged.recordName = local.recordName;
        result.merged.deviceId.clear();
        result.merged.deviceName.clear();
        return result;
    }

    SyncRecord merged = local;
    merged.deviceId.clear();
    merged.deviceName.clear();
    for (int i = 0; i < Note::fieldCount; ++i) {
        const auto field = Note::Field(i);
        if (field == Note::Field::richText || field == Note::Field::plainText)
            continue;
        if (laterWins(local.value(field), local.time(field), remote.value(field),
                      remote.time(field)))
            merged.set(field, remote.value(field), remote.time(field));
    }

    const auto bodyTime = [](const SyncRecord &record) {
        return qMax(record.time(Note::Field::richText), record.time(Note::Field::plainText));
    };
    const auto body = [](const SyncRecord &record) {
        return QJsonValue(
            QJsonArray{record.value(Note::Field::richText), record.value(Note::Field::plainText)});
    };
    const bool remoteBodyWins =
        laterWins(body(local), bodyTime(local), body(remote), bodyTime(remote));
    if (remoteBodyWins) {
        for (const auto field : {Note::Field::richText, Note::Field::plainText})
            merged.set(field, remote.value(field), remote.time(field));
    }

    const QByteArray localBody = local.bodyHash();
    const QByteArray remoteBody = remote.bodyHash();
    if (localBody != remoteBody && localBody != agreedBodyHash && remoteBody != agreedBodyHash)
        result.losingBody = remoteBodyWins ? local : remote;
    result.merged = merged;
    return result;
}

QString SyncMerge::conflictTitle(const QString &displayTitle)
{
    return ConflictCopy::title(displayTitle);
}

SyncRecord SyncMerge::conflictCopy(const SyncRecord &loser, const QUuid &id, qint64 nowMs)
{
    Note shown;
    shown.setTitle(loser.value(Note::Field::title).toString());
    shown.setPlainText(loser.value(Note::Field::plainText).toString());

    SyncRecord copy;
    copy.recordName = SyncRecord::nameFor(id);
    copy.values = loser.values;
    copy.values[size_t(Note::Field::id)] = SyncRecord::nameFor(id);
    copy.values[size_t(Note::Field::title)] = conflictTitle(shown.displayTitle());
    copy.values[size_t(Note::Field::createdAt)] = double(nowMs);
    copy.values[size_t(Note::Field::updatedAt)] = double(nowMs);
    // Kept out of the way, in the archived section.
    copy.values[size_t(Note::Field::isArchived)] = true;
    copy.values[size_t(Note::Field::deletedAt)] = QJsonValue::Null;
    copy.values[size_t(Note::Field::completedAt)] = QJsonValue::Null;
    copy.values[size_t(Note::Field::isFloating)] = false;
    copy.modifiedAt.fill(nowMs);
    return copy;
}
