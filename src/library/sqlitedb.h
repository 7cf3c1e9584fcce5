// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <QVariant>
#include <mutex>
#include <optional>
#include <unordered_map>

struct sqlite3;
struct sqlite3_stmt;

// A thin layer over SQLite's C API: one connection with its cache of prepared
// statements, a statement that resets itself when it goes out of scope, and a
// transaction that rolls back unless committed. Every failure throws
// LibraryError carrying the SQLite code and what the statement was for.
namespace sqlite {

// What an SQLite file's header says about its content, read before a
// connection that might write to the file is made. Read through SQLite, so
// it is safe while this process has connections to the file (ARCHITECTURE.md,
// "SQLite files are SQLite's alone"); every SQLite file of ours is checked
// this way.
struct FileHeader {
    qint32 applicationId = 0;
    qint32 userVersion = 0; // only a hint: with write-ahead logging it can lag behind, never lead
};
// Nothing for a missing or empty file (SQLite makes it anew). Throws
// LibraryError(purpose, ...) for a folder (folderReason), a file that cannot
// be read, and one that is no SQLite database (notDatabaseReason, with
// SQLITE_NOTADB); such a file is left untouched.
std::optional<FileHeader> fileHeader(const QString &path, const QString &purpose, const QString &folderReason,
                                     const QString &notDatabaseReason);

// Text as it goes into the file: UTF-8, a lone surrogate (from a damaged tag)
// written as U+FFFD, the mark of a lost character.
QByteArray utf8Of(const QString &text);
// Text as it comes out of the file.
QString textOf(const char *bytes, qsizetype size);

// One connection. Used by one thread only; close() may come from another
// thread (the library going away), hence the lock around it.
class Database {
public:
    // Create makes the file when it is missing; the others expect it.
    enum class Mode { Create, ReadWrite, ReadOnly };
    Database(const QString &path, Mode mode);
    ~Database();
    Database(const Database &) = delete;
    Database &operator=(const Database &) = delete;

    void close();
    void setBusyTimeout(int milliseconds);
    bool isOpen() const;
    sqlite3 *handle() const { return db_; }

    // Runs statements without results (schema changes, pragmas).
    void execute(const char *sql, const QString &purpose);
    // The prepared statement for sql, prepared once per connection.
    sqlite3_stmt *prepared(const QByteArray &sql, const QString &purpose);
    qint64 lastInsertId() const;
    int changes() const;
    bool inTransaction() const;

    [[noreturn]] void fail(int code, const QString &purpose) const;

private:
    sqlite3 *db_ = nullptr;
    std::unordered_map<std::string, sqlite3_stmt *> statements_;
    mutable std::mutex closing_;
};

// A cached statement in use. Bind indexes start at 1, column indexes at 0.
class Statement {
public:
    Statement(Database &db, const QByteArray &sql, QString purpose);
    ~Statement();
    Statement(const Statement &) = delete;
    Statement &operator=(const Statement &) = delete;

    Statement &bind(int index, const QVariant &value);
    Statement &bind(int index, const QString &text);
    Statement &bind(int index, qint64 number);
    Statement &bindNull(int index);
    Statement &bindBlob(int index, const QByteArray &bytes);
    // Makes the statement ready to be bound and run again, its bindings cleared.
    void reset();

    // Steps once: true while a row is available.
    bool next();
    // Steps to the end of a statement without results.
    void run();

    bool isNull(int column) const;
    qint64 integer(int column) const;
    double real(int column) const;
    QString text(int column) const;
    // The column as stored: invalid for NULL, else qlonglong, double or QString.
    QVariant value(int column) const;
    QByteArray blob(int column) const;

    const QString &purpose() const { return purpose_; }

private:
    Database &db_;
    sqlite3_stmt *stmt_;
    QString purpose_;
};

// BEGIN IMMEDIATE so that a writer waits for the lock up front (with the busy
// time-out) instead of failing when a read turns into a write. Inside a
// transaction already open on the connection it joins that one.
class Transaction {
public:
    Transaction(Database &db, QString purpose);
    ~Transaction();
    Transaction(const Transaction &) = delete;
    Transaction &operator=(const Transaction &) = delete;
    void commit();

private:
    Database &db_;
    QString purpose_;
    bool owner_ = false;
    bool done_ = false;
};

// A read transaction (BEGIN DEFERRED): every read until it ends sees the file
// as it stood at the first of them, while other connections go on writing
// (the library runs in WAL mode). Inside a transaction already open on the
// connection it joins that one. Ends when destroyed: committed, or rolled
// back when an exception unwinds it.
class ReadTransaction {
public:
    ReadTransaction(Database &db, const QString &purpose);
    ~ReadTransaction();
    ReadTransaction(const ReadTransaction &) = delete;
    ReadTransaction &operator=(const ReadTransaction &) = delete;

private:
    Database &db_;
    bool owner_ = false;
    int exceptions_ = 0;
};

} // namespace sqlite
