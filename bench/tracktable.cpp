// SPDX-License-Identifier: GPL-3.0-or-later
// The window's track table over a large folder, the real window offscreen:
// from choosing the folder, how long until the first 100 rows are in the
// table and until every file is, and the longest time the event loop went
// without turning meanwhile (a timer ticks every 5 ms; the longest gap
// between two ticks is how long the window was frozen at worst).
// The floor is a bare loop that reads the tags of the first 100 files with
// the same reader, in the same process, right before each round.
//   bench-tracktable DIR [ROUNDS]
#include "app/appdelegate.h"
#include "benchwindow.h"
#include "guiwindowport.h"
#include "mainwindow.h"
#include "files/filetags.h"
#include "files/musicfiles.h"
#include "sourcetracksmodel.h"
#include "tracktablepanel.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>

namespace {

struct Round {
    double floorSeconds = 0;  // the first 100 files' tags, read in a bare loop
    double firstSeconds = 0;  // the first 100 rows in the table
    double allSeconds = 0;    // every row in the table
    double longestGap = 0;    // the event loop's longest pause while loading, in seconds
    int rows = 0;
};

Round measure(MainWindow &window, AppDelegate &app, const QString &folder, const QStringList &firstFiles)
{
    Round round;
    QElapsedTimer clock;
    clock.start();
    for (const QString &path : firstFiles)
        filetags::readListing(path);
    round.floorSeconds = clock.nsecsElapsed() / 1e9;

    SourceTracksModel *model = window.trackTable()->model();
    QEventLoop loop;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    ticker.setInterval(5);
    qint64 lastTick = 0;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        round.longestGap = std::max(round.longestGap, (now - lastTick) / 1e9);
        lastTick = now;
    });
    const auto rowsIn = QObject::connect(model, &QAbstractItemModel::rowsInserted, [&] {
        if (round.firstSeconds == 0 && model->rowCount() >= 100)
            round.firstSeconds = clock.nsecsElapsed() / 1e9;
    });
    const auto done = QObject::connect(model, &SourceTracksModel::loadingChanged, [&] {
        if (!model->isLoading())
            loop.quit();
    });

    // Leaves the folder first so that choosing it is a change the table follows.
    app.setFolderPath(QString());
    QCoreApplication::processEvents();
    clock.restart();
    lastTick = 0;
    ticker.start();
    app.pathSelected(folder);
    loop.exec();
    round.allSeconds = clock.nsecsElapsed() / 1e9;
    ticker.stop();
    round.rows = model->rowCount();
    QObject::disconnect(rowsIn);
    QObject::disconnect(done);
    return round;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s DIR [ROUNDS]\n", argv[0]);
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const int rounds = argc > 2 ? std::max(1, atoi(argv[2])) : 3;
    QTemporaryDir home;

    GuiWindowPort port;
    BenchWindow bench(port, home.filePath("library.sqlite"));
    AppDelegate &app = bench.app;
    MainWindow &window = *bench.window;
    window.show();
    QCoreApplication::processEvents();

    const QStringList firstFiles = musicfiles::musicFilesBelow(folder).mid(0, 100);
    QList<double> ratios, firsts, gaps, alls;
    for (int i = 1; i <= rounds; ++i) {
        const Round round = measure(window, app, folder, firstFiles);
        const double ratio = round.floorSeconds > 0 ? round.firstSeconds / round.floorSeconds : 0;
        std::printf("round %d: %d rows; first 100 rows %.3fs (floor %.3fs, ratio %.2fx), all rows %.2fs, "
                    "longest event-loop pause %.1f ms\n",
                    i, round.rows, round.firstSeconds, round.floorSeconds, ratio, round.allSeconds,
                    round.longestGap * 1000);
        ratios << ratio;
        firsts << round.firstSeconds;
        gaps << round.longestGap;
        alls << round.allSeconds;
    }
    std::printf("track table: first 100 rows median %.3fs (target 0.2s), median ratio to the floor %.2fx; "
                "all rows median %.2fs; longest event-loop pause median %.1f ms, worst %.1f ms (target 50 ms)\n",
                median(firsts), median(ratios), median(alls), median(gaps) * 1000,
                *std::max_element(gaps.begin(), gaps.end()) * 1000);
    return 0;
}
