// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <memory>
#include <unicode/uversion.h>

U_NAMESPACE_BEGIN
class RegexPattern;
U_NAMESPACE_END

// The thirteen conditions on which the playlist manager and smart playlists
// test one tag value. Lengths count UTF-16 code units and numbers are signed
// 32-bit, because that is how the conditions have always been understood.
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

// The whole number a text starts with: leading white space and one sign are
// skipped, digits are read up to the first other character; 0 when there are
// none. Values beyond 32 bits saturate.
qint32 leadingInteger(const QString &text);

// The number of pieces between single line-break characters (line feed,
// carriage return, form feed, vertical tab, next line, line and paragraph
// separators): "a\r\nb" has three lines, the empty text one.
qsizetype lineCount(const QString &text);

// Whether needle occurs in text, ignoring letter case when asked. An empty
// needle is never found.
bool contains(const QString &text, const QString &needle, bool caseInsensitive);

// Compiles an ICU expression with the multiline flag, and the case flag when
// asked. Null when the pattern does not compile.
std::unique_ptr<icu::RegexPattern> compilePattern(const QString &pattern, bool caseInsensitive);

// Whether value meets condition with operand. caseInsensitive concerns the
// text conditions; pattern is the compiled operand and is needed only for
// MatchesRegex (a null pattern matches nothing). Conditions outside 0..12 never match.
bool matches(int condition, const QString &value, const QString &operand, bool caseInsensitive,
             const icu::RegexPattern *pattern);

} // namespace condition
