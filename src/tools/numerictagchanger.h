// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "library/trackref.h"

#include <QList>
#include <QString>
#include <QVariant>

class AppDelegate;

namespace tools {

// The person's choice of selectedNumeric: 0 sets, 1 adds, anything else subtracts.
enum NumericMode { NumericSet = 0, NumericAdd = 1, NumericSubtract = 2 };

// The value the changer writes for a track whose tag holds current. Setting
// writes the entered number as it was entered. Adding and subtracting take
// both as 32-bit integers (absent counts as 0, a fraction is cut toward zero:
// 2.7 adds 2) and give an integer; a result beyond the 32-bit range stops at
// its bound instead of wrapping round to the opposite sign.
QVariant numericResult(int mode, const QVariant &current, const QVariant &entered);

// One track the changer would write: its title, the tag's current value and the value it would get.
struct NumericChange {
    TrackRef track;
    QString title;
    QVariant oldValue;
    QVariant newValue;
};

// What performNumeric would write with the options as they stand, without
// writing: one entry per selected track, read with one query. Throws
// LibraryError when the library cannot be read.
QList<NumericChange> numericPlan(AppDelegate &app);

// Sets, raises or lowers one integer tag of the library's selection, writing
// directly under the progress sheet. Main thread only.
void performNumeric(AppDelegate &app);

// The numbering command: it has no behaviour and changes nothing.
void performNumbering(AppDelegate &app);

} // namespace tools
