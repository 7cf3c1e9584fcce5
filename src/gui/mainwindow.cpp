// SPDX-License-Identifier: GPL-3.0-or-later
#include "mainwindow.h"

#include "app/appdelegate.h"
#include "buildinfo.h"
#include "helpsheet.h"
#include "historywindow.h"
#include "librarybrowser.h"
#include "files/filetags.h"
#include "operations/historyview.h"
#include "operations/runreport.h"
#include "pendingedits.h"
#include "app/runnews.h"
#include "libraryimports.h"
#include "mpddialog.h"
#include "panes.h"
#include "pendingedits.h"
#include "progresssheet.h"
#include "renamepreview.h"
#include "reviewsheet.h"
#include "sourcechooser.h"
#include "tagpanel.h"
#include "support/dispatch.h"
#include "support/fileutils.h"
#include "support/namedexception.h"
#include "support/textutils.h"
#include "tools/undo.h"
#include "tracktablepanel.h"

#include <QTableView>
#include "operations/choices.h"

#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QDockWidget>
#include <QDir>
#include <QEvent>
#include <QHBoxLayout>
#include <QFileDialog>
#include <QGraphicsOpacityEffect>
#include <QLabel>
#include <QMenuBar>
#include <QPointer>
#include <QPropertyAnimation>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QStackedWidget>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

namespace {

const QString geometryKey = QStringLiteral("WindowGeometry");

// Asks for the whole pane, where a scroll area asks for a fraction of a tall
// one: the track table below then gives up its room first.
class PaneArea : public QScrollArea {
public:
    using QScrollArea::QScrollArea;
    QSize sizeHint() const override { return widget() ? widget()->size() : QScrollArea::sizeHint(); }
};

struct PaneItem {
    const char *title;
    const char *icon;
};

const PaneItem toolItems[] = {
    {"Search & Replace", "searchreplace"}, {"Capitalization", "capitalization"},
    {"Playlist Manager", "playlistmanager"}, {"Data Mover", "datamover"},
    {"Filename Changer", "filename"},       {"Miscellaneous Tools", "misc"},
};

// Spacers and separators are the toolbar's own items, not panes.
bool isSystemItem(const QAction *action)
{
    return action->isSeparator() || action->objectName().startsWith(QLatin1String("toolbarSpace"));
}

QIcon paneIcon(const char *name)
{
    return QIcon(QStringLiteral(":/icons/%1.svg").arg(QLatin1String(name)));
}

} // namespace

MainWindow::MainWindow(AppDelegate *app, QWidget *parent) : QMainWindow(parent), app_(app)
{
    setObjectName("window");
    setWindowTitle(QStringLiteral("Quavertin"));
    setWindowIcon(paneIcon("quavertin"));
    setUnifiedTitleAndToolBarOnMac(true);

    paneStore_ = new QWidget(this);
    paneStore_->hide();
    panes_ = {panes::searchReplace(app), panes::capitalization(app), panes::playlistManager(app),
              panes::dataMover(app),     panes::filename(app),       panes::misc(app),
              panes::about(app)};
    for (QWidget *pane : panes_) {
        pane->setParent(paneStore_);
        // A pane is as high as its contents need; the window follows it.
        pane->setFixedHeight(pane->sizeHint().height());
        connectPaneRequests(pane);
    }

    // A tab view without tabs: the toolbar chooses the item.
    tabView_ = new QStackedWidget(this);
    tabView_->setObjectName("mainTabView");
    for (int position = 0; position < PositionCount; ++position) {
        auto *item = new QWidget;
        item->setObjectName(QStringLiteral("tabItem%1").arg(position));
        auto *layout = new QVBoxLayout(item);
        layout->setContentsMargins(0, 0, 0, 0);
        tabView_->addWidget(item);
    }
    // The panes on top, the source's tracks below them. A pane taller than
    // the room the table leaves it scrolls, rather than pushing the window
    // past the screen.
    auto *central = new QWidget(this);
    central->setObjectName("centralArea");
    auto *column = new QVBoxLayout(central);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    paneArea_ = new PaneArea(central);
    paneArea_->setObjectName("paneArea");
    paneArea_->setFrameShape(QFrame::NoFrame);
    paneArea_->setWidgetResizable(true);
    paneArea_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    paneArea_->setWidget(tabView_);
    column->addWidget(paneArea_);
    pending_ = new PendingEdits(this);
    // Refused when typed, rather than when saved: a field the file's tags have no room for.
    pending_->setTrackCheck([](const PendingTrack &track, const QString &key,
                               const QString &value) -> std::optional<QString> {
        if (track.trackId != 0)
            return std::nullopt;
        const QString refusal = filetags::roomRefusal(track.path, key, value);
        if (refusal.isEmpty())
            return std::nullopt;
        return QStringLiteral("%1.\n\n%2").arg(refusal,
                                                text::escapedControls(QDir::toNativeSeparators(track.path),
                                                                      text::ControlStyle::Window));
    });
    trackPanel_ = new TrackTablePanel(app, pending_, central);
    trackPanel_->setHidden(files::defaultInt(QStringLiteral("TrackTableHidden")) != 0);
    trackPanel_->installEventFilter(this);
    column->addWidget(trackPanel_, 1);
    setCentralWidget(central);
    tagPanel_ = new TagPanel(app, trackPanel_, pending_, app->urlOpener(), this);
    tagDock_ = new QDockWidget(tr("Tag Panel"), this);
    tagDock_->setObjectName("tagPanelDock");
    tagDock_->setWidget(tagPanel_);
    addDockWidget(Qt::RightDockWidgetArea, tagDock_);
    tagDock_->setHidden(files::defaultInt(QStringLiteral("TagPanelShown")) == 0);

    buildMenus();
    buildEditMenu();
    buildToolbar();
    buildViewMenu();
    buildStatusLine();

    helpView_ = new QLabel(central);
    helpView_->setObjectName("helpView");
    helpView_->setPixmap(paneIcon("hint").pixmap(300, 86));
    helpView_->setAttribute(Qt::WA_TransparentForMouseEvents);
    helpView_->adjustSize();
    helpView_->move(8, 0);
    helpView_->raise();
    helpView_->hide();

    review_ = new ReviewSheet(app, this);
    progress_ = new ProgressSheet(app, this);
    help_ = new HelpSheet(app, this);

    connect(app, &AppDelegate::currentPaneChanged, this, [this] { showPane(app_->currentPane()); });
    connect(pending_, &PendingEdits::changed, this, &MainWindow::updatePendingActions);
    // A run (the command line's too, read when the pane shows) may change the selection.
    connect(app, &AppDelegate::runFinished, this, &MainWindow::updateLibrarySelectionCount);
    updatePendingActions();
    // The size the person left the window at; at first, one that shows the
    // panes and a good part of the track table, within the screen.
    if (!restoreGeometry(files::defaultValue(geometryKey).toByteArray())) {
        QSize size(1040, 800);
        if (const QScreen *shown = screen())
            size = size.boundedTo(shown->availableGeometry().size() * 0.9);
        resize(size);
    }
}

MainWindow::~MainWindow() = default;

void MainWindow::buildToolbar()
{
    toolbar_ = new QToolBar(tr("Tools"), this);
    toolbar_->setObjectName("toolbar");
    toolbar_->setMovable(false);
    toolbar_->setFloatable(false);
    toolbar_->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    toolbar_->setIconSize(QSize(24, 24));
    toolbar_->setContextMenuPolicy(Qt::PreventContextMenu);
    paneGroup_ = new QActionGroup(this);
    paneGroup_->setExclusive(true);
    for (const PaneItem &item : toolItems) {
        QAction *action = toolbar_->addAction(paneIcon(item.icon), tr(item.title));
        // A single '&' under the icon would be taken for a shortcut mark.
        action->setIconText(action->text().replace(QLatin1Char('&'), QLatin1String("&&")));
        action->setCheckable(true);
        paneGroup_->addAction(action);
        connect(action, &QAction::triggered, this, [this, action] { toolbarClicked(action); });
    }
    auto *space = new QWidget(toolbar_);
    space->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    toolbar_->addWidget(space)->setObjectName("toolbarSpaceFlexible");
    QAction *about = toolbar_->addAction(paneIcon("about"), tr("About"));
    about->setCheckable(true);
    paneGroup_->addAction(about);
    connect(about, &QAction::triggered, this, [this, about] { toolbarClicked(about); });
    addToolBar(Qt::TopToolBarArea, toolbar_);
    // Together with the menu bar the toolbar takes exactly the chrome height,
    // so a pane fits the window that is its height plus the chrome.
    toolbar_->setFixedHeight(std::max(ChromeHeight - menuBar()->sizeHint().height(), 40));

    // Ctrl+1 … Ctrl+7 choose the items in toolbar order, About last.
    const QList<QAction *> items = paneItems();
    for (int index = 0; index < items.size() && index < 9; ++index)
        items.at(index)->setShortcut(QKeySequence(Qt::CTRL | Qt::Key(Qt::Key_1 + index)));
}

void MainWindow::buildEditMenu()
{
    auto *edit = new QMenu(tr("&Edit"), this);
    edit->setObjectName("editMenu");
    undoAction_ = edit->addAction(tr("Undo"), QKeySequence::Undo, this, &MainWindow::undoLastRun);
    undoAction_->setObjectName("undoLastRun");
    edit->addSeparator();
    edit->addAction(tr("&History…"), this, &MainWindow::showHistory)->setObjectName("showHistory");
    // Another program (the command line) may have added runs since.
    connect(edit, &QMenu::aboutToShow, this, &MainWindow::updateUndoAction);
    connect(app_, &AppDelegate::runFinished, this, &MainWindow::updateUndoAction);
    updateUndoAction();
    // After the File menu.
    const QList<QAction *> menus = menuBar()->actions();
    menuBar()->insertMenu(menus.size() > 1 ? menus.at(1) : nullptr, edit);
}

void MainWindow::updateUndoAction()
{
    const tools::UndoTarget target = tools::undoTarget({HistoryStore::pathBeside(app_->libraryPath()), 0});
    const std::optional<HistoryRun> &run = target.run;
    undoableRun_ = run ? run->number : 0;
    undoAction_->setEnabled(run.has_value());
    // An '&' in a tool's name is no shortcut mark.
    undoAction_->setText(run ? QStringLiteral("Undo \"%1\" (%2)")
                                   .arg(text::escapedControls(run->tool, text::ControlStyle::Window)
                                            .replace(QLatin1Char('&'), QLatin1String("&&")),
                                        historyview::countedChanges(run->count))
                             : tr("Undo"));
    undoAction_->setToolTip(run ? undoAction_->text() : target.message);
}

void MainWindow::undoLastRun()
{
    // Not while a review or a run is up: its list would be replaced.
    if (undoableRun_ != 0 && !app_->changes() && !Run::busy())
        app_->performUndo(undoableRun_);
}

HistoryWindow *MainWindow::historyWindow()
{
    if (!history_)
        history_ = new HistoryWindow(app_, this);
    return history_;
}

void MainWindow::showHistory()
{
    historyWindow()->reload();
    historyWindow()->show();
    historyWindow()->raise();
    historyWindow()->activateWindow();
}

void MainWindow::buildViewMenu()
{
    auto *view = new QMenu(tr("&View"), this);
    trackTableAction_ = view->addAction(tr("&Track Table"));
    trackTableAction_->setObjectName("showTrackTable");
    trackTableAction_->setCheckable(true);
    trackTableAction_->setChecked(!trackPanel_->isHidden());
    trackTableAction_->setShortcut(QKeySequence(tr("Ctrl+T")));
    connect(trackTableAction_, &QAction::toggled, this, &MainWindow::setTrackTableShown);
    QAction *tagPanelAction = tagDock_->toggleViewAction();
    tagPanelAction->setText(tr("Tag &Panel"));
    tagPanelAction->setObjectName("showTagPanel");
    view->addAction(tagPanelAction);
    // Closed with its own button or from the menu, the panel stays so next time.
    connect(tagPanelAction, &QAction::toggled, this,
            [](bool shown) { files::setDefaultInt(QStringLiteral("TagPanelShown"), shown ? 1 : 0); });
    view->addAction(tr("&Reload Tracks"), QKeySequence::Refresh, trackPanel_, &TrackTablePanel::reload);
    view->addSeparator();
    view->addMenu(trackPanel_->columnsMenu());
    // Between the File and the Help menu.
    const QList<QAction *> menus = menuBar()->actions();
    menuBar()->insertMenu(menus.isEmpty() ? nullptr : menus.last(), view);
}

void MainWindow::buildStatusLine()
{
    // While the track table is hidden its status line would be gone with it:
    // the toolbar's free space shows the words instead, adding no height.
    toolbarStatus_ = new QLabel;
    toolbarStatus_->setObjectName("toolbarStatusLine");
    toolbarStatus_->setTextFormat(Qt::PlainText);
    toolbarStatus_->setWordWrap(true);
    toolbarStatus_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    toolbarStatus_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    QFont small = toolbarStatus_->font();
    small.setPointSizeF(small.pointSizeF() * 0.9);
    toolbarStatus_->setFont(small);
    const auto showNews = [this](const QString &message) {
        toolbarStatus_->setText(message);
        toolbarStatus_->setToolTip(message);
    };
    showNews(app_->news().message());
    connect(&app_->news(), &RunNews::announced, toolbarStatus_, showNews);
    for (QAction *action : toolbar_->actions()) {
        if (action->objectName() != QLatin1String("toolbarSpaceFlexible"))
            continue;
        auto *layout = new QHBoxLayout(toolbar_->widgetForAction(action));
        layout->setContentsMargins(12, 0, 12, 0);
        layout->addWidget(toolbarStatus_);
    }
    toolbarStatus_->setVisible(trackPanel_->isHidden());
}

bool MainWindow::isTrackTableShown() const
{
    return !trackPanel_->isHidden();
}

void MainWindow::setTrackTableShown(bool shown)
{
    if (shown == isTrackTableShown())
        return;
    trackPanel_->setVisible(shown);
    toolbarStatus_->setVisible(!shown);
    {
        const QSignalBlocker blocker(trackTableAction_);
        trackTableAction_->setChecked(shown);
    }
    files::setDefaultInt(QStringLiteral("TrackTableHidden"), shown ? 0 : 1);
    if (QWidget *shownPane = pane(shownPosition_))
        fitWindow(shownPane->height(), shown);
}

bool MainWindow::isTagPanelShown() const
{
    return !tagDock_->isHidden();
}

void MainWindow::setTagPanelShown(bool shown)
{
    if (shown != isTagPanelShown())
        tagDock_->toggleViewAction()->trigger();
}

QLabel *MainWindow::statusLine() const
{
    return isTrackTableShown() ? trackPanel_->statusLine() : toolbarStatus_;
}

bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    // The person resized the window: the track table keeps the height they gave it.
    if (watched == trackPanel_ && event->type() == QEvent::Resize && isVisible() && isTrackTableShown() &&
        !fitting_)
        trackAreaHeight_ = trackPanel_->height();
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::fitWindow(int paneHeight, bool tableShownNow)
{
    fitting_ = true;
    tabView_->setFixedHeight(paneHeight);
    paneArea_->setMaximumHeight(paneHeight);
    // The window's layouts must forget the previous pane's size before the window may shrink.
    centralWidget()->layout()->activate();
    layout()->activate();
    // With the table the window keeps the size the person gave it (the pane
    // scrolls when it has too little room); the table just shown adds the
    // height it had. Without it the window is the pane's height exactly.
    // Either way the top edge stays where it was.
    QRect frame = geometry();
    if (!isTrackTableShown())
        frame.setHeight(paneHeight + ChromeHeight);
    else if (tableShownNow)
        frame.setHeight(std::max(frame.height(), paneHeight + ChromeHeight) + trackAreaHeight_);
    if (frame != geometry())
        setGeometry(frame);
    fitting_ = false;
    placeHint();
}

void MainWindow::placeHint()
{
    // The rows of a pane have their places once the window is laid out (see showEvent).
    if (!isVisible() || helpView_->isHidden())
        return;
    // Where it covers no label: over the track table's rows, empty at first;
    // without the table, at the right end of the row below the source row.
    QWidget *central = centralWidget();
    if (isTrackTableShown()) {
        QWidget *rows = trackPanel_->table()->viewport();
        helpView_->move(rows->mapTo(central, QPoint(8, 4)));
        return;
    }
    int top = 0;
    if (QWidget *shownPane = pane(shownPosition_)) {
        if (shownPane->layout())
            shownPane->layout()->activate();
        if (auto *chooser = shownPane->findChild<SourceChooser *>())
            top = chooser->mapTo(central, QPoint(0, chooser->height())).y() + 2;
    }
    helpView_->move(std::max(8, central->width() - helpView_->width() - 8), top);
}

void MainWindow::buildMenus()
{
    QMenu *file = menuBar()->addMenu(tr("&File"));
    file->addAction(tr("Choose &Folder…"), QKeySequence::Open, this, &MainWindow::chooseFolder);
    file->addAction(tr("&Library Browser…"), QKeySequence(tr("Ctrl+L")), this, &MainWindow::showLibrary);
    file->addAction(tr("&Import Folder into Library…"), QKeySequence(tr("Ctrl+I")), this,
                    &MainWindow::importIntoLibrary);
    imports_ = new LibraryImports(app_, this);
    QAction *fromPlayer = file->addAction(tr("Import from &Player…"), imports_, &LibraryImports::importFromPlayer);
    fromPlayer->setObjectName("importFromPlayer");
    QAction *playlist = file->addAction(tr("Import Play&list…"), imports_, &LibraryImports::importPlaylist);
    playlist->setObjectName("importPlaylist");
    // The browser shows the playlists an import made.
    connect(imports_, &LibraryImports::finished, this, [this] {
        if (library_ && library_->isVisible())
            library_->open();
    });
    file->addAction(tr("&Refresh Library from Files"), this, &MainWindow::refreshLibrary);
    file->addAction(tr("Sync with &MPD…"), this, &MainWindow::syncWithMpd)->setObjectName("syncWithMpd");
    file->addSeparator();
    saveChanges_ = file->addAction(tr("&Save Changes"), QKeySequence::Save, this, [this] { trackPanel_->saveChanges(); });
    saveChanges_->setObjectName("saveChanges");
    revertChanges_ = file->addAction(tr("Re&vert Changes"), this, [this] { trackPanel_->revertChanges(); });
    revertChanges_->setObjectName("revertChanges");
    file->addSeparator();
    // Through the window's close, which asks about unsaved changes.
    file->addAction(tr("&Quit"), QKeySequence::Quit, this, &QWidget::close);

    QMenu *help = menuBar()->addMenu(tr("&Help"));
    help->addAction(tr("Tool &Help"), QKeySequence::HelpContents, app_, &AppDelegate::openHelp);
    help->addAction(tr("&About Quavertin"), this, [this] { showTab(6); });
    help->addSeparator();
    const QList<QPair<QString, int>> choices = {{tr("Send &Support Mail…"), 1},
                                                {tr("Join the &Beta Test…"), 2},
                                                {tr("&Product Page"), 3},
                                                {tr("Store Page"), 4},
                                                {tr("MacUpdate Page"), 6}};
    for (const auto &[label, choice] : choices) {
        // Pages that this build names no address for are left out.
        if ((choice == 4 && !*buildinfo::storeProductPage) || (choice == 6 && !*buildinfo::macupdateProductPage))
            continue;
        QAction *action = help->addAction(label);
        action->setData(choice);
        connect(action, &QAction::triggered, app_, [this, choice] { app_->openURL(choice); });
    }
}

void MainWindow::connectPaneRequests(QWidget *pane)
{
    for (SourceChooser *chooser : pane->findChildren<SourceChooser *>()) {
        connect(chooser, &SourceChooser::chooseFolderRequested, this, &MainWindow::chooseFolder);
        connect(chooser, &SourceChooser::libraryRequested, this, &MainWindow::showLibrary);
    }
    for (QPushButton *button : pane->findChildren<QPushButton *>())
        if (button->property("choosesFolder").toBool())
            connect(button, &QPushButton::clicked, this, &MainWindow::chooseFolder);
        else if (button->property("previewsRename").toBool())
            connect(button, &QPushButton::clicked, this, [this] { renamePreview()->preview(); });
        else if (button->property("showsLibrarySelection").toBool())
            connect(button, &QPushButton::clicked, this, [this] { libraryBrowser()->showSelection(); });
}

QWidget *MainWindow::pane(int position) const
{
    if (position < 0 || position >= PositionCount)
        return nullptr;
    return panes_.at(std::min(position, 6));
}

QList<QAction *> MainWindow::paneItems() const
{
    QList<QAction *> items;
    for (QAction *action : toolbar_->actions())
        if (!isSystemItem(action))
            items << action;
    return items;
}

QAction *MainWindow::selectedToolbarItem() const
{
    return paneGroup_->checkedAction();
}

void MainWindow::toolbarClicked(QAction *item)
{
    const int position = static_cast<int>(toolbar_->actions().indexOf(item));
    if (position < 0 || isSystemItem(item))
        return;
    app_->toolbarClicked(position);
}

void MainWindow::showTab(int tag)
{
    app_->showTab(tag);
    const QList<QAction *> items = paneItems();
    if (tag >= 0 && tag < items.size())
        items.at(tag)->setChecked(true);
}

void MainWindow::showPane(int position)
{
    QWidget *pane = this->pane(position);
    if (!pane || position == shownPosition_)
        return;
    if (shownPosition_ >= 0) {
        this->pane(shownPosition_)->hide();
        this->pane(shownPosition_)->setParent(paneStore_);
        tabView_->widget(shownPosition_)->layout()->activate();
    }
    QWidget *item = tabView_->widget(position);
    item->layout()->addWidget(pane);
    pane->show();
    item->layout()->activate();
    tabView_->setCurrentIndex(position);
    shownPosition_ = position;
    fitWindow(pane->height());
    updateLibrarySelectionCount();
    // Started from the controller (at launch, from a menu): mark the item too.
    const QList<QAction *> all = toolbar_->actions();
    if (position < all.size() && !isSystemItem(all.at(position)) && !paneGroup_->checkedAction())
        all.at(position)->setChecked(true);
}

void MainWindow::handleFirstLaunch()
{
    if (!app_->awakeFromNib()) {
        helpView_->hide();
        return;
    }
    helpView_->show();
    helpView_->raise();
    placeHint();
    auto *effect = new QGraphicsOpacityEffect(helpView_);
    effect->setOpacity(1.0);
    helpView_->setGraphicsEffect(effect);
    QPointer<QLabel> hint = helpView_;
    dispatchAfterMain(
        [hint, effect] {
            if (!hint)
                return;
            auto *fade = new QPropertyAnimation(effect, "opacity", hint);
            fade->setDuration(1000);
            fade->setStartValue(1.0);
            fade->setEndValue(0.0);
            QObject::connect(fade, &QPropertyAnimation::finished, hint, &QWidget::hide);
            fade->start(QAbstractAnimation::DeleteWhenStopped);
        },
        4.0f);
}

LibraryBrowser *MainWindow::libraryBrowser()
{
    if (!library_) {
        library_ = new LibraryBrowser(app_, this);
        // The selection, a playlist's tracks or an import may have changed the source's tracks.
        connect(library_, &QDialog::finished, trackPanel_, [this] {
            if (app_->selectedMethod() != choices::FolderSource)
                trackPanel_->reload();
        });
        connect(library_, &LibraryBrowser::selectionStored, this, &MainWindow::updateLibrarySelectionCount);
    }
    return library_;
}

RenamePreview *MainWindow::renamePreview()
{
    if (!renamePreview_)
        renamePreview_ = new RenamePreview(app_, this);
    return renamePreview_;
}

void MainWindow::chooseFolder()
{
    if (auto path = QFileDialog::getExistingDirectory(this, tr("Choose a folder of music files")); !path.isEmpty())
        app_->pathSelected(path);
}

void MainWindow::showLibrary()
{
    libraryBrowser()->open();
}

void MainWindow::importIntoLibrary()
{
    libraryBrowser()->open();
    libraryBrowser()->importFolder();
}

void MainWindow::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    QTimer::singleShot(0, this, &MainWindow::placeHint);
}

void MainWindow::refreshLibrary()
{
    libraryBrowser()->open();
    libraryBrowser()->refreshFromFiles();
}

void MainWindow::syncWithMpd()
{
    auto *dialog = findChild<MpdDialog *>();
    if (!dialog)
        dialog = new MpdDialog(app_, this);
    dialog->load();
    dialog->open();
}

void MainWindow::updateLibrarySelectionCount()
{
    auto *label = pane(5)->findChild<QLabel *>("numericSelection");
    if (!label || !label->isVisible())
        return;
    try {
        const qsizetype count = app_->library()->selection().size();
        label->setText(count == 0 ? tr("none selected in the library")
                                  : tr("%1 in the library's selection")
                                        .arg(runreport::counted(count, tr("track"), tr("tracks"))));
    } catch (const NamedException &e) {
        label->setText(e.reason());
    }
}

void MainWindow::updatePendingActions()
{
    const qsizetype count = pending_->count();
    saveChanges_->setEnabled(count > 0);
    revertChanges_->setEnabled(count > 0);
    setWindowTitle(count == 0 ? QStringLiteral("Quavertin")
                              : QStringLiteral("Quavertin — %1")
                                    .arg(runreport::counted(count, tr("unsaved change"), tr("unsaved changes"))));
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    if (!trackPanel_->settlePendingEdits(tr("quitting"), [this] { close(); })) {
        event->ignore();
        return;
    }
    files::setDefaultValue(geometryKey, saveGeometry());
    // Closing the main window ends the application.
    event->accept();
    QMetaObject::invokeMethod(qApp, &QApplication::quit, Qt::QueuedConnection);
}
