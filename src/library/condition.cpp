// SPDX-License-Identifier: GPL-3.0-or-later
#include "condition.h"

#include "support/icuregex.h"
#include "support/textutils.h"

namespace condition {

namespace {

QString caseFor(const QString &s, bool caseInsensitive)
{
    return caseInsensitive ? text::lowercaseString(s) : s;
}

} // namespace

bool matches(int condition, const QString &value, const QString &operand, bool caseInsensitive,
             const IcuRegex *pattern)
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
    case MatchesRegex:
        return pattern && pattern->findsMatch(value);
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
