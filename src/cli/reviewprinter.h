// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QJsonObject>
#include <QTextStream>

class ChangesModel;

namespace cli {

// The review as a table a person reads: number, check mark, then the visible
// columns of the model (membership lists have no value columns), after the
// summary line. Line breaks and tabs inside values are shown escaped so each
// record stays on one line.
void printReview(QTextStream &out, const ChangesModel &model, const QString &summary);

// The same review for programs.
QJsonObject reviewJson(const ChangesModel &model, const QString &summary);

} // namespace cli
