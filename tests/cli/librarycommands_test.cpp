// SPDX-License-Identifier: GPL-3.0-or-later
#include "librarycommands.h"
#include "library/musiclibrary.h"
#include "files/musicfiles.h"
#include "support/textutils.h"
#include "testfiles.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

namespace {

// One run of `quavertin-cli --library FILE library ...` with its outputs.
struct CommandRun {
    ExitCode code;
    QString out;
    QString err;
};

class LibraryCommandsTest : public ::testing::Test {
protected:
    TestFolder folder;
    QString libraryPath = folder.filePath("lib/library.sqlite");

    CommandRun run(const QStringList &args)
    {
        CommandRun r{};
        QTextStream out(&r.out), err(&r.err);
        r.code = runLibraryCommand(args, libraryPath, out, err);
        out.flush();
        err.flush();
        return r;
    }

    QStringList lines(const QString &text) { return text.split('\n', Qt::SkipEmptyParts); }
};

TEST_F(LibraryCommandsTest, HelpAtEveryLevel)
{
    const CommandRun top = run({"--help"});
    EXPECT_EQ(top.code, ExitCode::Success);
    for (const char *command : {"import", "tracks", "playlists", "playlist-create", "playlist-add", "select", "selection"}) {
        EXPECT_TRUE(top.out.contains(command)) << command;
        const CommandRun help = run({command, "--help"});
        EXPECT_EQ(help.code, ExitCode::Success) << command;
        EXPECT_TRUE(help.out.startsWith(QString("usage: quavertin-cli library ") + command)) << command;
    }
    EXPECT_FALSE(QFile::exists(libraryPath)) << "help opens no library";
}

// The import help names the extensions by hand; it must name the ones import takes.
TEST_F(LibraryCommandsTest, ImportHelpNamesTheMusicExtensions)
{
    const CommandRun help = run({"import", "--help"});
    const QString described = help.out.simplified();
    EXPECT_TRUE(described.contains(musicfiles::musicExtensions().join(' '))) << described.toStdString();
    EXPECT_TRUE(described.contains("stores its tags in the library.")) << described.toStdString();
}

TEST_F(LibraryCommandsTest, BadUsageIsStatusTwoAndCreatesNothing)
{
    EXPECT_EQ(run({}).code, ExitCode::BadUsage);
    const CommandRun unknown = run({"frobnicate"});
    EXPECT_EQ(unknown.code, ExitCode::BadUsage);
    EXPECT_TRUE(unknown.err.contains("frobnicate"));
    EXPECT_EQ(run({"import"}).code, ExitCode::BadUsage);
    EXPECT_EQ(run({"import", "a", "b"}).code, ExitCode::BadUsage);
    const CommandRun option = run({"tracks", "--colour"});
    EXPECT_EQ(option.code, ExitCode::BadUsage);
    EXPECT_TRUE(option.err.contains("--colour"));
    EXPECT_EQ(run({"tracks", "--playlist"}).code, ExitCode::BadUsage);
    EXPECT_EQ(run({"playlist-add", "Mix"}).code, ExitCode::BadUsage);
    EXPECT_EQ(run({"select", "1", "two"}).code, ExitCode::BadUsage);
    EXPECT_EQ(run({"select", "-3"}).code, ExitCode::BadUsage);
    EXPECT_FALSE(QFile::exists(libraryPath));
}

TEST_F(LibraryCommandsTest, ImportListAndOrganise)
{
    folder.addSeed("seed.mp3", "music/Band/Album/01 One.mp3");
    folder.addSeed("seed.flac", "music/Band/Album/02 Two.FLAC");
    folder.addFile("music/Band/Album/broken.ogg", "not an ogg file at all");
    const CommandRun import = run({"import", folder.filePath("music")});
    EXPECT_EQ(import.code, ExitCode::Success) << import.err.toStdString();
    EXPECT_TRUE(import.out.contains("2 new")) << import.out.toStdString();
    EXPECT_TRUE(import.err.contains("broken.ogg")) << import.err.toStdString();
    EXPECT_FALSE(import.err.contains("Importing")) << "no progress line when standard error is no terminal";

    const QStringList tracks = lines(run({"tracks"}).out);
    ASSERT_EQ(tracks.size(), 2);
    const QStringList fields = tracks[0].split('\t');
    ASSERT_EQ(fields.size(), 5);
    EXPECT_EQ(fields[1], "Seed Artist");
    EXPECT_EQ(fields[2], "Seed Title");
    EXPECT_EQ(fields[3], "Seed Album");
    EXPECT_EQ(fields[4], folder.filePath("music/Band/Album/01 One.mp3"));

    const CommandRun created = run({"playlist-create", "Road Trip"});
    EXPECT_EQ(created.code, ExitCode::Success);
    const QString id1 = tracks[0].section('\t', 0, 0), id2 = tracks[1].section('\t', 0, 0);
    EXPECT_EQ(run({"playlist-add", "Road Trip", id2, id1, id2}).code, ExitCode::Success);
    const QStringList inPlaylist = lines(run({"tracks", "--playlist", "Road Trip"}).out);
    ASSERT_EQ(inPlaylist.size(), 3);
    EXPECT_TRUE(inPlaylist[0].startsWith(id2 + '\t'));
    EXPECT_TRUE(inPlaylist[1].startsWith(id1 + '\t'));

    EXPECT_EQ(lines(run({"playlists"}).out), QStringList{created.out.trimmed() + "\tRoad Trip\tplain\t3"});
    const QJsonArray playlists = QJsonDocument::fromJson(run({"playlists", "--json"}).out.toUtf8()).array();
    ASSERT_EQ(playlists.size(), 1);
    EXPECT_EQ(playlists[0].toObject().value("tracks").toInt(), 3);
    EXPECT_FALSE(playlists[0].toObject().value("smart").toBool());

    EXPECT_EQ(run({"select", id2}).code, ExitCode::Success);
    const QJsonArray selection = QJsonDocument::fromJson(run({"selection", "--json"}).out.toUtf8()).array();
    ASSERT_EQ(selection.size(), 1);
    EXPECT_EQ(QString::number(selection[0].toObject().value("id").toInteger()), id2);
    EXPECT_EQ(selection[0].toObject().value("title").toString(), "Seed Title");

    // Importing again leaves the same tracks.
    EXPECT_TRUE(run({"import", folder.filePath("music")}).out.contains("0 new, 2 updated"));
    EXPECT_EQ(lines(run({"tracks"}).out).size(), 2);
}

TEST_F(LibraryCommandsTest, RefusalsAreStatusOneWithAReason)
{
    const CommandRun noFolder = run({"import", folder.filePath("absent")});
    EXPECT_EQ(noFolder.code, ExitCode::Failed);
    EXPECT_TRUE(noFolder.err.contains("absent"));
    EXPECT_FALSE(QFile::exists(libraryPath)) << "a mistyped folder leaves no library behind";
    folder.addFile("empty/readme.txt", "no music here");
    const CommandRun empty = run({"import", folder.filePath("empty")});
    EXPECT_EQ(empty.code, ExitCode::Failed);
    EXPECT_TRUE(empty.err.contains("no music files found in " + folder.filePath("empty"))) << empty.err.toStdString();
    EXPECT_FALSE(QFile::exists(libraryPath)) << "nor does a folder without music";

    const CommandRun noPlaylist = run({"tracks", "--playlist", "Nope"});
    EXPECT_EQ(noPlaylist.code, ExitCode::Failed);
    EXPECT_TRUE(noPlaylist.err.contains("\"Nope\""));
    run({"playlist-create", "Mix"});
    const CommandRun noTrack = run({"playlist-add", "Mix", "77"});
    EXPECT_EQ(noTrack.code, ExitCode::Failed);
    EXPECT_TRUE(noTrack.err.contains("77")) << noTrack.err.toStdString();
    EXPECT_EQ(run({"select", "77"}).code, ExitCode::Failed);

    // A file that is no library is refused and left as it was.
    const QString notALibrary = folder.addFile("notes.sqlite", "shopping list\n");
    libraryPath = notALibrary;
    const CommandRun refused = run({"tracks"});
    EXPECT_EQ(refused.code, ExitCode::Failed);
    EXPECT_TRUE(refused.err.contains("not a music library")) << refused.err.toStdString();
    EXPECT_EQ(TestFolder::readAll(notALibrary), QByteArray("shopping list\n"));
}

TEST_F(LibraryCommandsTest, DeadTracksListAnEmptyLocation)
{
    const QString path = folder.addSeed("seed.ogg", "music/a.ogg");
    run({"import", folder.filePath("music")});
    ASSERT_TRUE(QFile::remove(path));
    const QStringList fields = lines(run({"tracks"}).out).value(0).split('\t');
    ASSERT_EQ(fields.size(), 5);
    EXPECT_EQ(fields[4], "");
    const QJsonArray json = QJsonDocument::fromJson(run({"tracks", "--json"}).out.toUtf8()).array();
    EXPECT_TRUE(json[0].toObject().value("location").isNull());
}

TEST_F(LibraryCommandsTest, OddFileNamesSurviveTheRoundTrip)
{
    const QStringList names{"music/Ünïcödé ☃/Été.mp3", "music/.hidden/.dot.flac", "music/tab\there.ogg",
                            "music/line\nbreak.m4a", "music/quote \"\\ back.wav"};
    const QStringList seeds{"seed.mp3", "seed.flac", "seed.ogg", "seed.m4a", "seed.wav"};
    QStringList paths;
    for (qsizetype i = 0; i < names.size(); ++i)
        paths.append(folder.addSeed(seeds[i], names[i]));
    EXPECT_EQ(run({"import", folder.filePath("music")}).code, ExitCode::Success);

    // One line per track even when a name holds a tab or a line break.
    EXPECT_EQ(lines(run({"tracks"}).out).size(), 5);
    QStringList listed;
    for (const QJsonValue &track : QJsonDocument::fromJson(run({"tracks", "--json"}).out.toUtf8()).array())
        listed.append(track.toObject().value("location").toString());
    listed.sort();
    paths.sort();
    EXPECT_EQ(listed, paths);
}

TEST_F(LibraryCommandsTest, AThousandFilesImportAndList)
{
    const QStringList seeds = seedNames();
    QList<QByteArray> contents;
    for (const QString &seed : seeds)
        contents.append(TestFolder::readAll(TestFolder::seedPath(seed)));
    for (int i = 0; i < 1000; ++i) {
        folder.addFile(QStringLiteral("many/Artist %1/Album %2/%3 Track.%4")
                           .arg(i % 17)
                           .arg(i % 5)
                           .arg(i, 4, 10, QLatin1Char('0'))
                           .arg(seeds[i % seeds.size()].section('.', -1)),
                       contents[i % seeds.size()]);
    }
    const CommandRun import = run({"import", folder.filePath("many")});
    EXPECT_EQ(import.code, ExitCode::Success) << import.err.toStdString();
    EXPECT_TRUE(import.out.contains("1000 new")) << import.out.toStdString();
    EXPECT_EQ(lines(run({"tracks"}).out).size(), 1000);
    EXPECT_TRUE(run({"import", folder.filePath("many")}).out.contains("0 new, 1000 updated"));
    EXPECT_EQ(MusicLibrary(libraryPath).trackCount(), 1000);
}

} // namespace

// Texts of every kind and numbers come out in JSON as a JSON writer prints
// them, read back unchanged, and no control or direction character reaches
// the terminal unescaped.
TEST_F(LibraryCommandsTest, TrackValuesOfEveryKindPrintAsJson)
{
    const QString odd = QStringLiteral("Don't \"quote\" back\\slash\ttab\nline\r\x07") + QChar(0x7f) + QChar(0x85) +
                        QStringLiteral(" émoji ") + QString::fromUcs4(U"\U0001F3B5") + QChar(0x202e) +
                        QStringLiteral("rtl") + QChar(0x200b) + QChar(0xfeff);
    {
        MusicLibrary library(libraryPath);
        library.importFile({folder.filePath("music/1.mp3"),
                            {{"name", odd}, {"artist", "plain"}, {"album", ""}, {"year", -5}, {"trackNumber", 7}}});
        library.importFile({folder.filePath("music/2.mp3"), {{"name", "Été"}, {"genre", QString(300, 'x')}}});
    }
    const QString out = run({"tracks", "--json"}).out;
    const QJsonDocument document = QJsonDocument::fromJson(out.toUtf8());
    const QJsonArray tracks = document.array();
    ASSERT_EQ(tracks.size(), 2) << out.toStdString();
    EXPECT_EQ(out, text::escapedControls(QString::fromUtf8(document.toJson(QJsonDocument::Indented)),
                                         text::ControlStyle::Json, true));
    const QJsonObject first = tracks[0].toObject();
    EXPECT_EQ(first.value("title").toString(), odd);
    EXPECT_EQ(first.value("artist").toString(), "plain");
    EXPECT_EQ(first.value("album").toString(), "");
    EXPECT_EQ(first.value("year").toInteger(), -5);
    EXPECT_EQ(first.value("trackNumber").toInteger(), 7);
    EXPECT_TRUE(first.value("location").isNull());
    EXPECT_TRUE(first.value("composer").isNull());
    EXPECT_EQ(tracks[1].toObject().value("title").toString(), "Été");
    EXPECT_FALSE(out.contains(QChar(0x202e)));
    EXPECT_TRUE(out.contains("\\u202e"));
}

// A listing longer than the pages it is read in and the pieces it is written
// in: every track once, in the library's order (a playlist's, a track standing
// twice there twice), the document formatted as a JSON writer formats it.
TEST_F(LibraryCommandsTest, ListingsLongerThanAPageHoldEveryTrackOnceInOrder)
{
    constexpr int count = 9000;
    QList<qint64> ids;
    {
        MusicLibrary library(libraryPath);
        QList<ImportedFile> files;
        for (int i = 0; i < count; ++i)
            files.append({folder.filePath(QStringLiteral("music/%1.mp3").arg(i)),
                          {{"name", QStringLiteral("Song %1 \u00e9").arg(i)}, {"year", 1900 + i % 100}}});
        ids = library.importFiles(files);
        library.deleteTracks({{ids[10], 0, 0}});
        ids.removeAt(10);
        const qint64 mix = library.createPlaylist("Mix");
        library.addToPlaylist(mix, {ids[5000], ids[3], ids[5000]});
    }
    const QString out = run({"tracks", "--json"}).out;
    const QJsonDocument document = QJsonDocument::fromJson(out.toUtf8());
    EXPECT_EQ(out, text::escapedControls(QString::fromUtf8(document.toJson(QJsonDocument::Indented)),
                                         text::ControlStyle::Json, true));
    const QJsonArray tracks = document.array();
    ASSERT_EQ(tracks.size(), count - 1);
    for (int i = 0; i < count - 1; ++i) {
        const QJsonObject track = tracks[i].toObject();
        ASSERT_EQ(track.value("id").toInteger(), ids[i]) << i;
        ASSERT_EQ(track.value("title").toString(), QStringLiteral("Song %1 \u00e9").arg(i < 10 ? i : i + 1)) << i;
    }
    const QStringList plain = lines(run({"tracks", "--columns", "year"}).out);
    ASSERT_EQ(plain.size(), count - 1);
    EXPECT_EQ(plain.last(), QStringLiteral("%1\t%2").arg(ids.last()).arg(1900 + (count - 1) % 100));
    QList<qint64> listed;
    for (const QString &line : lines(run({"tracks", "--playlist", "Mix", "--columns", "title"}).out))
        listed << line.section('\t', 0, 0).toLongLong();
    EXPECT_EQ(listed, (QList<qint64>{ids[5000], ids[3], ids[5000]}));
}
