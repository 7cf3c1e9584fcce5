// SPDX-License-Identifier: GPL-3.0-or-later
#include "renamesummary.h"

#include "operations/runreport.h"

#include <QMap>

namespace tools {

QString renameSummary(const QList<PlannedRename> &files, bool preview)
{
    int renamed = 0;
    QMap<int, int> kept; // by reason, in the order of the outcomes
    for (const PlannedRename &file : files) {
        if (file.outcome == RenameOutcome::Renamed)
            ++renamed;
        else
            ++kept[int(file.outcome)];
    }
    if (files.isEmpty())
        return QStringLiteral("No music files to rename");
    const int keeping = int(files.size()) - renamed;
    QStringList reasons;
    for (auto it = kept.cbegin(); it != kept.cend(); ++it) {
        const QString reason = renameOutcomeText(RenameOutcome(it.key()));
        reasons << (kept.size() == 1 ? reason : runreport::number(it.value()) + QLatin1Char(' ') + reason);
    }
    const QString keep = keeping == 1 ? (preview ? QStringLiteral("would keep its name") : QStringLiteral("kept its name"))
                                      : (preview ? QStringLiteral("would keep their names")
                                                 : QStringLiteral("kept their names"));
    const QString why = QStringLiteral(" (%1)").arg(reasons.join(QStringLiteral(", ")));
    if (renamed == 0)
        return (preview ? QStringLiteral("No file would be renamed: ") : QStringLiteral("Nothing was renamed: ")) +
               runreport::counted(keeping, QStringLiteral("file"), QStringLiteral("files")) + QLatin1Char(' ') + keep +
               why;
    QString text = runreport::counted(renamed, QStringLiteral("file"), QStringLiteral("files")) +
                   (preview ? QStringLiteral(" would be renamed") : QStringLiteral(" renamed"));
    if (keeping > 0)
        text += QStringLiteral(", %1 %2").arg(runreport::number(keeping), keep) + why;
    return text;
}

} // namespace tools
