// SPDX-License-Identifier: GPL-3.0-or-later
#include "screenshottour.h"

#include "app/appdelegate.h"
#include "guiwindowport.h"
#include "helpsheet.h"
#include "librarybrowser.h"
#include "mainwindow.h"
#include "pendingedits.h"
#include "renamepreview.h"
#include "reviewsheet.h"
#include "sourcetracksmodel.h"
#include "tagpanel.h"
#include "tracktablepanel.h"

#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QScreen>
#include <QSortFilterProxyModel>
#include <QTableView>
#include "librarytracksmodel.h"
#include <QTimer>
#include <QWindow>
#include <functional>
#include <memory>

namespace {

// The screen around the window and its sheet (a window of its own), so
// that the picture shows the sheet over the window.
void grabScreen(QWidget *window, QWidget *sheet, const QString &path)
{
    const QRect area = window->frameGeometry().united(sheet->frameGeometry());
    window->screen()->grabWindow(0, area.x(), area.y(), area.width(), area.height()).save(path);
}

// Nobody is there to click: alerts are logged and answered with the default button.
class TourPort : public GuiWindowPort {
public:
    using GuiWindowPort::GuiWindowPort;
    int alert(const QString &title, const QString &message, const QString &, const QString &,
              const QString &) override
    {
        qWarning("alert during the screenshot tour: %s: %s", qPrintable(title), qPrintable(message));
        return 1;
    }
};

struct Tour {
    MainWindow *window;
    AppDelegate *app;
    QDir dir;
    QString musicFolder;
    QList<std::function<void()>> steps;
    int waited = 0;

    std::function<void()> current;
    void next()
    {
        if (steps.isEmpty()) {
            current = {}; // the steps hold the tour; let it go
            QApplication::quit();
            return;
        }
        current = steps.takeFirst();
        current();
    }

    // Runs the current step again after the delay.
    void again(int ms, std::shared_ptr<Tour> keep)
    {
        steps.prepend(current);
        QTimer::singleShot(ms, [keep] { keep->next(); });
    }
};

} // namespace

std::unique_ptr<GuiWindowPort> screenshotTourPort()
{
    return std::make_unique<TourPort>();
}

void startScreenshotTour(MainWindow *window, AppDelegate *app, const QString &dir, const QString &musicFolder)
{
    auto tour = std::make_shared<Tour>();
    tour->window = window;
    tour->app = app;
    tour->dir = QDir(dir);
    tour->musicFolder = musicFolder;
    tour->dir.mkpath(QStringLiteral("."));
    auto later = [tour](int ms) { QTimer::singleShot(ms, [tour] { tour->next(); }); };

    for (int position = 0; position <= 6; ++position) {
        tour->steps << [tour, position, later] {
            tour->window->showTab(position);
            later(400);
        };
        tour->steps << [tour, position, later] {
            tour->window->grab().save(tour->dir.filePath(QStringLiteral("pane-%1.png").arg(position)));
            later(50);
        };
    }
    tour->steps << [tour, later] {
        tour->window->showTab(0);
        tour->app->openHelp();
        later(400);
    };
    tour->steps << [tour, later] {
        grabScreen(tour->window, tour->window->helpSheet(), tour->dir.filePath(QStringLiteral("help.png")));
        tour->app->closeHelp();
        later(100);
    };
    if (!musicFolder.isEmpty()) {
        tour->steps << [tour, later] {
            tour->window->showTab(1);
            // The tag panel beside the table, with room for both.
            tour->window->setTagPanelShown(true);
            tour->window->resize(tour->window->width() + 420, tour->window->height());
            tour->app->pathSelected(tour->musicFolder);
            tour->app->setSelectedTag(0);
            tour->app->setSelectedCapitalizationMethod(1);
            tour->app->performCapitalization();
            later(300);
        };
        // Wait for the collecting run to hand over to the review (up to 20 s).
        tour->steps << [tour, later] {
            if (!tour->window->reviewSheet()->isVisible() && ++tour->waited < 100) {
                tour->again(200, tour);
                return;
            }
            later(500);
        };
        tour->steps << [tour, later] {
            if (tour->window->reviewSheet()->isVisible())
                tour->window->reviewSheet()->table()->selectRow(1);
            later(300);
        };
        tour->steps << [tour, later] {
            if (tour->window->reviewSheet()->isVisible()) {
                grabScreen(tour->window, tour->window->reviewSheet(), tour->dir.filePath(QStringLiteral("review.png")));
                tour->app->applyChanges();
            }
            tour->waited = 0;
            later(300);
        };
        // The window after the run: its status line, and the table read again (up to 20 s).
        tour->steps << [tour, later] {
            const bool busy = tour->app->changes() || tour->window->trackTable()->model()->isLoading();
            if (busy && ++tour->waited < 100) {
                tour->again(200, tour);
                return;
            }
            // Three tracks of one album: what they share once, the titles as several values;
            // the table shows their covers.
            tour->window->trackTable()->setColumnChosen(SourceTracksModel::CoverColumn, true);
            QTableView *table = tour->window->trackTable()->table();
            table->selectRow(1);
            for (int row : {2, 3})
                table->selectionModel()->select(table->model()->index(row, 0),
                                                QItemSelectionModel::Select | QItemSelectionModel::Rows);
            tour->waited = 0;
            later(400);
        };
        // The tag panel shows the selection (waited for up to 20 s) before its picture.
        const auto panelShown = [](const std::shared_ptr<Tour> &tour) {
            if (tour->window->tagPanel()->isSettled() || ++tour->waited >= 100)
                return true;
            tour->again(200, tour);
            return false;
        };
        tour->steps << [tour, later, panelShown] {
            if (!panelShown(tour))
                return;
            tour->window->grab().save(tour->dir.filePath(QStringLiteral("tag-panel.png")));
            tour->window->trackTable()->table()->selectRow(2);
            tour->waited = 0;
            later(400);
        };
        tour->steps << [tour, later, panelShown] {
            if (!panelShown(tour))
                return;
            tour->window->grab().save(tour->dir.filePath(QStringLiteral("main-window.png")));
            // The one track's cover, as the tag panel shows it.
            tour->window->tagPanel()->grab().save(tour->dir.filePath(QStringLiteral("cover.png")));
            // Three rows given an album typed in, before it is saved.
            TrackTablePanel *panel = tour->window->trackTable();
            panel->table()->clearSelection();
            QList<PendingTrack> tracks;
            for (int row = 1; row <= 3 && row < panel->proxy()->rowCount(); ++row) {
                const QModelIndex shown = panel->proxy()->index(row, 0);
                panel->table()->selectionModel()->select(shown, QItemSelectionModel::Select | QItemSelectionModel::Rows);
                tracks << SourceTracksModel::pendingTrack(panel->model()->track(panel->proxy()->mapToSource(shown).row()));
            }
            tour->window->pendingEdits()->put(tracks, QStringLiteral("album"), QStringLiteral("Night Drives"));
            later(400);
        };
        tour->steps << [tour, later] {
            tour->window->grab().save(tour->dir.filePath(QStringLiteral("pending-edits.png")));
            // Dropped, so that quitting does not ask about them.
            tour->window->trackTable()->revertChanges();
            tour->window->showTab(4);
            tour->app->setRenameRecursiveScan(true);
            tour->window->renamePreview()->preview();
            tour->waited = 0;
            later(300);
        };
        // Wait for the plan (up to 20 s).
        tour->steps << [tour, later] {
            if (tour->window->renamePreview()->plan().isEmpty() && ++tour->waited < 100) {
                tour->again(200, tour);
                return;
            }
            later(400);
        };
        tour->steps << [tour, later] {
            RenamePreview *preview = tour->window->renamePreview();
            grabScreen(tour->window, preview, tour->dir.filePath(QStringLiteral("rename-preview.png")));
            preview->reject();
            tour->window->showTab(0);
            later(200);
        };
    }
    tour->steps << [tour, later] {
        tour->window->showTab(0);
        tour->window->showLibrary();
        if (tour->musicFolder.isEmpty()) {
            later(600);
            return;
        }
        LibraryBrowser *browser = tour->window->libraryBrowser();
        QObject::connect(browser, &LibraryBrowser::importFinished, browser, [tour, later, browser] {
            browser->trackTable()->selectRow(1);
            browser->trackTable()->selectionModel()->select(
                browser->trackModel()->index(3, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
            later(600);
        }, Qt::SingleShotConnection);
        browser->importFolderAt(tour->musicFolder);
    };
    tour->steps << [tour, later] {
        tour->window->libraryBrowser()->grab().save(tour->dir.filePath(QStringLiteral("library.png")));
        tour->window->libraryBrowser()->reject();
        later(100);
    };
    later(800);
}
