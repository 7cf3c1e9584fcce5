// SPDX-License-Identifier: GPL-3.0-or-later
#include "condition.h"

#include "support/textutils.h"

#include <unicode/regex.h>
#include <unicode/unistr.h>

namespace condition {

namespace {

icu::UnicodeString unicode(const QString &s)
{
    return icu::UnicodeString(reinterpret_cast<const char16_t *>(s.utf16()), int32_t(s.size()));
}

QString caseFor(const QString &s, bool caseInsensitive)
{
    return caseInsensitive ? text::lowercaseString(s) : s;
}

} // namespace

std::unique_ptr<icu::RegexPattern> compilePattern(const QString &pattern, bool caseInsensitive)
{
    UErrorCode status = U_ZERO_ERROR;
    UParseError parseError;
    const uint32_t flags = UREGEX_MULTILINE | (caseInsensitive ? UREGEX_CASE_INSENSITIVE : 0);
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
        return caseFor(value, caseInsensitive) == caseFor(operand, caseInsensitive);
    case NotEquals:
        return caseFor(value, caseInsensitive) != caseFor(operand, caseInsensitive);
    case Contains:
        return text::contains(value, operand, caseInsensitive);
    case NotContains:
        return !text::contains(value, operand, caseInsensitive);
    case BeginsWith:
        return !operand.isEmpty() && caseFor(value, caseInsensitive).startsWith(caseFor(operand, caseInsensitive));
    case EndsWith:
        return !operand.isEmpty() && caseFor(value, caseInsensitive).endsWith(caseFor(operand, caseInsensitive));
    case MatchesRegex: {
        if (!pattern)
            return false;
        UErrorCode status = U_ZERO_ERROR;
        const icu::UnicodeString subject = unicode(value);
        std::unique_ptr<icu::RegexMatcher> matcher(pattern->matcher(subject, status));
        return U_SUCCESS(status) && matcher->find(0, status) && U_SUCCESS(status);
    }
    case LongerThan:
        return value.size() > text::intValue(operand);
    case ShorterThan:
        return value.size() < text::intValue(operand);
    case MoreLinesThan:
        return text::lines(value).size() > text::intValue(operand);
    case FewerLinesThan:
        return text::lines(value).size() < text::intValue(operand);
    case GreaterThan:
        return text::intValue(value) > text::intValue(operand);
    case LessThan:
        return text::intValue(value) < text::intValue(operand);
    default:
        return false;
    }
}

} // namespace condition
