// SPDX-License-Identifier: GPL-3.0-or-later
// Sudden ends: a writing quavertin-cli killed at random moments, and a save
// that runs out of room. Nothing is damaged, and a later run puts things right.
#include "cliprocess.h"
#include "library/historystore.h"
#include "library/musiclibrary.h"
#include "model/musictrack.h"
#include "sqlitefiles.h"
#include "testfiles.h"
#include "userlocations.h"

#include <QDirIterator>
#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <gtest/gtest.h>

#include <algorithm>

#include <csignal>
#include <memory>
#include <unistd.h>
#include <sys/resource.h>

namespace {

constexpr int trialCount = 52; // runs killed
constexpr int songCount = 5;

// The bytes after the ID3v2 tag (its padding included): the audio, which no save may change.
QByteArray audioOf(const QByteArray &mp3)
{
    if (mp3.size() < 10 || !mp3.startsWith("ID3"))
        return mp3;
    const auto at = [&](int i) { return quint32(quint8(mp3[i])); };
    qsizetype tagSize = 10 + qsizetype((at(6) << 21) | (at(7) << 14) | (at(8) << 7) | at(9));
    if (at(5) & 0x10)
        tagSize += 10; // a footer
    return mp3.mid(tagSize);
}

class SuddenEnds : public ::testing::Test {
protected:
    CliResult run(const QStringList &args) { return runCli(QStringList{"--library", libraryPath} + args, locations); }

    // Every music file, where the person left it or in the Trash.
    QStringList musicFiles() const
    {
        QStringList files;
        for (const QString &root : {music, locations.dataHome() + "/Trash/files"}) {
            QDirIterator it(root, {"*.mp3"}, QDir::Files, QDirIterator::Subdirectories);
            while (it.hasNext())
                files << it.next();
        }
        return files;
    }

    ScopedUserLocations locations;
    TestFolder folder;
    QString libraryPath = folder.filePath("library/library.sqlite");
    QString historyPath = folder.filePath("library/history.sqlite");
    QString music = folder.filePath("music");
};

} // namespace

TEST_F(SuddenEnds, AWritingRunKilledAtRandomMomentsLeavesTheLibraryTheHistoryAndEveryFileWhole)
{
    const QByteArray seedAudio = audioOf(TestFolder::readAll(TestFolder::seedPath("seed.mp3")));
    ASSERT_FALSE(seedAudio.isEmpty());
    for (int i = 1; i <= songCount; ++i)
        MusicTrack::withPath(folder.addSeed("seed.mp3", QStringLiteral("music/%1.mp3").arg(i)))
            .setTag("name", QStringLiteral("Song %1 r0").arg(i));
    ASSERT_EQ(run({"library", "import", music}).status, 0);
    {
        MusicLibrary library(libraryPath);
        QList<qint64> ids;
        for (const TrackRef &ref : library.allTracks())
            ids << ref.trackId;
        library.addToPlaylist(library.createPlaylist("All"), ids);
    }

    // Tag runs that write through to the files, renames, removals to the Trash and undo.
    const auto commandFor = [&](int kind, int trial) -> QStringList {
        switch (kind) {
        case 0:
            return {"--playlist", "All", "search-replace", "--tag", "name", "--regex", "--search", "r\\d+$",
                    "--replace", QStringLiteral("r%1").arg(trial), "--yes"};
        case 1:
            return {"--folder", music, "rename", "--pattern", "#t", "--yes"};
        case 2:
            return {"--playlist", "All", "playlist", "--tag", "name", "--condition", "4", "--value",
                    QStringLiteral("Song %1 ").arg(trial % songCount + 1), "--action", "remove", "--target", "All",
                    "--trash", "--yes"};
        default:
            return {"undo", "--yes"};
        }
    };
    const QRegularExpression written("^Song [1-9] r\\d+$");
    QRandomGenerator random(20261209);
    // How long each kind took when it ran to its end: the kill falls anywhere
    // in it. The shorter of two runs: the first reads the files into the tag
    // cache, and the trials, which find them there, end sooner.
    qint64 took[4] = {0, 0, 0, 0};
    for (int kind = 0; kind < 4; ++kind) {
        for (int again = 0; again < 2; ++again) {
            QElapsedTimer clock;
            clock.start();
            const CliResult r = run(commandFor(kind, 1000 + 2 * kind + again)); // a run that changes something
            took[kind] = again ? std::min(took[kind], clock.elapsed()) : clock.elapsed();
            ASSERT_TRUE(r.status == 0 || r.status == 1) << r.err.toStdString();
        }
    }

    // This process plays the window's part: it holds the library and the
    // history open throughout, and after every trial opens them once more, as
    // the window does when it looks again.
    auto heldLibrary = std::make_unique<MusicLibrary>(libraryPath);
    auto heldHistory = std::make_unique<HistoryStore>(historyPath);
    const auto lookAgain = [&] {
        try {
            EXPECT_GT(heldLibrary->trackCount(), 0);
            EXPECT_FALSE(heldHistory->runs().isEmpty());
            const MusicLibrary library(libraryPath);
            const HistoryStore history(historyPath);
            EXPECT_EQ(library.trackCount(), heldLibrary->trackCount());
        } catch (const std::exception &e) {
            ADD_FAILURE() << e.what();
        }
    };
    lookAgain();

    int killed = 0, leftOpen = 0;
    // A run that ends by itself before its moment (a refusal, nothing to
    // change) is checked as well, but only a kill counts as a trial.
    for (int trial = 1; killed < trialCount && trial <= 4 * trialCount; ++trial) {
        const int kind = int(random.bounded(4));
        const QStringList args = commandFor(kind, trial);
        SCOPED_TRACE(QStringLiteral("trial %1: %2").arg(trial).arg(args.join(' ')).toStdString());
        QProcess process;
        QProcessEnvironment environment = locations.programEnvironment();
        // Under the sanitizers a kill can land in the leak check at exit,
        // which then says it could not stop the process: a process about to
        // be killed has no leaks worth a report.
        if (environment.contains("ASAN_OPTIONS"))
            environment.insert("ASAN_OPTIONS", environment.value("ASAN_OPTIONS") + ":detect_leaks=0");
        process.setProcessEnvironment(environment);
        process.start(QStringLiteral(QUAVERTIN_CLI), QStringList{"--library", libraryPath} + args);
        process.closeWriteChannel();
        ASSERT_TRUE(process.waitForStarted());
        const int delay = int(random.bounded(quint32(took[kind] * 3 / 4 + 1)));
        if (!process.waitForFinished(delay))
            ::kill(pid_t(process.processId()), SIGKILL);
        if (process.state() != QProcess::NotRunning) {
            ASSERT_TRUE(process.waitForFinished(60000));
        }
        if (process.exitStatus() == QProcess::CrashExit)
            ++killed;

        EXPECT_EQ(integrityOf(libraryPath), "ok");
        if (QFileInfo::exists(historyPath)) {
            EXPECT_EQ(integrityOf(historyPath), "ok");
            if (sqliteNumber(historyPath, "SELECT count(*) FROM runs WHERE open = 1") > 0)
                ++leftOpen;
        }
        const QStringList files = musicFiles();
        EXPECT_EQ(files.size(), songCount) << files.join('\n').toStdString();
        for (const QString &file : files) {
            EXPECT_EQ(audioOf(TestFolder::readAll(file)), seedAudio) << file.toStdString();
            const QString name = MusicTrack::withPath(file).valueForTag("name").toString();
            EXPECT_TRUE(written.match(name).hasMatch()) << file.toStdString() << ": " << name.toStdString();
        }
        lookAgain();
        const QStringList deleted = deletedSqliteFilesHeldBy(::getpid());
        EXPECT_TRUE(deleted.isEmpty()) << deleted.join('\n').toStdString();
        if (::testing::Test::HasFailure())
            break;
    }
    if (::testing::Test::HasFailure())
        return;
    EXPECT_EQ(killed, trialCount);
    EXPECT_GT(leftOpen, 0) << "some runs were ended while their changes were pending";

    // A later run settles what the ended ones left open, and a refresh brings the rows in line with the files.
    const CliResult later = run(commandFor(0, 10000));
    EXPECT_TRUE(later.status == 0 || later.status == 1) << later.err.toStdString();
    EXPECT_EQ(sqliteNumber(historyPath, "SELECT count(*) FROM runs WHERE open = 1"), 0);
    const CliResult refreshed = run({"library", "refresh"});
    EXPECT_TRUE(refreshed.status == 0 || refreshed.status == 1) << refreshed.err.toStdString();
    MusicLibrary library(libraryPath);
    for (const QString &file : musicFiles()) {
        if (!file.startsWith(music))
            continue;
        const qint64 id = library.fileTracksAt({file}).value(file);
        ASSERT_GT(id, 0) << file.toStdString() << " has a row";
        EXPECT_EQ(library.property({id, 0, 0}, "name").toString(),
                  MusicTrack::withPath(file).valueForTag("name").toString())
            << file.toStdString();
    }
}

TEST_F(SuddenEnds, ASaveThatRunsOutOfRoomLeavesTheFileAsItWasAndSaysWhy)
{
    const QString path = folder.addSeed("seed.mp3", "full/song.mp3");
    // A large comment that the run leaves alone, so that the history's few
    // pages fit where the file's longer title does not.
    MusicTrack::withPath(path).setTag("comment", QString(1 << 20, 'c'));
    const QByteArray before = TestFolder::readAll(path);
    const rlim_t room = rlim_t(before.size() + 4096);

    QProcess process;
    process.setProcessEnvironment(locations.programEnvironment());
    // No file of the process may grow past the room left: a write beyond it
    // fails (EFBIG) as on a full disk, instead of ending the process.
    process.setChildProcessModifier([room] {
        const struct rlimit limit{room, room};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        ::signal(SIGXFSZ, SIG_IGN);
    });
    process.start(QStringLiteral(QUAVERTIN_CLI),
                  {"--library", libraryPath, "--folder", folder.filePath("full"), "search-replace", "--tag", "name",
                   "--search", "Seed", "--replace", QString(64 * 1024, 't'), "--yes"});
    process.closeWriteChannel();
    ASSERT_TRUE(process.waitForFinished(60000));
    const QString err = QString::fromUtf8(process.readAllStandardError());
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 1) << err.toStdString();
    EXPECT_TRUE(err.contains(path)) << err.toStdString();
    EXPECT_TRUE(err.contains("File too large")) << err.toStdString();
    EXPECT_EQ(TestFolder::readAll(path), before);
    EXPECT_EQ(QDir(folder.filePath("full")).entryList(QDir::Files | QDir::Hidden), QStringList{"song.mp3"})
        << "no half-written copy is left beside it";
    EXPECT_EQ(MusicTrack::withPath(path).valueForTag("name").toString(), "Seed Title");
}
