// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/appdelegate.h"
#include "toolcommands.h"
#include "toolcontext.h"

#include <limits>

namespace cli {

ExitCode numberTracksCommand(ToolContext &context)
{
    QCommandLineParser parser;
    parser.addOption({QStringLiteral("start"), QStringLiteral("The first number of each count."), QStringLiteral("N"),
                      QStringLiteral("1")});
    parser.addOption({QStringLiteral("restart"), QStringLiteral("Where the count starts again: album, folder or never."),
                      QStringLiteral("album|folder|never"), QStringLiteral("album")});
    parser.addOption({QStringLiteral("order"),
                      QStringLiteral("The tags to put the tracks in order by, comma-separated (album,discNumber,"
                                     "trackNumber,name), or path."),
                      QStringLiteral("TAGS"), QStringLiteral("path")});
    parser.addOption({QStringLiteral("totals"), QStringLiteral("Also set each track's total.")});
    parser.addOption(
        {QStringLiteral("discs"),
         QStringLiteral("Also set disc numbers: each folder of an album is a disc, and each disc counts from the start.")});
    if (const auto done = context.parse(parser, QStringLiteral("number"),
                                        QStringLiteral("Numbers the tracks in order, starting again per album, per "
                                                       "folder or never.")))
        return *done;
    ExitCode failure = ExitCode::BadUsage;
    const auto start = context.intOption(parser, QStringLiteral("start"), 1, std::numeric_limits<int>::max(), &failure);
    if (!start)
        return failure;
    const auto restart = context.choiceOption(
        parser, QStringLiteral("restart"), {QStringLiteral("album"), QStringLiteral("folder"), QStringLiteral("never")},
        &failure);
    if (!restart)
        return failure;
    AppDelegate &app = context.app();
    app.setNumberStart(*start);
    app.setNumberRestart(*restart);
    app.setNumberOrder(parser.value(QStringLiteral("order")));
    app.setNumberTotals(parser.isSet(QStringLiteral("totals")));
    app.setNumberDiscs(parser.isSet(QStringLiteral("discs")));
    return context.run([&app] { app.performNumberTracks(); });
}

} // namespace cli
