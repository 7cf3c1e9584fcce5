// SPDX-License-Identifier: GPL-3.0-or-later
// A library of a million tracks for bench-million.sh.
//   bench-million LIBRARY MUSICDIR [TRACKS] [FILES]
// copies FILES (300) seed files into MUSICDIR, imports them, then stores
// TRACKS (1,000,000) rows in all that point at them in turn, one in a
// thousand at a file of MUSICDIR that is not there (a dead track), and puts
// every track in the playlist "Everything"; "Target" is left empty. The rows
// are copied in SQL: importing a million files one by one is not what is
// measured.
#include "library/musiclibrary.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>

namespace {

bool exec(sqlite3 *db, const char *sql)
{
    char *error = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &error) == SQLITE_OK)
        return true;
    std::fprintf(stderr, "%s\n", error ? error : "sqlite error");
    sqlite3_free(error);
    return false;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 3 || argc > 5) {
        std::fprintf(stderr, "usage: %s LIBRARY MUSICDIR [TRACKS] [FILES]\n", argv[0]);
        return 2;
    }
    const QString libraryPath = QString::fromLocal8Bit(argv[1]);
    const QString music = QDir(QString::fromLocal8Bit(argv[2])).absolutePath();
    const qint64 tracks = argc > 3 ? std::atoll(argv[3]) : 1000000;
    const int fileCount = argc > 4 ? std::atoi(argv[4]) : 300;
    const QStringList seeds{"seed.mp3", "seed.flac", "seed.ogg", "seed.m4a"};
    QDir().mkpath(music);
    QFile::remove(libraryPath);

    QList<ImportedFile> files;
    for (int i = 0; i < fileCount; ++i) {
        const QString seed = seeds.at(i % seeds.size());
        const QString path = QStringLiteral("%1/f%2.%3").arg(music).arg(i, 3, 10, QLatin1Char('0')).arg(QFileInfo(seed).suffix());
        QFile::remove(path);
        if (!QFile::copy(QStringLiteral(QUAVERTIN_SEED_DIR "/") + seed, path)) {
            std::fprintf(stderr, "cannot copy %s\n", qPrintable(seed));
            return 1;
        }
        files.append({path,
                      {{"name", QStringLiteral("Title %1").arg(i)},
                       {"artist", QStringLiteral("Artist %1").arg(i % 977)},
                       {"album", QStringLiteral("Album %1").arg(i % 4001)},
                       {"comment", QStringLiteral("a comment for track %1").arg(i)},
                       {"year", 1950 + i % 70},
                       {"duration", 1.5},
                       {"bitRate", 128},
                       {"kind", QStringLiteral("MPEG audio file")}}});
    }
    {
        MusicLibrary library(libraryPath);
        library.importFiles(files);
        library.createPlaylist(QStringLiteral("Everything"));
        library.createPlaylist(QStringLiteral("Target"));
    }

    sqlite3 *db = nullptr;
    if (sqlite3_open(QFile::encodeName(libraryPath).constData(), &db) != SQLITE_OK)
        return 1;
    const QByteArray gone = QFile::encodeName(music + QStringLiteral("/gone-"));
    const QByteArray copy = QStringLiteral(R"sql(
        BEGIN;
        WITH RECURSIVE n(i) AS (SELECT %1 UNION ALL SELECT i + 1 FROM n WHERE i < %2)
        INSERT INTO tracks (name, artist, album, comment, year, trackNumber, duration, bitRate, kind, location, fileStamp)
        SELECT 'Title ' || i, 'Artist ' || (i %% 977), 'Album ' || (i %% 4001), 'a comment for track ' || i,
               1950 + i %% 70, 1 + i %% 20, f.duration, f.bitRate, f.kind,
               CASE WHEN i %% 1000 = 999 THEN '%3' || i || '.mp3' ELSE f.location END,
               CASE WHEN i %% 1000 = 999 THEN NULL ELSE f.fileStamp END
        FROM n JOIN tracks f ON f.id = 1 + i %% %4;
        INSERT INTO playlist_entries (playlist, track, position)
        SELECT (SELECT id FROM playlists WHERE name = 'Everything'), id, id FROM tracks ORDER BY id;
        COMMIT;
    )sql")
                                 .arg(fileCount)
                                 .arg(tracks - 1)
                                 .arg(QString::fromUtf8(gone))
                                 .arg(fileCount)
                                 .replace(QStringLiteral("%%"), QStringLiteral("%"))
                                 .toUtf8();
    const bool ok = exec(db, copy.constData());
    sqlite3_close(db);
    if (!ok)
        return 1;
    std::printf("%lld tracks over %d files in %s\n", qlonglong(tracks), fileCount, qPrintable(libraryPath));
    return 0;
}
