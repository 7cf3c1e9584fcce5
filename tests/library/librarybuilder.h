// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "library/musiclibrary.h"
#include "testfiles.h"

#include <gtest/gtest.h>
#include <memory>
#include <sqlite3.h>

// "A library with these tracks and playlists": a real library file in a
// temporary folder, with small builders for its content.
class LibraryBuilder {
public:
    LibraryBuilder() : library_(std::make_unique<MusicLibrary>(libraryPath())) {}

    MusicLibrary &library() { return *library_; }
    TestFolder &folder() { return folder_; }
    QString libraryPath() const { return folder_.filePath("library/library.sqlite"); }

    // A file track whose file exists (a copy of the MP3 seed) unless dead is asked.
    qint64 addTrack(const QString &name, const QString &artist, const QString &album = {}, bool dead = false)
    {
        const QString location = folder_.filePath(QStringLiteral("music/%1.mp3").arg(++counter_));
        if (!dead)
            folder_.addSeed("seed.mp3", QStringLiteral("music/%1.mp3").arg(counter_));
        QVariantHash values{{"name", name}, {"artist", artist}};
        if (!album.isNull())
            values.insert("album", album);
        return library_->importFile({location, values});
    }

    static TrackRef throughLibrary(qint64 trackId) { return {trackId, 0, 0}; }

    // The track ids of a playlist, in its order.
    static QList<qint64> idsOf(MusicLibrary &library, qint64 playlistId)
    {
        QList<qint64> ids;
        for (const TrackRef &ref : library.tracksOf(playlistId))
            ids.append(ref.trackId);
        return ids;
    }

private:
    TestFolder folder_;
    std::unique_ptr<MusicLibrary> library_;
    int counter_ = 0;
};

// Runs sql on path with a bare SQLite connection, as another program would.
inline void runSql(const QString &path, const char *sql)
{
    sqlite3 *db = nullptr;
    ASSERT_EQ(sqlite3_open(path.toUtf8().constData(), &db), SQLITE_OK);
    char *error = nullptr;
    EXPECT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, &error), SQLITE_OK) << (error ? error : "");
    sqlite3_free(error);
    sqlite3_close(db);
}
