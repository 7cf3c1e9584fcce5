// SPDX-License-Identifier: GPL-3.0-or-later
#include "condition.h"

#include <unicode/locid.h>
#include <unicode/regex.h>
#include <unicode/unistr.h>

#include <algorithm>
#include <limits>

namespace condition {

namespace {

icu::UnicodeString unicode(const QString &s)
{
    return icu::UnicodeString(reinterpret_cast<const char16_t *>(s.utf16()), int32_t(s.size()));
}

// Full Unicode lower-casing as the platform did it; the root locale keeps the
// result independent of the person's language.
icu::UnicodeString lowered(const QString &s)
{
    return unicode(s).toLower(icu::Locale::getRoot());
}

bool isLineBreak(QChar c)
{
    switch (c.unicode()) {
    case 0x000a: // line feed
    case 0x000b: // vertical tab
    case 0x000c: // form feed
    case 0x000d: // carriage return
    case 0x0085: // next line
    case 0x2028: // line separator
    case 0x2029: // paragraph separator
        return true;
    default:
        return false;
    }
}

} // namespace

qsizetype lineCount(const QString &text)
{
    return std::count_if(text.begin(), text.end(), isLineBreak) + 1;
}

qint32 leadingInteger(const QString &text)
{
    qsizetype i = 0;
    while (i < text.size() && text.at(i).isSpace())
        ++i;
    bool negative = false;
    if (i < text.size() && (text.at(i) == u'+' || text.at(i) == u'-')) {
        negative = text.at(i) == u'-';
        ++i;
    }
    qint64 magnitude = 0;
    constexpr qint64 limit = qint64(std::numeric_limits<qint32>::max()) + 1;
    for (; i < text.size() && text.at(i) >= u'0' && text.at(i) <= u'9'; ++i) {
        magnitude = magnitude * 10 + (text.at(i).unicode() - u'0');
        if (magnitude > limit)
            magnitude = limit;
    }
    const qint64 value = negative ? -magnitude : magnitude;
    return qint32(std::clamp<qint64>(value, std::numeric_limits<qint32>::min(), std::numeric_limits<qint32>::max()));
}

bool contains(const QString &text, const QString &needle, bool caseInsensitive)
{
    if (needle.isEmpty())
        return false;
    if (!caseInsensitive)
        return text.contains(needle);
    // Case folding rather than lower-casing: it is the mapping meant for
    // caseless matching ("STRASSE" finds "straße").
    icu::UnicodeString folded = unicode(text);
    icu::UnicodeString foldedNeedle = unicode(needle);
    folded.foldCase();
    foldedNeedle.foldCase();
    return folded.indexOf(foldedNeedle) >= 0;
}

std::unique_ptr<icu::RegexPattern> compilePattern(const QString &pattern, bool caseInsensitive)
{
    UErrorCode status = U_ZERO_ERROR;
    UParseError parseError;
    uint32_t flags = UREGEX_MULTILINE | (caseInsensitive ? UREGEX_CASE_INSENSITIVE : 0);
    std::unique_ptr<icu::RegexPattern> compiled(icu::RegexPattern::compile(unicode(pattern), flags, parseError, status));
    if (U_FAILURE(status))
        return nullptr;
    return compiled;
}

bool matches(int condition, const QString &value, const QString &operand, bool caseInsensitive,
             const icu::RegexPattern *pattern)
{
    switch (condition) {
    case Equals:
    case NotEquals: {
        const bool equal = caseInsensitive ? lowered(value) == lowered(operand) : value == operand;
        return (condition == Equals) == equal;
    }
    case Contains:
        return contains(value, operand, caseInsensitive);
    case NotContains:
        return !contains(value, operand, caseInsensitive);
    case BeginsWith:
    case EndsWith: {
        if (operand.isEmpty())
            return false;
        const icu::UnicodeString v = caseInsensitive ? lowered(value) : unicode(value);
        const icu::UnicodeString c = caseInsensitive ? lowered(operand) : unicode(operand);
        return condition == BeginsWith ? v.startsWith(c) : v.endsWith(c);
    }
    case MatchesRegex: {
        if (!pattern)
            return false;
        UErrorCode status = U_ZERO_ERROR;
        const icu::UnicodeString text = unicode(value);
        std::unique_ptr<icu::RegexMatcher> matcher(pattern->matcher(text, status));
        return U_SUCCESS(status) && matcher->find(0, status) && U_SUCCESS(status);
    }
    case LongerThan:
        return value.size() > leadingInteger(operand);
    case ShorterThan:
        return value.size() < leadingInteger(operand);
    case MoreLinesThan:
        return lineCount(value) > leadingInteger(operand);
    case FewerLinesThan:
        return lineCount(value) < leadingInteger(operand);
    case GreaterThan:
        return leadingInteger(value) > leadingInteger(operand);
    case LessThan:
        return leadingInteger(value) < leadingInteger(operand);
    default:
        return false;
    }
}

} // namespace condition
