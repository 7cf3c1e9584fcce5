// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/datamover.h"

#include "app/appdelegate.h"
#include "operations/collector.h"
#include "support/icuregex.h"
#include "support/namedexception.h"
#include "support/textutils.h"

namespace tools {
namespace {

enum Action { Swap = 0 };
enum Portion { WholeValue = 0, FirstCharacters = 1, ExceptFirstCharacters = 2, RegexMatches = 3 };

} // namespace

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
    case 0:
        return portion;
    case 1:
        return target + delimiter + portion;
    case 2:
        return portion + delimiter + target;
    default:
        return std::nullopt;
    }
}

void performMove(AppDelegate &app)
{
    app.endEditing();
    const int action = app.selectedAction();
    const int portion = app.selectedPortion();
    std::shared_ptr<const IcuRegex> regex;
    if (action != Swap && portion == RegexMatches) {
        // No expression at all is no pattern to match with, not one that matches everywhere.
        std::optional<IcuRegex> compiled;
        if (!app.searchString().isEmpty())
            compiled = IcuRegex::compile(app.searchString(), app.caseInsensitive());
        if (!compiled) {
            collector::refuse(app.port(), QStringLiteral("Invalid RegExp Pattern"),
                              QStringLiteral("The Regexp you've entered is invalid. Click on the Help icon in the "
                                             "lower left corner to learn more about the ICU Regexp syntax."));
            return;
        }
        regex = std::make_shared<const IcuRegex>(std::move(*compiled));
    }
    const int count = text::intValue(app.portionString());
    if (action != Swap && (portion == FirstCharacters || portion == ExceptFirstCharacters) && count <= 0) {
        collector::refuse(app.port(), QStringLiteral("Invalid Data"),
                          QStringLiteral("You have to enter a positive number into Tag Portion field to use the "
                                         "'(Except) First Characters' Tag Portion Option."));
        return;
    }

    const int sourceIndex = app.selectedTag();
    const int targetIndex = app.selectedTargetTag();
    const bool validTags = sourceIndex >= 0 && sourceIndex < app.allTags().size() && targetIndex >= 0
        && targetIndex < app.tags().size();
    const QString sourceKey = validTags ? app.allTags().at(sourceIndex) : QString();
    const QString targetKey = validTags ? app.tags().at(targetIndex) : QString();
    const int option = app.selectedOption();
    const QString delimiter = app.delimiterString();
    static const QString locationKey = QStringLiteral("location");

    CollectRun run;
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
        if (action == Swap) {
            if (target != source) {
                records << collector::tagRecord(track, values, sourceKey, source, target);
                records << collector::tagRecord(track, values, targetKey, target, source);
            }
            return;
        }
        if (action != 1 && action != 2)
            return;
        const std::optional<QString> part = portionOf(source, portion, count, regex.get());
        if (!part)
            return;
        const std::optional<QString> newTarget = placedPortion(target, *part, option, delimiter);
        if (newTarget && *newTarget != target)
            records << collector::tagRecord(track, values, targetKey, target, *newTarget);
    };
    collector::collectChanges(app, std::move(run));
}

} // namespace tools
