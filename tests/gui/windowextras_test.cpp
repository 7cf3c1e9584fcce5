// SPDX-License-Identifier: GPL-3.0-or-later
#include "desktopurlopener.h"
#include "library/musiclibrary.h"
#include "librarybrowser.h"
#include "librarytracksmodel.h"
#include "sourcechooser.h"
#include "windowfixture.h"

#include <QAction>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QClipboard>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QStackedWidget>
#include <QTableView>
#include <QToolBar>

TEST_F(WindowTest, ControlAndADigitChooseTheToolbarItemsInOrder)
{
    launch();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    const QList<QAction *> items = window->paneItems();
    ASSERT_EQ(items.size(), 7);
    for (int index = 6; index >= 0; --index) {
        SCOPED_TRACE(index);
        // Through the window system, as a person's keys come, so the shortcut map decides.
        QTest::keyClick(window->windowHandle(), Qt::Key(Qt::Key_1 + index), Qt::ControlModifier);
        EXPECT_EQ(window->selectedToolbarItem(), items.at(index));
        // About sits after the flexible space, at toolbar index 7.
        EXPECT_EQ(app.currentPane(), index == 6 ? 7 : index);
    }
    EXPECT_EQ(window->tabView()->currentIndex(), 0);
    // A shortcut takes the key press, and the application may still think Ctrl is held;
    // the next tests' clicks must not come with it.
    QTest::keyRelease(window->windowHandle(), Qt::Key_Control);
    EXPECT_EQ(QGuiApplication::keyboardModifiers(), Qt::NoModifier);
}

TEST_F(WindowTest, TheFirstLaunchHintLeavesTheSourceRowFree)
{
    window->handleFirstLaunch();
    launch();
    QLabel *hint = window->helpView();
    ASSERT_TRUE(hint->isVisible());
    auto *chooser = window->pane(0)->findChild<SourceChooser *>();
    ASSERT_NE(chooser, nullptr);
    const QRect source(chooser->mapTo(window.get(), QPoint(0, 0)), chooser->size());
    const QRect shown(hint->mapTo(window.get(), QPoint(0, 0)), hint->size());
    EXPECT_FALSE(shown.intersects(source)) << shown.top() << " " << source.bottom();
}

TEST_F(WindowTest, AnAddressNoProgramOpensIsToldAndLeftOnTheClipboard)
{
    launch();
    QList<QUrl> tried;
    bool programThere = false;
    urlOpener = desktopUrlOpener(*port, [&](const QUrl &url) {
        tried << url;
        return programThere;
    });
    QMenu *help = nullptr;
    for (QAction *menu : window->menuBar()->actions())
        if (menu->text() == "&Help")
            help = menu->menu();
    ASSERT_NE(help, nullptr);
    const auto trigger = [&](const QString &label) {
        for (QAction *action : help->actions())
            if (action->text() == label)
                action->trigger();
    };
    trigger("Send &Support Mail…");
    ASSERT_EQ(tried.size(), 1);
    ASSERT_EQ(port->alertTitles, QStringList({"No Mail Program"}));
    const QString address = QGuiApplication::clipboard()->text();
    EXPECT_TRUE(address.contains('@')) << address.toStdString();
    EXPECT_EQ(address, tried.first().path());
    EXPECT_TRUE(port->alertMessages.first().contains(address));

    trigger("&Product Page");
    ASSERT_EQ(port->alertTitles.size(), 2);
    EXPECT_EQ(port->alertTitles.last(), "No Web Browser");
    EXPECT_EQ(QGuiApplication::clipboard()->text(), tried.last().toString());

    programThere = true;
    trigger("&Product Page");
    EXPECT_EQ(tried.size(), 3);
    EXPECT_EQ(port->alertTitles.size(), 2) << "opened: nothing to tell";
}

TEST_F(WindowTest, TheLibraryBrowserFitsSortsFiltersAndMarksDeadTracks)
{
    auto library = app.library();
    const QString longTitle = "A Much Longer Title Than Any Other In The List";
    library->importFile({folder.addSeed("seed.mp3", "music/b.mp3"), {{"name", "Beta"}, {"year", 2001}}});
    library->importFile({folder.filePath("music/gone.mp3"), {{"name", "Alpha"}, {"year", 1999}}});
    library->importFile({folder.addSeed("seed.mp3", "music/c.mp3"), {{"name", longTitle}, {"year", 1985}}});
    launch();
    LibraryBrowser *browser = window->libraryBrowser();
    browser->open();
    LibraryTracksModel *model = browser->trackModel();
    ASSERT_EQ(model->rowCount(), 3);
    const auto titles = [&] {
        QStringList list;
        for (int row = 0; row < model->rowCount(); ++row)
            list << model->index(row, LibraryTracksModel::TitleColumn).data().toString();
        return list;
    };
    EXPECT_EQ(titles(), QStringList({"Beta", "Alpha", longTitle})) << "the library's own order at first";

    QHeaderView *header = browser->trackTable()->horizontalHeader();
    EXPECT_GE(header->sectionSize(LibraryTracksModel::TitleColumn),
              browser->trackTable()->fontMetrics().horizontalAdvance("Beta") + 8);
    EXPECT_LE(header->sectionSize(LibraryTracksModel::TitleColumn), 260);

    browser->trackTable()->sortByColumn(LibraryTracksModel::YearColumn, Qt::AscendingOrder);
    EXPECT_EQ(titles(), QStringList({longTitle, "Alpha", "Beta"}));
    browser->trackTable()->sortByColumn(LibraryTracksModel::TitleColumn, Qt::DescendingOrder);
    EXPECT_EQ(titles(), QStringList({"Beta", "Alpha", longTitle}));

    const int alpha = int(titles().indexOf("Alpha"));
    EXPECT_TRUE(model->isDead(alpha));
    EXPECT_FALSE(model->isDead(0));
    EXPECT_FALSE(model->index(alpha, LibraryTracksModel::TitleColumn).data(Qt::DecorationRole).isNull());
    EXPECT_TRUE(model->index(alpha, LibraryTracksModel::YearColumn).data(Qt::ToolTipRole).toString().contains("gone.mp3"));
    EXPECT_TRUE(model->index(0, LibraryTracksModel::TitleColumn).data(Qt::DecorationRole).isNull());

    // The filter keeps the sort; selecting through it stores the right track.
    browser->filterBox()->setText("19");
    EXPECT_EQ(titles(), QStringList({"Alpha", longTitle}));
    browser->trackTable()->selectRow(0);
    browser->storeSelection();
    ASSERT_EQ(library->selection().size(), 1);
    EXPECT_EQ(library->property(library->selection().first(), "name").toString(), "Alpha");
    browser->filterBox()->clear();
    EXPECT_EQ(model->rowCount(), 3);
}

// The Miscellaneous Tools pane carries the naming, numbering and organizing
// tools, their controls bound to the controller's options.
TEST_F(WindowTest, NamingNumberingAndOrganizingHaveTheirControlsInTheMiscellaneousPane)
{
    launch();
    window->showTab(5);
    QWidget *misc = window->pane(5);
    auto *pattern = misc->findChild<QLineEdit *>("fromFilenameString");
    ASSERT_NE(pattern, nullptr);
    EXPECT_EQ(pattern->text(), "#n - #t");
    pattern->setText("#a/#t");
    EXPECT_EQ(app.fromFilenameString(), "#a/#t");
    auto *start = misc->findChild<QSpinBox *>("numberStart");
    ASSERT_NE(start, nullptr);
    EXPECT_EQ(start->value(), 1);
    start->setValue(4);
    EXPECT_EQ(app.numberStart(), 4);
    for (const char *name : {"performTagsFromFilename", "performNumberTracks", "chooseOrganizeFolder"})
        EXPECT_NE(misc->findChild<QPushButton *>(name), nullptr) << name;
    // Without a folder to organize into the tool refuses.
    auto *organize = misc->findChild<QPushButton *>("performOrganize");
    ASSERT_NE(organize, nullptr);
    organize->click();
    EXPECT_EQ(port->alertTitles, QStringList({"No Folder"}));
}
