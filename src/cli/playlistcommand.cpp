// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/appdelegate.h"
#include "tagtoolcommand.h"
#include "toolcommands.h"
#include "toolcontext.h"
#include "operations/choices.h"

#include <QCommandLineParser>

namespace cli {

ExitCode playlistManagerCommand(ToolContext &context)
{
    QCommandLineParser parser;
    parser.addOption({QStringLiteral("tag"), QStringLiteral("The tag to test (its key, e.g. year, or its position)."),
                      QStringLiteral("T")});
    parser.addOption({QStringLiteral("condition"),
                      QStringLiteral("0 equals, 1 does not equal, 2 contains, 3 does not contain, 4 begins with, "
                                     "5 ends with, 6 matches the regular expression, 7 longer than, 8 shorter than, "
                                     "9 more lines than, 10 fewer lines than, 11 greater than, 12 less than."),
                      QStringLiteral("N")});
    parser.addOption({QStringLiteral("value"), QStringLiteral("The text, expression or number to test against."),
                      QStringLiteral("C")});
    parser.addOption({QStringLiteral("case-sensitive"), QStringLiteral("Text conditions heed letter case.")});
    parser.addOption({QStringLiteral("action"), QStringLiteral("add or remove."), QStringLiteral("ACTION")});
    parser.addOption({QStringLiteral("target"),
                      QStringLiteral("The playlist to add to (not a smart one)."), QStringLiteral("NAME")});
    parser.addOption({QStringLiteral("trash"), QStringLiteral("When removing, move the tracks' files to the Trash.")});
    if (const auto done = context.parse(
            parser, QStringLiteral("playlist"),
            QStringLiteral("Adds the tracks of the playlist given by --playlist that meet a condition to another "
                           "playlist, or removes them from it. Without --playlist the first playlist is used.")))
        return *done;
    AppDelegate &app = context.app();
    ExitCode failure = ExitCode::Success;
    const auto tag =
        requiredTag(context, parser, QStringLiteral("tag"), app.allTags(), app.allReadableTags(), &failure);
    if (!tag)
        return failure;
    if (!parser.isSet(QStringLiteral("condition")))
        return context.usageError(QStringLiteral("--condition is required (a number from 0 to 12)"));
    const auto condition = context.intOption(parser, QStringLiteral("condition"), 0, 12, &failure);
    if (!condition)
        return failure;
    const auto action = requiredChoice(context, parser, QStringLiteral("action"),
                                       {QStringLiteral("add"), QStringLiteral("remove")}, &failure);
    if (!action)
        return failure;
    if (*action == choices::AddToPlaylist) {
        if (!parser.isSet(QStringLiteral("target")))
            return context.usageError(QStringLiteral("adding needs --target NAME"));
        const QString target = parser.value(QStringLiteral("target"));
        const qsizetype index = app.editablePlaylists().indexOf(target);
        if (index < 0)
            return context.usageError(
                app.playlists().contains(target)
                    ? QStringLiteral("'%1' is a smart playlist: its rule decides its tracks, so none can be added")
                          .arg(target)
                    : QStringLiteral("the library has no playlist named '%1'").arg(target));
        app.setSelectedPlaylistActionPlaylist(int(index));
    }

    app.setSelectedTag(*tag);
    app.setSelectedCondition(*condition);
    app.setConditionString(parser.isSet(QStringLiteral("value")) ? parser.value(QStringLiteral("value")) : QString());
    app.setCaseInsensitive(!parser.isSet(QStringLiteral("case-sensitive")));
    app.setSelectedPlaylistAction(*action);
    app.setMoveTrash(parser.isSet(QStringLiteral("trash")));
    return context.run([&app] { app.performPlaylist(); });
}

} // namespace cli
