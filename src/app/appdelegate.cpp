// SPDX-License-Identifier: GPL-3.0-or-later
#include "appdelegate.h"

#include "library/musiclibrary.h"
#include "operations/applyengine.h"
#include "operations/changesmodel.h"
#include "operations/reviewsummary.h"
#include "operations/runnews.h"
#include "operations/runreport.h"
#include "files/musicfiles.h"
#include "support/alerts.h"
#include "support/dispatch.h"
#include "support/fileutils.h"
#include "support/lindarc.h"

#include <QCoreApplication>
#include <QDebug>
#include <QTimer>

AppDelegate::AppDelegate(WindowPort &port, UrlOpener urlOpener, QObject *parent)
    : QObject(parent), port_(&port), urlOpener_(std::move(urlOpener)), changesModel_(std::make_unique<ChangesModel>())
{
}

AppDelegate::~AppDelegate()
{
    // A run still going (the window closed under its sheet) uses this object
    // from the worker and posts blocks that use it: let it finish, and run
    // those blocks while the members are still here.
    if (QCoreApplication::instance()) {
        waitForBackground();
        QCoreApplication::sendPostedEvents(QCoreApplication::instance(), QEvent::MetaCall);
    }
}

void AppDelegate::applicationDidFinishLaunching()
{
    lindarc_ = std::make_unique<Lindarc>(BundleInfo::fromBuild(), urlOpener_);
    refreshPlaylists();

    catalogue_ = TagCatalogue::build();
    emit tagListsChanged();

    setFilenameString(QStringLiteral("#n - #t"));
    setSelectedCondition(2);
    setCaseInsensitive(true);

    build_ = QStringLiteral("%1 %2").arg(tr("Build:")).arg(lindarc_->appBuild());
    version_ = QStringLiteral("%1 %2").arg(tr("Version:"), lindarc_->appVersionString());
    aboutURL_ = QStringLiteral("Credits.html");
    historyURL_ = QStringLiteral("History.html");
    faqURL_ = QStringLiteral("FAQ.html");
    readmeURL_ = QStringLiteral("Read Me.html");
    emit aboutChanged();

    toolbarClicked(0);
    metadataSearches_.clear();
}

bool AppDelegate::awakeFromNib()
{
    const int launches = files::defaultInt(QStringLiteral("Launches")) + 1;
    files::setDefaultInt(QStringLiteral("Launches"), launches);
    return launches <= 2;
}

void AppDelegate::setLibraryPath(const QString &path)
{
    if (path == libraryPath_)
        return;
    libraryPath_ = path;
    library_.reset();
}

QString AppDelegate::libraryPath() const
{
    return libraryPath_.isEmpty() ? MusicLibrary::defaultPath() : libraryPath_;
}

std::shared_ptr<MusicLibrary> AppDelegate::library()
{
    if (!library_)
        library_ = std::make_shared<MusicLibrary>(libraryPath());
    return library_;
}

// ---- track sources -------------------------------------------------------

std::optional<QList<MusicTrack>> AppDelegate::tracks()
{
    std::optional<TrackList> list = tracksWithValues({});
    if (!list)
        return std::nullopt;
    return std::move(list->tracks);
}

std::optional<TrackList> AppDelegate::tracksWithValues(const QStringList &keys)
{
    switch (selectedMethod_) {
    case 0:
        return playlistTracks(keys);
    case 1: {
        std::optional<QList<MusicTrack>> files = folderTracks();
        if (!files)
            return std::nullopt;
        return TrackList{std::move(*files), {}};
    }
    default:
        return MusicTrack::selectedTracks(library(), keys, port_);
    }
}

namespace {

// The alert text for a source playlist that is no longer in the library.
QString missingPlaylistMessage(const QString &name)
{
    if (name.isEmpty())
        return QStringLiteral("You didn't select a playlist to operate on.");
    return QStringLiteral("The playlist '%1' is no longer in the library. Please choose another one.").arg(name);
}

} // namespace

std::optional<TrackList> AppDelegate::playlistTracks(const QStringList &keys)
{
    const QString name = selectedPlaylist_ >= 0 && selectedPlaylist_ < playlists_.size()
                             ? playlists_.at(selectedPlaylist_)
                             : QString();
    auto lib = library();
    const std::optional<Playlist> playlist = name.isNull() ? std::nullopt : lib->playlistNamed(name);
    if (!playlist) {
        alertPanel(port_, QStringLiteral("No Playlist"), missingPlaylistMessage(name));
        return std::nullopt;
    }
    return MusicTrack::playlistTracks(lib, playlist->id, keys, port_);
}

std::optional<QList<MusicTrack>> AppDelegate::folderTracks()
{
    if (folderPath_.isEmpty()) {
        alertPanel(port_, QStringLiteral("No Folder"),
                   QStringLiteral("You didn't select a folder with music files to operate on."));
        return std::nullopt;
    }
    QList<files::Skipped> skipped;
    const QStringList paths = musicfiles::musicFilesBelow(folderPath_, &skipped);
    if (!skipped.isEmpty())
        alertPanel(port_, QStringLiteral("Files Skipped"), musicfiles::skippedMessage(skipped));
    if (paths.isEmpty()) {
        alertPanel(port_, QStringLiteral("No Files"),
                   QStringLiteral("The folder you have selected doesn't seem to contain music files."));
        return std::nullopt;
    }
    QList<MusicTrack> list;
    list.reserve(paths.size());
    for (const QString &path : paths)
        list.append(MusicTrack::withPath(path, port_));
    return list;
}

QList<TrackRef> AppDelegate::selectedTracks()
{
    return library()->selection();
}

void AppDelegate::refreshPlaylists()
{
    QStringList all;
    QStringList editable;
    try {
        for (const Playlist &p : library()->userPlaylists()) {
            all << p.name;
            if (!p.smart)
                editable << p.name;
        }
    } catch (const NamedException &e) {
        // Without a readable library the menus are empty; the folder source still works.
        qWarning().noquote() << e.description();
    }
    setPlaylistNames(all, editable);
}

void AppDelegate::setPlaylistNames(QStringList all, QStringList editable)
{
    if (all != playlists_) {
        playlists_ = std::move(all);
        emit playlistsChanged();
    }
    if (editable != editablePlaylists_) {
        editablePlaylists_ = std::move(editable);
        emit editablePlaylistsChanged();
    }
}

void AppDelegate::pathSelected(const QString &path)
{
    setFolderPath(path);
    setSelectedMethod(1);
}

void AppDelegate::popUp(int tag)
{
    if (tag == 13)
        refreshPlaylists();
}

// ---- progress ------------------------------------------------------------

void AppDelegate::beginProgress(const QString &title)
{
    port_->beginProgress();
    if (currentProgressTitle_ != title) {
        currentProgressTitle_ = title;
        emit currentProgressTitleChanged();
    }
    setProgress(QString());
}

void AppDelegate::setProgress(ProgressDetail detail)
{
    {
        std::lock_guard lock(progressMutex_);
        pendingProgress_ = std::move(detail);
        if (progressUpdatePosted_)
            return;
        progressUpdatePosted_ = true;
    }
    // Workers report once per track, far faster than anyone reads; waking the
    // main loop for every report cost a collecting run a third of its time.
    // So the newest detail is shown at most every progressInterval.
    dispatchAsyncMain([this] {
        constexpr qint64 progressInterval = 40; // ms
        const qint64 wait =
            progressShown_.isValid() ? std::max<qint64>(0, progressInterval - progressShown_.elapsed()) : 0;
        if (wait == 0)
            showPendingProgress();
        else
            QTimer::singleShot(wait, this, [this] { showPendingProgress(); });
    });
}

void AppDelegate::showPendingProgress()
{
    ProgressDetail pending;
    {
        std::lock_guard lock(progressMutex_);
        if (!progressUpdatePosted_)
            return; // shown already, by endProgress
        pending = std::move(pendingProgress_);
        progressUpdatePosted_ = false;
    }
    const QString detail = pending.toString();
    progressShown_.start();
    if (currentProgressDetail_ == detail)
        return;
    currentProgressDetail_ = detail;
    emit currentProgressDetailChanged();
    port_->progressChanged();
}

void AppDelegate::endProgress()
{
    showPendingProgress(); // the run's last detail, before the sheet goes
    port_->endProgress();
}

void AppDelegate::endEditing()
{
    port_->endEditing();
}

// ---- review --------------------------------------------------------------

void AppDelegate::setChanges(std::shared_ptr<ChangeList> list)
{
    if (list == changes_)
        return;
    changes_ = std::move(list);
    changesModel_->setChangeList(changes_);
    emit changesChanged();
}

void AppDelegate::beginChanges()
{
    if (!changes_)
        return;
    const QString target = changes_->remove ? playlists_.value(selectedPlaylist_)
                                            : editablePlaylists_.value(selectedPlaylistActionPlaylist_);
    const QString info = review::summary(*changes_, target);
    if (info != changeInfo_) {
        changeInfo_ = info;
        emit changeInfoChanged();
    }
    port_->beginReview();
}

void AppDelegate::checkSelected(const QList<int> &rows, int tag)
{
    changesModel_->setEnabled(rows, tag != 0);
}

void AppDelegate::cancelChanges(bool fromSender)
{
    port_->endReview();
    if (fromSender)
        setChanges(nullptr);
}

void AppDelegate::applyChanges()
{
    cancelChanges(false);
    if (!changes_)
        return;
    beginProgress(QStringLiteral("Applying changes…"));
    ApplyRun run;
    run.changes = changes_;
    if (changes_->playlist)
        run.library = membershipLibrary(*changes_);
    else
        run.library = existingLibrary();
    run.targetPlaylist = editablePlaylists_.value(selectedPlaylistActionPlaylist_);
    run.progress = [this](const ProgressDetail &detail) { setProgress(detail); };
    const QString playlistName = changes_->remove ? playlists_.value(selectedPlaylist_) : run.targetPlaylist;
    dispatchAsyncBackground([this, run = std::move(run), playlistName] {
        const ApplyResult result = applyengine::apply(run);
        dispatchAsyncMain([this, result, list = run.changes, playlistName] {
            lastApply_ = result;
            applyengine::report(port_, result);
            setChanges(nullptr);
            endProgress();
            RunNews::instance().announce(runreport::applied(result, *list, playlistName), true);
        });
    });
}

// The library whose tracks follow what a tag run writes to their files; null
// when there is none yet (a folder-only user gets no library file from a run)
// or it cannot be opened.
std::shared_ptr<MusicLibrary> AppDelegate::existingLibrary()
{
    try {
        if (library_ || MusicLibrary::isRunning(libraryPath()))
            return library();
    } catch (const std::exception &e) {
        qWarning().noquote() << QString::fromUtf8(e.what());
    }
    return nullptr;
}

// The library the tracks of a membership list were found in; the controller's
// own when the list names none. Null when that cannot be opened: the engine
// then reports the run as failed instead of this action throwing.
std::shared_ptr<MusicLibrary> AppDelegate::membershipLibrary(const ChangeList &list)
{
    for (const ChangeRecord &record : list.records)
        if (record.track.library())
            return record.track.library();
    try {
        return library();
    } catch (const NamedException &e) {
        qWarning().noquote() << e.description();
        return nullptr;
    }
}

// ---- panes and help ------------------------------------------------------

QString AppDelegate::toolName(int position)
{
    static const QStringList names = {QStringLiteral("Search & Replace"), QStringLiteral("Capitalization"),
                                      QStringLiteral("Playlist Manager"), QStringLiteral("Data Mover"),
                                      QStringLiteral("Filename Changer"), QStringLiteral("Miscellaneous Tools")};
    return names.value(position);
}

QString AppDelegate::helpTitle(int position)
{
    return QStringLiteral("%1 Tool Help").arg(toolName(position));
}

QString AppDelegate::helpInfo(int position)
{
    return QStringLiteral("Info: this is the specific help for the '%1' tool, for general instructions click "
                          "the 'Documentation' tab")
        .arg(toolName(position));
}

QString AppDelegate::helpDocument(int position)
{
    return QStringLiteral("help_%1.html").arg(position);
}

void AppDelegate::toolbarClicked(int position)
{
    if (position < 0 || position > 7)
        return;
    currentPane_ = position;
    emit currentPaneChanged();
}

void AppDelegate::showTab(int position)
{
    toolbarClicked(position);
}

void AppDelegate::openHelp()
{
    // The about pane has no help of its own.
    if (currentPane_ > 5)
        return;
    port_->openHelp(currentPane_);
}

void AppDelegate::closeHelp()
{
    port_->closeHelp();
}

void AppDelegate::openURL(int choice)
{
    // A tag beyond the 8-bit choices names nothing, rather than wrapping onto one that does.
    if (lindarc_ && choice >= 0 && choice <= 255)
        lindarc_->openURL(static_cast<OpenChoice>(choice));
}

#include "moc_appdelegate.cpp"
