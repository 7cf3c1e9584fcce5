// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/appdelegate.h"
#include "files/ratingconventions.h"
#include "toolcommands.h"
#include "toolcontext.h"

namespace cli {

ExitCode ratingsCommand(ToolContext &context)
{
    QCommandLineParser parser;
    parser.addPositionalArgument(QStringLiteral("import"),
                                 QStringLiteral("Take the files' values into the library's tracks."));
    parser.addOption({QStringLiteral("profile"),
                      QStringLiteral("Whose fields win when a file holds several: %1 (default: FMPS, then the "
                                     "surest POPM).")
                          .arg(ratingconventions::profileNames().join(QStringLiteral(", "))),
                      QStringLiteral("NAME")});
    if (const auto done = context.parse(
            parser, QStringLiteral("ratings"),
            QStringLiteral("Takes each library track's rating and play count from its file, read from every "
                           "player's fields, where the file holds one that differs from the library's: reviewed, "
                           "recorded in the history and undone by undo. A folder source is refused: its files "
                           "have no library values to take them into."),
            ToolContext::AllReviewOptions, 1))
        return *done;
    if (parser.positionalArguments() != QStringList{QStringLiteral("import")})
        return context.usageError(QStringLiteral("ratings needs what to do: import"));
    AppDelegate &app = context.app();
    int profile = 0;
    if (parser.isSet(QStringLiteral("profile"))) {
        ExitCode failure = ExitCode::BadUsage;
        const std::optional<int> index =
            context.choiceOption(parser, QStringLiteral("profile"), ratingconventions::profileNames(), &failure);
        if (!index)
            return failure;
        profile = *index + 1;
    }
    app.setRatingsProfile(profile);
    return context.run([&app] { app.performImportRatings(); });
}

} // namespace cli
