// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/capitalization.h"

#include "support/textutils.h"
#include "tools/tagtoolrun.h"

namespace tools {

std::optional<QString> capitalizedValue(const QString &value, int method)
{
    switch (method) {
    case choices::TitleCase:
        return text::titlecaseString(value);
    case choices::UpperCase:
        return text::uppercaseString(value);
    case choices::LowerCase:
        return text::lowercaseString(value);
    case choices::CapitalizeWords:
        return text::capitalizedString(value);
    case choices::ProperCase:
        return text::propercaseString(value);
    default:
        return std::nullopt;
    }
}

ToolStart capitalize(const CapitalizationOptions &options, TrackSource source)
{
    if (!options.tag)
        return Refusal{QStringLiteral("Invalid Tag"),
                       QStringLiteral("You need to select a tag to use the Capitalization tool.")};
    const int method = options.method;
    CollectRun run = tagToolRun(
        std::move(source), *options.tag, [method](const QString &value) { return capitalizedValue(value, method); },
        QStringLiteral("The Capitalization Pattern you've entered doesn't lead to any changes in the tracks "
                       "you've selected."));
    run.tool = QStringLiteral("Capitalization");
    return run;
}

} // namespace tools
