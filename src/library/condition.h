// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

class IcuRegex;

// The thirteen conditions on which the playlist manager and smart playlists
// test one tag value. Lengths count UTF-16 code units and numbers are signed
// 32-bit leading integers (text::intValue), because that is how the
// conditions have always been understood.
namespace condition {

enum Index : int {
    Equals = 0,
    NotEquals,
    Contains,
    NotContains,
    BeginsWith,
    EndsWith,
    MatchesRegex,
    LongerThan,
    ShorterThan,
    MoreLinesThan,
    FewerLinesThan,
    GreaterThan,
    LessThan,
    Count
};

// Whether value meets condition with operand. caseInsensitive concerns the
// text conditions; pattern is the operand compiled once with the same case
// flag (IcuRegex::compile) and is needed only for MatchesRegex, where a null
// pattern matches nothing. Conditions outside 0..12 never match.
bool matches(int condition, const QString &value, const QString &operand, bool caseInsensitive,
             const IcuRegex *pattern);

} // namespace condition
