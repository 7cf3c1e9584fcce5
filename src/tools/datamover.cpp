// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/datamover.h"

#include "support/icuregex.h"
#include "support/namedexception.h"
#include "support/textutils.h"

namespace tools {
using namespace choices;

std::optional<QString> portionOf(const QString &source, int portion, int count, const IcuRegex *regex)
{
    switch (portion) {
    case WholeValue:
        return source;
    case FirstCharacters:
        return text::clamp(source, quint32(std::max(count, 0)));
    case ExceptFirstCharacters: {
        if (count >= source.size())
            return QString();
        QString rest = source.mid(std::max(count, 0));
        if (!rest.isEmpty() && rest.front().isLowSurrogate())
            rest.remove(0, 1); // the other half went with the cut
        return rest;
    }
    case RegexMatches:
        return regex ? regex->concatenatedMatches(source) : QString();
    default:
        return std::nullopt;
    }
}

std::optional<QString> placedPortion(const QString &target, const QString &portion, int option,
                                     const QString &delimiter)
{
    switch (option) {
    case ReplaceTarget:
        return portion;
    case AppendToTarget:
        return target + delimiter + portion;
    case PrependToTarget:
        return portion + delimiter + target;
    default:
        return std::nullopt;
    }
}

ToolStart moveData(const MoverOptions &options, TrackSource source)
{
    const int action = options.action;
    const int portion = options.portion;
    std::shared_ptr<const IcuRegex> regex;
    if (action != SwapValues && portion == RegexMatches) {
        // No expression at all is no pattern to match with, not one that matches everywhere.
        std::optional<IcuRegex> compiled;
        if (!options.search.isEmpty())
            compiled = IcuRegex::compile(options.search, options.caseInsensitive);
        if (!compiled)
            return Refusal{QStringLiteral("Invalid RegExp Pattern"),
                           QStringLiteral("The Regexp you've entered is invalid. Click on the Help icon in the "
                                          "lower left corner to learn more about the ICU Regexp syntax.")};
        regex = std::make_shared<const IcuRegex>(std::move(*compiled));
    }
    const int count = text::intValue(options.portionString);
    if (action != SwapValues && (portion == FirstCharacters || portion == ExceptFirstCharacters) && count <= 0)
        return Refusal{QStringLiteral("Invalid Data"),
                       QStringLiteral("You have to enter a positive number into Tag Portion field to use the "
                                      "'(Except) First Characters' Tag Portion Option.")};
    const bool validTags = options.sourceTag && options.targetTag;
    const QString sourceKey = options.sourceTag.value_or(QString());
    const QString targetKey = options.targetTag.value_or(QString());
    const int option = options.placement;
    const QString delimiter = options.delimiter;

    static const QString locationKey = QStringLiteral("location");

    CollectRun run;
    run.source = std::move(source);
    if (validTags)
        run.keys = QStringList{sourceKey, targetKey, locationKey};
    run.noChangesMessage = QStringLiteral(
        "The Data Move Pattern you've entered doesn't lead to any changes in the tracks you've selected.");
    run.step = [=](const MusicTrack &track, const TrackValues &values, QList<ChangeRecord> &records) {
        if (!validTags)
            throw NamedException(QStringLiteral("Invalid Tag"),
                                 QStringLiteral("The source or target tag of the Data Mover is not a tag."));
        const QVariant sourceValue = values.value(sourceKey);
        const QVariant targetValue = values.value(targetKey);
        if (!values.value(locationKey).isValid() || !sourceValue.isValid() || !targetValue.isValid())
            return;
        const QString source = tagText(sourceValue); // an integer tag moves as its decimal text
        const QString target = targetValue.toString();
        if (action == SwapValues) {
            if (target != source) {
                records << collector::tagRecord(track, values, sourceKey, source, target);
                records << collector::tagRecord(track, values, targetKey, target, source);
            }
            return;
        }
        if (action != CopyPortion && action != MovePortion)
            return;
        const std::optional<QString> part = portionOf(source, portion, count, regex.get());
        if (!part)
            return;
        const std::optional<QString> newTarget = placedPortion(target, *part, option, delimiter);
        if (newTarget && *newTarget != target)
            records << collector::tagRecord(track, values, targetKey, target, *newTarget);
    };
    run.tool = QStringLiteral("Data Mover");
    return run;
}

} // namespace tools
