// SPDX-License-Identifier: GPL-3.0-or-later
#include "clirunner.h"
#include "library/musiclibrary.h"
#include "model/musictrack.h"
#include "testfiles.h"
#include "userlocations.h"

#include <QFile>
#include <gtest/gtest.h>

namespace {

struct CommandRun {
    ExitCode code;
    QString out;
    QString err;
};

// quavertin-cli over a real library file and real music files, without a terminal.
class LibraryToolCommands : public ::testing::Test {
protected:
    LibraryToolCommands() : library_(libraryPath_) {}

    qint64 addTrack(const QString &name, QVariantHash values = {}, bool dead = false)
    {
        const QString relative = QStringLiteral("music/%1.mp3").arg(name);
        if (!dead)
            folder_.addSeed("seed.mp3", relative);
        values.insert("name", name);
        values.insert("artist", "Band");
        return library_.importFile({folder_.filePath(relative), values});
    }
    CommandRun run(QStringList args)
    {
        CommandRun r{};
        QTextStream out(&r.out), err(&r.err);
        r.code = cli::runMain(QStringList{"--library", libraryPath_} + args, out, err, nullptr, false, false);
        out.flush();
        err.flush();
        return r;
    }
    QList<qint64> idsIn(const QString &playlist)
    {
        QList<qint64> ids;
        for (const TrackRef &ref : library_.tracksOf(library_.playlistNamed(playlist)->id))
            ids << ref.trackId;
        return ids;
    }

    ScopedUserLocations locations_;
    TestFolder folder_;
    QString libraryPath_ = folder_.filePath("library.sqlite");
    MusicLibrary library_;
};

} // namespace

TEST_F(LibraryToolCommands, NumericChangesTheSelectionAndRefusesBadNumbers)
{
    const qint64 a = addTrack("a", {{"trackNumber", 9}});
    const qint64 b = addTrack("b", {{"trackNumber", 4}});
    library_.setSelection({a});
    const CommandRun added = run({"numeric", "--tag", "trackNumber", "--mode", "add", "--number", "2.7", "--yes"});
    EXPECT_EQ(added.code, ExitCode::Success) << added.err.toStdString();
    EXPECT_EQ(library_.property({a, 0, 0}, "trackNumber").toInt(), 11);
    EXPECT_EQ(library_.property({b, 0, 0}, "trackNumber").toInt(), 4);

    EXPECT_EQ(run({"numeric", "--tag", "trackNumber", "--mode", "add", "--number", "many"}).code, ExitCode::BadUsage);
    EXPECT_EQ(run({"numeric", "--tag", "nonsense", "--mode", "add", "--number", "1"}).code, ExitCode::BadUsage);
    EXPECT_EQ(run({"numeric", "--tag", "year", "--mode", "multiply", "--number", "1"}).code, ExitCode::BadUsage);
    const CommandRun noMode = run({"numeric", "--tag", "trackNumber", "--number", "1"});
    EXPECT_EQ(noMode.code, ExitCode::BadUsage);
    EXPECT_TRUE(noMode.err.contains("--mode is required (one of: set, add, subtract)")) << noMode.err.toStdString();
    const CommandRun noTag = run({"numeric", "--mode", "set", "--number", "1"});
    EXPECT_EQ(noTag.code, ExitCode::BadUsage);
    EXPECT_TRUE(noTag.err.contains("--tag is required (one of: ") && noTag.err.contains("trackNumber"))
        << noTag.err.toStdString();
    const CommandRun absent = run({"numeric", "--tag", "year", "--mode", "set"});
    EXPECT_EQ(absent.code, ExitCode::Failed);
    EXPECT_EQ(library_.property({a, 0, 0}, "trackNumber").toInt(), 11);
}

TEST_F(LibraryToolCommands, PlaylistAddsToAPlainTargetOnlyAndRemovesWithTheSameOptions)
{
    const qint64 old = addTrack("old", {{"year", 1960}});
    const qint64 young = addTrack("young", {{"year", 2010}});
    library_.addToPlaylist(library_.createPlaylist("All"), {old, young});
    library_.createPlaylist("Oldies");
    library_.createSmartPlaylist("Smart", SmartRule{"year", 12, "2000", true});

    const CommandRun smart = run({"--playlist", "All", "playlist", "--tag", "year", "--condition", "12", "--value",
                                  "2000", "--action", "add", "--target", "Smart", "--yes"});
    EXPECT_EQ(smart.code, ExitCode::BadUsage);
    EXPECT_TRUE(smart.err.contains("smart playlist")) << smart.err.toStdString();
    for (const char *missing : {"--tag", "--condition", "--action"}) {
        QStringList args{"--playlist", "All", "playlist", "--tag", "year", "--condition", "12", "--value", "2000",
                         "--action", "remove", "--yes"};
        args.remove(args.indexOf(missing), 2);
        const CommandRun incomplete = run(args);
        EXPECT_EQ(incomplete.code, ExitCode::BadUsage) << missing;
        EXPECT_TRUE(incomplete.err.contains(QStringLiteral("%1 is required").arg(missing))) << incomplete.err.toStdString();
    }
    EXPECT_EQ(idsIn("All"), (QList<qint64>{old, young})) << "no incomplete command removed anything";

    const CommandRun added = run({"--playlist", "All", "playlist", "--tag", "year", "--condition", "12", "--value",
                                  "2000", "--action", "add", "--target", "Oldies", "--yes"});
    EXPECT_EQ(added.code, ExitCode::Success) << added.err.toStdString();
    EXPECT_TRUE(added.out.contains("will added to the playlist 'Oldies'")) << added.out.toStdString();
    EXPECT_EQ(idsIn("Oldies"), QList<qint64>{old});
    EXPECT_TRUE(added.out.contains("1 changes applied.\n")) << added.out.toStdString();
    // Added again: the playlist keeps one entry, and the count says why nothing was added.
    const CommandRun again = run({"--playlist", "All", "playlist", "--tag", "year", "--condition", "12", "--value",
                                  "2000", "--action", "add", "--target", "Oldies", "--yes"});
    EXPECT_EQ(again.code, ExitCode::Success) << again.err.toStdString();
    EXPECT_EQ(idsIn("Oldies"), QList<qint64>{old});
    EXPECT_TRUE(again.out.contains("1 changes applied; 1 of the tracks were in the playlist already and were not added "
                                   "again."))
        << again.out.toStdString();

    const CommandRun removed = run({"--playlist", "All", "playlist", "--tag", "name", "--condition", "0", "--value",
                                    "YOUNG", "--action", "remove", "--yes"});
    EXPECT_EQ(removed.code, ExitCode::Success) << removed.err.toStdString();
    EXPECT_EQ(idsIn("All"), QList<qint64>{old});

    const CommandRun none = run({"--playlist", "All", "playlist", "--tag", "name", "--condition", "0", "--value",
                                 "old", "--case-sensitive", "--action", "remove", "--yes"});
    EXPECT_EQ(none.code, ExitCode::Success);
    const CommandRun nothing = run({"--playlist", "All", "playlist", "--tag", "name", "--condition", "0", "--value",
                                    "OLD", "--case-sensitive", "--action", "remove", "--yes"});
    EXPECT_EQ(nothing.code, ExitCode::Failed);
}

TEST_F(LibraryToolCommands, DeadStopsWithoutATerminalWhenFoldersAreMissing)
{
    const qint64 alive = addTrack("alive");
    const qint64 gone = addTrack("gone", {}, true);
    const qint64 unmounted = addTrack("unmounted");
    library_.setLocation({unmounted, 0, 0}, folder_.filePath("drive/Music/x.mp3"));
    library_.addToPlaylist(library_.createPlaylist("All"), {alive, gone, unmounted});

    const CommandRun asked = run({"--playlist", "All", "dead", "--yes"});
    EXPECT_EQ(asked.code, ExitCode::Failed);
    EXPECT_EQ(idsIn("All"), (QList<qint64>{alive, gone, unmounted}));

    library_.deleteTrack({unmounted, 0, 0});
    const CommandRun removed = run({"--playlist", "All", "dead", "--yes"});
    EXPECT_EQ(removed.code, ExitCode::Success) << removed.err.toStdString();
    EXPECT_EQ(idsIn("All"), QList<qint64>{alive});
}

TEST_F(LibraryToolCommands, RelinkSearchesTheGivenFolder)
{
    const qint64 lost = addTrack("lost", {{"album", "Album"}}, true);
    library_.addToPlaylist(library_.createPlaylist("All"), {lost});
    TestFolder search;
    const QString file = search.addSeed("seed.ogg", "found/lost.ogg");
    const MusicTrack found = MusicTrack::withPath(file);
    found.setTag("name", "lost");
    found.setTag("artist", "Band");
    found.setTag("album", "Album");

    EXPECT_EQ(run({"--playlist", "All", "relink"}).code, ExitCode::BadUsage);
    EXPECT_EQ(run({"--playlist", "All", "relink", "--search-folder", search.filePath("nowhere")}).code,
              ExitCode::BadUsage);
    const CommandRun relinked = run({"--playlist", "All", "relink", "--search-folder", search.path(), "--yes"});
    EXPECT_EQ(relinked.code, ExitCode::Success) << relinked.err.toStdString();
    EXPECT_TRUE(relinked.out.contains("1 changes applied.")) << relinked.out.toStdString();
    EXPECT_EQ(library_.location({lost, 0, 0}), file);
}
