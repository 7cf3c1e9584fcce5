// SPDX-License-Identifier: GPL-3.0-or-later
#include "playlistmanager.h"

#include "app/appdelegate.h"
#include "library/condition.h"
#include "library/musiclibrary.h"
#include "operations/collector.h"
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
bool removingFromSmartPlaylist(AppDelegate &app)
{
    const QString name = app.playlists().value(app.selectedPlaylist());
    if (name.isNull())
        return false;
    try {
        const std::optional<Playlist> source = app.library()->playlistNamed(name);
        if (!source || !source->smart)
            return false;
    } catch (const LibraryError &) {
        return false; // the collecting run reports the library's trouble itself
    }
    return !collector::refuse(app.port(),
        QStringLiteral("Smart Playlist"),
        QStringLiteral("The playlist '%1' is a smart playlist: its tracks follow its rule, so none can be removed "
                       "from it. Choose a playlist that is not smart to remove tracks from.")
            .arg(name));
}

} // namespace

void performPlaylist(AppDelegate &app)
{
    app.endEditing();
    app.setSelectedMethod(0);

    const QString key = app.allTags().value(app.selectedTag());
    if (app.moveTrash() || key == coverKey)
        askForMusicFolder(app.port(), app.moveTrash());

    const int condition = app.selectedCondition();
    const QString operand = app.conditionString().isNull() ? QStringLiteral("") : app.conditionString();
    const bool caseInsensitive = app.caseInsensitive();

    if (condition >= condition::LongerThan && condition <= condition::FewerLinesThan &&
        text::intValue(operand) <= 0)
        return (void)collector::refuse(app.port(),
            QStringLiteral("Invalid Data"),
            QStringLiteral("You have to enter a positive number into the condition field to use this condition."));

    std::optional<IcuRegex> pattern;
    if (condition == condition::MatchesRegex) {
        pattern = IcuRegex::compile(operand, caseInsensitive);
        if (!pattern)
            return (void)collector::refuse(app.port(),
                QStringLiteral("Invalid RegExp Pattern"),
                QStringLiteral("The Regexp you've entered is invalid. Click on the Help icon in the lower left "
                               "corner to learn more about the ICU Regexp syntax."));
    }

    const int action = app.selectedPlaylistAction();
    if (action != 0 && removingFromSmartPlaylist(app))
        return;

    CollectRun run;
    run.keys = QStringList{key};
    run.step = [key, condition, operand, caseInsensitive, pattern](const MusicTrack &track, const TrackValues &values,
                                                                   QList<ChangeRecord> &records) {
        if (condition::matches(condition, tagText(values.value(key)), operand, caseInsensitive, pattern ? &*pattern : nullptr))
            records.append(collector::membershipRecord(track, values));
    };
    run.noChangesMessage = QStringLiteral("The conditions you've entered don't lead to any changes in your playlists.");
    run.playlist = true;
    run.remove = action;
    run.trash = app.moveTrash();
    collector::collectChanges(app, std::move(run));
}

} // namespace tools
