// SPDX-License-Identifier: GPL-3.0-or-later
#include "clirunner.h"
#include "library/musiclibrary.h"
#include "model/musictrack.h"
#include "testfiles.h"
#include "app/filetoolrun.h"
#include "userlocations.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

namespace {

class FileToolCommands : public ::testing::Test {
protected:
    FileToolCommands() { MusicLibrary library(libraryPath()); }

    QString libraryPath() const { return files.filePath("library.sqlite"); }

    int cli(QStringList args)
    {
        out.clear();
        err.clear();
        QTextStream outStream(&out);
        QTextStream errStream(&err);
        const int status = int(cli::runMain(QStringList{"--library", libraryPath()} + args, outStream, errStream,
                                            nullptr, false, false));
        outStream.flush();
        errStream.flush();
        return status;
    }

    QString addTrack(const QString &relative, const QString &title, unsigned track)
    {
        return addTaggedSeed(files, relative, title, track, "Seed Artist");
    }

    ScopedUserLocations locations;
    TestFolder files;
    QString out;
    QString err;
};

} // namespace

TEST_F(FileToolCommands, RenameWithItsOptions)
{
    addTrack("m/a.mp3", "Intro", 3);
    addTrack("m/sub/b.mp3", "Below", 4);
    EXPECT_EQ(cli({"--folder", files.filePath("m"), "rename", "--pattern", "#n #t", "--padding", "always", "--yes"}), 0)
        << err.toStdString();
    EXPECT_EQ(QDir(files.filePath("m")).entryList(QDir::Files), QStringList{"03 Intro.mp3"});
    EXPECT_EQ(QDir(files.filePath("m/sub")).entryList(QDir::Files), QStringList{"b.mp3"});

    EXPECT_EQ(cli({"--folder", files.filePath("m"), "rename", "--pattern", "#t", "--recursive", "--yes"}), 0);
    EXPECT_EQ(QDir(files.filePath("m/sub")).entryList(QDir::Files), QStringList{"Below.mp3"});

    addTrack("n/a.mp3", "NoNumber", 0);
    EXPECT_EQ(cli({"--folder", files.filePath("n"), "rename", "--skip-missing", "--yes"}), 0);
    EXPECT_EQ(QDir(files.filePath("n")).entryList(QDir::Files), QStringList{"a.mp3"});

    EXPECT_EQ(cli({"--folder", files.filePath("n"), "rename", "--padding", "sometimes"}), 2);
    EXPECT_TRUE(err.contains("--padding")) << err.toStdString();
    // A dry run shows what would happen and renames nothing.
    EXPECT_EQ(cli({"--folder", files.filePath("n"), "rename", "--dry-run"}), 0);
    EXPECT_TRUE(out.contains(QString::fromUtf8("a.mp3 → #n - NoNumber.mp3"))) << out.toStdString();
    EXPECT_EQ(QDir(files.filePath("n")).entryList(QDir::Files), QStringList{"a.mp3"});
}

TEST_F(FileToolCommands, RenameRefusalsExitWithOne)
{
    files.addFile("text/notes.txt", "hello");
    EXPECT_EQ(cli({"--folder", files.filePath("text"), "rename"}), 1);
    // Without a terminal the media-folder warning takes its default answer, Cancel.
    addTrack("iTunes/iTunes Music/a.mp3", "Intro", 3);
    EXPECT_EQ(cli({"--folder", files.filePath("iTunes/iTunes Music"), "rename"}), 1);
    EXPECT_EQ(QDir(files.filePath("iTunes/iTunes Music")).entryList(QDir::Files), QStringList{"a.mp3"});
}

TEST_F(FileToolCommands, ExportWritesTheChosenFormat)
{
    addTrack("m/a.mp3", "Intro", 3);
    const QString output = files.filePath("list.xml");
    EXPECT_EQ(cli({"--folder", files.filePath("m"), "export", "--format", "xml", "--output", output}), 0)
        << err.toStdString();
    const QByteArray xml = TestFolder::readAll(output);
    EXPECT_TRUE(xml.startsWith("<?xml version=\"1.0\"?>\n<playlist name='")) << xml.toStdString();
    EXPECT_TRUE(xml.contains("title='Intro'"));

    EXPECT_EQ(cli({"--folder", files.filePath("m"), "export", "--output", files.filePath("list.txt")}), 0);
    EXPECT_EQ(TestFolder::readAll(files.filePath("list.txt")), "Seed Artist\tIntro\tSeed Album\t0.0\n");

    // Without --output the document goes to standard output, as with "-".
    EXPECT_EQ(cli({"--folder", files.filePath("m"), "export", "--format", "xml"}), 0) << err.toStdString();
    EXPECT_EQ(out.toUtf8(), xml);
    EXPECT_EQ(cli({"--folder", files.filePath("m"), "export", "--output="}), 2);
    EXPECT_EQ(cli({"--folder", files.filePath("m"), "export", "--format", "csv", "--output", output}), 2);
}

TEST_F(FileToolCommands, SizeReportsOrRefuses)
{
    {
        MusicLibrary library(libraryPath());
        const qint64 id = library.importFile({files.filePath("x.mp3"), {{"name", "X"}, {"bitRate", 320}, {"duration", 100.0}}});
        library.addToPlaylist(library.createPlaylist("Loud"), {id});
    }
    EXPECT_EQ(cli({"--playlist", "Loud", "size", "--bitrate", "192"}), 0) << err.toStdString();
    // The report is the command's output, said once.
    EXPECT_TRUE(out.startsWith("These files are currently occupying approximately 3.91 MB with an average bitrate of "
                               "320.0 kbps.\n\n"))
        << out.toStdString();
    EXPECT_TRUE(out.contains("when converting them all to 192 kbps")) << out.toStdString();
    EXPECT_FALSE(err.contains("occupying")) << err.toStdString();
    EXPECT_EQ(cli({"--playlist", "Loud", "size", "--bitrate", "100"}), 2);
    files.addFile("text/notes.txt", "hello");
    EXPECT_EQ(cli({"--folder", files.filePath("text"), "size"}), 1);
}

TEST_F(FileToolCommands, FromFilenameTakesTagsFromFolderLevelsWithItsOptions)
{
    const QString song = addTrack("m/Some_Band/03_-_Big_Song.mp3", "old", 0);
    const QString stray = addTrack("m/Some_Band/stray.mp3", "Stray", 1);
    const auto tag = [](const QString &path, const QString &key) { return MusicTrack::withPath(path).valueForTag(key); };
    // A dry run shows the review and writes nothing.
    EXPECT_EQ(cli({"--folder", files.filePath("m"), "from-filename", "--pattern", "#a/#n_-_#t",
                   "--underscores", "--dry-run"}),
              0)
        << err.toStdString();
    EXPECT_TRUE(out.contains("Big Song")) << out.toStdString();
    EXPECT_EQ(tag(song, "name"), "old");

    EXPECT_EQ(cli({"--folder", files.filePath("m"), "from-filename", "--pattern", "#a/#n_-_#t",
                   "--keep-existing", "--yes"}),
              0)
        << err.toStdString();
    EXPECT_EQ(tag(song, "name"), "old");
    EXPECT_EQ(tag(song, "artist"), "Seed Artist");
    EXPECT_EQ(tag(song, "trackNumber").toInt(), 3);
    EXPECT_EQ(tag(stray, "trackNumber").toInt(), 1);

    // A regular expression without a group it knows is refused; one with them takes the tags.
    EXPECT_EQ(cli({"--folder", files.filePath("m"), "from-filename", "--regex", "--pattern", "(?<x>.+)"}), 1);
    EXPECT_EQ(cli({"--folder", files.filePath("m"), "from-filename", "--regex", "--pattern",
                   "/(?<artist>[^/]+)/(?<track>\\d+)_-_(?<title>[^/]+)", "--underscores", "--yes"}),
              0)
        << err.toStdString();
    EXPECT_EQ(tag(song, "name"), "Big Song");
    EXPECT_EQ(tag(song, "artist"), "Some Band");
}

TEST_F(FileToolCommands, NumberAndOrganizeWithTheirOptions)
{
    const QString b = addTrack("m/x/b.mp3", "Second", 9);
    const QString a = addTrack("m/x/a.mp3", "First", 9);
    const QString c = addTrack("m/y/c.mp3", "Third", 9);
    const auto tag = [](const QString &path, const QString &key) { return MusicTrack::withPath(path).valueForTag(key); };
    EXPECT_EQ(cli({"--folder", files.filePath("m"), "number", "--restart", "folder", "--totals", "--start", "3",
                   "--yes"}),
              0)
        << err.toStdString();
    EXPECT_EQ(tag(a, "trackNumber").toInt(), 3);
    EXPECT_EQ(tag(b, "trackNumber").toInt(), 4);
    EXPECT_EQ(tag(c, "trackNumber").toInt(), 3);
    EXPECT_EQ(tag(c, "trackCount").toInt(), 1);
    EXPECT_EQ(cli({"--folder", files.filePath("m"), "number", "--order", "name", "--restart", "never", "--yes"}), 0);
    EXPECT_EQ(tag(a, "trackNumber").toInt(), 1);
    EXPECT_EQ(tag(b, "trackNumber").toInt(), 2);
    EXPECT_EQ(tag(c, "trackNumber").toInt(), 3);
    EXPECT_EQ(cli({"--folder", files.filePath("m"), "number", "--restart", "sometimes"}), 2);
    EXPECT_EQ(cli({"--folder", files.filePath("m"), "number", "--start", "0"}), 2);

    EXPECT_EQ(cli({"--folder", files.filePath("m"), "organize"}), 2);
    // A dry run shows old and new paths (the table shortens long ones) and moves nothing.
    EXPECT_EQ(cli({"--folder", files.filePath("m"), "organize", "--to", files.filePath("lib"), "--pattern",
                   "#a/#n #t", "--dry-run", "--json"}),
              0)
        << err.toStdString();
    EXPECT_TRUE(out.contains(files.filePath("lib/Seed Artist/01 First.mp3"))) << out.toStdString();
    EXPECT_TRUE(QFileInfo::exists(a));
    EXPECT_EQ(cli({"--folder", files.filePath("m"), "organize", "--to", files.filePath("lib"), "--pattern",
                   "#a/#n #t", "--remove-empty", "--yes"}),
              0)
        << err.toStdString();
    EXPECT_EQ(QDir(files.filePath("lib/Seed Artist")).entryList(QDir::Files),
              (QStringList{"01 First.mp3", "02 Second.mp3", "03 Third.mp3"}));
    EXPECT_EQ(QDir(files.filePath("m")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{});
}
