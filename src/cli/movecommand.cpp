// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/appdelegate.h"
#include "tagtoolcommand.h"
#include "toolcommands.h"
#include "toolcontext.h"

namespace cli {

ExitCode dataMoverCommand(ToolContext &context)
{
    const QStringList actions{QStringLiteral("swap"), QStringLiteral("copy")};
    const QStringList portions{QStringLiteral("all"), QStringLiteral("first"), QStringLiteral("except-first"),
                               QStringLiteral("matches")};
    const QStringList placements{QStringLiteral("replace"), QStringLiteral("append"), QStringLiteral("prepend")};
    QCommandLineParser parser;
    parser.addOption({QStringLiteral("source-tag"),
                      QStringLiteral("The tag to take from: any tag key, integer tags and cover included."),
                      QStringLiteral("TAG")});
    parser.addOption({QStringLiteral("target-tag"), QStringLiteral("The text tag to put into."),
                      QStringLiteral("TAG")});
    parser.addOption({QStringLiteral("action"),
                      QStringLiteral("swap the two values (the default), or copy a portion of the source into the target."),
                      QStringLiteral("ACTION"), QStringLiteral("swap")});
    parser.addOption({QStringLiteral("portion"),
                      QStringLiteral("With copy: all (the default), first (--count characters), except-first (all but "
                                     "the first --count characters) or matches (what --search matches)."),
                      QStringLiteral("PORTION"), QStringLiteral("all")});
    parser.addOption({QStringLiteral("count"), QStringLiteral("The number of characters for first and except-first."),
                      QStringLiteral("N")});
    parser.addOption({QStringLiteral("search"), QStringLiteral("The ICU regular expression for matches."),
                      QStringLiteral("PATTERN")});
    parser.addOption({QStringLiteral("case-sensitive"),
                      QStringLiteral("The expression minds letter case (ignored by default).")});
    parser.addOption({QStringLiteral("option"),
                      QStringLiteral("With copy: replace the target (the default), append after it, or prepend before it."),
                      QStringLiteral("PLACEMENT"), QStringLiteral("replace")});
    parser.addOption({QStringLiteral("delimiter"), QStringLiteral("Put between target and portion by append and prepend."),
                      QStringLiteral("TEXT")});
    if (const std::optional<ExitCode> done = context.parse(
            parser, QStringLiteral("move"), QStringLiteral("Swaps two tags, or copies all or part of one tag into another.")))
        return *done;

    AppDelegate &app = context.app();
    ExitCode failure = ExitCode::Success;
    const std::optional<int> source =
        requiredTag(context, parser, QStringLiteral("source-tag"), app.allTags(), app.allReadableTags(), &failure);
    if (!source)
        return failure;
    const std::optional<int> target =
        requiredTag(context, parser, QStringLiteral("target-tag"), app.tags(), app.readableTags(), &failure);
    if (!target)
        return failure;
    const std::optional<int> action = context.choiceOption(parser, QStringLiteral("action"), actions, &failure);
    if (!action)
        return failure;
    const std::optional<int> portion = context.choiceOption(parser, QStringLiteral("portion"), portions, &failure);
    if (!portion)
        return failure;
    const std::optional<int> option = context.choiceOption(parser, QStringLiteral("option"), placements, &failure);
    if (!option)
        return failure;

    app.setSelectedTag(*source);
    app.setSelectedTargetTag(*target);
    app.setSelectedAction(*action);
    app.setSelectedPortion(*portion);
    app.setSelectedOption(*option);
    if (parser.isSet(QStringLiteral("count")))
        app.setPortionString(parser.value(QStringLiteral("count")));
    if (parser.isSet(QStringLiteral("search")))
        app.setSearchString(parser.value(QStringLiteral("search")));
    if (parser.isSet(QStringLiteral("delimiter")))
        app.setDelimiterString(parser.value(QStringLiteral("delimiter")));
    app.setCaseInsensitive(!parser.isSet(QStringLiteral("case-sensitive")));
    return context.run([&app] { app.performMove(); });
}

} // namespace cli
