// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

class ChangesModel;

namespace cli {

// The review as a table a person reads: number, check mark, then the visible
// columns of the model (membership lists have no value columns) and the
// track's file, its path cut from the left when long, after the summary line. Control and bidi characters inside values are shown escaped,
// so each record stays on one line and nothing in a tag can drive the terminal.
void printReview(QTextStream &out, const ChangesModel &model, const QString &summary);

// The same review for programs.
QJsonObject reviewJson(const ChangesModel &model, const QString &summary);

// The document, indented, with every control and bidi character escaped as
// JSON escapes it, so that printing it cannot drive a terminal either.
void printJson(QTextStream &out, const QJsonDocument &document);

} // namespace cli
