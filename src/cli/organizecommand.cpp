// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/appdelegate.h"
#include "toolcommands.h"
#include "toolcontext.h"

namespace cli {

ExitCode organizeCommand(ToolContext &context)
{
    QCommandLineParser parser;
    parser.addOption({QStringLiteral("to"), QStringLiteral("The folder the files go into."), QStringLiteral("DIR")});
    parser.addOption({QStringLiteral("pattern"),
                      QStringLiteral("The new path under DIR: #a artist, #t title, #g genre, #l album, #y year, "
                                     "#n track number (two digits), \"/\" making folders. The extension is kept."),
                      QStringLiteral("P"), QStringLiteral("#a/#l/#n - #t")});
    parser.addOption({QStringLiteral("remove-empty"),
                      QStringLiteral("Remove the folders the files leave when nothing else is in them.")});
    parser.addOption({QStringLiteral("take-along"),
                      QStringLiteral("The other files of a folder whose music all goes to one folder (cover.jpg, "
                                     ".cue, .log) go along.")});
    if (const auto done = context.parse(parser, QStringLiteral("organize"),
                                        QStringLiteral("Moves the files into folders made from their tags.")))
        return *done;
    if (!parser.isSet(QStringLiteral("to")))
        return context.usageError(QStringLiteral("--to is required: the folder the files go into"));
    AppDelegate &app = context.app();
    app.setOrganizeFolder(parser.value(QStringLiteral("to")));
    app.setOrganizePattern(parser.value(QStringLiteral("pattern")));
    app.setOrganizeRemoveEmpty(parser.isSet(QStringLiteral("remove-empty")));
    app.setOrganizeTakeAlong(parser.isSet(QStringLiteral("take-along")));
    return context.run([&app] { app.performOrganize(); });
}

} // namespace cli
