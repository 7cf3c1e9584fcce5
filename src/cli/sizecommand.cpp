// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/appdelegate.h"
#include "reviewprinter.h"
#include "terminalport.h"
#include "toolcommands.h"
#include "toolcontext.h"
#include "tools/sizecalculator.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace cli {

ExitCode sizeCalculatorCommand(ToolContext &context)
{
    QCommandLineParser parser;
    parser.addOption({QStringLiteral("bitrate"), QStringLiteral("The bitrate to convert to, in kbps."),
                      QStringLiteral("128|192|256"), QStringLiteral("128")});
    if (const auto done = context.parse(parser, QStringLiteral("size"),
                                        QStringLiteral("Estimates the space the tracks of the source take, from their "
                                                       "bitrates and durations, and what they would take converted."),
                                        ToolContext::JsonOption | ToolContext::ScopeOption))
        return *done;

    ExitCode failure = ExitCode::BadUsage;
    const auto bitrate = context.choiceOption(
        parser, QStringLiteral("bitrate"), {QStringLiteral("128"), QStringLiteral("192"), QStringLiteral("256")},
        &failure);
    if (!bitrate)
        return failure;
    AppDelegate &app = context.app();
    app.setSelectedBitrate(*bitrate);
    std::optional<tools::SizeEstimate> figures;
    context.run([&app, &figures] {
        app.calculate([&figures](const tools::SizeEstimate &estimate) { figures = estimate; });
    });
    // Without figures there was nothing to estimate, and the alerts said why.
    if (!figures)
        return ExitCode::Failed;
    if (!context.json()) {
        context.out() << tools::sizeReport(*figures) << '\n';
        context.out().flush();
    } else {
        const QJsonObject json{
            {QStringLiteral("tracks"), figures->tracks},
            {QStringLiteral("targetBitrate"), figures->target},
            {QStringLiteral("currentMB"), figures->currentMB()},
            {QStringLiteral("averageBitrate"), figures->averageBitrate()},
            {QStringLiteral("convertedDownMB"), figures->convertedDownMB()},
            {QStringLiteral("averageConvertedDownBitrate"), figures->averageConvertedDownBitrate()},
            {QStringLiteral("allConvertedMB"), figures->allConvertedMB()},
        };
        printJson(context.out(), QJsonDocument(json));
        context.out().flush();
    }
    return ExitCode::Success;
}

} // namespace cli
