// SPDX-License-Identifier: GPL-3.0-or-later
#include "librarybrowser.h"

#include "dialogprogress.h"

#include "app/appdelegate.h"
#include "library/libraryerror.h"
#include "library/libraryactions.h"
#include "library/musiclibrary.h"
#include "librarytracksmodel.h"
#include "support/alerts.h"
#include "support/dispatch.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPointer>
#include <QProgressDialog>
#include <QPushButton>
#include <QSplitter>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

LibraryBrowser::LibraryBrowser(AppDelegate *app, QWidget *window)
    : QDialog(window), app_(app), playlists_(new QListWidget(this)), tracks_(new QTableView(this)),
      model_(new LibraryTracksModel(this)), status_(new QLabel(this)), filter_(new QLineEdit(this)),
      selectionTimer_(new QTimer(this)), renameButton_(new QPushButton(tr("Rename Playlist…"), this)),
      deleteButton_(new QPushButton(tr("Delete Playlist"), this))
{
    setObjectName("libraryBrowser");
    setWindowTitle(tr("Library"));
    setWindowModality(Qt::WindowModal);
    resize(820, 500);

    playlists_->setObjectName("libraryPlaylists");
    tracks_->setObjectName("libraryTracks");
    tracks_->setModel(model_);
    tracks_->setSelectionBehavior(QAbstractItemView::SelectRows);
    tracks_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    tracks_->setAlternatingRowColors(true);
    tracks_->setWordWrap(false);
    tracks_->verticalHeader()->hide();
    tracks_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    tracks_->verticalHeader()->setDefaultSectionSize(tracks_->fontMetrics().height() + 6);
    tracks_->horizontalHeader()->setStretchLastSection(true);
    tracks_->horizontalHeader()->resizeSection(LibraryTracksModel::TitleColumn, 170);
    tracks_->horizontalHeader()->resizeSection(LibraryTracksModel::ArtistColumn, 120);
    tracks_->horizontalHeader()->resizeSection(LibraryTracksModel::AlbumColumn, 130);
    tracks_->horizontalHeader()->resizeSection(LibraryTracksModel::GenreColumn, 70);
    tracks_->horizontalHeader()->resizeSection(LibraryTracksModel::YearColumn, 50);
    // The playlist's own order until a header is clicked.
    tracks_->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    tracks_->setSortingEnabled(true);

    filter_->setObjectName("libraryFilter");
    filter_->setPlaceholderText(tr("Filter tracks"));
    filter_->setClearButtonEnabled(true);
    connect(filter_, &QLineEdit::textChanged, model_, &LibraryTracksModel::setFilter);

    // Dragging over many rows changes the selection at every step; the
    // library stores it once the person pauses.
    selectionTimer_->setSingleShot(true);
    selectionTimer_->setInterval(150);
    connect(selectionTimer_, &QTimer::timeout, this, &LibraryBrowser::storeSelection);
    connect(tracks_->selectionModel(), &QItemSelectionModel::selectionChanged, selectionTimer_,
            qOverload<>(&QTimer::start));
    connect(playlists_, &QListWidget::currentRowChanged, this, &LibraryBrowser::showPlaylist);

    auto *importButton = new QPushButton(tr("Import Folder…"), this);
    importButton->setObjectName("importFolder");
    connect(importButton, &QPushButton::clicked, this, &LibraryBrowser::importFolder);
    // Which player's fields win when a file holds several ratings: kept as
    // the setting the command line reads too.
    auto *ratingProfile = new QComboBox(this);
    ratingProfile->setObjectName("ratingProfile");
    ratingProfile->setToolTip(tr("Whose rating and play count an imported file brings when it holds several"));
    ratingProfile->addItem(tr("Ratings: any player"), QString());
    for (const QString &profile : ratingconventions::profileNames())
        ratingProfile->addItem(tr("Ratings: %1").arg(ratingconventions::profileTitle(profile)), profile);
    ratingProfile->setCurrentIndex(std::max(0, ratingProfile->findData(ratingconventions::savedProfile())));
    connect(ratingProfile, &QComboBox::currentIndexChanged, this, [ratingProfile](int index) {
        ratingconventions::saveProfile(ratingProfile->itemData(index).toString());
    });
    auto *newButton = new QPushButton(tr("New Playlist…"), this);
    connect(newButton, &QPushButton::clicked, this, &LibraryBrowser::newPlaylist);
    renameButton_->setObjectName("renamePlaylist");
    connect(renameButton_, &QPushButton::clicked, this, &LibraryBrowser::askPlaylistName);
    deleteButton_->setObjectName("deletePlaylist");
    connect(deleteButton_, &QPushButton::clicked, this, &LibraryBrowser::deleteChosenPlaylist);
    tracks_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(tracks_, &QWidget::customContextMenuRequested, this, [this](const QPoint &at) {
        trackMenu()->popup(tracks_->viewport()->mapToGlobal(at));
    });
    auto *close = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(close, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *splitter = new QSplitter(this);
    splitter->addWidget(playlists_);
    auto *trackSide = new QWidget(this);
    auto *trackLayout = new QVBoxLayout(trackSide);
    trackLayout->setContentsMargins(0, 0, 0, 0);
    trackLayout->addWidget(filter_);
    trackLayout->addWidget(tracks_, 1);
    splitter->addWidget(trackSide);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({180, 640});

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(importButton);
    buttons->addWidget(ratingProfile);
    buttons->addWidget(newButton);
    buttons->addWidget(renameButton_);
    buttons->addWidget(deleteButton_);
    buttons->addStretch();
    buttons->addWidget(close);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(splitter, 1);
    layout->addWidget(status_);
    layout->addLayout(buttons);
}

void LibraryBrowser::open()
{
    reload();
    QDialog::open();
}

void LibraryBrowser::showSelection()
{
    playlists_->setCurrentRow(0);
    open();
    QSet<qint64> selected;
    try {
        for (const TrackRef &ref : app_->library()->selection())
            selected.insert(ref.trackId);
    } catch (const LibraryError &error) {
        report(error.reason());
        return;
    }
    QItemSelection rows;
    int first = -1;
    for (int row = 0; row < model_->rowCount(); ++row)
        if (selected.contains(model_->ref(row).trackId)) {
            rows.select(model_->index(row, 0), model_->index(row, 0));
            first = first < 0 ? row : first;
        }
    tracks_->selectionModel()->select(rows, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    if (first >= 0)
        tracks_->scrollTo(model_->index(first, 0));
    // Selecting what is the selection already stores nothing new.
    selectionTimer_->stop();
    status_->setText(tr("%n track(s) selected in the library.", nullptr, int(selected.size())));
}

void LibraryBrowser::report(const QString &problem)
{
    status_->setText(problem);
}

void LibraryBrowser::reload()
{
    const int row = std::max(playlists_->currentRow(), 0);
    listed_.clear();
    {
        const QSignalBlocker blocker(playlists_);
        playlists_->clear();
        playlists_->addItem(tr("Library"));
        listed_ << Playlist{0, tr("Library"), false};
        try {
            for (const Playlist &playlist : app_->library()->userPlaylists()) {
                playlists_->addItem(playlist.smart ? playlist.name + QStringLiteral(" ⚙") : playlist.name);
                listed_ << playlist;
            }
        } catch (const LibraryError &error) {
            report(error.reason());
        }
        playlists_->setCurrentRow(std::min(row, playlists_->count() - 1));
    }
    showPlaylist();
}

void LibraryBrowser::showPlaylist()
{
    selectionTimer_->stop();
    renameButton_->setEnabled(chosenPlaylist().id != 0);
    deleteButton_->setEnabled(chosenPlaylist().id != 0);
    try {
        model_->load(*app_->library(), chosenPlaylist().id);
        fitColumns();
        status_->setText(tr("%n track(s). Selected tracks become the library's selection.", nullptr,
                            model_->rowCount()));
    } catch (const LibraryError &error) {
        model_->clear();
        report(error.reason());
    }
}

void LibraryBrowser::fitColumns()
{
    // Wide enough for what the columns hold (the header looks at the first
    // thousand rows), but no column crowds out the others.
    tracks_->resizeColumnsToContents();
    QHeaderView *header = tracks_->horizontalHeader();
    for (int column = 0; column < LibraryTracksModel::ColumnCount - 1; ++column)
        header->resizeSection(column, std::clamp(header->sectionSize(column), 40, 260));
}

QList<qint64> LibraryBrowser::selectedTrackIds() const
{
    QList<qint64> ids;
    const QModelIndexList rows = tracks_->selectionModel()->selectedRows();
    ids.reserve(rows.size());
    for (const QModelIndex &index : rows)
        ids << model_->ref(index.row()).trackId;
    return ids;
}

Playlist LibraryBrowser::chosenPlaylist() const
{
    const int row = playlists_->currentRow();
    return row >= 0 && row < listed_.size() ? listed_.at(row) : Playlist{};
}

void LibraryBrowser::storeSelection()
{
    selectionTimer_->stop();
    const QList<qint64> ids = selectedTrackIds();
    try {
        const libraryactions::Result<int> selected = libraryactions::select(*app_->library(), ids);
        if (selected.ok()) {
            status_->setText(tr("%n track(s) selected in the library.", nullptr, selected.value));
            emit selectionStored();
        } else
            report(selected.problem->reason);
    } catch (const LibraryError &error) {
        report(error.reason());
    }
}

void LibraryBrowser::newPlaylist()
{
    bool ok = false;
    const QString name = QInputDialog::getText(this, tr("New Playlist"), tr("Name:"), QLineEdit::Normal, {}, &ok);
    if (ok && !name.trimmed().isEmpty())
        createPlaylistNamed(name.trimmed());
}

void LibraryBrowser::createPlaylistNamed(const QString &name)
{
    const std::shared_ptr<MusicLibrary> library = libraryOr(tr("Playlist Not Created"));
    if (!library)
        return;
    playlistsChanged(libraryactions::createPlaylist(*library, name), tr("Playlist Not Created"));
}

template <typename Value>
bool LibraryBrowser::playlistsChanged(const libraryactions::Result<Value> &result, const QString &failureTitle)
{
    if (!result.ok()) {
        // The reason is worded to follow a program's name; an alert shows it as a sentence.
        QString reason = result.problem->description();
        reason[0] = reason[0].toUpper();
        alertPanel(app_->port(), failureTitle, reason + u'.');
        return false;
    }
    app_->refreshPlaylists();
    reload();
    return true;
}

void LibraryBrowser::askPlaylistName()
{
    const Playlist playlist = chosenPlaylist();
    bool ok = false;
    const QString name =
        QInputDialog::getText(this, tr("Rename Playlist"), tr("Name:"), QLineEdit::Normal, playlist.name, &ok);
    if (ok && name.trimmed() != playlist.name)
        renameChosenPlaylist(name.trimmed());
}

void LibraryBrowser::renameChosenPlaylist(const QString &name)
{
    const Playlist playlist = chosenPlaylist();
    const std::shared_ptr<MusicLibrary> library = libraryOr(tr("Playlist Not Renamed"));
    if (playlist.id != 0 && library)
        playlistsChanged(libraryactions::renamePlaylist(*library, libraryactions::PlaylistChoice::withId(playlist.id), name),
                         tr("Playlist Not Renamed"));
}

void LibraryBrowser::deleteChosenPlaylist()
{
    const Playlist playlist = chosenPlaylist();
    if (playlist.id == 0 ||
        alertPanel(app_->port(), tr("Delete Playlist"),
                   tr("Delete the playlist \"%1\"? Its tracks stay in the library.").arg(playlist.name), tr("Delete"),
                   tr("Cancel")) != 1)
        return;
    const std::shared_ptr<MusicLibrary> library = libraryOr(tr("Playlist Not Deleted"));
    if (library)
        playlistsChanged(libraryactions::deletePlaylist(*library, libraryactions::PlaylistChoice::withId(playlist.id)),
                         tr("Playlist Not Deleted"));
}

void LibraryBrowser::addSelectionToPlaylist(qint64 playlistId)
{
    const QList<qint64> ids = selectedTrackIds();
    const std::shared_ptr<MusicLibrary> library = libraryOr(tr("Tracks Not Added"));
    if (!library || ids.isEmpty())
        return;
    const auto added =
        libraryactions::addToPlaylist(*library, libraryactions::PlaylistChoice::withId(playlistId), ids);
    if (playlistsChanged(added, tr("Tracks Not Added")))
        status_->setText(tr("Added %n track(s) to \"%1\".", nullptr, added.value.tracks).arg(added.value.playlist.name));
}

void LibraryBrowser::removeSelectionFromPlaylist()
{
    const QList<qint64> ids = selectedTrackIds();
    const Playlist playlist = chosenPlaylist();
    const std::shared_ptr<MusicLibrary> library = libraryOr(tr("Tracks Not Removed"));
    if (!library || ids.isEmpty() || playlist.id == 0)
        return;
    const auto removed =
        libraryactions::removeFromPlaylist(*library, libraryactions::PlaylistChoice::withId(playlist.id), ids);
    if (playlistsChanged(removed, tr("Tracks Not Removed")))
        status_->setText(
            tr("Removed %n track(s) from \"%1\".", nullptr, removed.value.tracks).arg(removed.value.playlist.name));
}

QMenu *LibraryBrowser::trackMenu()
{
    auto *menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    const bool selected = tracks_->selectionModel()->hasSelection();
    QMenu *addTo = menu->addMenu(tr("Add to Playlist"));
    for (const Playlist &playlist : listed_.mid(1))
        if (!playlist.smart && playlist.id != chosenPlaylist().id)
            addTo->addAction(playlist.name, this, [this, id = playlist.id] { addSelectionToPlaylist(id); });
    addTo->setEnabled(selected && !addTo->isEmpty());
    const Playlist chosen = chosenPlaylist();
    QAction *remove = menu->addAction(tr("Remove from Playlist"), this, &LibraryBrowser::removeSelectionFromPlaylist);
    remove->setEnabled(selected && chosen.id != 0 && !chosen.smart);
    return menu;
}

void LibraryBrowser::importFolder()
{
    const QString folder = QFileDialog::getExistingDirectory(this, tr("Import a folder of music files"));
    if (!folder.isEmpty())
        importFolderAt(folder);
}

namespace {

// The first ten lines, then how many more there are.
QString firstLines(const QStringList &all)
{
    QStringList lines = all.mid(0, 10);
    if (all.size() > 10)
        lines << LibraryBrowser::tr("… and %1 more.").arg(all.size() - 10);
    return lines.join(QLatin1Char('\n'));
}

QStringList failureTexts(const QList<libraryimport::Failure> &failures)
{
    QStringList lines;
    for (const libraryimport::Failure &failure : failures)
        lines << QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(failure.path), failure.reason);
    return lines;
}

} // namespace

// The first files that could not be read, one per line.
QString LibraryBrowser::failureLines(const QList<libraryimport::Failure> &failures)
{
    return firstLines(failureTexts(failures));
}

QString LibraryBrowser::ratingLines(const QList<Disagreement> &disagreements,
                                    const QList<libraryimport::Failure> &ignored)
{
    QStringList parts;
    if (!disagreements.isEmpty())
        parts << libraryimport::disagreementHeading(disagreements) + QLatin1Char('\n') +
                     firstLines(libraryimport::disagreementRows(disagreements));
    if (!ignored.isEmpty())
        parts << tr("Rating and play count fields passed over:") + QLatin1Char('\n') + firstLines(failureTexts(ignored));
    return parts.join(QStringLiteral("\n\n"));
}

std::shared_ptr<MusicLibrary> LibraryBrowser::libraryOr(const QString &failureTitle)
{
    try {
        return app_->library();
    } catch (const LibraryError &error) {
        alertPanel(app_->port(), failureTitle, error.reason());
        return nullptr;
    }
}

void LibraryBrowser::importFolderAt(const QString &folder)
{
    const std::shared_ptr<MusicLibrary> library = libraryOr(tr("Import Failed"));
    if (!library) {
        emit importFinished();
        return;
    }
    QPointer<LibraryBrowser> self(this);
    runLibraryAction<libraryimport::Summary>(
        std::make_shared<DialogProgress>(
            this, QStringLiteral("importProgress"), tr("Import"), app_->port(),
            [](int done, int total) { return tr("Imported %1 of %2 music files…").arg(done).arg(total); }),
        tr("Importing music files…"),
        [library, folder](const libraryactions::Progress &progress) {
            return libraryactions::importFolder(*library, folder, progress);
        },
        [self](const libraryactions::Result<libraryimport::Summary> &result) {
            if (self)
                self->finishImport(result.value, result.problem ? result.problem->reason : QString());
        });
}

void LibraryBrowser::finishImport(const libraryimport::Summary &summary, const QString &problem)
{
    app_->refreshPlaylists();
    reload();
    const QString done = tr("Found %1 music files: %2 added, %3 updated (%4 changed).")
                             .arg(summary.found)
                             .arg(summary.added)
                             .arg(summary.updated)
                             .arg(summary.changed);
    status_->setText(done);
    emit importFinished();
    if (!problem.isEmpty()) {
        alertPanel(app_->port(), tr("Import Failed"), problem + QStringLiteral("\n\n") + done);
        return;
    }
    const QString ratings = ratingLines(summary.disagreements, summary.ignored);
    if (summary.failures.isEmpty() && ratings.isEmpty())
        return;
    QString text = done;
    if (!summary.failures.isEmpty())
        text += QStringLiteral("\n\n") + failureLines(summary.failures);
    if (!ratings.isEmpty())
        text += QStringLiteral("\n\n") + ratings;
    alertPanel(app_->port(), summary.failures.isEmpty() ? tr("Import Finished") : tr("Some Files Were Not Imported"),
               text);
}

void LibraryBrowser::refreshFromFiles()
{
    const std::shared_ptr<MusicLibrary> library = libraryOr(tr("Refresh Failed"));
    if (!library) {
        emit refreshFinished();
        return;
    }
    QPointer<LibraryBrowser> self(this);
    runLibraryAction<libraryimport::RefreshSummary>(
        std::make_shared<DialogProgress>(this, QStringLiteral("refreshProgress"), tr("Refresh"), app_->port()),
        tr("Reading the files of the library's tracks…"),
        [library](const libraryactions::Progress &progress) {
            return libraryactions::refresh(*library, std::nullopt, progress);
        },
        [self](const libraryactions::Result<libraryimport::RefreshSummary> &result) {
            if (self)
                self->finishRefresh(result.value, result.problem ? result.problem->reason : QString());
        });
}

void LibraryBrowser::finishRefresh(const libraryimport::RefreshSummary &summary, const QString &problem)
{
    reload();
    const QString done = libraryimport::describe(summary);
    status_->setText(done);
    emit refreshFinished();
    if (!problem.isEmpty()) {
        alertPanel(app_->port(), tr("Refresh Failed"), problem + QStringLiteral("\n\n") + done);
        return;
    }
    QString text = done;
    if (!summary.failures.isEmpty())
        text += QStringLiteral("\n\n") + failureLines(summary.failures);
    if (const QString ratings = ratingLines(summary.disagreements, summary.ignored); !ratings.isEmpty())
        text += QStringLiteral("\n\n") + ratings;
    alertPanel(app_->port(), tr("Library Refreshed"), text);
}
