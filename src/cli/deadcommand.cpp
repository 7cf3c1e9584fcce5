// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/appdelegate.h"
#include "toolcommands.h"
#include "toolcontext.h"

#include <QCommandLineParser>

namespace cli {

ExitCode deadTracksCommand(ToolContext &context)
{
    QCommandLineParser parser;
    if (const auto done = context.parse(
            parser, QStringLiteral("dead"),
            QStringLiteral("Removes from the playlist given by --playlist the tracks whose file is gone; no file is "
                           "touched. When some lie in folders that do not exist at all (a drive that is not "
                           "mounted), you are asked first; without a terminal, or with --yes, the run stops there.")))
        return *done;
    AppDelegate &app = context.app();
    return context.run([&app] { app.performDead(); });
}

} // namespace cli
