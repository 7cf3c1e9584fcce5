// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/appdelegate.h"
#include "terminalport.h"
#include "toolcommands.h"
#include "toolcontext.h"

#include <QCommandLineParser>
#include <QFileInfo>

namespace cli {

ExitCode relinkCommand(ToolContext &context)
{
    QCommandLineParser parser;
    parser.addOption({QStringLiteral("search-folder"), QStringLiteral("The folder to look for the missing files in."),
                      QStringLiteral("DIR")});
    if (const auto done = context.parse(
            parser, QStringLiteral("relink"),
            QStringLiteral("Points the dead tracks of the playlist given by --playlist at the one music file below "
                           "DIR with the same artist, title and album (exactly, letter case included). A track "
                           "with several such files is left alone.")))
        return *done;
    if (!parser.isSet(QStringLiteral("search-folder")))
        return context.usageError(QStringLiteral("relink needs --search-folder DIR"));
    const QFileInfo folder(parser.value(QStringLiteral("search-folder")));
    if (!folder.isDir())
        return context.usageError(QStringLiteral("'%1' is not a folder").arg(folder.filePath()));
    context.port().setFolder(folder.absoluteFilePath());
    AppDelegate &app = context.app();
    return context.run([&app] { app.performFix(); });
}

} // namespace cli
