// SPDX-License-Identifier: GPL-3.0-or-later
#include "tagtoolcommand.h"

#include "app/appdelegate.h"
#include "toolcontext.h"

namespace cli {

void addTagOption(QCommandLineParser &parser, const QString &description)
{
    parser.addOption({QStringLiteral("tag"), description, QStringLiteral("TAG")});
}

std::optional<int> requiredChoice(ToolContext &context, const QCommandLineParser &parser, const QString &option,
                                  const QStringList &choices, ExitCode *failure)
{
    if (!parser.isSet(option)) {
        *failure = context.usageError(
            QStringLiteral("--%1 is required (one of: %2)").arg(option, choices.join(QStringLiteral(", "))));
        return std::nullopt;
    }
    return context.choiceOption(parser, option, choices, failure);
}

bool setTagOption(ToolContext &context, const QCommandLineParser &parser, ExitCode *failure)
{
    AppDelegate &app = context.app();
    const std::optional<int> tag = requiredChoice(context, parser, QStringLiteral("tag"), app.allTags(), failure);
    if (!tag)
        return false;
    app.setSelectedTag(*tag);
    return true;
}

} // namespace cli
