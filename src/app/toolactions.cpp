// SPDX-License-Identifier: GPL-3.0-or-later
// The tool buttons. Each tool lives in src/tools/; its action here reads the
// tool's options once, on the main thread, and starts the run the tool gives.
#include "appdelegate.h"

#include "files/ratingconventions.h"
#include "library/musiclibrary.h"
#include "operations/choices.h"
#include "tools/capitalization.h"
#include "tools/datamover.h"
#include "tools/deadtrackrelinking.h"
#include "tools/deadtrackremoval.h"
#include "tools/edittags.h"
#include "tools/encodingconversion.h"
#include "tools/filenamechanger.h"
#include "tools/numbertracks.h"
#include "tools/numerictagchanger.h"
#include "tools/organize.h"
#include "tools/coverart.h"
#include "tools/playlistexport.h"
#include "tools/playlistmanager.h"
#include "tools/ratings.h"
#include "tools/renamesummary.h"
#include "tools/searchreplace.h"
#include "tools/sizecalculator.h"
#include "tools/tagsfromfilename.h"
#include "tools/tagtoolrun.h"
#include "tools/undo.h"

std::optional<QString> AppDelegate::selectedTextTag() const
{
    return tools::textTagKey(tags(), selectedTag());
}

// ---- Tag search and replace
void AppDelegate::performSearchReplace()
{
    endEditing();
    startTool(tools::searchReplace(
        {selectedTextTag(), searchString(), replaceString(), caseInsensitive(), useRegular()}, trackSource()));
}

void AppDelegate::presetClicked(int index)
{
    if (const auto preset = tools::searchReplacePreset(index)) {
        setSearchString(preset->first);
        setReplaceString(preset->second);
    }
    setUseRegular(true);
}

// ---- Capitalization
void AppDelegate::performCapitalization()
{
    endEditing();
    startTool(tools::capitalize({selectedTextTag(), selectedCapitalizationMethod()}, trackSource()));
}

// ---- Data mover
void AppDelegate::performMove()
{
    endEditing();
    const int source = selectedTag();
    const int target = selectedTargetTag();
    const bool validTags = source >= 0 && source < allTags().size() && target >= 0 && target < tags().size();
    tools::MoverOptions options;
    if (validTags) {
        options.sourceTag = allTags().at(source);
        options.targetTag = tags().at(target);
    }
    options.action = selectedAction();
    options.portion = selectedPortion();
    options.placement = selectedOption();
    options.search = searchString();
    options.caseInsensitive = caseInsensitive();
    options.portionString = portionString();
    options.delimiter = delimiterString();
    startTool(tools::moveData(options, trackSource()));
}

// ---- Numeric tag changer
tools::NumericOptions AppDelegate::numericOptions() const
{
    return {integerTags().value(selectedNumericTag()), selectedNumeric(), numericString()};
}

void AppDelegate::performNumeric()
{
    endEditing();
    started(tools::changeNumbers(numericOptions(), [this] { return library(); }, *this));
}

void AppDelegate::performNumbering()
{
    // Numbering was announced but never given a behaviour: the button does nothing.
}

// ---- Encoding conversion
void AppDelegate::performEncoding()
{
    endEditing();
    startTool(tools::convertEncoding({selectedTextTag(), selectedEncodingFrom(), selectedEncodingTo()}, trackSource()));
}

// ---- Playlist manager
void AppDelegate::performPlaylist()
{
    endEditing();
    setSelectedMethod(choices::PlaylistSource);
    tools::PlaylistOptions options;
    options.tag = allTags().value(selectedTag());
    options.condition = selectedCondition();
    options.operand = conditionString();
    options.caseInsensitive = caseInsensitive();
    options.action = selectedPlaylistAction();
    options.moveTrash = moveTrash();
    startTool(tools::managePlaylist(options, trackSource()));
}

// ---- Filename changer
tools::RenameOptions AppDelegate::renameOptions() const
{
    return tools::RenameOptions{filenameString(), selectedTrailingZeroes(), renameSkipMissing()};
}

std::shared_ptr<Run> AppDelegate::rename(std::function<void(const tools::RenameReport &)> finished)
{
    endEditing();
    tools::RenameStart start;
    start.libraryRunning = MusicLibrary::isRunning(libraryPath());
    start.folder = folderPath();
    start.recursive = renameRecursiveScan();
    start.options = renameOptions();
    start.library = [this] { return library(); };
    return started(tools::renameFiles(start, *this, std::move(finished)));
}

void AppDelegate::performRename()
{
    rename({});
}

// ---- Playlist export
std::shared_ptr<Run> AppDelegate::exportPlaylist(int tag, const QString &relativeTo)
{
    endEditing();
    // The name comes from the playlist menu whatever the source, as the
    // document's name and the suggested file name.
    return startTool(tools::exportPlaylist(
        {tools::exportFormat(tag), playlists().value(selectedPlaylist()), relativeTo}, trackSource()));
}

void AppDelegate::performExport(int tag)
{
    exportPlaylist(tag, {});
}

// ---- Dead track removal
void AppDelegate::performDead()
{
    endEditing();
    setSelectedMethod(choices::PlaylistSource);
    startTool(tools::deadTrackRemoval(trackSource()));
}

// ---- Size calculator
std::shared_ptr<Run> AppDelegate::calculate(std::function<void(const tools::SizeEstimate &)> finished)
{
    endEditing();
    return startTool(tools::sizeCalculation(selectedBitrate(), trackSource(), std::move(finished)));
}

void AppDelegate::performCalculate()
{
    calculate({});
}

// ---- Dead track relinking
void AppDelegate::performFix()
{
    endEditing();
    const std::optional<QString> folder = tools::askRelinkFolder(port_);
    if (!folder) {
        RunOutcome declined;
        declined.kind = RunOutcome::Declined;
        started(Run::ended(declined));
        return;
    }
    setFolderPath(*folder);
    setSelectedMethod(choices::PlaylistSource);
    startTool(tools::deadTrackRelinking(*folder, trackSource()));
}

// ---- Tags from File Name
void AppDelegate::performTagsFromFilename()
{
    endEditing();
    startTool(tools::tagsFromFilename({fromFilenameString(), fromFilenameRegular(), fromFilenameUnderscores(),
                                       fromFilenameTrim(), fromFilenameKeepExisting()},
                                      trackSource()));
}

// ---- Number Tracks
void AppDelegate::performNumberTracks()
{
    endEditing();
    tools::NumberTracksOptions options{numberStart(), numberRestart(), numberTotals(), numberDiscs(), {}};
    for (const QString &key : numberOrder().split(QLatin1Char(','), Qt::SkipEmptyParts))
        options.order << key.trimmed();
    if (trackOrder_)
        options.shown = trackOrder_();
    startTool(tools::numberTracks(options, trackSource()));
}

// ---- Ratings & Play Counts
namespace {

// The profile the person chose, or the empty text for "any player".
QString chosenProfile(int option)
{
    const QStringList profiles = ratingconventions::profileNames();
    return option >= 1 && option <= profiles.size() ? profiles.at(option - 1) : QString();
}

} // namespace

void AppDelegate::performImportRatings()
{
    endEditing();
    startTool(tools::importRatings({chosenProfile(ratingsProfile())}, trackSource()));
}

void AppDelegate::performExportRatings()
{
    endEditing();
    startTool(tools::exportRatings({chosenProfile(ratingsProfile()), ratingsUnrated()}, trackSource()));
}

// ---- Organize Files into Folders
void AppDelegate::performOrganize()
{
    endEditing();
    startTool(tools::organize({organizeFolder(), organizePattern(), organizeRemoveEmpty(), organizeTakeAlong()},
                              trackSource()));
}

// ---- Cover art
namespace {

tools::CoverAddOptions coverAddOptions(const AppDelegate &app, bool fromFolder)
{
    return {fromFolder ? QString() : app.coverImage(), fromFolder, app.coverType(), !app.coverAddBeside(),
            app.coverMaxSize(), app.coverQuality(), app.coverSkipWithFront()};
}

} // namespace

void AppDelegate::performAddCover()
{
    endEditing();
    startTool(tools::addCover(coverAddOptions(*this, false), trackSource()));
}

std::shared_ptr<Run> AppDelegate::addCoverTo(const QStringList &paths)
{
    endEditing();
    TrackSource source = trackSource();
    TrackScope only;
    only.byName = true;
    only.paths = QSet<QString>(paths.cbegin(), paths.cend());
    source.scope = only;
    return startTool(tools::addCover(coverAddOptions(*this, false), std::move(source)));
}

void AppDelegate::performCoverFromFolder()
{
    endEditing();
    startTool(tools::addCover(coverAddOptions(*this, true), trackSource()));
}

void AppDelegate::performRemoveCovers()
{
    endEditing();
    tools::CoverRemoveOptions options;
    if (coverRemoveType() >= 0)
        options.type = coverRemoveType();
    startTool(tools::removeCovers(options, trackSource()));
}

void AppDelegate::performExtractCovers()
{
    endEditing();
    startTool(tools::extractCovers({coverExtractFolder(), coverExtractPattern()}, trackSource()));
}

// ---- Undo
void AppDelegate::performUndo(qint64 number)
{
    endEditing();
    startTool(tools::undoRun({HistoryStore::pathBeside(libraryPath()), number}, trackSource()));
}

// ---- Edits typed in
std::shared_ptr<Run> AppDelegate::editTags(QList<tools::TagEdit> edits)
{
    endEditing();
    return startTool(tools::editTags({std::move(edits)}, trackSource()));
}
