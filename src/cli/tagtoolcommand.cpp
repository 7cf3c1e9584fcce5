// SPDX-License-Identifier: GPL-3.0-or-later
#include "tagtoolcommand.h"

#include "app/appdelegate.h"
#include "files/ratingconventions.h"
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

namespace {

qsizetype tagIndex(const QStringList &keys, const QStringList &displayNames, const QString &name)
{
    const QString value = name.trimmed();
    // The track's title is "name" to the library; people call it the title.
    const QString wanted = value.compare(QLatin1String("title"), Qt::CaseInsensitive) == 0 &&
                                   !keys.contains(value, Qt::CaseInsensitive)
                               ? QStringLiteral("name")
                               : value;
    qsizetype index = keys.indexOf(wanted);
    for (qsizetype i = 0; i < keys.size() && index < 0; ++i)
        if (keys.at(i).compare(wanted, Qt::CaseInsensitive) == 0 ||
            displayNames.value(i).compare(wanted, Qt::CaseInsensitive) == 0)
            index = i;
    return index;
}

} // namespace

std::optional<QString> tagKeyNamed(const QStringList &keys, const QStringList &displayNames, const QString &name)
{
    const qsizetype index = tagIndex(keys, displayNames, name);
    return index >= 0 ? std::optional<QString>(keys.at(index)) : std::nullopt;
}

std::optional<int> requiredTag(ToolContext &context, const QCommandLineParser &parser, const QString &option,
                               const QStringList &keys, const QStringList &displayNames, ExitCode *failure)
{
    if (!parser.isSet(option))
        return requiredChoice(context, parser, option, keys, failure);
    const qsizetype index = tagIndex(keys, displayNames, parser.value(option));
    if (index >= 0)
        return int(index);
    return context.choiceOption(parser, option, keys, failure);
}

bool setTagOption(ToolContext &context, const QCommandLineParser &parser, ExitCode *failure)
{
    AppDelegate &app = context.app();
    const std::optional<int> tag =
        requiredTag(context, parser, QStringLiteral("tag"), app.allTags(), app.allReadableTags(), failure);
    if (!tag)
        return false;
    app.setSelectedTag(*tag);
    return true;
}

void addRatingProfileOption(QCommandLineParser &parser)
{
    parser.addOption({QStringLiteral("rating-profile"),
                      QStringLiteral("Whose fields win when a file holds several ratings or play counts: %1 "
                                     "(default: the saved RatingProfile setting, then FMPS, then the surest POPM).")
                          .arg(ratingconventions::profileNames().join(QStringLiteral(", "))),
                      QStringLiteral("NAME")});
}

std::optional<QString> ratingProfileOption(ToolContext &context, const QCommandLineParser &parser, ExitCode *failure)
{
    if (!parser.isSet(QStringLiteral("rating-profile")))
        return ratingconventions::savedProfile();
    const std::optional<int> index =
        context.choiceOption(parser, QStringLiteral("rating-profile"), ratingconventions::profileNames(), failure);
    if (!index)
        return std::nullopt;
    return ratingconventions::profileNames().at(*index);
}

} // namespace cli
