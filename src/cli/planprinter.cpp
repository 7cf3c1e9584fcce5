// SPDX-License-Identifier: GPL-3.0-or-later
#include "planprinter.h"

#include "operations/changelist.h"
#include "support/textutils.h"

#include <QDir>
#include <QJsonArray>
#include <QMap>

namespace cli {
namespace {

QString valueText(const QVariant &value)
{
    return value.isValid() && !value.isNull() ? printable(tagText(value)) : QStringLiteral("(none)");
}

QJsonValue jsonValue(const QVariant &value)
{
    return value.isValid() && !value.isNull() ? QJsonValue::fromVariant(value) : QJsonValue();
}

} // namespace

QString printable(const QString &text)
{
    return text::escapedControls(text, text::ControlStyle::Terminal);
}

void printNumericPlan(QTextStream &out, const QList<tools::NumericChange> &plan, const QString &tag)
{
    const int width = int(QString::number(plan.size()).size());
    for (qsizetype i = 0; i < plan.size(); ++i) {
        const tools::NumericChange &change = plan[i];
        out << QString::number(i + 1).rightJustified(width) << "  " << printable(change.title) << "  " << tag << ' '
            << valueText(change.oldValue) << " \u2192 " << valueText(change.newValue) << '\n';
    }
}

QJsonObject numericPlanJson(const QList<tools::NumericChange> &plan, const QString &tag)
{
    QJsonArray changes;
    for (const tools::NumericChange &change : plan)
        changes.append(QJsonObject{{QStringLiteral("track"), change.track.trackId},
                                   {QStringLiteral("title"), change.title},
                                   {QStringLiteral("tag"), tag},
                                   {QStringLiteral("old"), jsonValue(change.oldValue)},
                                   {QStringLiteral("new"), jsonValue(change.newValue)}});
    return QJsonObject{{QStringLiteral("tag"), tag}, {QStringLiteral("changes"), changes}};
}

void printRenamePlan(QTextStream &out, const QList<tools::PlannedRename> &plan, const QString &folder)
{
    const QDir base(folder);
    for (const tools::PlannedRename &entry : plan) {
        out << printable(base.relativeFilePath(entry.path));
        if (entry.outcome == tools::RenameOutcome::Renamed)
            out << " \u2192 " << printable(base.relativeFilePath(entry.target)) << '\n';
        else
            out << " keeps its name: " << tools::renameOutcomeText(entry.outcome) << '\n';
    }
}

QJsonObject renamePlanJson(const QList<tools::PlannedRename> &plan)
{
    QJsonArray files;
    for (const tools::PlannedRename &entry : plan)
        files.append(QJsonObject{
            {QStringLiteral("path"), entry.path},
            {QStringLiteral("newPath"), entry.target.isNull() ? QJsonValue() : QJsonValue(entry.target)},
            {QStringLiteral("outcome"), tools::renameOutcomeText(entry.outcome)}});
    return QJsonObject{{QStringLiteral("files"), files}};
}

QString renameSummary(const QList<tools::PlannedRename> &files)
{
    int renamed = 0;
    QMap<QString, int> kept;
    for (const tools::PlannedRename &entry : files) {
        if (entry.outcome == tools::RenameOutcome::Renamed)
            ++renamed;
        else
            ++kept[tools::renameOutcomeText(entry.outcome)];
    }
    const int keptCount = int(files.size()) - renamed;
    QString text = QStringLiteral("%1 renamed; %2 kept their names").arg(renamed).arg(keptCount);
    if (keptCount > 0) {
        QStringList reasons;
        for (auto it = kept.cbegin(); it != kept.cend(); ++it)
            reasons << QStringLiteral("%1 %2").arg(it.value()).arg(it.key());
        text += QStringLiteral(" (%1)").arg(reasons.join(QStringLiteral(", ")));
    }
    return text + QLatin1Char('.');
}

} // namespace cli
