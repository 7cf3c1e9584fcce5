// SPDX-License-Identifier: GPL-3.0-or-later
// The player and playlist imports and the playlist exports, through the
// built quavertin-cli as a person types them.
#include "library/librarybuilder.h"
#include "cliprocess.h"
#include "userlocations.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QUrl>
#include <gtest/gtest.h>
#include <sqlite3.h>


TEST(ImportCommands, PlayerFromItsDefaultPlaceThenExportedAsM3u8RelativeAndImportedBack)
{
    ScopedUserLocations locations;
    TestFolder folder;
    const QString library = folder.filePath("lib/library.sqlite");
    const QString one = folder.addSeed("seed.mp3", "Musik/Ærø one.mp3");
    const QString two = folder.addSeed("seed.ogg", "Musik/two.ogg");
    const auto uri = [](const QString &path) { return QString::fromLatin1(QUrl::fromLocalFile(path).toEncoded()); };
    // Rhythmbox's own place under the (temporary) data home.
    const QString rhythmbox = locations.dataHome() + "/rhythmbox";
    QDir().mkpath(rhythmbox);
    QFile db(rhythmbox + "/rhythmdb.xml");
    ASSERT_TRUE(db.open(QIODevice::WriteOnly));
    db.write(QStringLiteral("<rhythmdb version=\"1.9\"><entry type=\"song\"><location>%1</location><rating>5</rating>"
                            "</entry><entry type=\"song\"><location>%2</location></entry></rhythmdb>")
                 .arg(uri(one), uri(two))
                 .toUtf8());
    db.close();
    QFile lists(rhythmbox + "/playlists.xml");
    ASSERT_TRUE(lists.open(QIODevice::WriteOnly));
    lists.write(QStringLiteral("<rhythmdb-playlists><playlist name=\"Walk\" type=\"static\"><location>%2</location>"
                               "<location>%1</location></playlist></rhythmdb-playlists>")
                    .arg(uri(one), uri(two))
                    .toUtf8());
    lists.close();

    const CliResult imported = runCli({"--library", library, "library", "import-player", "rhythmbox"}, locations);
    ASSERT_EQ(imported.status, 0) << imported.err.toStdString();
    EXPECT_TRUE(imported.out.contains("Imported 2 of 2 tracks from Rhythmbox (2 new, 0 changed, 0 unchanged, 0 skipped)."))
        << imported.out.toStdString();
    EXPECT_TRUE(imported.out.contains("Playlists: 1 added, 0 updated, 0 unchanged, 0 skipped.\n  \"Walk\" added: 2 tracks\n"))
        << imported.out.toStdString();
    EXPECT_TRUE(imported.out.contains("Nothing was written to " + rhythmbox)) << imported.out.toStdString();

    // Again: nothing changed, and it says so; a track Rhythmbox never
    // played (it leaves the count out) has a play count of 0.
    const CliResult twice = runCli({"--library", library, "library", "import-player", "rhythmbox"}, locations);
    ASSERT_EQ(twice.status, 0) << twice.err.toStdString();
    EXPECT_TRUE(twice.out.contains("(0 new, 0 changed, 2 unchanged, 0 skipped)")) << twice.out.toStdString();
    EXPECT_TRUE(twice.out.contains("  \"Walk\" unchanged: 2 tracks\n")) << twice.out.toStdString();
    const CliResult json = runCli({"--library", library, "library", "tracks", "--json"}, locations);
    ASSERT_EQ(json.status, 0) << json.err.toStdString();
    const QJsonArray tracks = QJsonDocument::fromJson(json.out.toUtf8()).array();
    ASSERT_EQ(tracks.size(), 2);
    for (const QJsonValue track : tracks)
        EXPECT_EQ(track.toObject().value("playedCount"), QJsonValue(0)) << json.out.toStdString();

    const CliResult exported = runCli({"--library", library, "--playlist", "Walk", "export", "--format", "m3u8",
                                    "--relative-to", folder.path(), "--output", folder.filePath("walk.m3u8")},
                                   locations);
    ASSERT_EQ(exported.status, 0) << exported.err.toStdString();
    const QStringList lines = QString::fromUtf8(TestFolder::readAll(folder.filePath("walk.m3u8"))).split('\n');
    ASSERT_GE(lines.size(), 5);
    EXPECT_EQ(lines[2], "Musik/two.ogg");
    EXPECT_EQ(lines[4], "Musik/Ærø one.mp3");

    const CliResult back = runCli({"--library", library, "library", "import-playlist", folder.filePath("walk.m3u8"),
                                "--name", "Walk again"},
                               locations);
    ASSERT_EQ(back.status, 0) << back.err.toStdString();
    EXPECT_TRUE(back.out.contains("Made the playlist \"Walk again\" with 2 tracks (0 new in the library, 0 entries left out)."))
        << back.out.toStdString();
    const CliResult walk = runCli({"--library", library, "library", "tracks", "--playlist", "Walk"}, locations);
    const CliResult again = runCli({"--library", library, "library", "tracks", "--playlist", "Walk again"}, locations);
    EXPECT_EQ(walk.out, again.out);
    EXPECT_EQ(walk.out.count('\n'), 2);

    // Bad usage and refusals say why, with the right exit status.
    const CliResult unknown = runCli({"--library", library, "library", "import-player", "winamp"}, locations);
    EXPECT_EQ(unknown.status, 2);
    EXPECT_TRUE(unknown.err.contains("unknown player \"winamp\"; choose one of rhythmbox, strawberry, clementine, beets"));
    // A failed import makes no library file.
    const QString unborn = folder.filePath("unborn/library.sqlite");
    const CliResult missing = runCli({"--library", unborn, "library", "import-player", "strawberry"}, locations);
    EXPECT_EQ(missing.status, 1);
    EXPECT_TRUE(missing.err.contains("strawberry/strawberry/strawberry.db")) << missing.err.toStdString();
    EXPECT_TRUE(missing.err.contains("does not exist")) << missing.err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(unborn));
    const CliResult relativeXml = runCli({"--library", library, "export", "--format", "xml", "--relative-to",
                                       folder.path(), "--output", folder.filePath("x.xml")},
                                      locations);
    EXPECT_EQ(relativeXml.status, 2);
    EXPECT_TRUE(relativeXml.err.contains("--relative-to goes with --format m3u8"));

    // A playlist file's entries are another program's text: one that would
    // retitle the terminal is printed escaped, and left out as missing.
    QFile hostile(folder.filePath("hostile.m3u8"));
    ASSERT_TRUE(hostile.open(QIODevice::WriteOnly));
    hostile.write("#EXTM3U\n/nowhere/\x1b]0;owned\x07 \u202e.mp3\n" + QFile::encodeName(one) + "\n");
    hostile.close();
    const CliResult escaped =
        runCli({"--library", library, "library", "import-playlist", hostile.fileName(), "--name", "Hostile"}, locations);
    EXPECT_EQ(escaped.status, 0) << escaped.err.toStdString();
    EXPECT_TRUE(escaped.err.contains("left out /nowhere/\\e]0;owned\\x07 \\u202E.mp3")) << escaped.err.toStdString();
    EXPECT_FALSE(escaped.err.contains(QChar(0x1b)));
    EXPECT_FALSE(escaped.err.contains(QChar(0x202e)));
}

// A playlist whose entries are partly missing comes shortened and names what
// it left out; one whose entries are all missing makes no playlist, and no
// library either. --base reads paths written against a music folder.
TEST(ImportCommands, PlaylistFilesLeaveOutMissingEntriesByNameAndMakeNothingOfNone)
{
    ScopedUserLocations locations;
    TestFolder folder;
    const QString library = folder.filePath("lib/library.sqlite");
    const QString one = folder.addSeed("seed.mp3", "Musik/one.mp3");
    const QString relative = folder.addFile("lists/relative.m3u", "Musik/one.mp3\nMusik/gone.mp3\n");

    const CliResult none = runCli({"--library", library, "library", "import-playlist", relative}, locations);
    EXPECT_EQ(none.status, 1);
    EXPECT_TRUE(none.err.contains("left out " + folder.filePath("lists/Musik/one.mp3") + ": the file does not exist\n"))
        << none.err.toStdString();
    EXPECT_TRUE(none.err.contains("left out " + folder.filePath("lists/Musik/gone.mp3") + ": the file does not exist\n"));
    EXPECT_TRUE(none.err.contains("quavertin-cli: no playlist was made from " + relative +
                                  ": none of its 2 entries is a music file here"))
        << none.err.toStdString();
    EXPECT_TRUE(none.out.isEmpty());
    EXPECT_FALSE(QFileInfo::exists(library));

    const CliResult notFolder =
        runCli({"--library", library, "library", "import-playlist", relative, "--base", one}, locations);
    EXPECT_EQ(notFolder.status, 1);
    EXPECT_TRUE(notFolder.err.contains(one + " is not a folder")) << notFolder.err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(library));

    const CliResult based =
        runCli({"--library", library, "library", "import-playlist", relative, "--base", folder.path()}, locations);
    ASSERT_EQ(based.status, 0) << based.err.toStdString();
    EXPECT_EQ(based.out, "Made the playlist \"relative\" with 1 tracks (1 new in the library, 1 entries left out).\n");
    EXPECT_EQ(based.err, "left out " + folder.filePath("Musik/gone.mp3") + ": the file does not exist\n");
    const CliResult listed = runCli({"--library", library, "library", "tracks", "--playlist", "relative"}, locations);
    EXPECT_TRUE(listed.out.endsWith("\t" + one + "\n")) << listed.out.toStdString();
    EXPECT_EQ(listed.out.count('\n'), 1);
}

// A player's playlist that came shortened names what it lacks, and the next
// import repairs it under the name the person gave it; a playlist the person
// made keeps its tracks. beets is found from its configuration's folder, its
// playlist plugin's files read against its music folder.
TEST(ImportCommands, PlayersShortenedPlaylistsAreNamedAndRepairedWhereTheyStand)
{
    ScopedUserLocations locations;
    TestFolder folder;
    const QString library = folder.filePath("lib/library.sqlite");
    const QString one = folder.addSeed("seed.mp3", "Music/one.mp3");
    const QString two = folder.addSeed("seed.ogg", "Music/two.ogg");
    const QString gone = folder.filePath("Music/gone.mp3");
    const auto uri = [](const QString &path) { return QString::fromLatin1(QUrl::fromLocalFile(path).toEncoded()); };
    folder.addFile("rb/rhythmdb.xml", QStringLiteral("<rhythmdb version=\"2.0\"><entry type=\"song\"><location>%1</location>"
                                                     "</entry><entry type=\"song\"><location>%2</location></entry></rhythmdb>")
                                          .arg(uri(one), uri(gone))
                                          .toUtf8());
    folder.addFile("rb/playlists.xml",
                   QStringLiteral("<rhythmdb-playlists><playlist name=\"Walk\" type=\"static\"><location>%1</location>"
                                  "<location>%2</location></playlist><playlist name=\"Dinner\" type=\"static\">"
                                  "<location>%1</location></playlist></rhythmdb-playlists>")
                       .arg(uri(one), uri(gone))
                       .toUtf8());
    const QStringList importRhythmbox{"--library", library, "library", "import-player", "rhythmbox", folder.filePath("rb")};
    const CliResult first = runCli(importRhythmbox, locations);
    ASSERT_EQ(first.status, 0) << first.err.toStdString();
    EXPECT_TRUE(first.out.contains("  \"Walk\" added: 1 tracks, 1 entries left out\n")) << first.out.toStdString();
    EXPECT_TRUE(first.err.contains("left out of \"Walk\": " + gone + ": the file does not exist\n")) << first.err.toStdString();

    folder.addSeed("seed.mp3", "Music/gone.mp3");
    ASSERT_EQ(runCli({"--library", library, "library", "playlist-rename", "Walk", "Evening walk"}, locations).status, 0);
    ASSERT_EQ(runCli({"--library", library, "library", "playlist-delete", "Dinner"}, locations).status, 0);
    ASSERT_EQ(runCli({"--library", library, "library", "playlist-create", "Dinner"}, locations).status, 0);
    const CliResult again = runCli(importRhythmbox, locations);
    ASSERT_EQ(again.status, 0) << again.err.toStdString();
    EXPECT_TRUE(again.out.contains("(1 new, 0 changed, 1 unchanged, 0 skipped).\n"
                                   "Playlists: 0 added, 1 updated, 0 unchanged, 1 skipped.\n"
                                   "  \"Evening walk\" updated: 2 tracks\n"))
        << again.out.toStdString();
    EXPECT_TRUE(again.err.contains("skipped playlist \"Dinner\": the library has a playlist of that name with other "
                                   "tracks, not one brought over from Rhythmbox"))
        << again.err.toStdString();
    EXPECT_EQ(runCli({"--library", library, "library", "tracks", "--playlist", "Evening walk"}, locations).out.count('\n'), 2);
    EXPECT_TRUE(runCli({"--library", library, "library", "tracks", "--playlist", "Dinner"}, locations).out.isEmpty());

    // beets, given the folder of its configuration.
    folder.addFile("beets/config.yaml", QStringLiteral("library: music.db\ndirectory: %1\nplugins: playlist smartplaylist\n"
                                                       "playlist:\n  playlist_dir: %2\n"
                                                       "smartplaylist:\n  playlists:\n    - {name: all.m3u, query: ''}\n")
                                            .arg(folder.filePath("Music"), folder.filePath("mpd"))
                                            .toUtf8());
    folder.addFile("mpd/road.m3u", "two.ogg\none.mp3\n");
    folder.addFile("mpd/all.m3u", "one.mp3\ntwo.ogg\ngone.mp3\n");
    const QString database = folder.filePath("beets/music.db");
    sqlite3 *db = nullptr;
    ASSERT_EQ(sqlite3_open(database.toUtf8().constData(), &db), SQLITE_OK);
    const QByteArray sql = "CREATE TABLE items (id INTEGER PRIMARY KEY, path BLOB); INSERT INTO items (path) VALUES (CAST('" +
                           QFile::encodeName(two) + "' AS BLOB));";
    ASSERT_EQ(sqlite3_exec(db, sql.constData(), nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
    const CliResult beets =
        runCli({"--library", library, "library", "import-player", "beets", folder.filePath("beets")}, locations);
    ASSERT_EQ(beets.status, 0) << beets.err.toStdString();
    EXPECT_TRUE(beets.out.contains("Imported 2 of 2 tracks from beets (1 new, 0 changed, 1 unchanged, 0 skipped).\n"
                                   "Playlists: 1 added, 0 updated, 0 unchanged, 1 skipped.\n  \"road\" added: 2 tracks\n"
                                   "Nothing was written to " + database + ".\n"))
        << beets.out.toStdString();
    EXPECT_EQ(beets.err, "skipped playlist \"all\": a playlist of beets' smartplaylist plugin; its query is beets' own\n");
}
