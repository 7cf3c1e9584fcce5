// SPDX-License-Identifier: GPL-3.0-or-later
// The playlist manager over a large library playlist.
//   bench-playlist build LIBRARY TRACKS   a library of TRACKS tracks, all in one playlist
//   bench-playlist run LIBRARY            measures, in one run: the floor (one bare SQL
//       query reading the tested column of every track of the playlist), collecting
//       the tracks that match (all of them), and applying the addition of all of
//       them to an empty playlist; then, for comparison, one bare INSERT … SELECT
//       of the same tracks; then the peak memory of this process.
#include "app/appdelegate.h"
#include "benchport.h"
#include "library/musiclibrary.h"

#include <QFile>
#include <sqlite3.h>

#include <cstdio>

namespace {

// The floor: what reading the tested column of every playlist track costs
// with nothing around the query.
double bareQuery(const QString &libraryPath, qint64 playlistId, qint64 *rows)
{
    sqlite3 *db = nullptr;
    sqlite3_open_v2(QFile::encodeName(libraryPath).constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt *st = nullptr;
    QElapsedTimer timer;
    timer.start();
    sqlite3_prepare_v2(db,
                       "SELECT t.comment FROM playlist_entries e JOIN tracks t ON t.id = e.track "
                       "WHERE e.playlist = ?1 ORDER BY e.position",
                       -1, &st, nullptr);
    sqlite3_bind_int64(st, 1, playlistId);
    qint64 n = 0;
    while (sqlite3_step(st) == SQLITE_ROW) {
        // The text as the program would take it: UTF-16, like QString.
        sqlite3_column_text16(st, 0);
        ++n;
    }
    sqlite3_finalize(st);
    const double seconds = double(timer.nsecsElapsed()) / 1e9;
    sqlite3_close(db);
    *rows = n;
    return seconds;
}

// What the add itself costs with nothing around it: one INSERT … SELECT of
// the playlist's tracks into a new empty playlist, foreign keys on as the
// library has them, committed. Not a target; it shows how much of applying
// is the database's own work.
double bareInsert(const QString &libraryPath, qint64 playlistId)
{
    sqlite3 *db = nullptr;
    sqlite3_open_v2(QFile::encodeName(libraryPath).constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
    sqlite3_exec(db, "PRAGMA foreign_keys = ON; PRAGMA synchronous = NORMAL", nullptr, nullptr, nullptr);
    sqlite3_exec(db, "INSERT INTO playlists (name, position) VALUES ('Bare', 1000)", nullptr, nullptr, nullptr);
    const qint64 target = sqlite3_last_insert_rowid(db);
    sqlite3_stmt *st = nullptr;
    QElapsedTimer timer;
    timer.start();
    sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    sqlite3_prepare_v2(db,
                       "INSERT INTO playlist_entries (playlist, track, position) "
                       "SELECT ?2, track, position FROM playlist_entries WHERE playlist = ?1",
                       -1, &st, nullptr);
    sqlite3_bind_int64(st, 1, playlistId);
    sqlite3_bind_int64(st, 2, target);
    const int rc = sqlite3_step(st);
    sqlite3_finalize(st);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    const double seconds = double(timer.nsecsElapsed()) / 1e9;
    sqlite3_close(db);
    return rc == SQLITE_DONE ? seconds : -1;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication qapp(argc, argv);
    const QString mode = argc > 2 ? QString::fromLocal8Bit(argv[1]) : QString();
    if ((mode != QLatin1String("build") || argc != 4) && (mode != QLatin1String("run") || argc != 3)) {
        std::fprintf(stderr, "usage: %s build LIBRARY TRACKS | run LIBRARY\n", argv[0]);
        return 2;
    }
    const QString libraryPath = QString::fromLocal8Bit(argv[2]);
    if (mode == QLatin1String("build")) {
        QFile::remove(libraryPath);
        MusicLibrary library(libraryPath);
        const int count = std::atoi(argv[3]);
        QList<ImportedFile> files;
        files.reserve(count);
        for (int i = 0; i < count; ++i)
            files.append({QStringLiteral("/bench/music/%1/%2.mp3").arg(i / 1000).arg(i),
                          {{"name", QStringLiteral("Title %1").arg(i)},
                           {"artist", QStringLiteral("Artist %1").arg(i % 977)},
                           {"album", QStringLiteral("Album %1").arg(i % 4001)},
                           {"comment", QStringLiteral("a comment for track %1").arg(i)},
                           {"year", 1950 + i % 70}}});
        const QList<qint64> ids = library.importFiles(files);
        library.addToPlaylist(library.createPlaylist(QStringLiteral("Everything")), ids);
        library.createPlaylist(QStringLiteral("Target"));
        return 0;
    }

    BenchPort port;
    AppDelegate app(port);
    app.setLibraryPath(libraryPath);
    app.applicationDidFinishLaunching();
    const std::shared_ptr<MusicLibrary> library = app.library();
    const qint64 source = library->playlistNamed(QStringLiteral("Everything"))->id;
    qint64 rows = 0;
    const double floor = bareQuery(libraryPath, source, &rows);

    app.setSelectedPlaylist(int(app.playlists().indexOf(QStringLiteral("Everything"))));
    app.setSelectedPlaylistActionPlaylist(int(app.editablePlaylists().indexOf(QStringLiteral("Target"))));
    app.setSelectedTag(int(app.allTags().indexOf(QStringLiteral("comment"))));
    app.setSelectedCondition(2); // contains
    app.setConditionString(QStringLiteral("track"));
    app.setSelectedPlaylistAction(0);

    const double collecting = timeRun(app, [&] { app.performPlaylist(); });
    const qsizetype proposed = app.changes() ? app.changes()->records.size() : 0;
    const double collectingPeak = peakMegabytes();
    const double processorBefore = processorSeconds();
    const double applying = timeRun(app, [&] { app.applyChanges(); });
    const double applyingProcessor = processorSeconds() - processorBefore;
    const qsizetype added = library->tracksOf(library->playlistNamed(QStringLiteral("Target"))->id).size();
    const double insertFloor = bareInsert(libraryPath, source);

    std::printf("tracks in the playlist       %lld\n", qlonglong(rows));
    std::printf("floor: one bare query        %8.3f s\n", floor);
    std::printf("collecting (%lld proposed)   %8.3f s  = %5.2f x floor       (target: within 3x)\n",
                qlonglong(proposed), collecting, collecting / floor);
    std::printf("applying (%lld added)        %8.3f s  = %5.2f x collecting  (target: under 1x)\n",
                qlonglong(added), applying, applying / collecting);
    std::printf("applying, processor time     %8.3f s  (user + system, all threads)\n", applyingProcessor);
    std::printf("insert floor: one bare INSERT %8.3f s  (applying = %5.2f x that; for comparison)\n", insertFloor,
                applying / insertFloor);
    std::printf("peak memory after collecting %8.1f MB\n", collectingPeak);
    std::printf("peak memory of this run      %8.1f MB                    (target: under 300 MB)\n", peakMegabytes());
    return proposed == rows && added == rows && insertFloor > 0 && port.alerts == 0 ? 0 : 1;
}
