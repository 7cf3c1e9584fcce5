// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <optional>

class AppDelegate;

namespace tools {

// The value in the letter case of the pop-up's method: 0 title case, 1 upper
// case, 2 lower case, 3 every word capitalized, 4 proper case. Nothing for
// any other method.
std::optional<QString> capitalizedValue(const QString &value, int method);

// The tool's run button. Main thread.
void performCapitalization(AppDelegate &app);

} // namespace tools
