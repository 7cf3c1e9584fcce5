// SPDX-License-Identifier: GPL-3.0-or-later
#include "clirunner.h"
#include "library/mpdclient.h"
#include "library/musiclibrary.h"
#include "mpdserver.h"
#include "testfiles.h"
#include "userlocations.h"

#include <gtest/gtest.h>

namespace {

struct CommandRun {
    ExitCode code;
    QString out;
    QString err;
};

CommandRun run(const QStringList &args)
{
    CommandRun r{};
    QTextStream out(&r.out), err(&r.err);
    r.code = cli::runMain(args, out, err, nullptr, false, false);
    out.flush();
    err.flush();
    return r;
}

} // namespace

// mpd push and pull from the command line: bad usage, an unreachable MPD,
// the review as JSON with --dry-run, --yes, and the music folder remembered.
TEST(MpdCommand, PushesAndPullsThroughTheReviewAndRemembersTheMusicFolder)
{
    ScopedUserLocations locations;
    TestFolder folder;
    const QString library = folder.filePath("library.sqlite");
    const QString music = folder.addFolder("music");
    qint64 id = 0;
    {
        MusicLibrary lib(library);
        id = lib.importFile({folder.addSeed("seed.flac", "music/a b/ü.flac"), {{"name", "ü"}, {"rating", 40}}});
        lib.setSelection({id});
    }
    const QStringList base{"--library", library, "--selection", "mpd"};

    EXPECT_EQ(run(base).code, ExitCode::BadUsage);
    EXPECT_EQ(run(base + QStringList{"sync"}).code, ExitCode::BadUsage);
    EXPECT_EQ(run(base + QStringList{"push", "--port", "70000"}).code, ExitCode::BadUsage);
    const CommandRun unreachable = run(base + QStringList{"push", "--host", "127.0.0.1", "--port",
                                                          QString::number(MpdServer::freePort()), "--music-dir", music, "--yes"});
    EXPECT_EQ(unreachable.code, ExitCode::Failed);

    MpdServer server(music);
    REQUIRE_MPD(server);
    const MpdAddress address{"127.0.0.1", server.port(), {}, 5000};
    MpdClient(address).updateDatabase(20000);
    const QStringList at{"--host", "127.0.0.1", "--port", QString::number(server.port())};

    // The music folder comes from the run before.
    const CommandRun dry = run(base + at + QStringList{"push", "--dry-run", "--json"});
    EXPECT_EQ(dry.code, ExitCode::Success) << dry.err.toStdString();
    EXPECT_TRUE(dry.out.contains("\"rating\"") && dry.out.contains("\"4\"")) << dry.out.toStdString();
    EXPECT_TRUE(MpdClient(address).sticker("a b/ü.flac", "rating").isNull()) << "a dry run stores nothing";

    // And now the port too.
    const CommandRun pushed = run(base + QStringList{"push", "--yes"});
    EXPECT_EQ(pushed.code, ExitCode::Success) << pushed.err.toStdString();
    EXPECT_EQ(MpdClient(address).sticker("a b/ü.flac", "rating"), "4");

    int stored = 0;
    MpdClient(address).setStickers({{"a b/ü.flac", "rating", "3"}, {"a b/ü.flac", "playCount", "12"}}, stored);
    const CommandRun pulled = run(base + at + QStringList{"pull", "--scale", "5", "--yes"});
    EXPECT_EQ(pulled.code, ExitCode::Success) << pulled.err.toStdString();
    MusicLibrary lib(library);
    EXPECT_EQ(lib.property({id}, "rating").toInt(), 60);
    EXPECT_EQ(lib.property({id}, "playedCount").toInt(), 12);
}
