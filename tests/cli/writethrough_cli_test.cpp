// SPDX-License-Identifier: GPL-3.0-or-later
// The library and the files tell one truth, as a person sees it from the command line.
#include "clirunner.h"
#include "library/libraryimport.h"
#include "library/musiclibrary.h"
#include "model/musictrack.h"
#include "readonlyplace.h"
#include "testfiles.h"
#include "cliprocess.h"
#include "userlocations.h"

#include <QFile>
#include <QProcess>
#include <gtest/gtest.h>

namespace {

struct CommandRun {
    ExitCode code;
    QString out;
    QString err;
};

class WriteThroughCommands : public ::testing::Test {
protected:
    CommandRun run(const QStringList &args)
    {
        CommandRun r{};
        QTextStream out(&r.out), err(&r.err);
        r.code = cli::runMain(QStringList{"--library", libraryPath} + args, out, err, nullptr, false, false);
        out.flush();
        err.flush();
        return r;
    }
    // The built program, whose alerts reach its standard error.
    CommandRun runProcess(const QStringList &args)
    {
        const CliResult r = runCli(QStringList{"--library", libraryPath} + args, locations);
        if (r.status < 0)
            return {ExitCode::BadUsage, {}, "did not finish"};
        return {ExitCode(r.status), r.out, r.err};
    }
    // The file's value, from a fresh open of the file.
    static QString inFile(const QString &path, const QString &key)
    {
        return MusicTrack::withPath(path).valueForTag(key).toString();
    }
    QString inLibrary(qint64 id, const QString &key)
    {
        return MusicLibrary(libraryPath).property({id, 0, 0}, key).toString();
    }
    // Five tagged copies of the seed, imported into the playlist "All".
    QList<qint64> importFive(const QString &folderName = "music")
    {
        for (int i = 1; i <= 5; ++i) {
            const QString path = folder.addSeed("seed.mp3", QStringLiteral("%1/%2.mp3").arg(folderName).arg(i));
            MusicTrack::withPath(path).setTag("name", QStringLiteral("Song %1").arg(i));
            MusicTrack::withPath(path).setTag("artist", QStringLiteral("the band %1").arg(i));
            paths << path;
        }
        EXPECT_EQ(run({"library", "import", folder.filePath(folderName)}).code, ExitCode::Success);
        MusicLibrary library(libraryPath);
        QList<qint64> ids;
        for (const TrackRef &ref : library.allTracks())
            ids << ref.trackId;
        const qint64 all = library.createPlaylist("All");
        library.addToPlaylist(all, ids);
        return ids;
    }

    ScopedUserLocations locations;
    TestFolder folder;
    QString libraryPath = folder.filePath("library.sqlite");
    QStringList paths;
};

} // namespace

TEST_F(WriteThroughCommands, SearchReplaceOnALibraryPlaylistChangesTheFilesAndTheRowsOfTheCheckedTracks)
{
    const QList<qint64> ids = importFive();
    const QByteArray uncheckedBytes = TestFolder::readAll(paths[1]);

    const CommandRun replaced = run({"--playlist", "All", "search-replace", "--tag", "artist", "--search", "the band",
                                     "--replace", "The Band", "--uncheck", "2", "--yes"});
    ASSERT_EQ(replaced.code, ExitCode::Success) << replaced.err.toStdString();
    for (int i : {0, 2, 3, 4}) {
        EXPECT_EQ(inFile(paths[i], "artist"), QStringLiteral("The Band %1").arg(i + 1));
        EXPECT_EQ(inLibrary(ids[i], "artist"), QStringLiteral("The Band %1").arg(i + 1));
    }
    // The unchecked record changed neither.
    EXPECT_EQ(TestFolder::readAll(paths[1]), uncheckedBytes);
    EXPECT_EQ(inLibrary(ids[1], "artist"), "the band 2");

    // Importing the folder again finds every track in step with its file.
    const CommandRun again = run({"library", "import", folder.filePath("music")});
    EXPECT_TRUE(again.out.contains("0 of the 5 tracks already in the library took new values")) << again.out.toStdString();
    EXPECT_EQ(inLibrary(ids[0], "artist"), "The Band 1");

    // A folder run reaches the library tracks of the files it writes.
    ASSERT_EQ(run({"--folder", folder.filePath("music"), "search-replace", "--tag", "name", "--search", "Song",
                   "--replace", "Track", "--yes"})
                  .code,
              ExitCode::Success);
    const CommandRun tracks = run({"library", "tracks"});
    for (int i = 1; i <= 5; ++i)
        EXPECT_TRUE(tracks.out.contains(QStringLiteral("\tTrack %1\t").arg(i))) << tracks.out.toStdString();
    EXPECT_FALSE(tracks.out.contains("Song"));
    EXPECT_TRUE(run({"library", "refresh"}).out.contains("0 changed, 5 unchanged, 0 dead"));
}

TEST_F(WriteThroughCommands, AnUnwritableFileStopsTheRunKeepingTheEarlierTracks)
{
    ReadOnlyPlace place(folder, "music/z");
    if (!place.available())
        GTEST_SKIP() << "no way to make a file unwritable here";
    const QString locked = place.addSeed("seed.mp3", "locked.mp3");
    MusicTrack::withPath(locked).setTag("name", "Song 9");
    MusicTrack::withPath(locked).setTag("artist", "the band 9");
    const QList<qint64> ids = importFive();
    const QByteArray lockedBytes = TestFolder::readAll(locked);
    ASSERT_TRUE(place.lock());
    qint64 lockedId = 0;
    {
        MusicLibrary library(libraryPath);
        for (const TrackRef &ref : library.allTracks())
            if (library.storedLocation(ref) == locked)
                lockedId = ref.trackId;
    }
    ASSERT_NE(lockedId, 0);

    // The locked file sorts last: the five before it are written.
    const CommandRun stopped = runProcess({"--playlist", "All", "search-replace", "--tag", "artist", "--search", "the band",
                                    "--replace", "The Band", "--yes"});
    EXPECT_EQ(stopped.code, ExitCode::Failed);
    EXPECT_TRUE(stopped.err.contains("Changes Not Completed")) << stopped.err.toStdString();
    EXPECT_TRUE(stopped.err.contains("'Song 9'")) << stopped.err.toStdString();
    EXPECT_TRUE(stopped.err.contains("5 of 6 checked changes had been made")) << stopped.err.toStdString();
    EXPECT_EQ(TestFolder::readAll(locked), lockedBytes);
    EXPECT_EQ(inLibrary(lockedId, "artist"), "the band 9");
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(inFile(paths[i], "artist"), QStringLiteral("The Band %1").arg(i + 1));
        EXPECT_EQ(inLibrary(ids[i], "artist"), QStringLiteral("The Band %1").arg(i + 1));
    }
}

TEST_F(WriteThroughCommands, RefreshTakesAnOutsideEditAndKeepsWhatOnlyTheLibraryKnows)
{
    const QList<qint64> ids = importFive();
    {
        MusicLibrary library(libraryPath);
        library.setProperty({ids[0], 0, 0}, "playedCount", 3);
        library.setProperty({ids[0], 0, 0}, "rating", 60);
    }
    MusicTrack::withPath(paths[0]).setTag("album", "Edited Outside");
    QFile::remove(paths[4]);
    const CommandRun refreshed = run({"library", "refresh", "--playlist", "All"});
    EXPECT_EQ(refreshed.code, ExitCode::Success) << refreshed.err.toStdString();
    EXPECT_TRUE(refreshed.out.contains("Refreshed 5 tracks from their files: 1 changed, 3 unchanged, 1 dead."))
        << refreshed.out.toStdString();
    EXPECT_EQ(inLibrary(ids[0], "album"), "Edited Outside");
    EXPECT_EQ(inLibrary(ids[0], "playedCount"), "3");
    EXPECT_EQ(inLibrary(ids[0], "rating"), "60");
    EXPECT_EQ(MusicLibrary(libraryPath).tracksOf(MusicLibrary(libraryPath).playlistNamed("All")->id).size(), 5);
    EXPECT_EQ(run({"library", "refresh", "--playlist", "Nope"}).code, ExitCode::Failed);

    // Never-played tracks are played 0 times.
    ASSERT_EQ(run({"library", "playlist-create", "Unplayed"}).code, ExitCode::Success);
    ASSERT_EQ(run({"library", "playlist-create", "Played"}).code, ExitCode::Success);
    EXPECT_EQ(run({"--playlist", "All", "playlist", "--tag", "playedCount", "--condition", "0", "--value", "0",
                   "--action", "add", "--target", "Unplayed", "--yes"})
                  .code,
              ExitCode::Success);
    EXPECT_EQ(MusicLibrary(libraryPath).tracksOf(MusicLibrary(libraryPath).playlistNamed("Unplayed")->id).size(), 4);
    const CommandRun isNot = run({"--playlist", "All", "playlist", "--tag", "playedCount", "--condition", "1",
                                  "--value", "0", "--action", "add", "--target", "Played", "--dry-run"});
    EXPECT_TRUE(isNot.out.contains("Song 1")) << isNot.out.toStdString();
    EXPECT_FALSE(isNot.out.contains("Song 2")) << isNot.out.toStdString();
}
