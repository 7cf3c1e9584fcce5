// SPDX-License-Identifier: GPL-3.0-or-later
#include "library/condition.h"

#include <gtest/gtest.h>
#include "support/icuregex.h"

using namespace condition;

namespace {

bool test(int c, const QString &value, const QString &operand, bool insensitive = false)
{
    return matches(c, value, operand, insensitive, nullptr);
}

bool regex(const QString &value, const QString &pattern, bool insensitive = false)
{
    const std::optional<IcuRegex> compiled = IcuRegex::compile(pattern, insensitive);
    EXPECT_TRUE(compiled.has_value()) << pattern.toStdString();
    return compiled && matches(MatchesRegex, value, pattern, insensitive, &*compiled);
}

TEST(Condition, EqualityWithAndWithoutCase)
{
    EXPECT_TRUE(test(Equals, "Beatles", "Beatles"));
    EXPECT_FALSE(test(Equals, "BEATLES", "beatles"));
    EXPECT_TRUE(test(Equals, "BEATLES", "beatles", true));
    EXPECT_TRUE(test(Equals, "ÉCOLE", "école", true));
    EXPECT_TRUE(test(Equals, "", ""));
    EXPECT_FALSE(test(NotEquals, "", ""));
    EXPECT_TRUE(test(NotEquals, "BEATLES", "beatles"));
    EXPECT_FALSE(test(NotEquals, "BEATLES", "beatles", true));
    // No normalisation: a precomposed é differs from e plus a combining accent.
    EXPECT_FALSE(test(Equals, "\u00e9", "e\u0301"));
}

TEST(Condition, ContainmentAndTheEmptyOperand)
{
    EXPECT_TRUE(test(Contains, "Beatles", "BEAT", true));
    EXPECT_FALSE(test(Contains, "Beatles", "BEAT", false));
    EXPECT_TRUE(test(Contains, "Straße", "STRASSE", true)) << "case folding, not just lower-casing";
    EXPECT_FALSE(test(Contains, "anything", ""));
    EXPECT_FALSE(test(Contains, "", ""));
    EXPECT_TRUE(test(NotContains, "anything", ""));
    EXPECT_TRUE(test(NotContains, "", ""));
    EXPECT_TRUE(test(NotContains, "Beatles", "stones"));
    EXPECT_FALSE(test(NotContains, "Beatles", "EATL", true));
}

TEST(Condition, PrefixAndSuffix)
{
    EXPECT_TRUE(test(BeginsWith, "The Who", "The"));
    EXPECT_FALSE(test(BeginsWith, "The Who", "the"));
    EXPECT_TRUE(test(BeginsWith, "The Who", "the", true));
    EXPECT_FALSE(test(BeginsWith, "The Who", ""));
    EXPECT_FALSE(test(BeginsWith, "", ""));
    EXPECT_TRUE(test(EndsWith, "Live.mp3", ".MP3", true));
    EXPECT_FALSE(test(EndsWith, "Live.mp3", ".MP3"));
    EXPECT_FALSE(test(EndsWith, "Live", ""));
    EXPECT_FALSE(test(EndsWith, "mp3", "a.mp3"));
}

TEST(Condition, RegularExpressionsAreMultiline)
{
    EXPECT_TRUE(regex("first\nsecond", "^second$"));
    EXPECT_TRUE(regex("ABC", "b", true));
    EXPECT_FALSE(regex("ABC", "b", false));
    EXPECT_TRUE(regex(QString("ab").repeated(500), "b")) << "many matches still make one match";
    EXPECT_FALSE(regex("", "."));
    EXPECT_TRUE(regex("", "^$"));
    EXPECT_FALSE(matches(MatchesRegex, "anything", "x", false, nullptr));
}

TEST(Condition, LengthsCountUtf16UnitsAndAreStrict)
{
    EXPECT_TRUE(test(LongerThan, "sixsix", "5"));
    EXPECT_FALSE(test(LongerThan, "fivee", "5"));
    EXPECT_TRUE(test(ShorterThan, "four", "5"));
    EXPECT_FALSE(test(ShorterThan, "fivee", "5"));
    // One emoji is two UTF-16 code units.
    EXPECT_TRUE(test(LongerThan, "\U0001F3B5", "1"));
    EXPECT_TRUE(test(ShorterThan, "", "1"));
    EXPECT_TRUE(test(ShorterThan, "abc", "5 words"));
    EXPECT_FALSE(test(ShorterThan, "abc", "words"));
}

TEST(Condition, LineConditions)
{
    EXPECT_TRUE(test(MoreLinesThan, "one\ntwo", "1"));
    EXPECT_FALSE(test(MoreLinesThan, "one", "1"));
    EXPECT_TRUE(test(FewerLinesThan, "", "2"));
    EXPECT_FALSE(test(FewerLinesThan, "", "1"));
    EXPECT_TRUE(test(MoreLinesThan, "a\r\nb", "2")) << "CR LF counts as two breaks";
    EXPECT_FALSE(test(MoreLinesThan, "a\r\nb", "3"));
    EXPECT_TRUE(test(FewerLinesThan, "a\nb\rc\fd\ve\u0085f\u2028g\u2029h", "9"));
    EXPECT_FALSE(test(FewerLinesThan, "a\nb\rc\fd\ve\u0085f\u2028g\u2029h", "8"));
    EXPECT_TRUE(test(MoreLinesThan, "ends with a break\n", "1"));
}

TEST(Condition, NumbersCompareAsSigned32Bits)
{
    EXPECT_TRUE(test(GreaterThan, "2001", "2000"));
    EXPECT_FALSE(test(GreaterThan, "2000", "2000"));
    EXPECT_FALSE(test(LessThan, "2000", "2000"));
    EXPECT_TRUE(test(LessThan, "", "1")) << "an absent value is 0";
    EXPECT_FALSE(test(LessThan, "", "0"));
    EXPECT_TRUE(test(GreaterThan, "0", "-1"));
    EXPECT_TRUE(test(LessThan, "Side 2", "1")) << "a value not starting with a number is 0";
    EXPECT_FALSE(test(GreaterThan, "99999999999", "2147483647")) << "both saturate to the same number";
    EXPECT_TRUE(test(GreaterThan, "12 Monkeys", "11"));
    EXPECT_TRUE(test(LessThan, "  -5", "-4")) << "leading blanks and a sign are read";
    EXPECT_TRUE(test(LessThan, "-99999999999", "-2147483647")) << "saturates at the 32-bit minimum";
}

TEST(Condition, UnknownConditionsNeverMatch)
{
    EXPECT_FALSE(test(-1, "a", "a"));
    EXPECT_FALSE(test(Count, "a", "a"));
}

} // namespace
