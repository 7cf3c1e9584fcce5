// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "operations/collector.h"

#include <QString>
#include <optional>
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

// The tool's options, read when the person starts it.
struct MoverOptions {
    // The source tag (any tag) and the target tag (a text tag); nothing when
    // either pop-up points beyond its list.
    std::optional<QString> sourceTag;
    std::optional<QString> targetTag;
    int action = choices::SwapValues;
    int portion = choices::WholeValue;
    int placement = choices::ReplaceTarget;
    QString search; // the expression of the RegexMatches portion
    bool caseInsensitive = false;
    QString portionString;
    QString delimiter;
};

ToolStart moveData(const MoverOptions &options, TrackSource source);

} // namespace tools
