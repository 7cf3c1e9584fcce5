// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "tools/filenamechanger.h"
#include "tools/numerictagchanger.h"

#include <QJsonObject>
#include <QTextStream>

namespace cli {

// The text as the terminal is to show it: control and bidi characters escaped.
QString printable(const QString &text);

// What the numeric changer would write: track, tag, old → new.
void printNumericPlan(QTextStream &out, const QList<tools::NumericChange> &plan, const QString &tag);
QJsonObject numericPlanJson(const QList<tools::NumericChange> &plan, const QString &tag);

// What a rename run would do: each file's old name and new name, or why it
// keeps its name. Paths are shown relative to folder.
void printRenamePlan(QTextStream &out, const QList<tools::PlannedRename> &plan, const QString &folder);
QJsonObject renamePlanJson(const QList<tools::PlannedRename> &plan);

// "3 renamed; 2 kept their names (1 name taken, 1 unchanged)."
QString renameSummary(const QList<tools::PlannedRename> &files);

} // namespace cli
