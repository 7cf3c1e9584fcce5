// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QMainWindow>

class AppDelegate;
class HelpSheet;
class HistoryWindow;
class LibraryBrowser;
class LibraryImports;
class PendingEdits;
class ProgressSheet;
class QAction;
class QDockWidget;
class QActionGroup;
class QLabel;
class QScrollArea;
class QStackedWidget;
class QToolBar;
class RenamePreview;
class ReviewSheet;
class TagPanel;
class TrackTablePanel;

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
    // Holds the tab view; scrolls when the pane has less room than its height.
    QScrollArea *paneArea() const { return paneArea_; }
    // The pane of a position (6 and 7 share the about pane).
    QWidget *pane(int position) const;
    QLabel *helpView() const { return helpView_; }
    ReviewSheet *reviewSheet() const { return review_; }
    ProgressSheet *progressSheet() const { return progress_; }
    HelpSheet *helpSheet() const { return help_; }
    LibraryBrowser *libraryBrowser();
    // The filename changer's preview, made on first use.
    RenamePreview *renamePreview();

    // The tracks of the current source below the panes. Shown, the window
    // keeps the size the person gives it whatever the pane, and a pane taller
    // than its room scrolls; showing the table adds the height it last had.
    // Hidden, the window is the pane's height plus the chrome exactly. The
    // choice is remembered across launches, as is the window's size.
    TrackTablePanel *trackTable() const { return trackPanel_; }
    bool isTrackTableShown() const;
    void setTrackTableShown(bool shown);
    // What the last run did: below the track table, or in the toolbar while the table is hidden.
    QLabel *statusLine() const;
    // The values typed into the window and not yet saved.
    PendingEdits *pendingEdits() const { return pending_; }
    // File → Save Changes and Revert Changes.
    QAction *saveChangesAction() const { return saveChanges_; }
    QAction *revertChangesAction() const { return revertChanges_; }
    // The panel of the selected tracks' fields beside the table (View → Tag Panel, remembered).
    TagPanel *tagPanel() const { return tagPanel_; }
    bool isTagPanelShown() const;
    void setTagPanelShown(bool shown);
    // File → Import from Player… and Import Playlist….
    LibraryImports *libraryImports() const { return imports_; }

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
    // File → Sync with MPD…: the dialog, filled from the remembered options.
    void syncWithMpd();

    // Edit → History…, made on first use.
    HistoryWindow *historyWindow();
    void showHistory();
    // Edit → Undo: names the newest run the history can take back (disabled,
    // plainly "Undo", when there is none) and starts its undo.
    QAction *undoAction() const { return undoAction_; }
    void updateUndoAction();
    void undoLastRun();

protected:
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void buildToolbar();
    void buildMenus();
    void buildEditMenu();
    void buildViewMenu();
    void buildStatusLine();
    void placeHint();
    void fitWindow(int paneHeight, bool tableShownNow = false);
    bool eventFilter(QObject *watched, QEvent *event) override;
    void updatePendingActions();
    // The numeric tag changer's count of the library's selection, while its pane shows.
    void updateLibrarySelectionCount();
    void showPane(int position);
    void connectPaneRequests(QWidget *pane);

    AppDelegate *app_;
    QToolBar *toolbar_ = nullptr;
    QActionGroup *paneGroup_ = nullptr;
    QStackedWidget *tabView_ = nullptr;
    QScrollArea *paneArea_ = nullptr;
    QWidget *paneStore_ = nullptr;
    QList<QWidget *> panes_; // by position 0-6
    QLabel *helpView_ = nullptr;
    ReviewSheet *review_ = nullptr;
    ProgressSheet *progress_ = nullptr;
    HelpSheet *help_ = nullptr;
    LibraryBrowser *library_ = nullptr;
    RenamePreview *renamePreview_ = nullptr;
    LibraryImports *imports_ = nullptr;
    HistoryWindow *history_ = nullptr;
    QAction *undoAction_ = nullptr;
    qint64 undoableRun_ = 0; // the run Edit → Undo names; 0 for none
    int shownPosition_ = -1;
    TrackTablePanel *trackPanel_ = nullptr;
    PendingEdits *pending_ = nullptr;
    QAction *saveChanges_ = nullptr;
    QAction *revertChanges_ = nullptr;
    QAction *trackTableAction_ = nullptr;
    TagPanel *tagPanel_ = nullptr;
    QDockWidget *tagDock_ = nullptr;
    QLabel *toolbarStatus_ = nullptr;
    int trackAreaHeight_ = 280; // the track table's height, as the person last left it
    bool fitting_ = false;
};
