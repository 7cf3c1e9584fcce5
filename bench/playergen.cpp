// SPDX-License-Identifier: GPL-3.0-or-later
// Writes a player library over a folder of music files, in the layout
// Strawberry keeps (its own column names), with play and skip counts,
// ratings and two playlists, for timing `library import-player` against
// `library import` of the same files.
#include "files/musicfiles.h"
#include "support/fileutils.h"

#include <QCoreApplication>
#include <QDir>
#include <QTextStream>
#include <QUrl>
#include <sqlite3.h>

namespace {

bool exec(sqlite3 *db, const char *sql, QTextStream &err)
{
    char *error = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &error) == SQLITE_OK)
        return true;
    err << "bench-playergen: " << error << '\n';
    sqlite3_free(error);
    return false;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout), err(stderr);
    const QStringList args = app.arguments();
    if (args.size() != 3) {
        err << "usage: bench-playergen MUSIC_DIR DATABASE\n";
        return 2;
    }
    const std::optional<QStringList> entries = files::dirContentsRecursive(args[1]);
    if (!entries) {
        err << "bench-playergen: cannot list " << args[1] << '\n';
        return 1;
    }
    QStringList paths;
    for (const QString &entry : *entries)
        if (musicfiles::isMusicFile(entry))
            paths.append(QDir(args[1]).absoluteFilePath(entry));
    paths.sort();

    sqlite3 *db = nullptr;
    QFile::remove(args[2]);
    if (sqlite3_open(args[2].toUtf8().constData(), &db) != SQLITE_OK)
        return 1;
    if (!exec(db,
              "CREATE TABLE schema_version (version INTEGER NOT NULL); INSERT INTO schema_version VALUES (16);"
              "CREATE TABLE songs (title TEXT DEFAULT '', artist TEXT DEFAULT '', album TEXT DEFAULT '', "
              "url TEXT NOT NULL DEFAULT '', playcount INTEGER NOT NULL DEFAULT 0, skipcount INTEGER NOT NULL "
              "DEFAULT 0, lastplayed INTEGER NOT NULL DEFAULT -1, unavailable INTEGER DEFAULT 0, rating INTEGER "
              "DEFAULT -1);"
              "CREATE TABLE playlists (name TEXT NOT NULL DEFAULT '', last_played INTEGER NOT NULL DEFAULT -1, "
              "ui_order INTEGER NOT NULL DEFAULT 0, special_type TEXT DEFAULT '', dynamic_playlist_type INTEGER);"
              "CREATE TABLE playlist_items (playlist INTEGER NOT NULL, type INTEGER NOT NULL DEFAULT 0, "
              "collection_id INTEGER, url TEXT DEFAULT '');"
              "INSERT INTO playlists (ROWID, name, ui_order) VALUES (1, 'Favourites', 0), (2, 'Party', 1);"
              "BEGIN;",
              err))
        return 1;
    sqlite3_stmt *song = nullptr, *item = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO songs (ROWID, url, playcount, skipcount, rating) VALUES (?1, ?2, ?3, ?4, ?5)",
                       -1, &song, nullptr);
    sqlite3_prepare_v2(db, "INSERT INTO playlist_items (playlist, collection_id) VALUES (?1, ?2)", -1, &item, nullptr);
    for (qsizetype i = 0; i < paths.size(); ++i) {
        const QByteArray url = QUrl::fromLocalFile(paths[i]).toEncoded();
        sqlite3_bind_int64(song, 1, i + 1);
        sqlite3_bind_text(song, 2, url.constData(), int(url.size()), SQLITE_TRANSIENT);
        sqlite3_bind_int(song, 3, int(i % 50));
        sqlite3_bind_int(song, 4, int(i % 7));
        sqlite3_bind_double(song, 5, i % 3 ? double(i % 6) / 5 : -1.0);
        sqlite3_step(song);
        sqlite3_reset(song);
        // Every tenth track in a playlist.
        if (i % 10 == 0) {
            sqlite3_bind_int(item, 1, int(i % 20 == 0 ? 1 : 2));
            sqlite3_bind_int64(item, 2, i + 1);
            sqlite3_step(item);
            sqlite3_reset(item);
        }
    }
    sqlite3_finalize(song);
    sqlite3_finalize(item);
    if (!exec(db, "COMMIT;", err))
        return 1;
    sqlite3_close(db);
    out << "wrote " << paths.size() << " tracks to " << args[2] << '\n';
    return 0;
}
