// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/Note.h"

#include <QString>

// How `Note` records are laid out in the SQLite file.
namespace StoreSchema {

// The 13 stored columns in schema order, then two search columns kept by the store.
inline constexpr const char *noteTable = "Note";
QString column(Note::Field field);
// "pk, id, title, …, completedAt, rowVersion" for SELECT. Every write gives a row a new
// random `rowVersion`, so a context can tell an unchanged row without decoding it.
QString selectColumns();
QString createStatements();
// Folded copies of title and plain text, for accent-insensitive search.
QString searchColumn(Note::Field field);

// A field value as stored (dates as milliseconds, the id as an uppercase string).
QVariant toStorage(Note::Field field, const QVariant &value);

// Compares two versions "a.b.c"; negative, zero or positive.
int compareVersions(const QString &a, const QString &b);

} // namespace StoreSchema
