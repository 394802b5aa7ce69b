// SPDX-License-Identifier: GPL-3.0-or-later
#include "sync/SyncRecord.h"

#include "model/SqliteDatabase.h"
#include "model/StoreSchema.h"

#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>

namespace {

bool isDate(Note::Field field)
{
    return field == Note::Field::createdAt || field == Note::Field::updatedAt ||
           field == Note::Field::deletedAt || field == Note::Field::completedAt;
}

bool isOptionalDate(Note::Field field)
{
    return field == Note::Field::deletedAt || field == Note::Field::completedAt;
}

// The default of every field, for values a record lacks or holds in the wrong type.
QJsonValue defaultValue(Note::Field field)
{
    switch (field) {
    case Note::Field::colorToken:
        return QStringLiteral("citrus");
    case Note::Field::edgeToken:
        return QStringLiteral("right");
    case Note::Field::sortIndex:
        return 0.0;
    case Note::Field::isArchived:
    case Note::Field::isFloating:
        return false;
    case Note::Field::deletedAt:
    case Note::Field::completedAt:
        return QJsonValue::Null;
    case Note::Field::createdAt:
    case Note::Field::updatedAt:
        return 0.0;
    default:
        return QString();
    }
}

// A value of the right JSON type for the field, or the default.
QJsonValue normalised(Note::Field field, const QJsonValue &value)
{
    switch (field) {
    case Note::Field::sortIndex:
        return value.isDouble() ? value : defaultValue(field);
    case Note::Field::isArchived:
    case Note::Field::isFloating:
        return value.isBool() ? value : defaultValue(field);
    default:
        break;
    }
    if (isDate(field)) {
        if (value.isDouble())
            return double(qint64(value.toDouble()));
        return isOptionalDate(field) ? QJsonValue(QJsonValue::Null) : defaultValue(field);
    }
    return value.isString() ? value : defaultValue(field);
}

QByteArray hashOf(const QByteArray &data)
{
    return QCryptographicHash::hash(data, QCryptographicHash::Sha256).toHex();
}

} // namespace

bool SyncRecord::isValidName(const QString &name)
{
    static const QRegularExpression pattern(QStringLiteral("^[A-Za-z0-9][A-Za-z0-9_-]{0,127}$"));
    return pattern.match(name).hasMatch();
}

QString SyncRecord::nameFor(const QUuid &id)
{
    return id.toString(QUuid::WithoutBraces).toUpper();
}

SyncRecord SyncRecord::tombstone(const QString &recordName, qint64 deletedAtMs)
{
    SyncRecord record;
    record.recordName = recordName;
    record.isDeleted = true;
    record.deletedAtMs = deletedAtMs;
    return record;
}

QJsonValue SyncRecord::jsonValue(Note::Field field, const QVariant &value)
{
    const QVariant stored = StoreSchema::toStorage(field, value);
    if (field == Note::Field::richText)
        return QString::fromLatin1(stored.toByteArray().toBase64());
    if (isDate(field))
        return stored.isNull() ? QJsonValue(QJsonValue::Null)
                               : QJsonValue(double(stored.toLongLong()));
    switch (field) {
    case Note::Field::sortIndex:
        return stored.toDouble();
    case Note::Field::isArchived:
    case Note::Field::isFloating:
        return stored.toLongLong() != 0;
    default:
        return stored.toString();
    }
}

QVariant SyncRecord::noteValue(Note::Field field, const QJsonValue &raw)
{
    const QJsonValue value = normalised(field, raw);
    if (field == Note::Field::id)
        return QUuid::fromString(value.toString());
    if (field == Note::Field::richText)
        return QByteArray::fromBase64(value.toString().toLatin1());
    if (isDate(field)) {
        if (value.isNull())
            return QVariant(QMetaType::fromType<QDateTime>());
        return QDateTime::fromMSecsSinceEpoch(qint64(value.toDouble()), Qt::UTC);
    }
    switch (field) {
    case Note::Field::sortIndex:
        return value.toDouble();
    case Note::Field::isArchived:
    case Note::Field::isFloating:
        return value.toBool();
    default:
        return value.toString();
    }
}

std::optional<Note::Field> SyncRecord::fieldNamed(const QString &name)
{
    for (int i = 0; i < Note::fieldCount; ++i) {
        if (Note::fieldName(Note::Field(i)) == name)
            return Note::Field(i);
    }
    return std::nullopt;
}

SyncRecord SyncRecord::fromRow(const QString &recordName, const SqliteStatement &row)
{
    // Columns: pk, the 13 fields in schema order, rowVersion.
    SyncRecord record;
    record.recordName = recordName;
    for (int i = 0; i < Note::fieldCount; ++i) {
        const auto field = Note::Field(i);
        const int column = i + 1;
        QJsonValue value;
        if (field == Note::Field::richText)
            value = QString::fromLatin1(row.blob(column).toBase64());
        else if (isDate(field))
            value = row.isNull(column) ? QJsonValue(QJsonValue::Null)
                                       : QJsonValue(double(row.int64(column)));
        else if (field == Note::Field::sortIndex)
            value = row.real(column);
        else if (field == Note::Field::isArchived || field == Note::Field::isFloating)
            value = row.int64(column) != 0;
        else
            value = row.text(column);
        record.values[size_t(i)] = value;
    }
    return record;
}

QJsonObject SyncRecord::toJson() const
{
    QJsonObject object;
    object.insert(QStringLiteral("format"), format);
    object.insert(QStringLiteral("recordName"), recordName);
    object.insert(QStringLiteral("deleted"), isDeleted);
    if (isDeleted) {
        object.insert(QStringLiteral("deletedAt"), double(deletedAtMs));
    } else {
        QJsonObject fields;
        for (int i = 0; i < Note::fieldCount; ++i) {
            QJsonObject entry;
            entry.insert(QStringLiteral("value"), values[size_t(i)]);
            entry.insert(QStringLiteral("modifiedAt"), double(modifiedAt[size_t(i)]));
            fields.insert(Note::fieldName(Note::Field(i)), entry);
        }
        object.insert(QStringLiteral("fields"), fields);
    }
    if (!deviceId.isEmpty()) {
        object.insert(QStringLiteral("device"), QJsonObject{{QStringLiteral("id"), deviceId},
                                                            {QStringLiteral("name"), deviceName}});
    }
    return object;
}

QByteArray SyncRecord::toFileData() const
{
    return QJsonDocument(toJson()).toJson(QJsonDocument::Indented);
}

Expected<SyncRecord, QString> SyncRecord::fromJson(const QByteArray &data)
{
    const auto fail = [](const QString &reason) { return Unexpected(reason); };
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(data, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return fail(QStringLiteral("no es JSON válido"));
    const QJsonObject object = document.object();
    const int version = object.value(QStringLiteral("format")).toInt(0);
    if (version < 1)
        return fail(QStringLiteral("no es un registro de Orlette"));
    if (version > format)
        return fail(QStringLiteral("lo escribió una versión más nueva (formato %1)").arg(version));
    SyncRecord record;
    record.recordName = object.value(QStringLiteral("recordName")).toString();
    if (!isValidName(record.recordName))
        return fail(QStringLiteral("nombre de registro no válido"));
    const QJsonObject device = object.value(QStringLiteral("device")).toObject();
    record.deviceId = device.value(QStringLiteral("id")).toString();
    record.deviceName = device.value(QStringLiteral("name")).toString();
    record.isDeleted = object.value(QStringLiteral("deleted")).toBool(false);
    if (record.isDeleted) {
        record.deletedAtMs = qint64(object.value(QStringLiteral("deletedAt")).toDouble(0));
        return record;
    }
    const QJsonObject fields = object.value(QStringLiteral("fields")).toObject();
    for (int i = 0; i < Note::fieldCount; ++i) {
        const auto field = Note::Field(i);
        const QJsonObject entry = fields.value(Note::fieldName(field)).toObject();
        record.values[size_t(i)] = normalised(field, entry.value(QStringLiteral("value")));
        record.modifiedAt[size_t(i)] =
            qint64(entry.value(QStringLiteral("modifiedAt")).toDouble(0));
    }
    const QUuid id = record.noteId();
    if (id.isNull())
        return fail(QStringLiteral("la nota no tiene identificador"));
    // The store keeps ids in one spelling; any other would read back as a change.
    record.values[size_t(Note::Field::id)] = nameFor(id);
    return record;
}

QByteArray SyncRecord::contentHash() const
{
    QJsonObject object = toJson();
    object.remove(QStringLiteral("device"));
    return hashOf(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

QByteArray SyncRecord::bodyHash() const
{
    if (isDeleted)
        return {};
    const QJsonArray body{value(Note::Field::richText), value(Note::Field::plainText)};
    return hashOf(QJsonDocument(body).toJson(QJsonDocument::Compact));
}

bool SyncRecord::sameValues(const SyncRecord &other) const
{
    if (isDeleted || other.isDeleted)
        return isDeleted == other.isDeleted;
    return values == other.values;
}

qint64 SyncRecord::latestModification() const
{
    if (isDeleted)
        return deletedAtMs;
    qint64 latest = 0;
    for (const qint64 time : modifiedAt)
        latest = qMax(latest, time);
    return latest;
}

void SyncRecord::applyTo(Note *note) const
{
    for (int i = 0; i < Note::fieldCount; ++i) {
        const auto field = Note::Field(i);
        note->setValue(field, noteValue(field, values[size_t(i)]));
    }
}

QUuid SyncRecord::noteId() const
{
    return QUuid::fromString(value(Note::Field::id).toString());
}
