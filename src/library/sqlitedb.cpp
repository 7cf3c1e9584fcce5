// SPDX-License-Identifier: GPL-3.0-or-later
#include "sqlitedb.h"

#include "libraryerror.h"

#include <QFileInfo>
#include <QScopeGuard>
#include <QtEndian>
#include <sqlite3.h>

#include <cstring>
#include <exception>

namespace sqlite {

std::optional<FileHeader> fileHeader(const QString &path, const QString &purpose, const QString &folderReason,
                                     const QString &notDatabaseReason)
{
    const QFileInfo info(path);
    if (!info.exists())
        return std::nullopt;
    if (info.isDir())
        throw LibraryError(purpose, folderReason);
    if (info.size() == 0)
        return std::nullopt;
    // The bytes come through a read-only connection's own descriptor, which
    // SQLite keeps open while any connection of this process holds a lock on
    // the file; a descriptor of our own would drop those locks when closed.
    // Opening runs no statement, so nothing is written and no -wal or -shm is made.
    sqlite3 *db = nullptr;
    const int rc = sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr);
    const auto closing = qScopeGuard([&] { sqlite3_close_v2(db); });
    if (rc != SQLITE_OK)
        throw LibraryError(purpose, QStringLiteral("the file cannot be read (%1)").arg(QString::fromUtf8(sqlite3_errmsg(db))));
    sqlite3_file *file = nullptr;
    if (sqlite3_file_control(db, "main", SQLITE_FCNTL_FILE_POINTER, &file) != SQLITE_OK || !file || !file->pMethods)
        throw LibraryError(purpose, QStringLiteral("the file cannot be read"));
    char header[100] = {};
    const int read = file->pMethods->xRead(file, header, sizeof header, 0);
    if (read != SQLITE_OK && read != SQLITE_IOERR_SHORT_READ)
        throw LibraryError(purpose, QStringLiteral("the file cannot be read (%1)").arg(QString::fromUtf8(sqlite3_errstr(read))));
    if (read == SQLITE_IOERR_SHORT_READ || std::memcmp(header, "SQLite format 3", 16) != 0)
        throw LibraryError(purpose, notDatabaseReason, SQLITE_NOTADB);
    const auto bigEndian = [&](int offset) { return qFromBigEndian<qint32>(header + offset); };
    return FileHeader{bigEndian(68), bigEndian(60)};
}

namespace {

QString reasonFor(int code, sqlite3 *db)
{
    const QString detail = db ? QString::fromUtf8(sqlite3_errmsg(db)) : QString::fromUtf8(sqlite3_errstr(code));
    switch (code & 0xff) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
    case SQLITE_PROTOCOL: // the write-ahead log's locks kept being taken by others
        return QStringLiteral("the library is locked by another program (%1)").arg(detail);
    case SQLITE_NOTADB:
        return QStringLiteral("the file is not a music library (%1)").arg(detail);
    case SQLITE_CORRUPT:
        return QStringLiteral("the library file is damaged (%1)").arg(detail);
    case SQLITE_READONLY:
        return QStringLiteral("the library file cannot be written (%1)").arg(detail);
    case SQLITE_CANTOPEN:
        return QStringLiteral("the library file cannot be opened (%1)").arg(detail);
    default:
        return detail;
    }
}

} // namespace

Database::Database(const QString &path, Mode mode)
{
    int flags = SQLITE_OPEN_NOMUTEX;
    switch (mode) {
    case Mode::Create:
        flags |= SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;
        break;
    case Mode::ReadWrite:
        flags |= SQLITE_OPEN_READWRITE;
        break;
    case Mode::ReadOnly:
        flags |= SQLITE_OPEN_READONLY;
        break;
    }
    const QString purpose = QStringLiteral("open the library %1").arg(path);
    const int rc = sqlite3_open_v2(path.toUtf8().constData(), &db_, flags, nullptr);
    if (rc != SQLITE_OK) {
        const QString reason = reasonFor(rc, db_);
        sqlite3_close_v2(db_);
        db_ = nullptr;
        throw LibraryError(purpose, reason, rc);
    }
    sqlite3_extended_result_codes(db_, 1);
}

void Database::setBusyTimeout(int milliseconds)
{
    if (db_)
        sqlite3_busy_timeout(db_, milliseconds);
}

Database::~Database()
{
    close();
}

void Database::close()
{
    std::lock_guard lock(closing_);
    if (!db_)
        return;
    for (auto &[sql, stmt] : statements_)
        sqlite3_finalize(stmt);
    statements_.clear();
    sqlite3_close_v2(db_);
    db_ = nullptr;
}

bool Database::isOpen() const
{
    std::lock_guard lock(closing_);
    return db_ != nullptr;
}

void Database::fail(int code, const QString &purpose) const
{
    throw LibraryError(purpose, reasonFor(code, db_), code);
}

void Database::execute(const char *sql, const QString &purpose)
{
    if (!db_)
        throw LibraryError(purpose, QStringLiteral("the library is closed"));
    const int rc = sqlite3_exec(db_, sql, nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK)
        fail(rc, purpose);
}

sqlite3_stmt *Database::prepared(const QByteArray &sql, const QString &purpose)
{
    if (!db_)
        throw LibraryError(purpose, QStringLiteral("the library is closed"));
    std::string key(sql.constData(), sql.size());
    if (auto found = statements_.find(key); found != statements_.end())
        return found->second;
    sqlite3_stmt *stmt = nullptr;
    const int rc = sqlite3_prepare_v3(db_, sql.constData(), int(sql.size()), SQLITE_PREPARE_PERSISTENT, &stmt, nullptr);
    if (rc != SQLITE_OK)
        fail(rc, purpose);
    statements_.emplace(std::move(key), stmt);
    return stmt;
}

qint64 Database::lastInsertId() const
{
    return sqlite3_last_insert_rowid(db_);
}

int Database::changes() const
{
    return sqlite3_changes(db_);
}

bool Database::inTransaction() const
{
    return db_ && !sqlite3_get_autocommit(db_);
}

Statement::Statement(Database &db, const QByteArray &sql, QString purpose)
    : db_(db), stmt_(db.prepared(sql, purpose)), purpose_(std::move(purpose))
{
}

Statement::~Statement()
{
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
}

Statement &Statement::bind(int index, const QVariant &value)
{
    if (!value.isValid() || value.isNull())
        return bindNull(index);
    switch (value.typeId()) {
    case QMetaType::Double:
    case QMetaType::Float:
        if (const int rc = sqlite3_bind_double(stmt_, index, value.toDouble()); rc != SQLITE_OK)
            db_.fail(rc, purpose_);
        return *this;
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Bool:
        return bind(index, value.toLongLong());
    default:
        return bind(index, value.toString());
    }
}

// Text goes in and out as UTF-8, the file's own encoding. SQLite's own UTF-16
// conversion would pair a lone surrogate (from a damaged tag) with the next
// code unit, eating a character, and Qt's writes it as '?', which reads back
// as a real question mark; here it becomes U+FFFD, the mark of a lost character.
QByteArray utf8Of(const QString &text)
{
    const auto lone = [&](qsizetype i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate())
            return i + 1 == text.size() || !text.at(i + 1).isLowSurrogate();
        return c.isLowSurrogate() && (i == 0 || !text.at(i - 1).isHighSurrogate());
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i).isSurrogate() && lone(i)) {
            QString mended = text;
            for (qsizetype k = i; k < mended.size(); ++k)
                if (mended.at(k).isSurrogate() && lone(k))
                    mended[k] = QChar::ReplacementCharacter;
            return mended.toUtf8();
        }
    }
    return text.toUtf8();
}

QString textOf(const char *bytes, qsizetype size)
{
    // Most tag text is ASCII, which needs no decoding at all.
    unsigned char high = 0;
    for (qsizetype i = 0; i < size; ++i)
        high |= static_cast<unsigned char>(bytes[i]);
    return high < 0x80 ? QString::fromLatin1(bytes, size) : QString::fromUtf8(bytes, size);
}

Statement &Statement::bind(int index, const QString &text)
{
    if (text.isNull())
        return bindNull(index);
    const QByteArray utf8 = utf8Of(text);
    const int rc = sqlite3_bind_text(stmt_, index, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
    if (rc != SQLITE_OK)
        db_.fail(rc, purpose_);
    return *this;
}

Statement &Statement::bind(int index, qint64 number)
{
    if (const int rc = sqlite3_bind_int64(stmt_, index, number); rc != SQLITE_OK)
        db_.fail(rc, purpose_);
    return *this;
}

Statement &Statement::bindBlob(int index, const QByteArray &bytes)
{
    if (const int rc = sqlite3_bind_blob64(stmt_, index, bytes.constData(), sqlite3_uint64(bytes.size()), SQLITE_TRANSIENT);
        rc != SQLITE_OK)
        db_.fail(rc, purpose_);
    return *this;
}

void Statement::reset()
{
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
}

Statement &Statement::bindNull(int index)
{
    if (const int rc = sqlite3_bind_null(stmt_, index); rc != SQLITE_OK)
        db_.fail(rc, purpose_);
    return *this;
}

bool Statement::next()
{
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    sqlite3_reset(stmt_);
    db_.fail(rc, purpose_);
}

void Statement::run()
{
    while (next()) {
    }
}

bool Statement::isNull(int column) const
{
    return sqlite3_column_type(stmt_, column) == SQLITE_NULL;
}

qint64 Statement::integer(int column) const
{
    return sqlite3_column_int64(stmt_, column);
}

double Statement::real(int column) const
{
    return sqlite3_column_double(stmt_, column);
}

QString Statement::text(int column) const
{
    const auto *bytes = reinterpret_cast<const char *>(sqlite3_column_text(stmt_, column));
    if (!bytes)
        return {};
    return textOf(bytes, sqlite3_column_bytes(stmt_, column));
}

QByteArray Statement::blob(int column) const
{
    const void *bytes = sqlite3_column_blob(stmt_, column);
    return bytes ? QByteArray(static_cast<const char *>(bytes), sqlite3_column_bytes(stmt_, column)) : QByteArray();
}

QVariant Statement::value(int column) const
{
    switch (sqlite3_column_type(stmt_, column)) {
    case SQLITE_INTEGER:
        return QVariant(qlonglong(integer(column)));
    case SQLITE_FLOAT:
        return QVariant(real(column));
    case SQLITE_TEXT:
        return QVariant(text(column));
    case SQLITE_BLOB:
        return QVariant(QByteArray(static_cast<const char *>(sqlite3_column_blob(stmt_, column)),
                                   sqlite3_column_bytes(stmt_, column)));
    default:
        return {};
    }
}

Transaction::Transaction(Database &db, QString purpose) : db_(db), purpose_(std::move(purpose))
{
    if (db_.inTransaction())
        return;
    db_.execute("BEGIN IMMEDIATE", purpose_);
    owner_ = true;
}

Transaction::~Transaction()
{
    if (owner_ && !done_ && db_.handle())
        sqlite3_exec(db_.handle(), "ROLLBACK", nullptr, nullptr, nullptr);
}

void Transaction::commit()
{
    if (owner_ && !done_)
        db_.execute("COMMIT", purpose_);
    done_ = true;
}

ReadTransaction::ReadTransaction(Database &db, const QString &purpose)
    : db_(db), exceptions_(std::uncaught_exceptions())
{
    if (db_.inTransaction())
        return;
    db_.execute("BEGIN DEFERRED", purpose);
    owner_ = true;
}

ReadTransaction::~ReadTransaction()
{
    if (!owner_ || !db_.handle() || !db_.inTransaction())
        return;
    // Only reads are meant to run under it; a write that slipped in is kept,
    // as it would have been without the transaction, unless it failed.
    const bool unwinding = std::uncaught_exceptions() > exceptions_;
    sqlite3_exec(db_.handle(), unwinding ? "ROLLBACK" : "COMMIT", nullptr, nullptr, nullptr);
}

} // namespace sqlite
