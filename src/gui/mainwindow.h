// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QMainWindow>

class AppDelegate;
class HelpSheet;
class LibraryBrowser;
class ProgressSheet;
class QAction;
class QActionGroup;
class QLabel;
class QStackedWidget;
class QToolBar;
class ReviewSheet;

// The main window: a toolbar with one item per pane, the panes in a tab view,
// the menus and the sheets. A view over the controller: every button and
// menu item calls one of its actions, every control is bound to one of its
// options, and the pane shown follows its current pane.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    // Pane height plus this gives the window height: the menu bar and the toolbar.
    static constexpr int ChromeHeight = 78;
    static constexpr int PositionCount = 8;

    explicit MainWindow(AppDelegate *app, QWidget *parent = nullptr);
    ~MainWindow() override;

    QToolBar *toolbar() const { return toolbar_; }
    QStackedWidget *tabView() const { return tabView_; }
    // The pane of a position (6 and 7 share the about pane).
    QWidget *pane(int position) const;
    QLabel *helpView() const { return helpView_; }
    ReviewSheet *reviewSheet() const { return review_; }
    ProgressSheet *progressSheet() const { return progress_; }
    HelpSheet *helpSheet() const { return help_; }
    LibraryBrowser *libraryBrowser();

    // A toolbar item was clicked: its index among all toolbar items is the position.
    void toolbarClicked(QAction *item);
    // Shows the pane of the position and marks the toolbar item at that index
    // among the items that are not spacers or separators.
    void showTab(int tag);
    // The toolbar item shown as selected, or null.
    QAction *selectedToolbarItem() const;
    QList<QAction *> paneItems() const;

    // Counts this launch and shows the hint picture on the first two launches,
    // fading it out after four seconds; from the third launch on it is hidden at once.
    void handleFirstLaunch();

    // Asks for a folder and makes it the source.
    void chooseFolder();
    void showLibrary();
    void importIntoLibrary();
    void refreshLibrary();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void buildToolbar();
    void buildMenus();
    void showPane(int position);
    void connectPaneRequests(QWidget *pane);

    AppDelegate *app_;
    QToolBar *toolbar_ = nullptr;
    QActionGroup *paneGroup_ = nullptr;
    QStackedWidget *tabView_ = nullptr;
    QWidget *paneStore_ = nullptr;
    QList<QWidget *> panes_; // by position 0-6
    QLabel *helpView_ = nullptr;
    ReviewSheet *review_ = nullptr;
    ProgressSheet *progress_ = nullptr;
    HelpSheet *help_ = nullptr;
    LibraryBrowser *library_ = nullptr;
    int shownPosition_ = -1;
};
