// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/Expected.h"

#include <QByteArray>
#include <QString>
#include <QVariant>

#include <memory>

struct sqlite3;
struct sqlite3_stmt;

// Error of a store operation, with a description a person can read.
struct StoreError
{
    // Not an SQLite code: a guarded save found a row changed since it was loaded.
    static constexpr int rowChanged = -1;

    int code = 0;
    QString description;
};

class SqliteStatement;

// One SQLite connection (RAII). Used by one thread at a time.
class SqliteDatabase
{
public:
    enum class OpenMode
    {
        readWriteCreate,
        readWriteExisting
    };

    SqliteDatabase() = default;
    ~SqliteDatabase();
    SqliteDatabase(const SqliteDatabase &) = delete;
    SqliteDatabase &operator=(const SqliteDatabase &) = delete;
    SqliteDatabase(SqliteDatabase &&other) noexcept;
    SqliteDatabase &operator=(SqliteDatabase &&other) noexcept;

    // `uri` may be a path or a "file:" URI.
    Expected<void, StoreError> open(const QString &uri, OpenMode mode);
    bool isOpen() const { return m_db != nullptr; }
    void close();

    Expected<void, StoreError> exec(const QString &sql);
    Expected<std::unique_ptr<SqliteStatement>, StoreError> prepare(const QString &sql);
    // First column of the first row as text, or an invalid variant without a row or for NULL.
    Expected<QVariant, StoreError> scalar(const QString &sql);
    StoreError lastError(const QString &context = {}) const;
    qint64 changes() const;
    sqlite3 *handle() const { return m_db; }

private:
    sqlite3 *m_db = nullptr;
};

class SqliteStatement
{
public:
    explicit SqliteStatement(sqlite3_stmt *statement);
    ~SqliteStatement();
    SqliteStatement(const SqliteStatement &) = delete;
    SqliteStatement &operator=(const SqliteStatement &) = delete;

    void bind(int index, const QVariant &value);
    void bindText(int index, const QString &value);
    void bindBlob(int index, const QByteArray &value);
    void bindInt64(int index, qint64 value);
    void bindDouble(int index, double value);
    void bindNull(int index);
    // True when a row is available; false at the end or on an error (see `failed`).
    bool step();
    bool failed() const { return m_failed; }
    void reset();

    bool isNull(int column) const;
    qint64 int64(int column) const;
    double real(int column) const;
    QString text(int column) const;
    QByteArray blob(int column) const;

private:
    sqlite3_stmt *m_statement;
    bool m_failed = false;
};
