// SPDX-License-Identifier: GPL-3.0-or-later
#include "playlistmanager.h"

#include "library/condition.h"
#include "library/musiclibrary.h"
#include "support/alerts.h"
#include "support/icuregex.h"
#include "support/textutils.h"

namespace tools {

namespace {

const QString coverKey = QStringLiteral("cover");

// The person grants access to the music folder; nothing here needs the grant,
// so the panel's answer is not used and cancelling it does not stop the tool.
void askForMusicFolder(WindowPort *port, bool forTrash)
{
    alertPanel(port, QStringLiteral("Music Folder Needed"),
               forTrash ? QStringLiteral("You've selected that matching files should be moved to the trash. You'll "
                                         "need to open the folder containing the music files of the selected "
                                         "playlist to give permission to do so.")
                        : QStringLiteral("You've selected the 'cover' tag. You'll need to open the folder containing "
                                         "the music files of the selected playlist to give permission to scan the "
                                         "files for embedded covers."));
    port->chooseFolder(QStringLiteral("Open the folder containing the music files of the selected playlist"));
}

// A smart playlist's tracks follow its rule, so none can be taken out of it.
// Refused before collecting: removing would otherwise fail only after the
// first files had gone to the Trash.
std::optional<Refusal> removingFromSmartPlaylist(const TrackSource &source)
{
    const QString &name = source.playlist;
    if (name.isNull())
        return std::nullopt;
    try {
        const std::optional<Playlist> found = source.library()->playlistNamed(name);
        if (!found || !found->smart)
            return std::nullopt;
    } catch (const LibraryError &) {
        return std::nullopt; // the collecting run reports the library's trouble itself
    }
    return Refusal{
        QStringLiteral("Smart Playlist"),
        QStringLiteral("The playlist '%1' is a smart playlist: its tracks follow its rule, so none can be removed "
                       "from it. Choose a playlist that is not smart to remove tracks from.")
            .arg(name)};
}

} // namespace

ToolStart managePlaylist(const PlaylistOptions &options, TrackSource source)
{
    const QString key = options.tag;
    if (options.moveTrash || key == coverKey)
        askForMusicFolder(source.port, options.moveTrash);
    const int condition = options.condition;
    const QString operand = options.operand.isNull() ? QStringLiteral("") : options.operand;
    const bool caseInsensitive = options.caseInsensitive;
    if (condition >= condition::LongerThan && condition <= condition::FewerLinesThan &&
        text::intValue(operand) <= 0)
        return Refusal{
            QStringLiteral("Invalid Data"),
            QStringLiteral("You have to enter a positive number into the condition field to use this condition.")};
    std::optional<IcuRegex> pattern;
    if (condition == condition::MatchesRegex) {
        pattern = IcuRegex::compile(operand, caseInsensitive);
        if (!pattern)
            return Refusal{
                QStringLiteral("Invalid RegExp Pattern"),
                QStringLiteral("The Regexp you've entered is invalid. Click on the Help icon in the lower left "
                               "corner to learn more about the ICU Regexp syntax.")};
    }
    const int action = options.action;
    if (action != choices::AddToPlaylist)
        if (std::optional<Refusal> refusal = removingFromSmartPlaylist(source))
            return *refusal;
    CollectRun run;
    run.source = std::move(source);
    run.keys = QStringList{key};
    run.step = [key, condition, operand, caseInsensitive, pattern](const MusicTrack &track, const TrackValues &values,
                                                                   QList<ChangeRecord> &records) {
        if (condition::matches(condition, tagText(values.value(key)), operand, caseInsensitive, pattern ? &*pattern : nullptr))
            records.append(collector::membershipRecord(track, values));
    };
    run.noChangesMessage = QStringLiteral("The conditions you've entered don't lead to any changes in your playlists.");
    run.playlist = true;
    run.remove = action;
    run.trash = options.moveTrash;
    run.tool = QStringLiteral("Playlist Manager");
    return run;
}

} // namespace tools
