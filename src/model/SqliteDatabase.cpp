// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/SqliteDatabase.h"

#include <sqlite3.h>

SqliteDatabase::~SqliteDatabase()
{
    close();
}

SqliteDatabase::SqliteDatabase(SqliteDatabase &&other) noexcept : m_db(other.m_db)
{
    other.m_db = nullptr;
}

SqliteDatabase &SqliteDatabase::operator=(SqliteDatabase &&other) noexcept
{
    if (this != &other) {
        close();
        m_db = other.m_db;
        other.m_db = nullptr;
    }
    return *this;
}

Expected<void, StoreError> SqliteDatabase::open(const QString &uri, OpenMode mode)
{
    close();
    int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_URI | SQLITE_OPEN_NOMUTEX;
    if (mode == OpenMode::readWriteCreate)
        flags |= SQLITE_OPEN_CREATE;
    const int rc = sqlite3_open_v2(uri.toUtf8().constData(), &m_db, flags, nullptr);
    if (rc != SQLITE_OK) {
        const StoreError error{rc, m_db ? QString::fromUtf8(sqlite3_errmsg(m_db))
                                        : QString::fromUtf8(sqlite3_errstr(rc))};
        close();
        return Unexpected(error);
    }
    sqlite3_extended_result_codes(m_db, 1);
    sqlite3_busy_timeout(m_db, 5000);
    return {};
}

void SqliteDatabase::close()
{
    if (m_db) {
        sqlite3_close_v2(m_db);
        m_db = nullptr;
    }
}

Expected<void, StoreError> SqliteDatabase::exec(const QString &sql)
{
    char *message = nullptr;
    const int rc = sqlite3_exec(m_db, sql.toUtf8().constData(), nullptr, nullptr, &message);
    if (rc != SQLITE_OK) {
        const StoreError error{rc, QString::fromUtf8(message ? message : sqlite3_errstr(rc))};
        sqlite3_free(message);
        return Unexpected(error);
    }
    return {};
}

Expected<std::unique_ptr<SqliteStatement>, StoreError> SqliteDatabase::prepare(const QString &sql)
{
    sqlite3_stmt *statement = nullptr;
    const QByteArray utf8 = sql.toUtf8();
    const int rc =
        sqlite3_prepare_v2(m_db, utf8.constData(), int(utf8.size()), &statement, nullptr);
    if (rc != SQLITE_OK) {
        StoreError error = lastError();
        sqlite3_finalize(statement);
        return Unexpected(std::move(error));
    }
    return std::make_unique<SqliteStatement>(statement);
}

Expected<QVariant, StoreError> SqliteDatabase::scalar(const QString &sql)
{
    const auto statement = prepare(sql);
    if (!statement)
        return Unexpected(statement.error());
    SqliteStatement &row = **statement;
    if (!row.step()) {
        if (row.failed())
            return Unexpected(lastError());
        return QVariant();
    }
    if (row.isNull(0))
        return QVariant();
    return QVariant(row.text(0));
}

StoreError SqliteDatabase::lastError(const QString &context) const
{
    StoreError error;
    error.code = m_db ? sqlite3_extended_errcode(m_db) : SQLITE_MISUSE;
    const QString message = m_db ? QString::fromUtf8(sqlite3_errmsg(m_db))
                                 : QStringLiteral("la base de datos no está abierta");
    error.description = context.isEmpty() ? message : context + QStringLiteral(": ") + message;
    return error;
}

qint64 SqliteDatabase::changes() const
{
    return sqlite3_changes64(m_db);
}

SqliteStatement::SqliteStatement(sqlite3_stmt *statement) : m_statement(statement) {}

SqliteStatement::~SqliteStatement()
{
    sqlite3_finalize(m_statement);
}

void SqliteStatement::bind(int index, const QVariant &value)
{
    if (value.isNull()) {
        bindNull(index);
        return;
    }
    switch (value.metaType().id()) {
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
        bindInt64(index, value.toLongLong());
        break;
    case QMetaType::Double:
    case QMetaType::Float:
        bindDouble(index, value.toDouble());
        break;
    case QMetaType::QByteArray:
        bindBlob(index, value.toByteArray());
        break;
    default:
        bindText(index, value.toString());
        break;
    }
}

void SqliteStatement::bindText(int index, const QString &value)
{
    const QByteArray utf8 = value.toUtf8();
    sqlite3_bind_text(m_statement, index, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
}

void SqliteStatement::bindBlob(int index, const QByteArray &value)
{
    // A null QByteArray would bind SQL NULL; the body column is never absent.
    sqlite3_bind_blob(m_statement, index, value.isNull() ? "" : value.constData(),
                      int(value.size()), SQLITE_TRANSIENT);
}

void SqliteStatement::bindInt64(int index, qint64 value)
{
    sqlite3_bind_int64(m_statement, index, value);
}

void SqliteStatement::bindDouble(int index, double value)
{
    sqlite3_bind_double(m_statement, index, value);
}

void SqliteStatement::bindNull(int index)
{
    sqlite3_bind_null(m_statement, index);
}

bool SqliteStatement::step()
{
    const int rc = sqlite3_step(m_statement);
    if (rc == SQLITE_ROW)
        return true;
    m_failed = rc != SQLITE_DONE;
    return false;
}

void SqliteStatement::reset()
{
    sqlite3_reset(m_statement);
    sqlite3_clear_bindings(m_statement);
    m_failed = false;
}

bool SqliteStatement::isNull(int column) const
{
    return sqlite3_column_type(m_statement, column) == SQLITE_NULL;
}

qint64 SqliteStatement::int64(int column) const
{
    return sqlite3_column_int64(m_statement, column);
}

double SqliteStatement::real(int column) const
{
    return sqlite3_column_double(m_statement, column);
}

QString SqliteStatement::text(int column) const
{
    const auto *data = reinterpret_cast<const char *>(sqlite3_column_text(m_statement, column));
    return QString::fromUtf8(data, sqlite3_column_bytes(m_statement, column));
}

QByteArray SqliteStatement::blob(int column) const
{
    const auto *data = static_cast<const char *>(sqlite3_column_blob(m_statement, column));
    const int size = sqlite3_column_bytes(m_statement, column);
    return size > 0 ? QByteArray(data, size) : QByteArray("");
}
