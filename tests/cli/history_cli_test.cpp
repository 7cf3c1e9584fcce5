// SPDX-License-Identifier: GPL-3.0-or-later
// The history of applied runs, as separate runs of the built program see it.
#include "cliprocess.h"
#include "library/historystore.h"
#include "library/musiclibrary.h"
#include "model/musictrack.h"
#include "readonlyplace.h"
#include "testfiles.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>

namespace {

class HistoryCommands : public ::testing::Test {
protected:
    CliResult run(const QStringList &args) { return runCli(QStringList{"--library", libraryPath} + args, locations); }
    QJsonValue json(const QStringList &args)
    {
        const CliResult r = run(args + QStringList{"--json"});
        EXPECT_EQ(r.status, 0) << r.err.toStdString();
        return QJsonDocument::fromJson(r.out.toUtf8()).isArray()
                   ? QJsonValue(QJsonDocument::fromJson(r.out.toUtf8()).array())
                   : QJsonValue(QJsonDocument::fromJson(r.out.toUtf8()).object());
    }
    // Four tagged copies of the seed in the library, in the playlist "All".
    QList<qint64> importFour()
    {
        MusicLibrary library(libraryPath);
        QList<qint64> ids;
        for (int i = 1; i <= 4; ++i) {
            const QString path = folder.addSeed("seed.mp3", QStringLiteral("music/%1.mp3").arg(i));
            MusicTrack::withPath(path).setTag("name", QStringLiteral("Song %1").arg(i));
            MusicTrack::withPath(path).setTag("artist", QStringLiteral("the band %1").arg(i));
            paths << path;
            ids << library.importFile({path, {{"name", QStringLiteral("Song %1").arg(i)},
                                             {"artist", QStringLiteral("the band %1").arg(i)}}});
        }
        library.addToPlaylist(library.createPlaylist("All"), ids);
        library.createPlaylist("Mine");
        return ids;
    }

    ScopedUserLocations locations;
    TestFolder folder;
    QString libraryPath = folder.filePath("library.sqlite");
    QString historyPath = folder.filePath("history.sqlite");
    QStringList paths;
};

} // namespace

TEST_F(HistoryCommands, AppliedRunsAreListedWithTheirChangesByALaterProcess)
{
    const QList<qint64> ids = importFour();
    const CliResult nothing = run({"history"});
    EXPECT_EQ(nothing.status, 0);
    EXPECT_TRUE(nothing.out.isEmpty());
    EXPECT_FALSE(QFile::exists(historyPath)) << "listing makes no history";

    const CliResult replaced = run({"--playlist", "All", "search-replace", "--tag", "artist", "--search", "the band",
                                    "--replace", "The Band", "--uncheck", "2", "--yes"});
    ASSERT_EQ(replaced.status, 0) << replaced.err.toStdString();
    const CliResult added = run({"--playlist", "All", "playlist", "--tag", "name", "--condition", "2", "--value",
                                 "Song", "--action", "add", "--target", "Mine", "--uncheck", "3", "--yes"});
    ASSERT_EQ(added.status, 0) << added.err.toStdString();
    // A folder run whose last file cannot be written: what it did write is there.
    ReadOnlyPlace place(folder, "music/z");
    if (!place.available())
        GTEST_SKIP() << "no way to make a file unwritable here";
    const QString locked = place.addSeed("seed.mp3", "locked.mp3");
    MusicTrack::withPath(locked).setTag("artist", "The Band 9");
    ASSERT_TRUE(place.lock());
    const CliResult folderRun = run({"--folder", folder.filePath("music"), "search-replace", "--tag", "artist",
                                     "--search", "The Band", "--replace", "THE BAND", "--case-sensitive", "--yes"});
    EXPECT_EQ(folderRun.status, 1);

    const QJsonArray runs = json({"history"}).toArray();
    ASSERT_EQ(runs.size(), 3);
    EXPECT_EQ(runs[0]["tool"].toString(), "Search & Replace");
    EXPECT_EQ(runs[0]["source"].toString(), "folder " + folder.filePath("music"));
    EXPECT_EQ(runs[0]["count"].toInt(), 3); // not the unchecked track's file, nor the locked one
    EXPECT_EQ(runs[1]["tool"].toString(), "Playlist Manager");
    EXPECT_EQ(runs[1]["count"].toInt(), 3);
    EXPECT_EQ(runs[2]["source"].toString(), "playlist \"All\"");
    EXPECT_EQ(runs[2]["count"].toInt(), 3);

    const QJsonObject tags = json({"history", "show", QString::number(runs[2]["number"].toInteger())}).toObject();
    const QJsonArray changes = tags["changes"].toArray();
    ASSERT_EQ(changes.size(), 3);
    for (int i : {0, 1, 2}) {
        const int track = i == 0 ? 0 : i + 1; // the second track was unchecked
        EXPECT_EQ(changes[i]["kind"].toString(), "tag");
        EXPECT_EQ(changes[i]["track"].toInteger(), ids[track]);
        EXPECT_EQ(changes[i]["key"].toString(), "artist");
        EXPECT_EQ(changes[i]["before"].toString(), QStringLiteral("the band %1").arg(track + 1));
        EXPECT_EQ(changes[i]["after"].toString(), QStringLiteral("The Band %1").arg(track + 1));
    }

    MusicLibrary library(libraryPath);
    const QList<PlaylistEntry> entries = library.entriesOf(library.playlistNamed("Mine")->id);
    const QJsonArray additions =
        json({"history", "show", QString::number(runs[1]["number"].toInteger())}).toObject()["changes"].toArray();
    ASSERT_EQ(additions.size(), 3);
    ASSERT_EQ(entries.size(), 3);
    for (int i : {0, 1, 2}) {
        EXPECT_EQ(additions[i]["kind"].toString(), "added to playlist");
        EXPECT_EQ(additions[i]["playlist"].toString(), "Mine");
        EXPECT_EQ(additions[i]["track"].toInteger(), entries[i].trackId);
        EXPECT_EQ(additions[i]["position"].toInteger(), entries[i].position);
    }
    EXPECT_EQ(entries[2].trackId, ids[3]);

    // The folder run names files; a person reads the same in lines.
    const CliResult shown = run({"history", "show", QString::number(runs[0]["number"].toInteger())});
    EXPECT_EQ(shown.status, 0);
    EXPECT_TRUE(shown.out.contains(paths[0] + "\tartist\t\u201CThe Band 1\u201D \u2192 \u201CTHE BAND 1\u201D"))
        << shown.out.toStdString();
    EXPECT_FALSE(shown.out.contains("locked.mp3"));
    EXPECT_EQ(run({"history", "show", "999"}).status, 1);
    EXPECT_EQ(run({"history", "show"}).status, 2);
}

TEST_F(HistoryCommands, AHistoryThatCannotBeUsedNeverStopsARunWhichSaysSo)
{
    const QString music = folder.filePath("music");
    const auto replace = [&](const QString &from, const QString &to) {
        return run({"--folder", music, "search-replace", "--tag", "name", "--search", from, "--replace", to, "--yes"});
    };
    const QString file = folder.addSeed("seed.mp3", "music/a.mp3");
    MusicTrack::withPath(file).setTag("name", "one");

    folder.addFile("history.sqlite", QByteArray(2048, '\x07'));
    const CliResult damaged = replace("one", "two");
    EXPECT_EQ(damaged.status, 0) << damaged.err.toStdString();
    EXPECT_EQ(MusicTrack::withPath(file).valueForTag("name").toString(), "two");
    EXPECT_TRUE(damaged.err.contains("The history could not record this run")) << damaged.err.toStdString();
    // Renaming writes without a review, and says the same.
    const CliResult renamed = run({"--folder", music, "rename", "--pattern", "#t", "--yes"});
    EXPECT_EQ(renamed.status, 0) << renamed.err.toStdString();
    EXPECT_TRUE(QFile::exists(folder.filePath("music/two.mp3")));
    EXPECT_TRUE(renamed.err.contains("The history could not record this run")) << renamed.err.toStdString();
    QFile::rename(folder.filePath("music/two.mp3"), file);
    EXPECT_EQ(TestFolder::readAll(historyPath), QByteArray(2048, '\x07'));
    const CliResult listed = run({"history"});
    EXPECT_EQ(listed.status, 1);
    EXPECT_TRUE(listed.err.contains("left untouched")) << listed.err.toStdString();

    // A history from a newer version: refused the same way.
    QFile::remove(historyPath);
    ASSERT_EQ(replace("two", "three").status, 0);
    {
        sqlite3 *db = nullptr;
        ASSERT_EQ(sqlite3_open(historyPath.toUtf8().constData(), &db), SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(db, "PRAGMA user_version = 7", nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_close(db);
    }
    const CliResult newer = replace("three", "four");
    EXPECT_EQ(newer.status, 0);
    EXPECT_EQ(MusicTrack::withPath(file).valueForTag("name").toString(), "four");
    EXPECT_TRUE(newer.err.contains("newer version")) << newer.err.toStdString();

    // A history that cannot be made: the library stands in a folder nothing can be written to.
    ReadOnlyPlace place(folder, "locked");
    if (!place.available())
        GTEST_SKIP() << "no way to make a folder unwritable here";
    ASSERT_TRUE(place.lock() && (::geteuid() == 0 || QFile::setPermissions(folder.filePath("locked"),
                                                                             QFile::ReadOwner | QFile::ExeOwner)));
    const CliResult unwritable = runCli({"--library", folder.filePath("locked/library.sqlite"), "--folder", music,
                                         "search-replace", "--tag", "name", "--search", "four", "--replace", "five",
                                         "--yes"},
                                        locations);
    EXPECT_EQ(unwritable.status, 0) << unwritable.err.toStdString();
    EXPECT_EQ(MusicTrack::withPath(file).valueForTag("name").toString(), "five");
    EXPECT_TRUE(unwritable.err.contains("The history could not record this run")) << unwritable.err.toStdString();
}
