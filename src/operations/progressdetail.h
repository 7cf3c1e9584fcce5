// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <utility>

// One detail line of the progress sheet: the text itself, or one step of a
// walk over many tracks. A walk reports every track while only a few lines are
// ever shown, so a step's text is built only when it is shown.
struct ProgressDetail {
    QString text;      // the line, or a step's format with %1 %2 %3
    int position = -1; // a step's %1; -1 when text is the line itself
    int total = 0;     // a step's %2
    QString title;     // a step's %3

    ProgressDetail() = default;
    ProgressDetail(QString line) : text(std::move(line)) {}
    ProgressDetail(QString format, int position, int total, QString title)
        : text(std::move(format)), position(position), total(total), title(std::move(title))
    {
    }

    QString toString() const { return position < 0 ? text : text.arg(position).arg(total).arg(title); }
};
