// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/appdelegate.h"
#include "tagtoolcommand.h"
#include "toolcommands.h"
#include "toolcontext.h"

namespace cli {

ExitCode searchReplaceCommand(ToolContext &context)
{
    QCommandLineParser parser;
    addTagOption(parser, QStringLiteral("The tag to rewrite: name, artist, album, ... (or its index)."));
    parser.addOption({QStringLiteral("search"), QStringLiteral("The text, or the pattern, to search for."),
                      QStringLiteral("TEXT")});
    parser.addOption({QStringLiteral("replace"),
                      QStringLiteral("The replacement; with --regex a template ($1 is the first group, "
                                     "a backslash takes the next character literally). None deletes every match."),
                      QStringLiteral("TEXT")});
    parser.addOption({QStringLiteral("regex"), QStringLiteral("Search with an ICU regular expression.")});
    parser.addOption({QStringLiteral("case-sensitive"), QStringLiteral("Mind letter case (ignored by default).")});
    parser.addOption({QStringLiteral("preset"),
                      QStringLiteral("Start from ready-made pattern N and switch --regex on: 1 drop the first three "
                                     "characters, 2 [brackets] to (parentheses), 3 'The Band' to 'Band, The', "
                                     "4 the reverse, 5 put 0 in front. --search and --replace override it."),
                      QStringLiteral("N")});
    if (const std::optional<ExitCode> done = context.parse(parser, QStringLiteral("search-replace"),
                                                      QStringLiteral("Rewrites a text tag by search and replace.")))
        return *done;

    AppDelegate &app = context.app();
    ExitCode failure = ExitCode::Success;
    if (!setTagOption(context, parser, &failure))
        return failure;
    if (parser.isSet(QStringLiteral("preset"))) {
        const std::optional<int> preset = context.intOption(parser, QStringLiteral("preset"), 1, 5, &failure);
        if (!preset)
            return failure;
        app.presetClicked(*preset);
    }
    if (parser.isSet(QStringLiteral("search")))
        app.setSearchString(parser.value(QStringLiteral("search")));
    if (parser.isSet(QStringLiteral("replace")))
        app.setReplaceString(parser.value(QStringLiteral("replace")));
    if (parser.isSet(QStringLiteral("regex")))
        app.setUseRegular(true);
    app.setCaseInsensitive(!parser.isSet(QStringLiteral("case-sensitive")));
    return context.run([&app] { app.performSearchReplace(); });
}

} // namespace cli
