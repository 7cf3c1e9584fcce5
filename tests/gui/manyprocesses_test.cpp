// SPDX-License-Identifier: GPL-3.0-or-later
// One library, many processes: the window and several quavertin-cli runs
// write the same library and history at once, and nothing is damaged, lost
// or refused for a wrong reason.
#include "library/musiclibrary.h"
#include "model/musictrack.h"
#include "reviewsheet.h"
#include "sqlitefiles.h"
#include "windowfixture.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QPushButton>
#include <QRandomGenerator>
#include <QSet>
#include <QTimer>

#include <unistd.h>

namespace {

// Rounds go on until the budget is spent (every lane doing at least two), so
// that a slow build (the sanitizers) does fewer, never takes minutes; after
// the deadline nothing new starts.
constexpr int budgetMs = 12000;
constexpr int deadlineMs = 40000;
constexpr int laneCount = 3;

// Why a message that ended a run is not one the person can act on; empty when it is.
QString unclear(const QString &message)
{
    const QString text = message.trimmed();
    if (text.isEmpty())
        return QStringLiteral("no message");
    for (const char *damage : {"damaged", "malformed", "disk image", "I/O error", "(deleted)"})
        if (text.contains(QLatin1String(damage), Qt::CaseInsensitive))
            return QStringLiteral("says \"%1\"").arg(QLatin1String(damage));
    if (text.contains(QLatin1String("locked"), Qt::CaseInsensitive)
        && !text.contains(QLatin1String("the library is locked by another program")))
        return QStringLiteral("a busy wait that does not say the library is locked by another program");
    return {};
}

struct CommandOutcome {
    int lane = 0;
    QStringList args;
    int status = -1;
    QString err;
};

// One terminal: a quavertin-cli after another, each round every kind of
// library write on the lane's own playlist and files.
struct Lane {
    int number = 0;
    QString folder;
    QList<qint64> ids;
    int round = 0;
    QList<QStringList> queue;
    QProcess *process = nullptr;
    bool finished = false;
};

} // namespace

class ManyProcessesTest : public WindowTest {
protected:
    QString libraryPath() const { return folder.filePath("library/library.sqlite"); }
    QString historyPath() const { return folder.filePath("library/history.sqlite"); }


    int runCliNow(const QStringList &args)
    {
        QProcess process;
        process.setProcessEnvironment(locations.programEnvironment());
        process.start(QStringLiteral(QUAVERTIN_CLI), QStringList{"--library", libraryPath()} + args);
        process.closeWriteChannel();
        if (!process.waitForFinished(60000)) {
            process.kill();
            process.waitForFinished();
            return -1;
        }
        return process.exitCode();
    }

    // Four copies of the seed titled "Song N r0" in their own folder; their paths.
    QStringList songsIn(const QString &name)
    {
        QStringList paths;
        for (int i = 1; i <= 4; ++i) {
            const QString path = folder.addSeed("seed.mp3", QStringLiteral("%1/%2.mp3").arg(name).arg(i));
            MusicTrack::withPath(path).setTag("name", QStringLiteral("Song %1 r0").arg(i));
            paths << path;
        }
        return paths;
    }

    QList<QStringList> roundOf(const Lane &lane) const
    {
        const QString playlist = QStringLiteral("Lane %1").arg(lane.number);
        const QString scratch = QStringLiteral("Lane %1 round %2").arg(lane.number).arg(lane.round);
        QStringList all;
        for (qint64 id : lane.ids)
            all << QString::number(id);
        return {
            {"--playlist", playlist, "search-replace", "--tag", "name", "--regex", "--search", "r\\d+$", "--replace",
             QStringLiteral("r%1").arg(lane.round), "--yes"},
            {"library", "playlist-create", scratch},
            QStringList{"library", "playlist-add", scratch} + all,
            {"library", "playlist-remove", scratch, all.first()},
            {"library", "import", lane.folder},
            {"library", "refresh", "--playlist", playlist},
            {"undo", "--yes"},
            {"library", "playlist-delete", scratch},
        };
    }

    // The Edit menu as the person opens it, which reads the history again.
    void openEditMenu()
    {
        for (QAction *menu : window->menuBar()->actions())
            if (menu->text() == "&Edit" && menu->menu())
                emit menu->menu()->aboutToShow();
    }

    // Applies the review the last run opened, if it opened one.
    void applyIfReviewed()
    {
        const RunOutcome *outcome = awaitLastRun(app);
        if (outcome && outcome->kind == RunOutcome::Reviewed && window->reviewSheet()->isVisible()) {
            window->reviewSheet()->applyButton()->click();
            outcome = awaitLastRun(app);
            if (outcome && outcome->kind == RunOutcome::Applied)
                ++windowApplied;
        }
    }

    // One search and replace on the window's playlist, and every third time an undo from the Edit menu.
    void windowRound(int round)
    {
        app.refreshPlaylists();
        app.setSelectedMethod(choices::PlaylistSource);
        app.setSelectedPlaylist(int(app.playlists().indexOf("Window")));
        app.setSelectedTag(0);
        app.setUseRegular(false);
        app.setSearchString(round % 2 ? "Song" : "Track");
        app.setReplaceString(round % 2 ? "Track" : "Song");
        window->showTab(0);
        window->pane(0)->findChild<QPushButton *>("performSearchReplace")->click();
        applyIfReviewed();
        if (round % 3 == 2) {
            openEditMenu();
            if (window->undoAction()->isEnabled()) {
                window->undoAction()->trigger();
                applyIfReviewed();
            }
        }
        const QString status = window->statusLine()->text();
        if (const QString why = unclear(status); !status.isEmpty() && !why.isEmpty())
            windowProblems << QStringLiteral("status line %1: %2").arg(why, status);
    }

    void sample(const QList<qint64> &pids)
    {
        for (qint64 pid : pids)
            for (const QString &held : deletedSqliteFilesHeldBy(pid))
                deletedSeen.insert(QStringLiteral("process %1 %2").arg(pid).arg(held));
    }

    int windowApplied = 0;
    QStringList windowProblems;
    QSet<QString> deletedSeen;
};

TEST_F(ManyProcessesTest, TheWindowAndThreeCommandLinesWriteOneLibraryAtOnceAndNothingIsDamagedOrLost)
{
    QElapsedTimer clock;
    clock.start();
    // The library: each lane's four songs in a playlist of its own, and the window's.
    QHash<QString, qint64> trackAt;
    QList<Lane> lanes(laneCount);
    {
        QList<QStringList> paths;
        for (int k = 0; k <= laneCount; ++k) {
            const QString name = k == 0 ? QStringLiteral("Window") : QStringLiteral("Lane %1").arg(k);
            paths << songsIn(name);
            ASSERT_EQ(runCliNow({"library", "import", folder.filePath(name)}), 0);
        }
        MusicLibrary library(libraryPath());
        for (int k = 0; k <= laneCount; ++k) {
            const QHash<QString, qint64> found = library.fileTracksAt(paths[k]);
            ASSERT_EQ(found.size(), 4);
            QList<qint64> ids;
            for (const QString &path : paths[k])
                ids << found.value(path);
            trackAt.insert(found);
            const QString name = k == 0 ? QStringLiteral("Window") : QStringLiteral("Lane %1").arg(k);
            library.addToPlaylist(library.createPlaylist(name), ids);
            if (k > 0) {
                lanes[k - 1].number = k;
                lanes[k - 1].folder = folder.filePath(name);
                lanes[k - 1].ids = ids;
            }
        }
    }
    launch();
    // The history window stays open, holding the history, and reads it again after every run.
    window->showHistory();

    QList<CommandOutcome> outcomes;
    QObject timers; // cancels the next starts when the test ends
    bool stopping = false;
    QRandomGenerator pauses(30);
    std::function<void(Lane &)> startNext = [&](Lane &lane) {
        if (stopping) {
            lane.finished = true;
            return;
        }
        if (lane.queue.isEmpty()) {
            const qint64 spent = clock.elapsed();
            if ((lane.round >= 2 && spent > budgetMs) || spent > deadlineMs) {
                lane.finished = true;
                return;
            }
            ++lane.round;
            lane.queue = roundOf(lane);
        }
        const QStringList args = lane.queue.takeFirst();
        auto *process = new QProcess;
        lane.process = process;
        process->setProcessEnvironment(locations.programEnvironment());
        Lane *owner = &lane;
        QObject::connect(process, &QProcess::finished, process, [&, owner, process, args](int code, QProcess::ExitStatus how) {
            outcomes.append({owner->number, args, how == QProcess::NormalExit ? code : -1,
                             QString::fromUtf8(process->readAllStandardError())});
            owner->process = nullptr;
            process->deleteLater();
            // Seeded pauses, so that at times one process works alone: the moment
            // when a process that closes its connection may checkpoint and delete the log.
            QTimer::singleShot(int(pauses.bounded(250)), &timers, [&, owner] { startNext(*owner); });
        });
        process->start(QStringLiteral(QUAVERTIN_CLI), QStringList{"--library", libraryPath()} + args);
        process->closeWriteChannel();
    };
    const auto running = [&] {
        QList<qint64> pids{qint64(::getpid())};
        for (const Lane &lane : lanes)
            if (lane.process && lane.process->processId() > 0)
                pids << lane.process->processId();
        return pids;
    };
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout, [&] { sample(running()); });
    sampler.start(25);
    for (Lane &lane : lanes)
        startNext(lane);

    const auto lanesDone = [&] {
        return std::all_of(lanes.begin(), lanes.end(), [](const Lane &l) { return l.finished; });
    };
    for (int round = 0; !lanesDone() && clock.elapsed() < deadlineMs + 15000; ++round) {
        windowRound(round);
        QTest::qWait(30);
    }
    // A process still going long after the deadline is stuck: it fails the test, and is ended.
    stopping = true;
    for (Lane &lane : lanes) {
        EXPECT_TRUE(lane.finished) << "lane " << lane.number << " did not finish";
        if (lane.process) {
            lane.process->kill();
            lane.process->waitForFinished();
        }
    }
    sampler.stop();
    sample(running());
    QCoreApplication::processEvents();

    // Every run applied, or failed with a message that says why (never "damaged").
    QSet<QString> kindsApplied;
    for (const CommandOutcome &o : outcomes) {
        const QString command = o.args.join(' ');
        const QString kind = o.args.first() == "library" ? o.args.mid(0, 2).join(' ')
                                                          : (o.args.first() == "undo" ? "undo" : "tag run");
        EXPECT_TRUE(o.status == 0 || o.status == 1) << command.toStdString() << " ended with " << o.status << ": "
                                                      << o.err.toStdString();
        if (o.status == 0)
            kindsApplied.insert(kind);
        else
            EXPECT_EQ(unclear(o.err), "") << command.toStdString() << ": " << o.err.toStdString();
        for (const char *damage : {"damaged", "malformed"})
            EXPECT_FALSE(o.err.contains(QLatin1String(damage))) << command.toStdString() << ": " << o.err.toStdString();
    }
    EXPECT_GE(outcomes.size(), laneCount * 8) << "every lane did at least a round";
    EXPECT_EQ(kindsApplied.size(), 8) << QStringList(kindsApplied.begin(), kindsApplied.end()).join(", ").toStdString();
    EXPECT_GT(windowApplied, 0);
    for (int i = 0; i < port->alertMessages.size(); ++i)
        EXPECT_EQ(unclear(port->alertTitles[i] + ": " + port->alertMessages[i]), "")
            << port->alertTitles[i].toStdString() << ": " << port->alertMessages[i].toStdString();
    EXPECT_TRUE(windowProblems.isEmpty()) << windowProblems.join('\n').toStdString();
    EXPECT_TRUE(deletedSeen.isEmpty()) << QStringList(deletedSeen.begin(), deletedSeen.end()).join('\n').toStdString();

    // The files and the rows agree once refreshed; both files pass SQLite's own check.
    ASSERT_EQ(runCliNow({"library", "refresh"}), 0);
    {
        MusicLibrary library(libraryPath());
        for (auto it = trackAt.cbegin(); it != trackAt.cend(); ++it)
            EXPECT_EQ(library.property({it.value(), 0, 0}, "name").toString(),
                      MusicTrack::withPath(it.key()).valueForTag("name").toString())
                << it.key().toStdString();
    }
    EXPECT_EQ(integrityOf(libraryPath()), "ok");
    EXPECT_EQ(integrityOf(historyPath()), "ok");
    EXPECT_EQ(sqliteNumber(historyPath(), "SELECT count(*) FROM runs WHERE open = 1"), 0);
    EXPECT_TRUE(deletedSqliteFilesHeldBy(::getpid()).isEmpty());
}
