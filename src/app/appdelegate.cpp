// SPDX-License-Identifier: GPL-3.0-or-later
#include "appdelegate.h"

#include "library/musiclibrary.h"
#include "operations/applyengine.h"
#include "operations/changesmodel.h"
#include "operations/runjournal.h"
#include "operations/reviewsummary.h"
#include "operations/runreport.h"
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
    setFromFilenameString(QStringLiteral("#n - #t"));
    setFromFilenameTrim(true);
    setNumberStart(1);
    setOrganizePattern(QStringLiteral("#a/#l/#n - #t"));
    setCoverType(3);
    setCoverQuality(90);
    setCoverRemoveType(-1);
    setCoverExtractPattern(QStringLiteral("#a - #l"));
    setSelectedCondition(2);
    setCaseInsensitive(true);
    loadMpdDefaults();

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

TrackSource AppDelegate::trackSource()
{
    TrackSource source;
    source.method = static_cast<choices::SourceMethod>(selectedMethod_);
    source.playlist = selectedPlaylist_ >= 0 && selectedPlaylist_ < playlists_.size() ? playlists_.at(selectedPlaylist_)
                                                                                      : QString();
    source.folder = folderPath_;
    source.port = port_;
    // Opened on the worker when the run first needs it, as a library that
    // cannot be opened is a failure of the run, told as such.
    source.library = [this] { return library(); };
    if (trackScope_)
        source.scope = trackScope_();
    return source;
}

void AppDelegate::setTrackOrder(std::function<TrackOrder()> order)
{
    trackOrder_ = std::move(order);
}

void AppDelegate::setTrackScope(std::function<std::optional<TrackScope>()> chooser)
{
    trackScope_ = std::move(chooser);
}

std::optional<QList<MusicTrack>> AppDelegate::tracks()
{
    return trackSource().tracks();
}

std::optional<TrackList> AppDelegate::tracksWithValues(const QStringList &keys)
{
    return trackSource().tracksWithValues(keys);
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
    setSelectedMethod(choices::FolderSource);
}

void AppDelegate::popUp(int tag)
{
    if (tag == 13)
        refreshPlaylists();
}

// ---- progress ------------------------------------------------------------

// ---- runs ----------------------------------------------------------------

std::shared_ptr<Run> AppDelegate::started(std::shared_ptr<Run> run)
{
    lastRun_ = run;
    run->whenFinished([this](const RunOutcome &outcome) {
        if (!outcome.news.isEmpty())
            news_.announce(outcome.news, outcome.tracksChanged);
        emit runFinished();
    });
    return run;
}

std::shared_ptr<Run> AppDelegate::startTool(ToolStart start)
{
    if (const Refusal *refusal = std::get_if<Refusal>(&start))
        return started(Run::refuse(port_, refusal->title, refusal->message));
    std::shared_ptr<Run> run = collector::collect(std::move(std::get<CollectRun>(start)), *this);
    run->whenFinished([this](const RunOutcome &outcome) {
        if (outcome.kind != RunOutcome::Reviewed)
            return;
        setChanges(outcome.changes);
        beginChanges();
    });
    return started(std::move(run));
}

std::shared_ptr<Run> AppDelegate::collect(CollectRun run)
{
    run.source = trackSource();
    return startTool(std::move(run));
}

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
    ApplyRun run;
    run.changes = changes_;
    if (changes_->playlist)
        run.library = membershipLibrary(*changes_);
    else
        run.library = existingLibrary();
    run.targetPlaylist = editablePlaylists_.value(selectedPlaylistActionPlaylist_);
    run.journal = std::make_shared<RunJournal>(RunJournal::Run{
        HistoryStore::pathBeside(libraryPath()), changes_->tool,
        changes_->source.isEmpty() ? sourceDescription() : changes_->source, RunJournal::limitsFromSettings(),
        run.library, changes_->undoOf});
    const QString playlistName = changes_->remove ? playlists_.value(selectedPlaylist_) : run.targetPlaylist;
    started(Run::start(*this, QStringLiteral("Applying changes…"),
                       [this, run = std::move(run), playlistName](ProgressSink &progress) mutable -> Run::Finish {
                           run.progress = [&progress](const ProgressDetail &detail) { progress.setProgress(detail); };
                           const ApplyResult result = applyengine::apply(run);
                           return [this, result, list = run.changes, playlistName] {
                               lastApply_ = result;
                               RunOutcome outcome =
                                   runreport::finishApplied(port_, result, runreport::applied(result, *list, playlistName));
                               setChanges(nullptr);
                               return outcome;
                           };
                       }));
}

// The source as the history names it.
QString AppDelegate::sourceDescription() const
{
    switch (selectedMethod_) {
    case 0:
        return QStringLiteral("playlist \"%1\"").arg(playlists_.value(selectedPlaylist_));
    case 1:
        return QStringLiteral("folder %1").arg(folderPath_);
    default:
        return QStringLiteral("library selection");
    }
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
