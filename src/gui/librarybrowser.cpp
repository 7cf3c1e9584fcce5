// SPDX-License-Identifier: GPL-3.0-or-later
#include "librarybrowser.h"

#include "app/appdelegate.h"
#include "library/libraryerror.h"
#include "library/libraryimport.h"
#include "library/musiclibrary.h"
#include "librarytracksmodel.h"
#include "support/alerts.h"
#include "support/dispatch.h"

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
      selectionTimer_(new QTimer(this))
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
    auto *newButton = new QPushButton(tr("New Playlist…"), this);
    connect(newButton, &QPushButton::clicked, this, &LibraryBrowser::newPlaylist);
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
    buttons->addWidget(newButton);
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

void LibraryBrowser::report(const QString &problem)
{
    status_->setText(problem);
}

void LibraryBrowser::reload()
{
    const int row = std::max(playlists_->currentRow(), 0);
    playlistIds_.clear();
    {
        const QSignalBlocker blocker(playlists_);
        playlists_->clear();
        playlists_->addItem(tr("Library"));
        playlistIds_ << 0;
        try {
            for (const Playlist &playlist : app_->library()->userPlaylists()) {
                playlists_->addItem(playlist.smart ? playlist.name + QStringLiteral(" ⚙") : playlist.name);
                playlistIds_ << playlist.id;
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
    const int row = playlists_->currentRow();
    selectionTimer_->stop();
    try {
        model_->load(*app_->library(), row >= 0 && row < playlistIds_.size() ? playlistIds_.at(row) : 0);
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

void LibraryBrowser::storeSelection()
{
    selectionTimer_->stop();
    QList<qint64> ids;
    const QModelIndexList rows = tracks_->selectionModel()->selectedRows();
    ids.reserve(rows.size());
    for (const QModelIndex &index : rows)
        ids << model_->ref(index.row()).trackId;
    try {
        app_->library()->setSelection(ids);
        status_->setText(tr("%n track(s) selected in the library.", nullptr, static_cast<int>(ids.size())));
    } catch (const LibraryError &error) {
        report(error.reason());
    }
}

void LibraryBrowser::newPlaylist()
{
    bool ok = false;
    const QString name = QInputDialog::getText(this, tr("New Playlist"), tr("Name:"), QLineEdit::Normal, {}, &ok);
    if (!ok || name.trimmed().isEmpty())
        return;
    try {
        app_->library()->createPlaylist(name.trimmed());
        app_->refreshPlaylists();
        reload();
    } catch (const LibraryError &error) {
        report(error.reason());
    }
}

void LibraryBrowser::importFolder()
{
    const QString folder = QFileDialog::getExistingDirectory(this, tr("Import a folder of music files"));
    if (!folder.isEmpty())
        importFolderAt(folder);
}

QProgressDialog *LibraryBrowser::showProgress(const QString &name, const QString &title, const QString &label)
{
    auto *progress = new QProgressDialog(label, QString(), 0, 0, this);
    progress->setObjectName(name);
    progress->setWindowTitle(title);
    progress->setWindowModality(Qt::WindowModal);
    progress->setCancelButton(nullptr);
    progress->setAutoClose(false);
    progress->setAutoReset(false);
    progress->setMinimumDuration(0);
    progress->show();
    return progress;
}

namespace {

// Runs work on the worker behind the progress dialog, which hears (done, total)
// and, when label gives one, a new text. finish gets the result, or the reason
// the work failed, on the main thread while the browser is still there.
template <typename Result, typename Work, typename Finish>
void runBehindProgress(LibraryBrowser *browser, QProgressDialog *progress, Work work,
                       std::function<QString(int, int)> label, Finish finish)
{
    QPointer<LibraryBrowser> self(browser);
    QPointer<QProgressDialog> dialog(progress);
    dispatchAsyncBackground([self, dialog, work, label, finish] {
        Result result;
        QString problem;
        try {
            result = work([dialog, label](int done, int total) {
                dispatchAsyncMain([dialog, label, done, total] {
                    if (!dialog)
                        return;
                    dialog->setMaximum(total);
                    dialog->setValue(done);
                    if (label)
                        dialog->setLabelText(label(done, total));
                });
            });
        } catch (const NamedException &error) {
            problem = error.reason();
        }
        dispatchAsyncMain([self, dialog, result, problem, finish] {
            if (dialog)
                dialog->deleteLater();
            if (self)
                finish(*self, result, problem);
        });
    });
}

} // namespace

// The first files that could not be read, one per line.
QString LibraryBrowser::failureLines(const QList<libraryimport::Failure> &failures)
{
    QStringList lines;
    for (const libraryimport::Failure &failure : failures.mid(0, 10))
        lines << QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(failure.path), failure.reason);
    if (failures.size() > 10)
        lines << tr("… and %1 more.").arg(failures.size() - 10);
    return lines.join(QLatin1Char('\n'));
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
    runBehindProgress<libraryimport::Summary>(
        this, showProgress(QStringLiteral("importProgress"), tr("Import"), tr("Importing music files…")),
        [library, folder](const std::function<void(int, int)> &progress) {
            return libraryimport::importFolder(*library, folder, progress);
        },
        [](int done, int total) { return tr("Imported %1 of %2 music files…").arg(done).arg(total); },
        [](LibraryBrowser &browser, const libraryimport::Summary &summary, const QString &problem) {
            browser.finishImport(summary, problem);
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
    if (summary.failures.isEmpty())
        return;
    alertPanel(app_->port(), tr("Some Files Were Not Imported"),
               done + QStringLiteral("\n\n") + failureLines(summary.failures));
}

void LibraryBrowser::refreshFromFiles()
{
    const std::shared_ptr<MusicLibrary> library = libraryOr(tr("Refresh Failed"));
    if (!library) {
        emit refreshFinished();
        return;
    }
    runBehindProgress<libraryimport::RefreshSummary>(
        this,
        showProgress(QStringLiteral("refreshProgress"), tr("Refresh"), tr("Reading the files of the library's tracks…")),
        [library](const std::function<void(int, int)> &progress) {
            return libraryimport::refresh(*library, library->allTracks(), progress);
        },
        {},
        [](LibraryBrowser &browser, const libraryimport::RefreshSummary &summary, const QString &problem) {
            browser.finishRefresh(summary, problem);
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
    alertPanel(app_->port(), tr("Library Refreshed"),
               summary.failures.isEmpty() ? done : done + QStringLiteral("\n\n") + failureLines(summary.failures));
}
