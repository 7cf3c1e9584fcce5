// SPDX-License-Identifier: GPL-3.0-or-later
// The built quavertin-cli as a script would run it: exit status, standard
// output and standard error, with no terminal attached.
#include "library/librarybuilder.h"
#include "model/musictrack.h"
#include "cliprocess.h"
#include "userlocations.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QFile>
#include <QProcess>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>


TEST(CliProcess, ExitStatusTellsSuccessRefusalAndBadUsage)
{
    ScopedUserLocations locations;
    LibraryBuilder builder;
    builder.library().createPlaylist("Mix");

    const CliResult help = runCli({"--help"}, locations);
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(help.out.startsWith("Usage: quavertin-cli [--library FILE]"));

    const CliResult none = runCli({}, locations);
    EXPECT_EQ(none.status, 2);
    EXPECT_TRUE(none.out.isEmpty());
    EXPECT_TRUE(none.err.contains("Usage:"));

    const CliResult listed = runCli({"--library", builder.libraryPath(), "library", "playlists"}, locations);
    EXPECT_EQ(listed.status, 0);
    EXPECT_TRUE(listed.out.contains("Mix"));

    // No folder chosen: the folder source refuses and says why on standard error.
    TestFolder empty;
    empty.addFile("notes.txt", "no music here");
    const CliResult refused = runCli({"--library", builder.libraryPath(), "--folder", empty.path(), "capitalize",
                                   "--tag", "name", "--method", "upper"},
                                  locations);
    EXPECT_EQ(refused.status, 1) << refused.err.toStdString();
    EXPECT_TRUE(refused.err.contains(
        "No Files: The folder you have selected doesn't seem to contain music files."))
        << refused.err.toStdString();

    const CliResult unknown = runCli({"--library", builder.libraryPath(), "transmogrify"}, locations);
    EXPECT_EQ(unknown.status, 2);
    EXPECT_TRUE(unknown.err.contains("unknown tool 'transmogrify'"));
}

TEST(CliProcess, ToolRunAppliesWithYesAndPrintsTheReview)
{
    ScopedUserLocations locations;
    LibraryBuilder builder;
    TestFolder music;
    const QString song = music.addSeed("seed.flac", "song.flac");
    MusicTrack::withPath(song).setTag("name", "quiet song");

    const CliResult dry = runCli({"--library", builder.libraryPath(), "--folder", music.path(), "capitalize", "--tag",
                               "name", "--method", "upper", "--dry-run"},
                              locations);
    EXPECT_EQ(dry.status, 0) << dry.err.toStdString();
    EXPECT_TRUE(dry.out.contains("Checked tracks of these 1 tracks will get their tag 'Title' changed:"));
    EXPECT_TRUE(dry.out.contains("quiet song") && dry.out.contains("QUIET SONG"));
    EXPECT_EQ(MusicTrack::withPath(song).title(), "quiet song");

    // Without a terminal and without --yes nothing is applied.
    const CliResult unasked = runCli({"--library", builder.libraryPath(), "--folder", music.path(), "capitalize",
                                   "--tag", "name", "--method", "upper"},
                                  locations);
    EXPECT_EQ(unasked.status, 1);
    EXPECT_EQ(MusicTrack::withPath(song).title(), "quiet song");

    const CliResult applied = runCli({"--library", builder.libraryPath(), "--folder", music.path(), "capitalize",
                                   "--tag", "name", "--method", "upper", "--yes"},
                                  locations);
    EXPECT_EQ(applied.status, 0) << applied.err.toStdString();
    EXPECT_TRUE(applied.out.contains("1 changes applied."));
    // No terminal: no progress line on standard error.
    EXPECT_FALSE(applied.err.contains("changes…"));
    EXPECT_EQ(MusicTrack::withPath(song).title(), "QUIET SONG");
}

namespace {

// Any control or bidi character that would reach the terminal raw.
bool holdsRawControls(const QString &text, bool allowLineFeeds = true)
{
    for (QChar c : text)
        if ((c.unicode() < 0x20 && !(allowLineFeeds && c == u'\n')) || (c.unicode() >= 0x7f && c.unicode() <= 0x9f) ||
            c == QChar(0x202e) || c == QChar(0x2066) || c == QChar(0x200f))
            return true;
    return false;
}

} // namespace

TEST(CliProcess, ControlAndBidiCharactersInValuesAreShownEscaped)
{
    ScopedUserLocations locations;
    LibraryBuilder builder;
    TestFolder music;
    const QString song = music.addSeed("seed.mp3", "song.mp3");
    // Retitles the terminal, rings its bell, reverses what follows, and hides a C1 escape.
    const QString hostile = QString::fromUtf16(u"Evil\x1b]0;pw\x07\u202Egpj\u2066\x9b");
    MusicTrack::withPath(song).setTag("name", hostile);
    MusicTrack::withPath(song).setTag("artist", QString::fromUtf16(u"Band\u200F\r"));
    const QString shownTitle = "Evil\\e]0;pw\\x07\\u202Egpj\\u2066\\u009B";

    const CliResult table = runCli({"--library", builder.libraryPath(), "--folder", music.path(), "search-replace",
                                 "--tag", "name", "--search", "Evil", "--replace", "Good", "--dry-run"},
                                locations);
    EXPECT_EQ(table.status, 0) << table.err.toStdString();
    EXPECT_FALSE(holdsRawControls(table.out)) << table.out.toStdString();
    EXPECT_TRUE(table.out.contains(shownTitle)) << table.out.toStdString();
    EXPECT_TRUE(table.out.contains("Band\\u200F\\r")) << table.out.toStdString();
    EXPECT_TRUE(table.out.contains("Good\\e]0;pw\\x07")) << table.out.toStdString();

    // JSON escapes them as JSON does, and a program reading it gets the values back exactly.
    const CliResult json = runCli({"--library", builder.libraryPath(), "--folder", music.path(), "search-replace",
                                "--tag", "name", "--search", "Evil", "--replace", "Good", "--dry-run", "--json"},
                               locations);
    EXPECT_EQ(json.status, 0) << json.err.toStdString();
    EXPECT_FALSE(holdsRawControls(json.out)) << json.out.toStdString();
    EXPECT_TRUE(json.out.contains("\\u202e")) << json.out.toStdString();
    const QJsonObject record = QJsonDocument::fromJson(json.out.toUtf8()).object()["records"].toArray()[0].toObject();
    EXPECT_EQ(record["title"].toString(), hostile);
    EXPECT_EQ(record["newTag"].toString(), QString(hostile).replace("Evil", "Good"));

    // The library's listings, as a table and as JSON.
    ASSERT_EQ(runCli({"--library", builder.libraryPath(), "library", "import", music.path()}, locations).status, 0);
    const CliResult tracks = runCli({"--library", builder.libraryPath(), "library", "tracks"}, locations);
    EXPECT_EQ(tracks.status, 0) << tracks.err.toStdString();
    EXPECT_FALSE(holdsRawControls(QString(tracks.out).replace('\t', ' '))) << tracks.out.toStdString();
    EXPECT_TRUE(tracks.out.contains(shownTitle))
        << tracks.out.toStdString();
    const CliResult tracksJson = runCli({"--library", builder.libraryPath(), "library", "tracks", "--json"}, locations);
    EXPECT_FALSE(holdsRawControls(tracksJson.out)) << tracksJson.out.toStdString();
    EXPECT_EQ(QJsonDocument::fromJson(tracksJson.out.toUtf8()).array()[0].toObject()["title"].toString(), hostile);

    // Applied, the value is written as it was asked, escapes and all.
    const CliResult applied = runCli({"--library", builder.libraryPath(), "--folder", music.path(), "search-replace",
                                   "--tag", "name", "--search", "Evil", "--replace", "Good", "--yes"},
                                  locations);
    EXPECT_EQ(applied.status, 0) << applied.err.toStdString();
    EXPECT_FALSE(holdsRawControls(applied.err)) << applied.err.toStdString();
    EXPECT_EQ(MusicTrack::withPath(song).title(), QString(hostile).replace("Evil", "Good"));
}

namespace {

// Folders nested below parent until their path is longer than the system
// takes, made and removed through folder handles since no path reaches them.
struct TooDeep {
    static constexpr int levels = 21;
    const QByteArray component = QByteArray(200, 'd');
    std::vector<int> folders; // handles, outermost first

    TooDeep(const QString &parent, const QByteArray &fileBytes)
    {
        folders.push_back(::open(QFile::encodeName(parent).constData(), O_RDONLY | O_DIRECTORY));
        for (int i = 0; i < levels; ++i) {
            ::mkdirat(folders.back(), component.constData(), 0700);
            folders.push_back(::openat(folders.back(), component.constData(), O_RDONLY | O_DIRECTORY));
        }
        const int fd = ::openat(folders.back(), "deep.mp3", O_WRONLY | O_CREAT | O_TRUNC, 0600);
        EXPECT_EQ(::write(fd, fileBytes.constData(), fileBytes.size()), fileBytes.size());
        ::close(fd);
    }
    QByteArray fileBytes() const
    {
        QByteArray bytes(1 << 20, '\0');
        const int fd = ::openat(folders.back(), "deep.mp3", O_RDONLY);
        const ssize_t n = fd < 0 ? -1 : ::read(fd, bytes.data(), bytes.size());
        ::close(fd);
        return n < 0 ? QByteArray() : bytes.left(n);
    }
    ~TooDeep()
    {
        ::unlinkat(folders.back(), "deep.mp3", 0);
        for (int i = levels; i > 0; --i) {
            ::close(folders[i]);
            ::unlinkat(folders[i - 1], component.constData(), AT_REMOVEDIR);
        }
        ::close(folders[0]);
    }
};

} // namespace

TEST(CliProcess, TheReviewShowsASecondNameOfAFileAsTheSameFile)
{
    ScopedUserLocations locations;
    LibraryBuilder builder;
    TestFolder music;
    const QString first = music.addSeed("seed.mp3", "a.mp3");
    ASSERT_EQ(::link(QFile::encodeName(first).constData(), QFile::encodeName(music.filePath("b.mp3")).constData()), 0);
    music.addSeed("seed.ogg", "c.ogg");
    const QStringList search{"--library", builder.libraryPath(), "--folder", music.path(), "search-replace", "--tag",
                             "name", "--search", "Seed", "--replace", "Linked"};

    const CliResult dry = runCli(search + QStringList{"--dry-run"}, locations);
    EXPECT_EQ(dry.status, 0) << dry.err.toStdString();
    EXPECT_EQ(dry.out.count("same file as change"), 1) << dry.out.toStdString();
    EXPECT_TRUE(dry.out.contains("same file as change 1: written once")) << dry.out.toStdString();
    const CliResult json = runCli(search + QStringList{"--dry-run", "--json"}, locations);
    const QJsonArray records = QJsonDocument::fromJson(json.out.toUtf8()).object().value("records").toArray();
    ASSERT_EQ(records.size(), 3) << json.out.toStdString();
    EXPECT_FALSE(records.at(0).toObject().contains("sameFileAs"));
    EXPECT_EQ(records.at(1).toObject().value("sameFileAs").toInt(), 1);
    EXPECT_FALSE(records.at(2).toObject().contains("sameFileAs"));

    const CliResult applied = runCli(search + QStringList{"--yes"}, locations);
    EXPECT_EQ(applied.status, 0) << applied.err.toStdString();
    EXPECT_TRUE(applied.out.contains("3 changes applied.")) << applied.out.toStdString();
    EXPECT_EQ(MusicTrack::withPath(music.filePath("b.mp3")).title(), "Linked Title");
    EXPECT_EQ(MusicTrack::withPath(music.filePath("c.ogg")).title(), "Linked Title");
}

TEST(CliProcess, RenameAndRelinkTellTheNamesTheyCannotHoldAndLeaveThem)
{
    ScopedUserLocations locations;
    LibraryBuilder builder;
    const qint64 lost = builder.addTrack("lost", "Band", "Album", true);
    builder.library().addToPlaylist(builder.library().createPlaylist("All"), {lost});
    TestFolder music;
    const QString good = music.addSeed("seed.ogg", "good.ogg");
    const QString staged = music.addSeed("seed.mp3", "staged.mp3");
    for (const QString &path : {good, staged}) {
        const MusicTrack track = MusicTrack::withPath(path);
        track.setTag("name", "lost");
        track.setTag("artist", "Band");
        track.setTag("album", "Album");
    }
    // A second copy of the missing file, named "café" in Latin-1 bytes, and a
    // folder named so.
    const QByteArray folder = QFile::encodeName(music.path());
    const QByteArray latin1 = folder + "/caf\xe9.mp3";
    const QByteArray latin1Folder = folder + "/\xc0lbum";
    ASSERT_EQ(::rename(QFile::encodeName(staged).constData(), latin1.constData()), 0);
    ASSERT_EQ(::mkdir(latin1Folder.constData(), 0755), 0);
    const QString shownFile = music.path() + "/caf\\xE9.mp3: the name is not valid UTF-8";
    const QString shownFolder = music.path() + "/\\xC0lbum";

    // The dead track is linked to the one file reachable under its name.
    const CliResult relinked = runCli({"--library", builder.libraryPath(), "--playlist", "All", "relink",
                                       "--search-folder", music.path(), "--yes"},
                                      locations);
    EXPECT_EQ(relinked.status, 0) << relinked.err.toStdString();
    EXPECT_TRUE(relinked.err.contains("Files Skipped")) << relinked.err.toStdString();
    EXPECT_TRUE(relinked.err.contains(shownFile)) << relinked.err.toStdString();
    EXPECT_TRUE(relinked.out.contains("1 changes applied.")) << relinked.out.toStdString();
    EXPECT_EQ(builder.library().location({lost, 0, 0}), good);

    for (const bool recursive : {false, true}) {
        SCOPED_TRACE(recursive);
        QStringList args{"--library", builder.libraryPath(), "--folder", music.path(), "rename", "--pattern", "#a #t",
                         "--dry-run"};
        if (recursive)
            args << "--recursive";
        const CliResult dry = runCli(args, locations);
        EXPECT_EQ(dry.status, 0) << dry.err.toStdString();
        EXPECT_TRUE(dry.err.contains("Files Skipped") && dry.err.contains(shownFile)) << dry.err.toStdString();
        // A folder left out matters only to a run that would enter it.
        EXPECT_EQ(dry.err.contains(shownFolder), recursive) << dry.err.toStdString();
    }
    const CliResult renamed =
        runCli({"--library", builder.libraryPath(), "--folder", music.path(), "rename", "--pattern", "#a #t", "--yes"},
               locations);
    EXPECT_EQ(renamed.status, 0) << renamed.err.toStdString();
    EXPECT_EQ(renamed.err.count(shownFile), 1) << renamed.err.toStdString();
    EXPECT_TRUE(QFile::exists(music.filePath("Band lost.ogg")));
    EXPECT_FALSE(renamed.out.contains(QChar(0xfffd)) || renamed.err.contains(QChar(0xfffd)));
    // Nothing was done under another name: the skipped file is where it was.
    EXPECT_EQ(::access(latin1.constData(), F_OK), 0);
    ::unlink(latin1.constData());
    ::rmdir(latin1Folder.constData());
}

TEST(CliProcess, NamesThatCannotBeHeldExactlyAreSkippedAndTold)
{
    ScopedUserLocations locations;
    LibraryBuilder builder;
    TestFolder music;
    const QString good = music.addSeed("seed.mp3", "good.mp3");
    const QString staged = music.addSeed("seed.mp3", "staged.mp3");
    MusicTrack::withPath(good).setTag("name", "quiet");
    MusicTrack::withPath(staged).setTag("name", "quiet");
    // "café" as Latin-1 bytes, the way old tools wrote names.
    const QByteArray latin1 = QFile::encodeName(music.path()) + "/caf\xe9.mp3";
    const QByteArray latin1Bytes = TestFolder::readAll(staged);
    ASSERT_EQ(::rename(QFile::encodeName(staged).constData(), latin1.constData()), 0);
    const QByteArray deepBytes = TestFolder::readAll(good);
    const TooDeep deep(music.path(), deepBytes);

    const CliResult run = runCli({"--library", builder.libraryPath(), "--folder", music.path(), "search-replace", "--tag",
                               "name", "--search", "quiet", "--replace", "loud", "--yes"},
                              locations);
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.contains("1 changes applied.")) << run.out.toStdString();
    EXPECT_TRUE(run.err.contains("Files Skipped: 2 music files or folders cannot be reached under their exact names"))
        << run.err.toStdString();
    EXPECT_TRUE(run.err.contains("/caf\\xE9.mp3: the name is not valid UTF-8")) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains("the path is too long")) << run.err.toStdString();
    EXPECT_FALSE(run.err.contains(QChar(0xfffd))) << "no name is shown converted";
    EXPECT_EQ(MusicTrack::withPath(good).title(), "loud");
    // Nothing was done under another name: the skipped files are as they were.
    QFile latin1File;
    const int fd = ::open(latin1.constData(), O_RDONLY);
    ASSERT_GE(fd, 0);
    ASSERT_TRUE(latin1File.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle));
    EXPECT_EQ(latin1File.readAll(), latin1Bytes);
    EXPECT_EQ(deep.fileBytes(), deepBytes);

    // The library import lists them the same way.
    const CliResult imported = runCli({"--library", builder.libraryPath(), "library", "import", music.path()}, locations);
    EXPECT_TRUE(imported.err.contains("skipped " + music.path() + "/caf\\xE9.mp3: the name is not valid UTF-8"))
        << imported.err.toStdString();
    EXPECT_TRUE(imported.out.contains("Imported 1 of 1")) << imported.out.toStdString();
}
