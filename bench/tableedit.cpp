// SPDX-License-Identifier: GPL-3.0-or-later
// Editing one column of a large library playlist in the window's track
// table, the real window offscreen: every row selected, a value typed into
// one cell and committed, how long the event loop went without turning at
// worst from the keystroke until the table settled (a timer ticks every 5 ms;
// target under 100 ms); then File → Save Changes, how long until the review
// of that many pending edits is open (target under 1 s). The floor is reading
// the column's values of the playlist from the library in a bare query, in
// the same process, right before each round.
//   bench-tableedit LIBRARY [ROUNDS]   (the playlist "Everything" of bench-million)
#include "app/appdelegate.h"
#include "benchwindow.h"
#include "celleditdelegate.h"
#include "guiwindowport.h"
#include "library/musiclibrary.h"
#include "mainwindow.h"
#include "pendingedits.h"
#include "reviewsheet.h"
#include "sourcetracksmodel.h"
#include "tracktablepanel.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QTimer>

#include <algorithm>
#include <cstdio>

namespace {

// Nobody is there: an alert during the bench is a fault, told and answered.
class BenchPort : public GuiWindowPort {
public:
    using GuiWindowPort::GuiWindowPort;
    int alert(const QString &title, const QString &message, const QString &, const QString &,
              const QString &) override
    {
        std::fprintf(stderr, "alert: %s: %s\n", qPrintable(title), qPrintable(message));
        return 1;
    }
};

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s LIBRARY [ROUNDS]\n", argv[0]);
        return 2;
    }
    const int rounds = argc > 2 ? std::max(1, atoi(argv[2])) : 3;

    BenchPort port;
    BenchWindow bench(port, QString::fromLocal8Bit(argv[1]));
    AppDelegate &app = bench.app;
    MainWindow &window = *bench.window;
    window.resize(1040, 800);
    window.show();
    app.refreshPlaylists();
    app.setSelectedMethod(0);
    app.setSelectedPlaylist(int(app.playlists().indexOf(QStringLiteral("Everything"))));
    TrackTablePanel *panel = window.trackTable();
    QElapsedTimer clock;
    clock.start();
    serveUntil([&] { return !panel->loadPending() && !panel->model()->isLoading() && panel->model()->rowCount() > 0; },
               clock);
    const int rows = panel->model()->rowCount();
    const auto playlist = app.library()->playlistNamed(QStringLiteral("Everything"));
    if (!playlist || rows == 0) {
        std::fprintf(stderr, "no playlist \"Everything\" with tracks\n");
        return 1;
    }

    QList<double> pauses, reviews, ratios;
    for (int i = 1; i <= rounds; ++i) {
        clock.restart();
        const qsizetype read = app.library()->tracksOf(playlist->id, {QStringLiteral("album")}).rows.size();
        const double floor = clock.nsecsElapsed() / 1e9;

        // Every row selected, the album of the first typed over.
        panel->table()->selectAll();
        QCoreApplication::processEvents();
        const QModelIndex cell = panel->proxy()->index(0, SourceTracksModel::AlbumColumn);
        panel->table()->selectionModel()->setCurrentIndex(cell, QItemSelectionModel::NoUpdate);
        clock.restart();
        panel->table()->edit(cell);
        auto *editor = qobject_cast<QLineEdit *>(panel->cellEditor()->openEditor());
        if (!editor) {
            std::fprintf(stderr, "no editor opened\n");
            return 1;
        }
        const double opened = clock.nsecsElapsed() / 1e6;
        editor->setText(QStringLiteral("Edited %1").arg(i));
        editor->setModified(true);
        emit panel->cellEditor()->commitData(editor);
        emit panel->cellEditor()->closeEditor(editor);
        const qint64 started = clock.nsecsElapsed();
        std::printf("round %d: the editor opened in %.1f ms, the commit took %.1f ms\n", i, opened,
                    started / 1e6 - opened);
        // From the editor's opening (it reads every selected row's value) through the commit to the repaint.
        const double pause = serveUntil([&] { return clock.nsecsElapsed() - started > 300'000'000; }, clock, 0);
        const qsizetype pending = window.pendingEdits()->count();

        clock.restart();
        panel->saveChanges();
        serveUntil([&] { return window.reviewSheet()->isVisible() || !app.lastRun() || app.lastRun()->finished() && !app.changes(); },
                   clock);
        const double review = clock.nsecsElapsed() / 1e9;
        const qsizetype reviewed = app.changes() ? app.changes()->records.size() : 0;
        if (app.changes())
            app.cancelChanges(true);
        panel->revertChanges();
        QCoreApplication::processEvents();

        const double ratio = floor > 0 ? review / floor : 0;
        std::printf("round %d: %d rows, %lld pending, %lld reviewed; longest event-loop pause %.1f ms; review open "
                    "in %.3f s (floor: %lld values read in %.3f s, ratio %.1fx)\n",
                    i, rows, qlonglong(pending), qlonglong(reviewed), pause * 1000, review, qlonglong(read), floor,
                    ratio);
        pauses << pause;
        reviews << review;
        ratios << ratio;
    }
    std::printf("table edit: longest event-loop pause median %.1f ms, worst %.1f ms (target 100 ms); review of the "
                "pending edits open median %.3f s (target 1 s), median ratio to the floor %.1fx\n",
                median(pauses) * 1000, *std::max_element(pauses.begin(), pauses.end()) * 1000, median(reviews),
                median(ratios));
    return 0;
}
