// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/StoreSchema.h"

#include <QStringList>

namespace StoreSchema {

QString column(Note::Field field)
{
    return Note::fieldName(field);
}

QString selectColumns()
{
    QStringList columns{QStringLiteral("pk")};
    for (int i = 0; i < Note::fieldCount; ++i)
        columns << column(Note::Field(i));
    columns << QStringLiteral("rowVersion");
    return columns.join(QStringLiteral(", "));
}

QString searchColumn(Note::Field field)
{
    if (field == Note::Field::title)
        return QStringLiteral("searchTitle");
    if (field == Note::Field::plainText)
        return QStringLiteral("searchBody");
    return {};
}

QString createStatements()
{
    return QStringLiteral(
        "CREATE TABLE IF NOT EXISTS metadata (key TEXT PRIMARY KEY, value TEXT NOT NULL);"
        "CREATE TABLE IF NOT EXISTS Note ("
        " pk INTEGER PRIMARY KEY,"
        " id TEXT NOT NULL,"
        " title TEXT NOT NULL DEFAULT '',"
        " richText BLOB NOT NULL DEFAULT x'',"
        " plainText TEXT NOT NULL DEFAULT '',"
        " colorToken TEXT NOT NULL DEFAULT 'citrus',"
        " edgeToken TEXT NOT NULL DEFAULT 'right',"
        " sortIndex REAL NOT NULL DEFAULT 0,"
        " createdAt INTEGER NOT NULL,"
        " updatedAt INTEGER NOT NULL,"
        " isArchived INTEGER NOT NULL DEFAULT 0,"
        " deletedAt INTEGER,"
        " isFloating INTEGER NOT NULL DEFAULT 0,"
        " completedAt INTEGER,"
        " searchTitle TEXT NOT NULL DEFAULT '',"
        " searchBody TEXT NOT NULL DEFAULT '',"
        " rowVersion INTEGER NOT NULL DEFAULT 0);"
        "CREATE INDEX IF NOT EXISTS Note_rail ON Note (edgeToken, sortIndex);"
        "CREATE INDEX IF NOT EXISTS Note_updatedAt ON Note (updatedAt);"
        "CREATE INDEX IF NOT EXISTS Note_id ON Note (id);");
}

QVariant toStorage(Note::Field field, const QVariant &value)
{
    switch (field) {
    case Note::Field::id:
        return value.toUuid().toString(QUuid::WithoutBraces).toUpper();
    case Note::Field::createdAt:
    case Note::Field::updatedAt:
    case Note::Field::deletedAt:
    case Note::Field::completedAt:
        if (value.isNull() || !value.toDateTime().isValid())
            return QVariant(QMetaType::fromType<qint64>());
        return QVariant::fromValue<qint64>(value.toDateTime().toMSecsSinceEpoch());
    case Note::Field::isArchived:
    case Note::Field::isFloating:
        return QVariant::fromValue<qint64>(value.toBool() ? 1 : 0);
    case Note::Field::sortIndex:
        return value.toDouble();
    case Note::Field::richText:
        return value.toByteArray();
    default:
        return value.toString();
    }
}

int compareVersions(const QString &a, const QString &b)
{
    const QStringList left = a.split(u'.');
    const QStringList right = b.split(u'.');
    for (qsizetype i = 0; i < qMax(left.size(), right.size()); ++i) {
        const int x = i < left.size() ? left[i].toInt() : 0;
        const int y = i < right.size() ? right[i].toInt() : 0;
        if (x != y)
            return x < y ? -1 : 1;
    }
    return 0;
}

} // namespace StoreSchema
