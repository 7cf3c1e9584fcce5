// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <optional>

class AppDelegate;
class IcuRegex;

namespace tools {

// The portion of the source value: 0 all of it, 1 its first count characters,
// 2 all but its first count characters, 3 every whole match of the regular
// expression joined in order (empty without an expression). Characters are
// UTF-16 code units; a cut never leaves half a surrogate pair. Nothing for
// any other portion.
std::optional<QString> portionOf(const QString &source, int portion, int count, const IcuRegex *regex);

// The new target value: 0 the portion alone, 1 target + delimiter + portion,
// 2 portion + delimiter + target. Nothing for any other option.
std::optional<QString> placedPortion(const QString &target, const QString &portion, int option,
                                     const QString &delimiter);

// The tool's run button. Main thread.
void performMove(AppDelegate &app);

} // namespace tools
