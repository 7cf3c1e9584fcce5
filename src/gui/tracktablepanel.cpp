// SPDX-License-Identifier: GPL-3.0-or-later
#include "tracktablepanel.h"

#include "app/appdelegate.h"
#include "celleditdelegate.h"
#include "coverthumbnails.h"
#include "library/musiclibrary.h"
#include "app/runnews.h"
#include "operations/runreport.h"
#include "support/alerts.h"
#include "support/fileutils.h"
#include "support/namedexception.h"
#include "operations/run.h"
#include "sourcetracksmodel.h"
#include "sourcewatcher.h"

#include <QApplication>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QPointer>
#include <QHeaderView>
#include <QItemSelection>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QScrollBar>
#include <QShortcut>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

const int columnWidths[SourceTracksModel::ColumnCount] = {170, 120, 130, 110, 80, 44, 44, 40, 170, 76, 70, 44};
// Fitted to its content, no column takes more than this: one long title
// would push every other column out of view.
constexpr int widestFittedColumn = 320;
const QString widthsKey = QStringLiteral("TrackTableColumnWidths");

bool libraryOnly(int column)
{
    return column == SourceTracksModel::PlayCountColumn || column == SourceTracksModel::RatingColumn;
}

// A click on a row of a selection of several narrows the selection to that
// row when released, as everywhere, but only once no double-click can
// follow: a double-click keeps the selection its press found, so that its
// edit goes to every selected row, as F2's does.
class TrackTableView : public QTableView {
public:
    explicit TrackTableView(QWidget *parent) : QTableView(parent)
    {
        narrowing_.setSingleShot(true);
        connect(&narrowing_, &QTimer::timeout, this, [this] {
            if (state() != EditingState && narrowTo_.isValid())
                selectionModel()->select(narrowTo_, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        });
    }

protected:
    QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex &index, const QEvent *event) const override
    {
        const QItemSelectionModel::SelectionFlags command = QTableView::selectionCommand(index, event);
        if (!event || event->type() != QEvent::MouseButtonRelease || !index.isValid() ||
            !(command & QItemSelectionModel::Clear) || !selectionModel()->isRowSelected(index.row()) ||
            !othersSelected(index.row()))
            return command;
        narrowTo_ = index;
        narrowing_.start(QApplication::doubleClickInterval());
        return QItemSelectionModel::NoUpdate;
    }
    void mousePressEvent(QMouseEvent *event) override
    {
        narrowing_.stop();
        QTableView::mousePressEvent(event);
    }
    void mouseDoubleClickEvent(QMouseEvent *event) override
    {
        narrowing_.stop();
        doubleClicked_ = true;
        QTableView::mouseDoubleClickEvent(event);
    }
    void mouseReleaseEvent(QMouseEvent *event) override
    {
        QTableView::mouseReleaseEvent(event);
        // The release that ends a double-click narrows nothing, even once its editor is closed.
        if (std::exchange(doubleClicked_, false))
            narrowing_.stop();
    }

private:
    bool othersSelected(int row) const
    {
        // By ranges: a hundred thousand rows selected are one range, not a hundred thousand rows.
        const QItemSelection selection = selectionModel()->selection();
        return std::any_of(selection.cbegin(), selection.cend(),
                           [row](const QItemSelectionRange &range) { return range.top() != row || range.bottom() != row; });
    }

    mutable QTimer narrowing_;
    bool doubleClicked_ = false;
    mutable QPersistentModelIndex narrowTo_;
};

} // namespace

TrackTablePanel::TrackTablePanel(AppDelegate *app, PendingEdits *pending, QWidget *parent)
    : QWidget(parent), app_(app), model_(new SourceTracksModel(this)), proxy_(new QSortFilterProxyModel(this)),
      table_(new TrackTableView(this)), filter_(new QLineEdit(this)), count_(new QLabel(this)),
      columnsButton_(new QToolButton(this)), columnsMenu_(new QMenu(tr("Columns"), this)), status_(new QLabel(this)),
      loadTimer_(new QTimer(this)), watcher_(new SourceWatcher(this)), pending_(pending),
      editor_(new CellEditDelegate(
          [this](const QModelIndex &index) -> std::optional<QString> {
              const int column = proxy_->mapToSource(index).column();
              const QList<int> rows = editedRows(index);
              const QString first = model_->index(rows.value(0), column).data(Qt::EditRole).toString();
              for (const int row : rows)
                  if (model_->index(row, column).data(Qt::EditRole).toString() != first)
                      return std::nullopt;
              return first;
          },
          [this](const QModelIndex &index, const QString &text) { commitEdit(index, text); }, this)),
      pendingLine_(new QLabel(this))
{
    setObjectName("trackTablePanel");
    setMinimumHeight(140);

    proxy_->setSourceModel(model_);
    proxy_->setSortRole(SourceTracksModel::SortRole);
    proxy_->setSortCaseSensitivity(Qt::CaseInsensitive);
    proxy_->setFilterCaseSensitivity(Qt::CaseInsensitive);
    proxy_->setFilterKeyColumn(-1);

    table_->setObjectName("trackTable");
    table_->setModel(proxy_);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    table_->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
    table_->setItemDelegate(editor_);
    model_->setPendingEdits(pending_);
    auto *revert = new QShortcut(QKeySequence(Qt::Key_Escape), table_, this, &TrackTablePanel::revertChanges,
                                 Qt::WidgetShortcut);
    revert->setObjectName("revertShortcut");
    table_->setAlternatingRowColors(true);
    table_->setWordWrap(false);
    table_->setSortingEnabled(true);
    table_->sortByColumn(-1, Qt::AscendingOrder); // the source's own order until a header is clicked
    // Fixed row heights: measuring ten thousand rows would stall the window.
    table_->verticalHeader()->hide();
    table_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table_->verticalHeader()->setDefaultSectionSize(table_->fontMetrics().height() + 6);
    thumbnails_ = new CoverThumbnails(table_->fontMetrics().height() + 4, this);
    model_->setThumbnails(thumbnails_);
    // Thumbnails come in a few at a time: the rows on screen are painted again, no more.
    connect(thumbnails_, &CoverThumbnails::ready, table_->viewport(), qOverload<>(&QWidget::update));
    QHeaderView *header = table_->horizontalHeader();
    header->setSectionResizeMode(QHeaderView::Interactive);
    header->setStretchLastSection(true);
    header->setSectionsMovable(true);
    // The widths the person set stay, across launches too; the others are
    // fitted to the first tracks shown.
    const QVariantList kept = files::defaultValue(widthsKey).toList();
    for (int column = 0; column < SourceTracksModel::ColumnCount; ++column) {
        const int width = kept.value(column).toInt();
        header->resizeSection(column, width > 0 ? width : columnWidths[column]);
        if (width > 0)
            setByPerson_.insert(column);
    }
    connect(header, &QHeaderView::sectionResized, this, [this, header](int column, int, int width) {
        // The last column stretches with the table; only a drag makes it the person's.
        const bool stretched = header->visualIndex(column) == lastShownColumn() &&
                               QGuiApplication::mouseButtons() == Qt::NoButton;
        if (fittingColumns_ || stretched || !isVisible())
            return;
        setByPerson_.insert(column);
        QVariantList widths = files::defaultValue(widthsKey).toList();
        while (widths.size() < SourceTracksModel::ColumnCount)
            widths << 0;
        widths[column] = width;
        files::setDefaultValue(widthsKey, widths);
    });
    // The cover leads the row, as in players, and never takes the last column's stretch.
    header->moveSection(header->visualIndex(SourceTracksModel::CoverColumn), 0);
    header->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(header, &QHeaderView::customContextMenuRequested, this,
            [this, header](const QPoint &at) { columnsMenu_->popup(header->mapToGlobal(at)); });

    for (int column = 0; column < SourceTracksModel::ColumnCount; ++column) {
        QAction *action = columnsMenu_->addAction(SourceTracksModel::columnTitle(column));
        action->setCheckable(true);
        action->setChecked(column != SourceTracksModel::CoverColumn);
        connect(action, &QAction::toggled, this, [this, column](bool on) { setColumnChosen(column, on); });
    }
    columnsButton_->setObjectName("trackColumnsButton");
    columnsButton_->setText(tr("Columns"));
    columnsButton_->setToolTip(tr("Choose the columns of the track table"));
    columnsButton_->setMenu(columnsMenu_);
    columnsButton_->setPopupMode(QToolButton::InstantPopup);

    filter_->setObjectName("trackFilter");
    filter_->setPlaceholderText(tr("Filter tracks"));
    filter_->setClearButtonEnabled(true);
    filter_->setToolTip(tr("Shows the tracks with this text in any column"));
    connect(filter_, &QLineEdit::textChanged, this, [this](const QString &text) {
        proxy_->setFilterFixedString(text);
        updateCount();
        updateScope();
    });

    count_->setObjectName("trackCount");
    count_->setTextFormat(Qt::PlainText);
    status_->setObjectName("statusLine");
    status_->setTextFormat(Qt::PlainText);
    status_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    const auto showNews = [this](const QString &message) {
        status_->setText(message);
        status_->setToolTip(message);
    };
    showNews(app->news().message());
    connect(&app->news(), &RunNews::announced, status_, showNews);

    auto *top = new QHBoxLayout;
    top->setContentsMargins(8, 6, 8, 0);
    top->addWidget(filter_, 1);
    top->addWidget(count_);
    top->addWidget(columnsButton_);
    pendingLine_->setObjectName("pendingLine");
    pendingLine_->setTextFormat(Qt::PlainText);
    connect(pending_, &PendingEdits::changed, this, &TrackTablePanel::updatePendingLine);
    connect(pending_, &PendingEdits::changed, table_->viewport(), qOverload<>(&QWidget::update));
    updatePendingLine();
    // The save's review was closed without applying: what it held stays pending.
    connect(app, &AppDelegate::changesChanged, this, [this] {
        if (saveList_ && !app_->changes() && app_->lastRun() == saveRun_)
            endSave();
    });
    connect(app, &AppDelegate::runFinished, this, [this] {
        if (saveList_ && app_->lastRun() != saveRun_ && app_->lastRun()->finished())
            settleSave(app_->lastRun()->outcome());
    });
    auto *bottom = new QHBoxLayout;
    bottom->setContentsMargins(8, 0, 8, 4);
    bottom->addWidget(status_, 1);
    bottom->addWidget(pendingLine_);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    layout->addLayout(top);
    layout->addWidget(table_, 1);
    layout->addLayout(bottom);

    connect(model_, &SourceTracksModel::loadingChanged, this, [this] {
        updateColumns();
        updateCount();
        if (!model_->isLoading() && !columnsFitted_ && model_->rowCount() > 0)
            fitColumns();
        if (!model_->isLoading() && !keptSelection_.isEmpty())
            restoreSelection();
        if (!model_->isLoading() && restoreScroll_ >= 0) {
            // The view may not have measured the last rows yet: then once it has.
            QScrollBar *bar = table_->verticalScrollBar();
            const int value = std::exchange(restoreScroll_, -1);
            if (value <= bar->maximum())
                bar->setValue(value);
            else
                connect(
                    bar, &QScrollBar::rangeChanged, this, [bar, value](int, int maximum) {
                        bar->setValue(std::min(value, maximum));
                    },
                    Qt::SingleShotConnection);
        }
    });
    connect(proxy_, &QAbstractItemModel::rowsInserted, this, &TrackTablePanel::updateCount);
    connect(proxy_, &QAbstractItemModel::modelReset, this, &TrackTablePanel::updateCount);
    // The count of the chosen tracks follows every change of rows, filter and selection.
    for (auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
        connect(proxy_, signal, this, &TrackTablePanel::updateScope);
    connect(proxy_, &QAbstractItemModel::modelReset, this, &TrackTablePanel::updateScope);
    connect(proxy_, &QAbstractItemModel::layoutChanged, this, &TrackTablePanel::updateScope);
    connect(table_->selectionModel(), &QItemSelectionModel::selectionChanged, this, &TrackTablePanel::updateScope);
    app->setTrackScope([panel = QPointer<TrackTablePanel>(this)]() -> std::optional<TrackScope> {
        return panel ? panel->chosenTracks() : std::nullopt;
    });
    app->setTrackOrder([panel = QPointer<TrackTablePanel>(this)] { return panel ? panel->shownOrder() : TrackOrder(); });

    // Several options change together (choosing a folder sets the folder and
    // the source kind): the table reads the source once they all have.
    loadTimer_->setSingleShot(true);
    loadTimer_->setInterval(0);
    connect(loadTimer_, &QTimer::timeout, this, &TrackTablePanel::load);
    for (auto signal : {&AppDelegate::selectedMethodChanged, &AppDelegate::selectedPlaylistChanged,
                        &AppDelegate::folderPathChanged, &AppDelegate::playlistsChanged})
        connect(app, signal, this, [this] { scheduleLoad(false); });
    connect(&app->news(), &RunNews::tracksChanged, this, [this] { scheduleLoad(true); });
    // Another program (the command line, a player, a file manager) changed the source.
    connect(watcher_, &SourceWatcher::changed, this, &TrackTablePanel::sourceChanged);
    updateColumns();
    updateScope();
    scheduleLoad(false);
}

TrackTablePanel::~TrackTablePanel()
{
    app_->setTrackScope({});
    app_->setTrackOrder({});
}

void TrackTablePanel::setColumnChosen(int column, bool chosen)
{
    if (column < 0 || column >= SourceTracksModel::ColumnCount)
        return;
    if (chosen)
        unchosen_.remove(column);
    else
        unchosen_.insert(column);
    const QSignalBlocker blocker(columnsMenu_->actions().at(column));
    columnsMenu_->actions().at(column)->setChecked(chosen);
    updateColumns();
}

void TrackTablePanel::updateColumns()
{
    for (int column = 0; column < SourceTracksModel::ColumnCount; ++column)
        table_->setColumnHidden(column,
                                !isColumnChosen(column) || (libraryOnly(column) && !model_->isLibrarySource()));
}

int TrackTablePanel::lastShownColumn() const
{
    const QHeaderView *header = table_->horizontalHeader();
    for (int visual = header->count() - 1; visual >= 0; --visual)
        if (!header->isSectionHidden(header->logicalIndex(visual)))
            return visual;
    return -1;
}

void TrackTablePanel::fitColumns()
{
    columnsFitted_ = true;
    fittingColumns_ = true;
    QHeaderView *header = table_->horizontalHeader();
    for (int column = 0; column < SourceTracksModel::ColumnCount; ++column) {
        // The cover column keeps its width: measuring it would read the pictures of a thousand rows.
        if (setByPerson_.contains(column) || table_->isColumnHidden(column) ||
            column == SourceTracksModel::CoverColumn)
            continue;
        // QTableView hides the view's public measure; the view's own is the same.
        const QAbstractItemView *view = table_;
        const int content = std::max(view->sizeHintForColumn(column), header->sectionSizeHint(column));
        header->resizeSection(column, std::min(content, widestFittedColumn));
    }
    fittingColumns_ = false;
}

void TrackTablePanel::reload()
{
    scheduleLoad(true);
}

void TrackTablePanel::scheduleLoad(bool force)
{
    forceLoad_ = forceLoad_ || force;
    loadTimer_->start();
}

bool TrackTablePanel::loadPending() const
{
    return loadTimer_->isActive();
}

void TrackTablePanel::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // Changes made while hidden were not read.
    if (sourceKey() != shownKey_)
        scheduleLoad(false);
    updateScope();
}

void TrackTablePanel::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    updateScope();
}

QString TrackTablePanel::sourceKey() const
{
    switch (app_->selectedMethod()) {
    case 0:
        return QStringLiteral("playlist:") + app_->playlists().value(app_->selectedPlaylist());
    case 1:
        return QStringLiteral("folder:") + app_->folderPath();
    default:
        return QStringLiteral("selection");
    }
}

void TrackTablePanel::load()
{
    const bool force = std::exchange(forceLoad_, false);
    const QString key = sourceKey();
    if (isHidden()) {
        // Read once shown; a forced read is owed then too.
        shownKey_.clear();
        return;
    }
    if (key == shownKey_ && !force)
        return;
    if (key != shownKey_ && !shownKey_.isEmpty() && !pending_->isEmpty()) {
        const ShownSource wanted{app_->selectedMethod(), app_->selectedPlaylist(), app_->folderPath()};
        const ShownSource shown = shownSource_;
        const auto choose = [this](const ShownSource &source) {
            app_->setFolderPath(source.folder);
            app_->setSelectedPlaylist(source.playlist);
            app_->setSelectedMethod(source.method);
        };
        // The edits name the shown source's tracks: they are saved from it.
        choose(shown);
        if (!settlePendingEdits(tr("changing the source"), [choose, wanted] { choose(wanted); }))
            return;
        choose(wanted);
    }
    shownSource_ = {app_->selectedMethod(), app_->selectedPlaylist(), app_->folderPath()};
    // The same source read again keeps the rows the person selected and the
    // scroll position; a read that stops one still going keeps what it kept.
    if (key != shownKey_ || !model_->isLoading()) {
        restoreScroll_ = key == shownKey_ ? table_->verticalScrollBar()->value() : -1;
        keptSelection_.clear();
        if (key == shownKey_)
            for (const int row : selectedSourceRows())
                keptSelection_.insert(SourceTracksModel::pendingTrack(model_->track(row)));
    }
    shownKey_ = key;
    const int method = app_->selectedMethod();
    if (method == 1) {
        if (app_->folderPath().isEmpty()) {
            watcher_->stop();
            model_->clear(tr("No folder chosen"));
        } else {
            watcher_->watchFolder(app_->folderPath());
            model_->loadFolder(app_->folderPath());
        }
        return;
    }
    try {
        watcher_->watchLibrary(app_->libraryPath());
        std::shared_ptr<MusicLibrary> library = app_->library();
        libraryVersion_ = library->dataVersion();
        if (method != 0) {
            model_->loadLibrary(std::move(library), std::nullopt);
            return;
        }
        const QString name = app_->playlists().value(app_->selectedPlaylist());
        const std::optional<Playlist> playlist = name.isEmpty() ? std::nullopt : library->playlistNamed(name);
        if (!playlist) {
            model_->clear(name.isEmpty() ? tr("No playlist chosen")
                                         : tr("The playlist '%1' is no longer in the library").arg(name));
            return;
        }
        model_->loadLibrary(std::move(library), playlist->id);
    } catch (const NamedException &e) {
        model_->clear(e.reason());
    }
}

std::optional<TrackScope> TrackTablePanel::chosenTracks() const
{
    if (isHidden())
        return std::nullopt;
    QList<int> rows = selectedSourceRows();
    if (rows.isEmpty()) {
        if (proxy_->rowCount() == model_->rowCount())
            return std::nullopt;
        for (int row = 0; row < proxy_->rowCount(); ++row)
            rows << proxy_->mapToSource(proxy_->index(row, 0)).row();
    }
    TrackScope scope;
    scope.byName = true;
    for (const int row : rows) {
        const SourceTrack &track = model_->track(row);
        if (track.trackId != 0)
            scope.trackIds.insert(track.trackId);
        else
            scope.paths.insert(track.path);
    }
    return scope;
}

TrackOrder TrackTablePanel::shownOrder() const
{
    TrackOrder order;
    if (isHidden())
        return order;
    for (int shown = 0; shown < proxy_->rowCount(); ++shown) {
        const SourceTrack &track = model_->track(proxy_->mapToSource(proxy_->index(shown, 0)).row());
        if (track.trackId != 0)
            order.trackIds.insert(track.trackId, shown);
        else
            order.paths.insert(track.path, shown);
    }
    return order;
}

void TrackTablePanel::updateScope()
{
    qsizetype selected = 0;
    // Whole rows are selected, so a range that starts past the first column
    // only repeats rows another range holds.
    for (const QItemSelectionRange &range : table_->selectionModel()->selection())
        if (range.left() == 0)
            selected += range.height();
    const int shown = proxy_->rowCount();
    const int total = model_->rowCount();
    QString text;
    // Without the table a tool takes the whole source, as it always has; the
    // first-launch hint then lies where this would stand.
    if (isHidden())
        text.clear();
    else if (selected > 0)
        text = selected == 1 ? tr("1 selected track") : tr("%1 selected tracks").arg(runreport::number(selected));
    else if (shown != total)
        text = shown == 1 ? tr("1 shown track") : tr("%1 shown tracks").arg(runreport::number(shown));
    else if (total == 0)
        text = tr("no tracks");
    else
        text = total == 1 ? tr("1 track") : tr("all %1 tracks").arg(runreport::number(total));
    app_->setTrackScopeText(text);
}

void TrackTablePanel::sourceChanged()
{
    // A run's own writes are read again when it ends.
    if (Run::busy())
        return;
    if (app_->selectedMethod() != 1) {
        // The library file is also written when nothing in it changed (a checkpoint).
        try {
            if (app_->library()->dataVersion() == libraryVersion_)
                return;
        } catch (const NamedException &) {
            // Read again: the table then says why it cannot.
        }
    }
    scheduleLoad(true);
}

void TrackTablePanel::restoreSelection()
{
    QItemSelection rows;
    for (int row = 0; row < model_->rowCount(); ++row)
        if (keptSelection_.contains(SourceTracksModel::pendingTrack(model_->track(row)))) {
            const QModelIndex shown = proxy_->mapFromSource(model_->index(row, 0));
            if (shown.isValid())
                rows.select(shown, shown);
        }
    keptSelection_.clear();
    table_->selectionModel()->select(rows, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void TrackTablePanel::updateCount()
{
    const int total = model_->rowCount();
    if (total == 0 && !model_->isLoading()) {
        count_->setText(model_->problem().isEmpty() ? tr("No tracks") : model_->problem());
        return;
    }
    int dead = 0;
    for (int row = 0; row < total; ++row)
        dead += model_->track(row).dead ? 1 : 0;
    const QString tracks = runreport::counted(total, tr("track"), tr("tracks"));
    QString text = proxy_->rowCount() == total
                       ? tracks
                       : tr("%1 of %2").arg(runreport::number(proxy_->rowCount()), tracks);
    if (dead > 0)
        text += tr(", %1 dead").arg(dead);
    if (model_->isLoading())
        text = tr("Reading… %1").arg(text);
    else if (!model_->problem().isEmpty())
        text += QStringLiteral(" (%1)").arg(model_->problem());
    count_->setText(text);
    count_->setToolTip(text);
}

QList<int> TrackTablePanel::selectedSourceRows() const
{
    // A selection of whole rows may still come in several ranges per row
    // (around hidden columns): each row counts once.
    QList<bool> selected(model_->rowCount(), false);
    // Unsorted and unfiltered, a shown row is the model's row: a hundred
    // thousand rows selected are not mapped one by one.
    const bool same = proxy_->sortColumn() < 0 && proxy_->rowCount() == model_->rowCount();
    for (const QItemSelectionRange &range : table_->selectionModel()->selection())
        for (int row = range.top(); row <= range.bottom(); ++row)
            selected[same ? row : proxy_->mapToSource(proxy_->index(row, 0)).row()] = true;
    QList<int> rows;
    for (int row = 0; row < selected.size(); ++row)
        if (selected.at(row))
            rows << row;
    return rows;
}

QList<int> TrackTablePanel::editedRows(const QModelIndex &index) const
{
    if (table_->selectionModel()->isRowSelected(index.row()))
        return selectedSourceRows();
    return {proxy_->mapToSource(index).row()};
}

void TrackTablePanel::commitEdit(const QModelIndex &index, const QString &text)
{
    const QString key = SourceTracksModel::columnKey(proxy_->mapToSource(index).column());
    QList<PendingTrack> tracks;
    for (const int row : editedRows(index))
        tracks << SourceTracksModel::pendingTrack(model_->track(row));
    if (const std::optional<QString> refusal = pending_->put(tracks, key, text))
        // Told once the editor has closed, not from inside its commit.
        QMetaObject::invokeMethod(
            this, [this, refusal = *refusal] { alertPanel(app_->port(), tr("Invalid Value"), refusal); },
            Qt::QueuedConnection);
}

void TrackTablePanel::updatePendingLine()
{
    const qsizetype count = pending_->count();
    pendingLine_->setVisible(count > 0);
    pendingLine_->setText(count == 0 ? QString()
                                     : tr("%1 — Save Changes (Ctrl+S) writes them, Esc drops them")
                                           .arg(runreport::counted(count, tr("unsaved change"), tr("unsaved changes"))));
}

void TrackTablePanel::revertChanges()
{
    if (!saveList_)
        pending_->clear();
}

void TrackTablePanel::saveChanges(std::function<void()> then)
{
    if (QWidget *editor = editor_->openEditor()) {
        emit editor_->commitData(editor);
        emit editor_->closeEditor(editor);
    }
    if (pending_->isEmpty() || saveList_ || saveRun_ || Run::busy() || app_->changes())
        return;
    saving_ = pending_->tracks();
    afterSave_ = std::move(then);
    saveRun_ = app_->editTags(pending_->edits());
    saveRun_->whenFinished([this, run = saveRun_.get()](const RunOutcome &outcome) {
        if (run != saveRun_.get())
            return;
        if (outcome.kind == RunOutcome::Reviewed) {
            saveList_ = outcome.changes;
            return;
        }
        // The tracks already hold every value typed.
        if (outcome.kind == RunOutcome::NothingToDo)
            pending_->forget(saving_);
        endSave();
    });
}

void TrackTablePanel::settleSave(const RunOutcome &outcome)
{
    if (outcome.kind != RunOutcome::Applied) {
        endSave();
        return;
    }
    const ApplyResult &result = outcome.applied;
    const auto trackOf = [](const ChangeRecord &record) {
        const TrackRef *ref = record.track.track();
        return ref ? PendingTrack{ref->trackId, {}} : PendingTrack{0, record.track.path()};
    };
    // Saved: every track the list left alone (it held its values) or wrote.
    // A row the person unchecked, or one the run stopped before, stays pending.
    QSet<PendingTrack> kept;
    int enabled = 0;
    for (const ChangeRecord &record : saveList_->records) {
        if (!record.enabled || (result.outcome != ApplyResult::Finished && enabled++ >= result.written))
            kept.insert(trackOf(record));
    }
    QList<PendingTrack> saved;
    for (const PendingTrack &track : saving_)
        if (!kept.contains(track))
            saved << track;
    pending_->forget(saved);
    if (result.outcome == ApplyResult::Aborted &&
        alertPanel(app_->port(), tr("Tracks Changed Elsewhere"),
                   tr("Another program changed a track after it was read, so the save stopped before it. "
                      "Reload the tracks to see what they hold now; the values you typed stay unsaved."),
                   tr("Reload"), tr("Not Now")) == 1)
        reload();
    endSave();
}

void TrackTablePanel::endSave()
{
    saveRun_.reset();
    saveList_.reset();
    saving_.clear();
    std::function<void()> then = std::exchange(afterSave_, {});
    if (then && pending_->isEmpty())
        then();
}

bool TrackTablePanel::settlePendingEdits(const QString &before, std::function<void()> then)
{
    if (pending_->isEmpty())
        return true;
    const QString count = runreport::counted(pending_->count(), tr("unsaved change"), tr("unsaved changes"));
    const int answer = alertPanel(app_->port(), tr("Unsaved Changes"),
                                  tr("You have %1. Save them before %2?").arg(count, before), tr("Save"),
                                  tr("Discard"), tr("Cancel"));
    if (answer == 0) {
        pending_->clear();
        return true;
    }
    if (answer == 1)
        saveChanges(std::move(then));
    return false;
}
