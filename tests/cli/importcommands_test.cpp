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
