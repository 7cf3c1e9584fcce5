// SPDX-License-Identifier: GPL-3.0-or-later
#include "mainwindow.h"

#include "app/appdelegate.h"
#include "buildinfo.h"
#include "helpsheet.h"
#include "librarybrowser.h"
#include "panes.h"
#include "progresssheet.h"
#include "reviewsheet.h"
#include "sourcechooser.h"
#include "support/dispatch.h"

#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QFileDialog>
#include <QGraphicsOpacityEffect>
#include <QLabel>
#include <QMenuBar>
#include <QPointer>
#include <QPropertyAnimation>
#include <QPushButton>
#include <QStackedWidget>
#include <QToolBar>
#include <QVBoxLayout>

namespace {

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
    setCentralWidget(tabView_);

    buildMenus();
    buildToolbar();

    helpView_ = new QLabel(tabView_);
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
    resize(880, ChromeHeight + 300);
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
}

void MainWindow::buildMenus()
{
    QMenu *file = menuBar()->addMenu(tr("&File"));
    file->addAction(tr("Choose &Folder…"), QKeySequence::Open, this, &MainWindow::chooseFolder);
    file->addAction(tr("&Library Browser…"), QKeySequence(tr("Ctrl+L")), this, &MainWindow::showLibrary);
    file->addAction(tr("&Import Folder into Library…"), QKeySequence(tr("Ctrl+I")), this,
                    &MainWindow::importIntoLibrary);
    file->addAction(tr("&Refresh Library from Files"), this, &MainWindow::refreshLibrary);
    file->addSeparator();
    file->addAction(tr("&Quit"), QKeySequence::Quit, qApp, &QApplication::quit);

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
    // The window's layout must forget the previous pane's size before the window may shrink.
    layout()->activate();
    // The window takes the pane's height and keeps its top edge where it was.
    QRect frame = geometry();
    frame.setHeight(pane->height() + ChromeHeight);
    setGeometry(frame);
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
    if (!library_)
        library_ = new LibraryBrowser(app_, this);
    return library_;
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

void MainWindow::refreshLibrary()
{
    libraryBrowser()->open();
    libraryBrowser()->refreshFromFiles();
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    // Closing the main window ends the application.
    event->accept();
    QMetaObject::invokeMethod(qApp, &QApplication::quit, Qt::QueuedConnection);
}
