// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/searchreplace.h"

#include "support/icuregex.h"
#include "tools/tagtoolrun.h"

#include <array>

namespace tools {

QString searchReplaceValue(const QString &value, const QString &search, const QString &replace,
                           bool caseInsensitive, const IcuRegex *regex)
{
    if (regex)
        return regex->replaceAll(value, replace);
    return QString(value).replace(search, replace, caseInsensitive ? Qt::CaseInsensitive : Qt::CaseSensitive);
}

ToolStart searchReplace(const SearchReplaceOptions &options, TrackSource source)
{
    if (!options.tag)
        return Refusal{QStringLiteral("Invalid Tag"),
                       QStringLiteral("You need to select a tag to use the Tag Search & Replace tool.")};
    const QString search = options.search;
    if (search.isEmpty())
        return Refusal{
            QStringLiteral("Empty Search String"),
            QStringLiteral("You can't perform a Search/Replace operation without entering a search string.")};
    const QString replace = options.replace;
    QString replacement = replace;
    const bool caseInsensitive = options.caseInsensitive;
    std::shared_ptr<const IcuRegex> regex;
    if (options.useRegular) {
        std::optional<IcuRegex> compiled = IcuRegex::compile(search, caseInsensitive);
        if (!compiled || !compiled->acceptsTemplate(replace))
            return Refusal{QStringLiteral("Invalid Search/Replace Pattern"),
                           QStringLiteral("The Search/Replace Regexp you've entered is invalid. Click on the "
                                          "Help icon in the lower left corner to learn more about the ICU "
                                          "Regexp syntax.")};
        regex = std::make_shared<const IcuRegex>(std::move(*compiled));
    } else if (caseInsensitive) {
        // Letter case is folded as the expressions and the playlist conditions
        // fold it, fully: Qt's own folding would not find "ß" for "SS".
        std::optional<IcuRegex> compiled = IcuRegex::literal(search, true);
        if (compiled) {
            regex = std::make_shared<const IcuRegex>(std::move(*compiled));
            replacement = IcuRegex::literalTemplate(replace);
        }
    }

    CollectRun run = tagToolRun(
        std::move(source), *options.tag,
        [=](const QString &value) -> std::optional<QString> {
            return searchReplaceValue(value, search, replacement, caseInsensitive, regex.get());
        },
        QStringLiteral("The Search/Replace Pattern you've entered doesn't lead to any changes in the tracks "
                       "you've selected."));
    run.tool = QStringLiteral("Search & Replace");
    return run;
}

std::optional<std::pair<QString, QString>> searchReplacePreset(int index)
{
    struct Preset {
        const char *search;
        const char *replace;
    };
    static constexpr std::array<Preset, 5> presets{{
        {"...(.*)", "$1"},
        {"(.*)\\[(.*)\\](.*)", "$1($2)$3"},
        {"The (.*)", "$1, The"},
        {"(.*), The", "The $1"},
        {"^(.*)", "0$1"},
    }};
    if (index < 1 || index > int(presets.size()))
        return std::nullopt;
    return std::pair{QString::fromLatin1(presets[index - 1].search), QString::fromLatin1(presets[index - 1].replace)};
}

} // namespace tools
