// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Looks at SQLite files the way the programs must: through SQLite, never
// with a plain open, which would drop this process's locks on them.
// Header only: the programs that use it link SQLite through their layers.

#include <QDir>
#include <QFile>
#include <QString>
#include <QStringList>

#include <sqlite3.h>
#include <unistd.h>

// "ok", or what SQLite's integrity check (or the open) found.
inline QString integrityOf(const QString &path)
{
    sqlite3 *db = nullptr;
    if (sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        const QString reason = QString::fromUtf8(sqlite3_errmsg(db));
        sqlite3_close(db);
        return reason;
    }
    sqlite3_busy_timeout(db, 10000);
    QStringList found;
    sqlite3_stmt *st = nullptr;
    if (sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &st, nullptr) != SQLITE_OK) {
        found << QString::fromUtf8(sqlite3_errmsg(db));
    } else {
        int rc;
        while ((rc = sqlite3_step(st)) == SQLITE_ROW)
            found << QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st, 0)));
        if (rc != SQLITE_DONE)
            found << QString::fromUtf8(sqlite3_errmsg(db));
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
    return found.join('\n');
}

// The first column of the first row of a query, or -1 when it fails.
inline qint64 sqliteNumber(const QString &path, const char *sql)
{
    sqlite3 *db = nullptr;
    qint64 value = -1;
    if (sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_busy_timeout(db, 10000);
        sqlite3_stmt *st = nullptr;
        if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW)
            value = sqlite3_column_int64(st, 0);
        sqlite3_finalize(st);
    }
    sqlite3_close(db);
    return value;
}

// The SQLite files (a name with ".sqlite" in it) that process pid holds
// open or mapped although they were deleted: a -wal or -shm deleted under a
// live connection, the mark of a connection that lost its locks. Each entry
// names where it was seen. Empty for a process that has ended.
inline QStringList deletedSqliteFilesHeldBy(qint64 pid)
{
    QStringList held;
    const QString proc = QStringLiteral("/proc/%1").arg(pid);
    const auto deletedSqlite = [](const QString &text) {
        return text.contains(QLatin1String(".sqlite")) && text.contains(QLatin1String("(deleted)"));
    };
    const QStringList fds = QDir(proc + QStringLiteral("/fd")).entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot);
    for (const QString &fd : fds) {
        char target[4096];
        const QByteArray link = QFile::encodeName(proc + QStringLiteral("/fd/") + fd);
        const ssize_t length = ::readlink(link.constData(), target, sizeof target - 1);
        if (length <= 0)
            continue;
        const QString name = QFile::decodeName(QByteArray(target, length));
        if (deletedSqlite(name))
            held << QStringLiteral("fd %1: %2").arg(fd, name);
    }
    QFile maps(proc + QStringLiteral("/maps"));
    if (maps.open(QIODevice::ReadOnly))
        for (const QByteArray &line : maps.readAll().split('\n'))
            if (deletedSqlite(QString::fromUtf8(line)))
                held << QStringLiteral("maps: %1").arg(QString::fromUtf8(line));
    return held;
}
