// SPDX-License-Identifier: GPL-3.0-or-later
#include "documents.h"
#include "helpsheet.h"
#include "support/urlopener.h"
#include "windowfixture.h"

#include <QAction>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStackedWidget>
#include <QTextBrowser>
#include <QToolBar>

namespace {

QAction *toolbarItem(MainWindow &window, const QString &text)
{
    for (QAction *action : window.toolbar()->actions())
        if (action->text() == text)
            return action;
    return nullptr;
}

} // namespace

TEST_F(WindowTest, StartsOnTheFirstPaneWithItsItemMarkedAndTheWindowFitted)
{
    launch();
    EXPECT_EQ(window->tabView()->currentIndex(), 0);
    ASSERT_NE(window->selectedToolbarItem(), nullptr);
    EXPECT_EQ(window->selectedToolbarItem()->text(), "Search & Replace");
    EXPECT_EQ(window->pane(0)->parentWidget(), window->tabView()->widget(0));
    // Without the track table below the panes the window is the pane plus the chrome exactly.
    window->setTrackTableShown(false);
    EXPECT_EQ(window->height(), window->pane(0)->height() + 78);
    // The chrome above the pane takes exactly the 78 that are added to it.
    EXPECT_EQ(window->tabView()->height(), window->pane(0)->height());
}

TEST_F(WindowTest, ToolbarItemsSwitchPanesResizingTheWindowAndKeepingItsTopEdge)
{
    launch();
    window->setTrackTableShown(false);
    const int top = window->geometry().top();
    const QStringList titles = {"Search & Replace", "Capitalization", "Playlist Manager",
                                "Data Mover", "Filename Changer", "Miscellaneous Tools"};
    for (int position = 0; position < titles.size(); ++position) {
        SCOPED_TRACE(titles.at(position).toStdString());
        QAction *item = toolbarItem(*window, titles.at(position));
        ASSERT_NE(item, nullptr);
        item->trigger();
        QCoreApplication::processEvents();
        EXPECT_EQ(app.currentPane(), position);
        EXPECT_EQ(window->tabView()->currentIndex(), position);
        EXPECT_TRUE(window->pane(position)->isVisible());
        EXPECT_EQ(window->height(), window->pane(position)->height() + 78);
        EXPECT_EQ(window->geometry().top(), top);
    }
    // The panes differ in height, so the window really changed size.
    EXPECT_NE(window->pane(1)->height(), window->pane(5)->height());

    // The about item sits after the flexible space: its index, 7, shows the about pane.
    toolbarItem(*window, "About")->trigger();
    EXPECT_EQ(app.currentPane(), 7);
    EXPECT_EQ(window->tabView()->currentIndex(), 7);
    EXPECT_EQ(window->pane(7), window->pane(6));
    EXPECT_TRUE(window->pane(6)->isVisible());
}

TEST_F(WindowTest, APaneThreeHundredHighGivesAWindowOf378WithTheTopEdgeKept)
{
    launch();
    window->setTrackTableShown(false);
    window->pane(2)->setFixedHeight(300);
    window->move(60, 200);
    QCoreApplication::processEvents();
    const int top = window->geometry().top();
    app.toolbarClicked(2);
    EXPECT_EQ(window->height(), 378);
    EXPECT_EQ(window->geometry().top(), top);
}

TEST_F(WindowTest, ShowTabMarksTheItemAmongTheNonSystemItemsEvenWithSpacers)
{
    launch();
    // Extra spacers and separators before and between the items are skipped.
    QToolBar *toolbar = window->toolbar();
    auto *space = new QWidget(toolbar);
    toolbar->insertWidget(toolbar->actions().first(), space)->setObjectName("toolbarSpaceFixed");
    toolbar->insertSeparator(toolbar->actions().at(3));

    window->showTab(5);
    EXPECT_EQ(app.currentPane(), 5);
    EXPECT_EQ(window->tabView()->currentIndex(), 5);
    ASSERT_NE(window->selectedToolbarItem(), nullptr);
    EXPECT_EQ(window->selectedToolbarItem()->text(), "Miscellaneous Tools");

    window->showTab(6);
    EXPECT_EQ(window->selectedToolbarItem()->text(), "About");
    EXPECT_TRUE(window->pane(6)->isVisible());

    window->showTab(1);
    EXPECT_EQ(window->selectedToolbarItem()->text(), "Capitalization");
}

TEST_F(WindowTest, HelpSheetHasTheToolsTitleInfoAndItsOwnDocument)
{
    launch();
    const QStringList names = {"Search & Replace", "Capitalization", "Playlist Manager",
                               "Data Mover", "Filename Changer", "Miscellaneous Tools"};
    QStringList bodies;
    for (int position = 0; position < names.size(); ++position) {
        SCOPED_TRACE(position);
        ASSERT_TRUE(QFile::exists(documents::resourcePath(QStringLiteral("help_%1.html").arg(position))));
        window->showTab(position);
        app.openHelp();
        HelpSheet *help = window->helpSheet();
        ASSERT_TRUE(help->isVisible());
        EXPECT_TRUE(help->isModal() || help->windowModality() == Qt::WindowModal);
        EXPECT_EQ(help->titleText()->text(), names.at(position) + " Tool Help");
        EXPECT_EQ(help->infoField()->text(),
                  "Info: this is the specific help for the '" + names.at(position) +
                      "' tool, for general instructions click the 'Documentation' tab");
        const QString body = help->textView()->toPlainText();
        EXPECT_GT(body.size(), 600) << "the help should really explain the tool";
        bodies << body;
        app.closeHelp();
        EXPECT_FALSE(help->isVisible());
    }
    // Each pane has its own document, and search & replace teaches the pattern syntax.
    EXPECT_EQ(QSet<QString>(bodies.begin(), bodies.end()).size(), 6);
    EXPECT_TRUE(bodies.at(0).contains("$1"));
    EXPECT_TRUE(bodies.at(4).contains("#n"));

    // The about pane has no help of its own.
    window->showTab(6);
    app.openHelp();
    EXPECT_FALSE(window->helpSheet()->isVisible());
}

TEST_F(WindowTest, AboutPaneShowsVersionBuildAndTheFourDocuments)
{
    launch();
    window->showTab(6);
    QWidget *about = window->pane(6);
    auto *version = about->findChild<QLabel *>("version");
    auto *build = about->findChild<QLabel *>("build");
    ASSERT_TRUE(version && build);
    EXPECT_TRUE(version->text().startsWith("Version: ")) << version->text().toStdString();
    EXPECT_TRUE(build->text().startsWith("Build: ")) << build->text().toStdString();
    for (const char *name : {"aboutURL", "historyURL", "faqURL", "readmeURL"}) {
        SCOPED_TRACE(name);
        auto *view = about->findChild<QTextBrowser *>(name);
        ASSERT_NE(view, nullptr);
        EXPECT_FALSE(view->toPlainText().contains("missing"));
        EXPECT_GT(view->toPlainText().size(), 100);
    }
}

TEST_F(WindowTest, ToolbarAndAboutCarryTheirIcons)
{
    launch();
    for (QAction *action : window->paneItems())
        EXPECT_FALSE(action->icon().pixmap(24, 24).isNull()) << action->text().toStdString();
    EXPECT_FALSE(window->windowIcon().isNull());
}

TEST_F(WindowTest, HelpMenuAndAboutButtonsOpenTheMakersAddresses)
{
    launch();
    QList<QUrl> opened;
    urlOpener = [&opened](const QUrl &url) { opened << url; };
    QMenu *help = nullptr;
    for (QAction *menu : window->menuBar()->actions())
        if (menu->text() == "&Help")
            help = menu->menu();
    ASSERT_NE(help, nullptr);
    QStringList labels;
    for (QAction *action : help->actions()) {
        labels << action->text();
        if (action->text() == "Send &Support Mail…" || action->text() == "Join the &Beta Test…")
            action->trigger();
    }
    EXPECT_TRUE(labels.contains("&Product Page"));
    ASSERT_EQ(opened.size(), 2);
    EXPECT_EQ(opened.at(0).scheme(), "mailto");
    EXPECT_TRUE(opened.at(0).toString(QUrl::FullyDecoded).contains("Support Request"));
    EXPECT_TRUE(opened.at(1).toString(QUrl::FullyDecoded).contains("Beta Versions"));

    // The about pane's buttons carry the same choices as their tags.
    for (QPushButton *button : window->pane(6)->findChildren<QPushButton *>())
        if (button->property("tag").toInt() == 3)
            button->click();
    ASSERT_EQ(opened.size(), 3);
    EXPECT_TRUE(opened.at(2).scheme().startsWith("http"));
}

TEST_F(WindowTest, AnAlertBringsTheWindowToTheFront)
{
    launch();
    window->showMinimized();
    QWidget other;
    other.show();
    other.activateWindow();
    QCoreApplication::processEvents();
    ASSERT_TRUE(window->isMinimized());

    // The window's own alert, answered as soon as it is up.
    GuiWindowPort real(window.get());
    bool minimizedDuringAlert = true;
    bool seen = false;
    QTimer::singleShot(0, [&] {
        QWidget *box = QApplication::activeModalWidget();
        seen = box != nullptr;
        minimizedDuringAlert = window->isMinimized();
        if (auto *messageBox = qobject_cast<QMessageBox *>(box))
            messageBox->defaultButton()->click();
    });
    EXPECT_EQ(real.alert("Title", "Message", "OK", {}, {}), 1);
    EXPECT_TRUE(seen);
    EXPECT_FALSE(minimizedDuringAlert);
    EXPECT_TRUE(window->isVisible());
}
