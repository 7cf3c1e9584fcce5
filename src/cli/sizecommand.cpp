// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/appdelegate.h"
#include "terminalport.h"
#include "toolcommands.h"
#include "toolcontext.h"

namespace cli {

ExitCode sizeCalculatorCommand(ToolContext &context)
{
    QCommandLineParser parser;
    parser.addOption({QStringLiteral("bitrate"), QStringLiteral("The bitrate to convert to, in kbps."),
                      QStringLiteral("128|192|256"), QStringLiteral("128")});
    if (const auto done = context.parse(parser, QStringLiteral("size"),
                                  QStringLiteral("Estimates the space the tracks of the source take, from their "
                                                 "bitrates and durations, and what they would take converted.")))
        return *done;

    ExitCode failure = ExitCode::BadUsage;
    const auto bitrate = context.choiceOption(
        parser, QStringLiteral("bitrate"), {QStringLiteral("128"), QStringLiteral("192"), QStringLiteral("256")},
        &failure);
    if (!bitrate)
        return failure;
    AppDelegate &app = context.app();
    app.setSelectedBitrate(*bitrate);
    context.run([&app] { app.performCalculate(); });
    // The estimate is itself an alert; any other one means there was nothing to estimate.
    return context.port().lastAlertTitle() == QLatin1String("Playlist/Folder size") ? ExitCode::Success : ExitCode::Failed;
}

} // namespace cli
