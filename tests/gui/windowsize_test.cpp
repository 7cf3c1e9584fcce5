// SPDX-License-Identifier: GPL-3.0-or-later
#include "library/musiclibrary.h"
#include "sourcechooser.h"
#include "sourcetracksmodel.h"
#include "tracktablepanel.h"
#include "windowfixture.h"

#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSortFilterProxyModel>
#include <QStackedWidget>
#include <QTableView>

namespace {

QRect inWindow(QWidget *window, QWidget *widget)
{
    return QRect(widget->mapTo(window, QPoint(0, 0)), widget->size());
}

// The visible labels of the window the hint lies over.
QStringList labelsUnder(QWidget *window, QLabel *hint)
{
    QStringList covered;
    const QRect area = inWindow(window, hint);
    for (QLabel *label : window->findChildren<QLabel *>())
        if (label != hint && label->isVisible() && !label->text().isEmpty() &&
            inWindow(window, label).intersects(area))
            covered << label->text();
    return covered;
}

} // namespace

TEST_F(WindowTest, WithTheTableTheWindowKeepsItsSizeAndATallPaneScrollsWithoutItTheWindowFitsThePane)
{
    window->handleFirstLaunch();
    launch();
    const QRect screen = window->screen()->availableGeometry();
    // The first launch opens within the screen with the table in view, and
    // the hint over the table's empty rows covers no label.
    ASSERT_TRUE(window->isTrackTableShown());
    EXPECT_LE(window->frameGeometry().height(), screen.height());
    EXPECT_LE(window->width(), screen.width());
    EXPECT_NE(window->size(), QSize(880, 604));
    EXPECT_GE(window->trackTable()->height(), window->trackTable()->minimumHeight());
    ASSERT_TRUE(window->helpView()->isVisible());
    EXPECT_EQ(labelsUnder(window.get(), window->helpView()), QStringList());
    auto *chooser = window->pane(0)->findChild<SourceChooser *>();
    EXPECT_FALSE(inWindow(window.get(), window->helpView()).intersects(inWindow(window.get(), chooser)));

    // The person's size stays whatever the pane; a pane with too little room scrolls.
    window->resize(760, 540);
    QCoreApplication::processEvents();
    const QRect given = window->geometry();
    bool scrolled = false;
    for (int position = 0; position <= 6; ++position) {
        SCOPED_TRACE(position);
        window->showTab(position);
        QCoreApplication::processEvents();
        EXPECT_EQ(window->geometry(), given);
        EXPECT_GE(window->trackTable()->height(), window->trackTable()->minimumHeight());
        // The status line stays inside the window.
        QLabel *status = window->statusLine();
        EXPECT_LE(inWindow(window.get(), status).bottom(), window->height());
        const int room = window->paneArea()->viewport()->height();
        if (window->pane(position)->height() > room) {
            scrolled = true;
            EXPECT_GT(window->paneArea()->verticalScrollBar()->maximum(), 0);
        } else {
            EXPECT_EQ(window->paneArea()->height(), window->pane(position)->height()) << "the pane's own height";
        }
    }
    EXPECT_TRUE(scrolled) << "the tallest pane needs more than 540 pixels with the table";

    // Without the table the window is the pane's height; with it again the table gets room back.
    window->showTab(1);
    window->setTrackTableShown(false);
    EXPECT_EQ(window->height(), window->pane(1)->height() + 78);
    EXPECT_EQ(window->geometry().top(), given.top());
    EXPECT_EQ(labelsUnder(window.get(), window->helpView()), QStringList());
    window->setTrackTableShown(true);
    QCoreApplication::processEvents();
    EXPECT_GT(window->height(), window->pane(1)->height() + 78 + window->trackTable()->minimumHeight() - 1);
    EXPECT_EQ(window->paneArea()->height(), window->pane(1)->height());
}

TEST_F(WindowTest, ColumnsFitTheirTracksOnFirstShowAndKeepTheWidthsThePersonSets)
{
    const QString album = QStringLiteral("An Album Whose Name Is Long Enough To Be Cut");
    for (const QString name : {"a.mp3", "b.ogg"})
        MusicTrack::withPath(folder.addSeed(QStringLiteral("seed.") + name.section('.', 1), "music/" + name))
            .setTag("album", album);
    launch();
    TrackTablePanel *panel = window->trackTable();
    app.pathSelected(folder.filePath("music"));
    ASSERT_TRUE(waitUntil([&] { return !panel->model()->isLoading() && panel->model()->rowCount() == 2; }, 15000));
    QCoreApplication::processEvents();
    QHeaderView *header = panel->table()->horizontalHeader();
    const QFontMetrics metrics = panel->table()->fontMetrics();
    EXPECT_GE(header->sectionSize(SourceTracksModel::AlbumColumn), metrics.horizontalAdvance(album))
        << "the album is not cut";
    EXPECT_GE(header->sectionSize(SourceTracksModel::TitleColumn), metrics.horizontalAdvance("Seed Title"));
    EXPECT_LT(header->sectionSize(SourceTracksModel::YearColumn), 120) << "a number column stays narrow";

    // The person narrows the album: reading again, and another window, keep it.
    header->resizeSection(SourceTracksModel::AlbumColumn, 90);
    panel->reload();
    ASSERT_TRUE(waitUntil([&] { return !panel->model()->isLoading() && panel->model()->rowCount() == 2; }, 15000));
    EXPECT_EQ(header->sectionSize(SourceTracksModel::AlbumColumn), 90);
    MainWindow second(&app);
    TrackTablePanel *again = second.trackTable();
    second.show();
    ASSERT_TRUE(waitUntil([&] { return !again->model()->isLoading() && again->model()->rowCount() == 2; }, 15000));
    QCoreApplication::processEvents();
    EXPECT_EQ(again->table()->horizontalHeader()->sectionSize(SourceTracksModel::AlbumColumn), 90);
    EXPECT_GE(again->table()->horizontalHeader()->sectionSize(SourceTracksModel::TitleColumn),
              metrics.horizontalAdvance("Seed Title"));
}

TEST_F(WindowTest, TheTableFollowsChangesMadeOutsideKeepingSelectionAndScrollAndSaysWhenTheFolderIsGone)
{
    QStringList files;
    for (int i = 0; i < 30; ++i)
        files << folder.addSeed("seed.mp3", QStringLiteral("music/%1.mp3").arg(i, 2, 10, QLatin1Char('0')));
    launch();
    window->resize(760, 560);
    TrackTablePanel *panel = window->trackTable();
    QTableView *table = panel->table();
    app.pathSelected(folder.filePath("music"));
    const auto loaded = [&](int rows) {
        return waitUntil([&] { return !panel->model()->isLoading() && panel->model()->rowCount() == rows; }, 15000);
    };
    ASSERT_TRUE(loaded(30));
    QCoreApplication::processEvents();
    table->selectRow(20);
    ASSERT_GT(table->verticalScrollBar()->maximum(), 3) << "the table must scroll for this test";
    table->verticalScrollBar()->setValue(3);
    const QString selected = panel->model()->track(panel->proxy()->mapToSource(table->currentIndex()).row()).path;

    // Another program writes a title: the table shows it, the selection and the scroll stay.
    MusicTrack::withPath(files.at(7)).setTag("name", QStringLiteral("Changed Outside"));
    const auto titleShown = [&](const QString &title) {
        return waitUntil([&] {
            if (panel->model()->isLoading())
                return false;
            for (int row = 0; row < panel->model()->rowCount(); ++row)
                if (panel->model()->index(row, SourceTracksModel::TitleColumn).data().toString() == title)
                    return true;
            return false;
        }, 15000);
    };
    ASSERT_TRUE(titleShown("Changed Outside"));
    QCoreApplication::processEvents();
    const QModelIndexList rows = table->selectionModel()->selectedRows();
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(panel->model()->track(panel->proxy()->mapToSource(rows.first()).row()).path, selected);
    EXPECT_EQ(table->verticalScrollBar()->value(), 3);

    // A file removed outside leaves the table.
    ASSERT_TRUE(QFile::remove(files.at(0)));
    ASSERT_TRUE(loaded(29));

    // The library changed by another program: a playlist's table follows.
    auto library = app.library();
    const qint64 one = library->importFile({files.at(1), {{"name", "One"}}});
    const qint64 playlist = library->createPlaylist("Mix");
    library->addToPlaylist(playlist, {one});
    app.refreshPlaylists();
    app.setSelectedMethod(0);
    app.setSelectedPlaylist(int(app.playlists().indexOf("Mix")));
    ASSERT_TRUE(loaded(1));
    {
        MusicLibrary other(app.libraryPath());
        other.addToPlaylist(playlist, {other.importFile({files.at(2), {{"name", "Two"}}})});
    }
    ASSERT_TRUE(loaded(2));

    // The folder chosen is gone: the table and a tool say so, not "No Files".
    app.setSelectedMethod(1);
    ASSERT_TRUE(loaded(29));
    ASSERT_TRUE(QDir().rename(folder.filePath("music"), folder.filePath("moved")));
    const QString gone = "The folder " + folder.filePath("music") + " no longer exists.";
    ASSERT_TRUE(waitUntil([&] { return panel->countLabel()->text() == gone; }, 15000))
        << panel->countLabel()->text().toStdString();
    window->showTab(1);
    window->pane(1)->findChild<QPushButton *>("performCapitalization")->click();
    ASSERT_TRUE(awaitLastRun(app));
    EXPECT_EQ(port->alertTitles.value(0), "No Folder");
    EXPECT_EQ(port->alertMessages.value(0), gone);
}
