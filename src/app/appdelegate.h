// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/musictrack.h"
#include "model/tagcatalogue.h"
#include "operations/applyengine.h"
#include "operations/changelist.h"
#include "operations/collector.h"
#include "operations/progressdetail.h"
#include "support/urlopener.h"
#include "operations/progresssink.h"
#include "operations/run.h"
#include "operations/tracksource.h"
#include "runnews.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantMap>
#include <memory>
#include <mutex>
#include <optional>

class ChangesModel;
class Lindarc;
class MusicLibrary;
class WindowPort;

namespace tools {
struct MpdSyncOptions;
struct NumericOptions;
struct RenameOptions;
struct RenameReport;
struct SizeEstimate;
struct TagEdit;
} // namespace tools

// One option of a tool pane: a property the window binds a control to.
// Setting it to another value announces the change so bound controls follow.
#define QUAVERTIN_OPTION(Type, name, Name)                                                                    \
    Q_PROPERTY(Type name READ name WRITE set##Name NOTIFY name##Changed)                                    \
public:                                                                                                      \
    Type name() const { return name##_; }                                                                    \
    void set##Name(const Type &value)                                                                        \
    {                                                                                                        \
        if (name##_ == value)                                                                                \
            return;                                                                                          \
        name##_ = value;                                                                                     \
        emit name##Changed();                                                                                \
    }                                                                                                        \
    Q_SIGNAL void name##Changed();                                                                           \
                                                                                                             \
private:                                                                                                     \
    Type name##_{};

// The application's controller: owns every tool option, the playlist names,
// the tag lists, the change list and the progress texts, and is the target of
// every button. Lives on the main thread: an action reads the options once,
// hands them as a value to its tool (src/tools/) with the track source, and
// starts the run the tool gives; the worker sees only those values. It
// reaches the person only through the window port it is made with, and hands
// that port to whatever it starts.
class AppDelegate : public QObject, public ProgressSink {
    Q_OBJECT

    // Track source.
    QUAVERTIN_OPTION(int, selectedMethod, SelectedMethod)
    QUAVERTIN_OPTION(int, selectedPlaylist, SelectedPlaylist)
    QUAVERTIN_OPTION(QString, folderPath, FolderPath) // a local path; empty until chosen
    QUAVERTIN_OPTION(bool, recursiveScan, RecursiveScan)
    // Which of the source's tracks the tools take, in words ("12 selected tracks").
    QUAVERTIN_OPTION(QString, trackScopeText, TrackScopeText)

    // Playlist manager.
    QUAVERTIN_OPTION(int, selectedPlaylistActionPlaylist, SelectedPlaylistActionPlaylist)
    QUAVERTIN_OPTION(int, selectedPlaylistAction, SelectedPlaylistAction)
    QUAVERTIN_OPTION(int, selectedCondition, SelectedCondition)
    QUAVERTIN_OPTION(QString, conditionString, ConditionString)
    QUAVERTIN_OPTION(bool, moveTrash, MoveTrash)

    // Shared by search and replace, capitalization, data mover, encoding, playlist manager.
    QUAVERTIN_OPTION(int, selectedTag, SelectedTag)
    QUAVERTIN_OPTION(QString, searchString, SearchString)
    QUAVERTIN_OPTION(QString, replaceString, ReplaceString)
    QUAVERTIN_OPTION(bool, caseInsensitive, CaseInsensitive)
    QUAVERTIN_OPTION(bool, useRegular, UseRegular)

    // Data mover.
    QUAVERTIN_OPTION(int, selectedTargetTag, SelectedTargetTag)
    QUAVERTIN_OPTION(int, selectedPortion, SelectedPortion)
    QUAVERTIN_OPTION(int, selectedOption, SelectedOption)
    QUAVERTIN_OPTION(int, selectedAction, SelectedAction)
    QUAVERTIN_OPTION(QString, portionString, PortionString)
    QUAVERTIN_OPTION(QString, delimiterString, DelimiterString)

    // Capitalization.
    QUAVERTIN_OPTION(int, selectedCapitalizationMethod, SelectedCapitalizationMethod)

    // Numeric tag changer; numericString holds a number or nothing (invalid).
    QUAVERTIN_OPTION(int, selectedNumeric, SelectedNumeric)
    QUAVERTIN_OPTION(int, selectedNumericTag, SelectedNumericTag)
    QUAVERTIN_OPTION(QVariant, numericString, NumericString)
    QUAVERTIN_OPTION(int, selectedNumberSorting, SelectedNumberSorting)
    QUAVERTIN_OPTION(int, selectedNumberChange, SelectedNumberChange)

    // Encoding conversion.
    QUAVERTIN_OPTION(int, selectedEncodingFrom, SelectedEncodingFrom)
    QUAVERTIN_OPTION(int, selectedEncodingTo, SelectedEncodingTo)

    // Filename changer.
    QUAVERTIN_OPTION(QString, filenameString, FilenameString)
    QUAVERTIN_OPTION(int, selectedTrailingZeroes, SelectedTrailingZeroes)
    QUAVERTIN_OPTION(bool, renameChangeExtension, RenameChangeExtension)
    QUAVERTIN_OPTION(bool, renameExtensionVisible, RenameExtensionVisible)
    QUAVERTIN_OPTION(bool, renameRecursiveScan, RenameRecursiveScan)
    QUAVERTIN_OPTION(bool, renameSkipMissing, RenameSkipMissing)

    // Size calculator.
    QUAVERTIN_OPTION(int, selectedBitrate, SelectedBitrate)

    // Tags from File Name.
    QUAVERTIN_OPTION(QString, fromFilenameString, FromFilenameString)
    QUAVERTIN_OPTION(bool, fromFilenameRegular, FromFilenameRegular)
    QUAVERTIN_OPTION(bool, fromFilenameUnderscores, FromFilenameUnderscores)
    QUAVERTIN_OPTION(bool, fromFilenameTrim, FromFilenameTrim)
    QUAVERTIN_OPTION(bool, fromFilenameKeepExisting, FromFilenameKeepExisting)

    // Number Tracks.
    QUAVERTIN_OPTION(int, numberStart, NumberStart)
    QUAVERTIN_OPTION(int, numberRestart, NumberRestart)
    QUAVERTIN_OPTION(bool, numberTotals, NumberTotals)
    QUAVERTIN_OPTION(bool, numberDiscs, NumberDiscs)
    QUAVERTIN_OPTION(QString, numberOrder, NumberOrder) // tags to sort by, comma-separated; empty: as shown

    // Organize Files into Folders.
    QUAVERTIN_OPTION(QString, organizeFolder, OrganizeFolder)
    QUAVERTIN_OPTION(QString, organizePattern, OrganizePattern)
    QUAVERTIN_OPTION(bool, organizeRemoveEmpty, OrganizeRemoveEmpty)
    QUAVERTIN_OPTION(bool, organizeTakeAlong, OrganizeTakeAlong)

    // Sync with MPD. Host, port, music folder and scale are remembered in the
    // settings once a sync starts; the password never is.
    QUAVERTIN_OPTION(QString, mpdHost, MpdHost)
    QUAVERTIN_OPTION(int, mpdPort, MpdPort)
    QUAVERTIN_OPTION(QString, mpdPassword, MpdPassword)
    QUAVERTIN_OPTION(QString, mpdMusicFolder, MpdMusicFolder)
    QUAVERTIN_OPTION(int, mpdRatingScale, MpdRatingScale)
    // Ratings & Play Counts: 0 any player (FMPS first), else the place in
    // ratingconventions::profileNames() plus one.
    QUAVERTIN_OPTION(int, ratingsProfile, RatingsProfile)
    QUAVERTIN_OPTION(bool, ratingsUnrated, RatingsUnrated) // writing: unrated tracks too, as "unrated"
    // Cover art.
    QUAVERTIN_OPTION(QString, coverImage, CoverImage)
    QUAVERTIN_OPTION(int, coverType, CoverType)          // a picture type, 3 the front cover
    QUAVERTIN_OPTION(bool, coverAddBeside, CoverAddBeside) // add beside the pictures of the type, not in their place
    QUAVERTIN_OPTION(int, coverMaxSize, CoverMaxSize)    // 0: never scaled
    QUAVERTIN_OPTION(int, coverQuality, CoverQuality)
    QUAVERTIN_OPTION(bool, coverSkipWithFront, CoverSkipWithFront)
    QUAVERTIN_OPTION(int, coverRemoveType, CoverRemoveType) // -1: every picture
    QUAVERTIN_OPTION(QString, coverExtractFolder, CoverExtractFolder)
    QUAVERTIN_OPTION(QString, coverExtractPattern, CoverExtractPattern)

    // The tag lists (indexes of the options above point into them).
    Q_PROPERTY(QStringList tags READ tags NOTIFY tagListsChanged)
    Q_PROPERTY(QStringList readableTags READ readableTags NOTIFY tagListsChanged)
    Q_PROPERTY(QStringList integerTags READ integerTags NOTIFY tagListsChanged)
    Q_PROPERTY(QStringList readableIntegerTags READ readableIntegerTags NOTIFY tagListsChanged)
    Q_PROPERTY(QStringList allTags READ allTags NOTIFY tagListsChanged)
    Q_PROPERTY(QStringList allReadableTags READ allReadableTags NOTIFY tagListsChanged)

    Q_PROPERTY(QStringList playlists READ playlists NOTIFY playlistsChanged)
    Q_PROPERTY(QStringList editablePlaylists READ editablePlaylists NOTIFY editablePlaylistsChanged)

    Q_PROPERTY(QString currentProgressTitle READ currentProgressTitle NOTIFY currentProgressTitleChanged)
    Q_PROPERTY(QString currentProgressDetail READ currentProgressDetail NOTIFY currentProgressDetailChanged)
    Q_PROPERTY(QString changeInfo READ changeInfo NOTIFY changeInfoChanged)
    Q_PROPERTY(int currentPane READ currentPane NOTIFY currentPaneChanged)

    Q_PROPERTY(QString version READ version NOTIFY aboutChanged)
    Q_PROPERTY(QString build READ build NOTIFY aboutChanged)
    Q_PROPERTY(QString aboutURL READ aboutURL NOTIFY aboutChanged)
    Q_PROPERTY(QString historyURL READ historyURL NOTIFY aboutChanged)
    Q_PROPERTY(QString faqURL READ faqURL NOTIFY aboutChanged)
    Q_PROPERTY(QString readmeURL READ readmeURL NOTIFY aboutChanged)

public:
    // The port is the person (it outlives the controller); the opener takes
    // the maker's addresses (none: they are only logged).
    explicit AppDelegate(WindowPort &port, UrlOpener urlOpener = {}, QObject *parent = nullptr);
    ~AppDelegate() override;

    // Where alerts and panels of this controller and of the runs it starts go.
    WindowPort *port() const override { return port_; }
    // What shows an address (a folder's, for "Open Folder"); may be empty.
    const UrlOpener &urlOpener() const { return urlOpener_; }
    // The support object, made by applicationDidFinishLaunching; nullptr before.
    const Lindarc *lindarc() const { return lindarc_.get(); }

    // Start-up, in order: the support object, the playlist names, the tag
    // lists, the option defaults, the about texts and documents, pane 0, an
    // empty metadataSearches. Main thread.
    void applicationDidFinishLaunching();

    // Counts this launch in the settings ("Launches") and tells whether the
    // first-launch hint should still be shown (the first two launches).
    bool awakeFromNib();

    // The music library: the file given by setLibraryPath, else
    // MusicLibrary::defaultPath(). Opened (and created) on first use; may throw LibraryError.
    void setLibraryPath(const QString &path);
    QString libraryPath() const;
    std::shared_ptr<MusicLibrary> library();

    const QStringList &tags() const { return catalogue_.tags; }
    const QStringList &readableTags() const { return catalogue_.readableTags; }
    const QStringList &integerTags() const { return catalogue_.integerTags; }
    const QStringList &readableIntegerTags() const { return catalogue_.readableIntegerTags; }
    const QStringList &allTags() const { return catalogue_.allTags; }
    const QStringList &allReadableTags() const { return catalogue_.allReadableTags; }

    const QStringList &playlists() const { return playlists_; }
    const QStringList &editablePlaylists() const { return editablePlaylists_; }

    const QString &currentProgressTitle() const { return currentProgressTitle_; }
    const QString &currentProgressDetail() const { return currentProgressDetail_; }
    const QString &changeInfo() const { return changeInfo_; }
    int currentPane() const { return currentPane_; }

    const QString &version() const { return version_; }
    const QString &build() const { return build_; }
    const QString &aboutURL() const { return aboutURL_; }
    const QString &historyURL() const { return historyURL_; }
    const QString &faqURL() const { return faqURL_; }
    const QString &readmeURL() const { return readmeURL_; }

    // The relinking tool's pending searches, keyed as that tool chooses.
    QVariantMap &metadataSearches() { return metadataSearches_; }

    // The source the options choose now, as a value a run takes to the
    // worker. Main thread.
    TrackSource trackSource();
    // Narrows every tool's source to what chooser gives when the tool starts
    // (nothing: the whole source): the window's table hands its selection or
    // its filter, the command line its --only and --match. Main thread.
    void setTrackScope(std::function<std::optional<TrackScope>()> chooser);
    // The order the window shows the source's tracks in, for the tools that
    // take the tracks in an order of the person's (Number Tracks). Main thread.
    void setTrackOrder(std::function<TrackOrder()> order);
    // The tracks of the chosen source (see TrackSource::tracks).
    std::optional<QList<MusicTrack>> tracks();
    std::optional<TrackList> tracksWithValues(const QStringList &keys);
    QList<TrackRef> selectedTracks();
    void refreshPlaylists();

    // The change list under review or being applied; null when none.
    const std::shared_ptr<ChangeList> &changes() const { return changes_; }
    // How the last apply run ended; main thread, once its sheet has closed.
    const ApplyResult &lastApply() const { return lastApply_; }
    void setChanges(std::shared_ptr<ChangeList> list);
    ChangesModel *changesModel() const { return changesModel_.get(); }

    // The progress sheet. setProgress may be called from any thread; the
    // detail arrives on the main loop in call order.
    void beginProgress(const QString &title) override;
    void setProgress(ProgressDetail detail) override;
    void endProgress() override;

    // The run an action started last (a refusal is a run that ended at
    // once); null before the first. The window, the CLI and tests wait on it.
    const std::shared_ptr<Run> &lastRun() const { return lastRun_; }
    // What the runs this controller started said when they ended, for the
    // window's status line and track table.
    RunNews &news() { return news_; }
    // Collects with a run over the chosen source and opens the review over
    // what it finds. Main thread.
    std::shared_ptr<Run> collect(CollectRun run);

    // The options of the tools that the CLI and the rename preview use too.
    tools::RenameOptions renameOptions() const;
    tools::NumericOptions numericOptions() const;
    // Actions with what the window's buttons leave out: the report or figures
    // when the run has ended, an M3U8 list's folder.
    std::shared_ptr<Run> rename(std::function<void(const tools::RenameReport &)> finished);
    std::shared_ptr<Run> calculate(std::function<void(const tools::SizeEstimate &)> finished);
    std::shared_ptr<Run> exportPlaylist(int tag, const QString &relativeTo);
    // Saves values typed in through the review, as an "Edit Tags" run over
    // the source (over the tracks the edits name, when they all do).
    std::shared_ptr<Run> editTags(QList<tools::TagEdit> edits);

    // Makes a control still being edited commit its text to its option. Main thread.
    void endEditing();

    // Pane positions 0-5 have a tool and a help document; 6 and 7 show the about pane.
    static QString toolName(int position);
    static QString helpTitle(int position);
    static QString helpInfo(int position);
    static QString helpDocument(int position);

public slots:
    // Tools.
    void performSearchReplace();
    void presetClicked(int index);
    void performCapitalization();
    void performMove();
    void performNumeric();
    void performNumbering();
    void performEncoding();
    void performPlaylist();
    void performRename();
    void performExport(int tag); // the control's tag: 1 text, 2 XML
    void performDead();
    void performCalculate();
    void performFix();
    void performTagsFromFilename();
    void performNumberTracks();
    void performOrganize();
    // Stores the library's ratings and play counts as MPD's stickers, or
    // takes MPD's into the library; both reviewed.
    void performMpdPush();
    void performMpdPull();
    void performImportRatings();
    void performExportRatings();
    void performAddCover();
    void performCoverFromFolder();
    void performRemoveCovers();
    void performExtractCovers();
    // performAddCover on these files alone, whatever the window has chosen
    // (the tag panel's picture view shows them).
    std::shared_ptr<Run> addCoverTo(const QStringList &paths);
    // Takes back run number of the history beside the library (0: the newest
    // that is no undo and was not undone), through the review.
    void performUndo(qint64 number = 0);

    // Source chooser: a folder was chosen, so the folder becomes the source.
    void pathSelected(const QString &path);
    // A playlist pop-up is about to open; tag 13 marks the playlist menus.
    void popUp(int tag);

    // Review.
    void beginChanges();
    void checkSelected(const QList<int> &rows, int tag);
    void cancelChanges(bool fromSender);
    void applyChanges();

    // Panes and help.
    void toolbarClicked(int position);
    void showTab(int position);
    void openHelp();
    void closeHelp();
    void openURL(int choice);

signals:
    void tagListsChanged();
    void playlistsChanged();
    void editablePlaylistsChanged();
    void currentProgressTitleChanged();
    void currentProgressDetailChanged();
    void changeInfoChanged();
    void currentPaneChanged();
    void aboutChanged();
    void changesChanged();
    // A run an action started has ended, whatever its outcome: what the
    // history holds may have changed.
    void runFinished();

private:
    void setPlaylistNames(QStringList all, QStringList editable);
    std::shared_ptr<Run> startTool(ToolStart start);
    std::shared_ptr<Run> started(std::shared_ptr<Run> run);
    std::optional<QString> selectedTextTag() const;
    std::shared_ptr<MusicLibrary> existingLibrary();
    QString sourceDescription() const;
    std::shared_ptr<MusicLibrary> membershipLibrary(const ChangeList &list);
    void loadMpdDefaults();
    // The sync's options as set now; remembers them in the settings.
    tools::MpdSyncOptions mpdOptions();

    WindowPort *port_;
    UrlOpener urlOpener_;
    std::unique_ptr<Lindarc> lindarc_;
    QString libraryPath_;
    std::shared_ptr<MusicLibrary> library_;
    std::function<std::optional<TrackScope>()> trackScope_;
    std::function<TrackOrder()> trackOrder_;
    TagCatalogue catalogue_;
    QStringList playlists_;
    QStringList editablePlaylists_;
    QString currentProgressTitle_;
    QString currentProgressDetail_;
    // The newest detail a worker reported, not yet shown; a burst of reports
    // posts one update to the main loop, not one per report, and updates are
    // shown at most every progressInterval (main thread: progressShown_).
    std::mutex progressMutex_;
    ProgressDetail pendingProgress_;
    bool progressUpdatePosted_ = false;
    QElapsedTimer progressShown_;
    void showPendingProgress();
    QString changeInfo_;
    int currentPane_ = 0;
    QString version_;
    QString build_;
    QString aboutURL_;
    QString historyURL_;
    QString faqURL_;
    QString readmeURL_;
    QVariantMap metadataSearches_;
    std::shared_ptr<ChangeList> changes_;
    ApplyResult lastApply_;
    std::unique_ptr<ChangesModel> changesModel_;
    std::shared_ptr<Run> lastRun_;
    RunNews news_;
};
