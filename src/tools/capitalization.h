// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "operations/collector.h"

#include <QString>
#include <optional>

namespace tools {

// The value in the letter case of the pop-up's method: 0 title case, 1 upper
// case, 2 lower case, 3 every word capitalized, 4 proper case. Nothing for
// any other method.
std::optional<QString> capitalizedValue(const QString &value, int method);

// The tool's options, read when the person starts it.
struct CapitalizationOptions {
    std::optional<QString> tag; // the text tag; nothing when the pop-up points beyond the text tags
    int method = choices::TitleCase;
};

ToolStart capitalize(const CapitalizationOptions &options, TrackSource source);

} // namespace tools
