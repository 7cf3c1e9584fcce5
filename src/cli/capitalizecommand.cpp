// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/appdelegate.h"
#include "tagtoolcommand.h"
#include "toolcommands.h"
#include "toolcontext.h"

namespace cli {

ExitCode capitalizationCommand(ToolContext &context)
{
    const QStringList methods{QStringLiteral("title"), QStringLiteral("upper"), QStringLiteral("lower"),
                              QStringLiteral("words"), QStringLiteral("proper")};
    QCommandLineParser parser;
    addTagOption(parser, QStringLiteral("The tag to change: name, artist, album, ... (or its index)."));
    parser.addOption({QStringLiteral("method"),
                      QStringLiteral("title (A Man for All Seasons), upper, lower, words (A Man For All Seasons) "
                                     "or proper (A man for all seasons); or 0-4."),
                      QStringLiteral("title|upper|lower|words|proper")});
    if (const std::optional<ExitCode> done = context.parse(parser, QStringLiteral("capitalize"),
                                                      QStringLiteral("Changes the letter case of a text tag.")))
        return *done;

    AppDelegate &app = context.app();
    ExitCode failure = ExitCode::Success;
    if (!setTagOption(context, parser, &failure))
        return failure;
    const std::optional<int> method = requiredChoice(context, parser, QStringLiteral("method"), methods, &failure);
    if (!method)
        return failure;
    app.setSelectedCapitalizationMethod(*method);
    return context.run([&app] { app.performCapitalization(); });
}

} // namespace cli
