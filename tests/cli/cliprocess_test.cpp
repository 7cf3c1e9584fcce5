// SPDX-License-Identifier: GPL-3.0-or-later
// The built quavertin-cli as a script would run it: exit status, standard
// output and standard error, with no terminal attached.
#include "library/librarybuilder.h"
#include "model/musictrack.h"
#include "userlocations.h"

#include <QProcess>
#include <gtest/gtest.h>

namespace {

struct Result {
    int status = -1;
    QString out;
    QString err;
};

Result runCli(const QStringList &args, const ScopedUserLocations &locations)
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_DATA_HOME", locations.dataHome());
    env.insert("XDG_STATE_HOME", locations.stateHome());
    env.insert("XDG_CONFIG_HOME", locations.settingsHome());
    env.remove("QUAVERTIN_LIBRARY");
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(QUAVERTIN_CLI), args);
    process.closeWriteChannel();
    if (!process.waitForFinished(60000))
        return {};
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

} // namespace

TEST(CliProcess, ExitStatusTellsSuccessRefusalAndBadUsage)
{
    ScopedUserLocations locations;
    LibraryBuilder builder;
    builder.library().createPlaylist("Mix");

    const Result help = runCli({"--help"}, locations);
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(help.out.startsWith("Usage: quavertin-cli [--library FILE]"));

    const Result none = runCli({}, locations);
    EXPECT_EQ(none.status, 2);
    EXPECT_TRUE(none.out.isEmpty());
    EXPECT_TRUE(none.err.contains("Usage:"));

    const Result listed = runCli({"--library", builder.libraryPath(), "library", "playlists"}, locations);
    EXPECT_EQ(listed.status, 0);
    EXPECT_TRUE(listed.out.contains("Mix"));

    // No folder chosen: the folder source refuses and says why on standard error.
    TestFolder empty;
    empty.addFile("notes.txt", "no music here");
    const Result refused = runCli({"--library", builder.libraryPath(), "--folder", empty.path(), "capitalize",
                                   "--tag", "name", "--method", "upper"},
                                  locations);
    EXPECT_EQ(refused.status, 1) << refused.err.toStdString();
    EXPECT_TRUE(refused.err.contains(
        "No Files: The folder you have selected doesn't seem to contain music files."))
        << refused.err.toStdString();

    const Result unknown = runCli({"--library", builder.libraryPath(), "transmogrify"}, locations);
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

    const Result dry = runCli({"--library", builder.libraryPath(), "--folder", music.path(), "capitalize", "--tag",
                               "name", "--method", "upper", "--dry-run"},
                              locations);
    EXPECT_EQ(dry.status, 0) << dry.err.toStdString();
    EXPECT_TRUE(dry.out.contains("Checked tracks of these 1 tracks will get their tag 'name' changed:"));
    EXPECT_TRUE(dry.out.contains("quiet song") && dry.out.contains("QUIET SONG"));
    EXPECT_EQ(MusicTrack::withPath(song).title(), "quiet song");

    // Without a terminal and without --yes nothing is applied.
    const Result unasked = runCli({"--library", builder.libraryPath(), "--folder", music.path(), "capitalize",
                                   "--tag", "name", "--method", "upper"},
                                  locations);
    EXPECT_EQ(unasked.status, 1);
    EXPECT_EQ(MusicTrack::withPath(song).title(), "quiet song");

    const Result applied = runCli({"--library", builder.libraryPath(), "--folder", music.path(), "capitalize",
                                   "--tag", "name", "--method", "upper", "--yes"},
                                  locations);
    EXPECT_EQ(applied.status, 0) << applied.err.toStdString();
    EXPECT_TRUE(applied.out.contains("1 changes applied."));
    // No terminal: no progress line on standard error.
    EXPECT_FALSE(applied.err.contains("changes…"));
    EXPECT_EQ(MusicTrack::withPath(song).title(), "QUIET SONG");
}
