// SPDX-License-Identifier: GPL-3.0-or-later
// Scrolling the window's track table, the real window offscreen, over a large
// folder whose files carry covers: from the top to the bottom a page every
// 16 ms, as a fast fling does, once with the "Cover" column hidden (the
// floor) and once shown with an empty thumbnail cache, each round. A timer
// ticks every 5 ms; the longest gap between two ticks is how long the window
// was frozen at worst. The verdict is the median of the rounds' own ratios
// of the longest pause with covers to the floor's, and the longest pause.
//   bench-coverscroll DIR [ROUNDS]
#include "benchwindow.h"
#include "coverthumbnails.h"
#include "sourcetracksmodel.h"
#include "tracktablepanel.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QScrollBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>

namespace {

// The longest pause of the event loop, in seconds, while the table scrolls from top to bottom.
double scroll(TrackTablePanel *panel)
{
    QScrollBar *bar = panel->table()->verticalScrollBar();
    bar->setValue(0);
    QCoreApplication::processEvents();
    QTimer fling;
    fling.setTimerType(Qt::PreciseTimer);
    fling.setInterval(16);
    QObject::connect(&fling, &QTimer::timeout, [bar] { bar->setValue(bar->value() + bar->pageStep()); });
    fling.start();
    QElapsedTimer clock;
    clock.start();
    return serveUntil([bar] { return bar->value() >= bar->maximum(); }, clock);
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
    bench.window->resize(1200, 800);
    bench.window->show();
    TrackTablePanel *panel = bench.window->trackTable();
    bench.app.pathSelected(folder);
    while (panel->loadPending() || panel->model()->isLoading())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);

    QList<double> ratios, pauses;
    for (int i = 1; i <= rounds; ++i) {
        panel->setColumnChosen(SourceTracksModel::CoverColumn, false);
        const double floor = scroll(panel);
        // Read again from nothing: a fresh cache, as after a launch.
        CoverThumbnails fresh(panel->table()->fontMetrics().height() + 4);
        panel->model()->setThumbnails(&fresh);
        QObject::connect(&fresh, &CoverThumbnails::ready, panel->table()->viewport(), qOverload<>(&QWidget::update));
        panel->setColumnChosen(SourceTracksModel::CoverColumn, true);
        const double covers = scroll(panel);
        // The rows the fling stopped on, shown in full.
        QElapsedTimer settle;
        settle.start();
        while (fresh.isBusy())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        panel->model()->setThumbnails(panel->thumbnails());
        const double ratio = floor > 0 ? covers / floor : 0;
        std::printf("round %d: %d rows; longest event-loop pause %.1f ms without covers, %.1f ms with "
                    "(ratio %.2fx); last screenful of covers in %.0f ms\n",
                    i, panel->model()->rowCount(), floor * 1000, covers * 1000, ratio, settle.nsecsElapsed() / 1e6);
        ratios << ratio;
        pauses << covers;
    }
    std::printf("cover column scroll: longest event-loop pause with covers median %.1f ms, worst %.1f ms "
                "(target 50 ms); median ratio to the table without them %.2fx\n",
                median(pauses) * 1000, *std::max_element(pauses.begin(), pauses.end()) * 1000, median(ratios));
    return 0;
}
