// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/Expected.h"
#include "model/Note.h"

#include <QByteArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>

#include <array>
#include <optional>

class SqliteStatement;

// One note as the mirroring carries it: the 13 stored fields in their JSON form, each
// with the time (ms since the epoch) it was last written, or a tombstone saying when the
// note was deleted for good. This is also the content of its remote file.
struct SyncRecord
{
    static constexpr int format = 1;

    QString recordName;
    bool isDeleted = false;
    // For a tombstone: when the note was deleted.
    qint64 deletedAtMs = 0;
    std::array<QJsonValue, Note::fieldCount> values;
    std::array<qint64, Note::fieldCount> modifiedAt{};
    // Who wrote the remote file; not part of the content.
    QString deviceId;
    QString deviceName;

    // Names that stay inside the remote folder and can't be taken for another program's
    // files: letters, digits, "-" and "_", no dots, at most 128 characters.
    static bool isValidName(const QString &name);
    // The name a note's record gets: its id, unless another record already has it.
    static QString nameFor(const QUuid &id);

    static SyncRecord tombstone(const QString &recordName, qint64 deletedAtMs);
    // A row of `SELECT StoreSchema::selectColumns() FROM Note`, every field stamped with
    // the same time.
    static SyncRecord fromRow(const QString &recordName, const SqliteStatement &row);
    static QJsonValue jsonValue(Note::Field field, const QVariant &value);
    static QVariant noteValue(Note::Field field, const QJsonValue &value);
    static std::optional<Note::Field> fieldNamed(const QString &name);

    QJsonObject toJson() const;
    QByteArray toFileData() const;
    // Fails, with the reason in words, for damaged or foreign documents and newer formats.
    static Expected<SyncRecord, QString> fromJson(const QByteArray &data);

    // Hash of what the record says (name, tombstone, values and times), leaving out who
    // wrote it.
    QByteArray contentHash() const;
    // Hash of the body alone (rich and plain text).
    QByteArray bodyHash() const;
    bool sameValues(const SyncRecord &other) const;
    // The newest write of any field.
    qint64 latestModification() const;

    QJsonValue value(Note::Field field) const { return values[size_t(field)]; }
    qint64 time(Note::Field field) const { return modifiedAt[size_t(field)]; }
    void set(Note::Field field, const QJsonValue &value, qint64 time)
    {
        values[size_t(field)] = value;
        modifiedAt[size_t(field)] = time;
    }
    // Writes the values into a note.
    void applyTo(Note *note) const;
    // The note's id, or a null id when absent or damaged.
    QUuid noteId() const;
};
