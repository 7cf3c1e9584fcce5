// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/capitalization.h"

#include "app/appdelegate.h"
#include "support/textutils.h"
#include "tools/tagtoolrun.h"

namespace tools {

std::optional<QString> capitalizedValue(const QString &value, int method)
{
    switch (method) {
    case 0:
        return text::titlecaseString(value);
    case 1:
        return text::uppercaseString(value);
    case 2:
        return text::lowercaseString(value);
    case 3:
        return text::capitalizedString(value);
    case 4:
        return text::propercaseString(value);
    default:
        return std::nullopt;
    }
}

void performCapitalization(AppDelegate &app)
{
    app.endEditing();
    const std::optional<QString> key = textTagKey(app);
    if (!key) {
        collector::refuse(app.port(), QStringLiteral("Invalid Tag"),
                          QStringLiteral("You need to select a tag to use the Capitalization tool."));
        return;
    }
    const int method = app.selectedCapitalizationMethod();
    CollectRun run = tagToolRun(
        *key, [method](const QString &value) { return capitalizedValue(value, method); },
        QStringLiteral("The Capitalization Pattern you've entered doesn't lead to any changes in the tracks "
                       "you've selected."));
    collector::collectChanges(app, std::move(run));
}

} // namespace tools
