// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "library/trackref.h"
#include "operations/choices.h"

#include <QList>
#include <QString>
#include <QVariant>
#include <functional>
#include <memory>

class MusicLibrary;
class ProgressSink;
class Run;

namespace tools {

// The person's choice of selectedNumeric: 0 sets, 1 adds, anything else subtracts.
using choices::NumericMode;
using choices::NumericSet;
using choices::NumericAdd;
using choices::NumericSubtract;

// The changer's options, read when the person starts it.
struct NumericOptions {
    QString key;   // the integer tag
    int mode = NumericSet;
    QVariant number; // invalid or null when no number was entered
};

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

// What changeNumbers would write with these options, without writing: one
// entry per selected track of the library, read with one query. Throws
// LibraryError when the library cannot be read.
QList<NumericChange> numericPlan(const NumericOptions &options, MusicLibrary &library);

// Sets, raises or lowers one integer tag of the library's selection, writing
// directly under the progress (no review); refused without a number. The
// library is opened on the worker. Main thread only.
std::shared_ptr<Run> changeNumbers(const NumericOptions &options,
                                   std::function<std::shared_ptr<MusicLibrary>()> library, ProgressSink &progress);

} // namespace tools
