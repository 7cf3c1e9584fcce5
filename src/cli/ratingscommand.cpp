// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/appdelegate.h"
#include "files/ratingconventions.h"
#include "toolcommands.h"
#include "toolcontext.h"

namespace cli {

ExitCode ratingsCommand(ToolContext &context)
{
    QCommandLineParser parser;
    parser.addPositionalArgument(QStringLiteral("import|export"),
                                 QStringLiteral("import: take the files' values into the library's tracks; export: "
                                                "write the library's into the files, in the profile's fields."));
    parser.addOption({QStringLiteral("profile"),
                      QStringLiteral("import: whose fields win when a file holds several (default: FMPS, then the "
                                     "surest POPM); export: whose fields are written (required). One of %1.")
                          .arg(ratingconventions::profileNames().join(QStringLiteral(", "))),
                      QStringLiteral("NAME")});
    parser.addOption({QStringLiteral("unrated"),
                      QStringLiteral("export: write unrated tracks too, as the profile says unrated (a POPM byte of "
                                     "0, no rating field), with their play counts.")});
    if (const auto done = context.parse(
            parser, QStringLiteral("ratings"),
            QStringLiteral("import takes each library track's rating and play count from its file, read from "
                           "every player's fields, where the file holds one that differs from the library's. "
                           "export writes each rated library track's rating and play count into its file in the "
                           "profile's fields only, leaving every other player's alone. Both are reviewed, "
                           "recorded in the history and undone by undo. A folder source is refused: its files "
                           "have no library values."),
            ToolContext::AllReviewOptions, 1))
        return *done;
    const QStringList what = parser.positionalArguments();
    const bool exporting = what == QStringList{QStringLiteral("export")};
    if (!exporting && what != QStringList{QStringLiteral("import")})
        return context.usageError(QStringLiteral("ratings needs what to do: import or export"));
    if (exporting && !parser.isSet(QStringLiteral("profile")))
        return context.usageError(QStringLiteral("ratings export needs --profile NAME: the player whose fields "
                                                 "are written"));
    if (!exporting && parser.isSet(QStringLiteral("unrated")))
        return context.usageError(QStringLiteral("--unrated is for ratings export"));
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
    app.setRatingsUnrated(parser.isSet(QStringLiteral("unrated")));
    if (exporting)
        return context.run([&app] { app.performExportRatings(); });
    return context.run([&app] { app.performImportRatings(); });
}

} // namespace cli
