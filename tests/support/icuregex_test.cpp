// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/icuregex.h"
#include "support/namedexception.h"

#include <gtest/gtest.h>
#include <thread>

namespace {

QString replaced(const QString &pattern, const QString &text, const QString &templ, bool insensitive = false)
{
    const auto regex = IcuRegex::compile(pattern, insensitive);
    EXPECT_TRUE(regex.has_value()) << pattern.toStdString();
    return regex ? regex->replaceAll(text, templ) : QString();
}

} // namespace

TEST(IcuRegex, TemplatesNameGroupsAndEscapeWithBackslash)
{
    EXPECT_EQ(replaced("(a)(b)", "abab", "$2$1"), "baba");
    EXPECT_EQ(replaced("(a)", "xax", "[$0]"), "x[a]x");
    EXPECT_EQ(replaced("(a)", "xax", "\\$1\\\\"), "x$1\\x");
    EXPECT_EQ(replaced("(?<first>a)b", "ab", "${first}!"), "a!");
    // Only the longest group number that exists is taken: "$12" with one group is group 1, then "2".
    EXPECT_EQ(replaced("(a)", "a", "$12"), "a2");
}

TEST(IcuRegex, LineAnchorsAlwaysMatchAtEveryLine)
{
    EXPECT_EQ(replaced("^(.*)", "7\n12", "0$1"), "07\n012");
    EXPECT_EQ(replaced("^(.*)", "", "0$1"), "0");
    EXPECT_EQ(replaced("...(.*)", "01 One\n02 Two", "$1"), "One\nTwo");
    EXPECT_EQ(replaced("x$", "ax\nbx", "y"), "ay\nby");
}

TEST(IcuRegex, CaseIsIgnoredOnlyWhenAsked)
{
    EXPECT_EQ(replaced("The (.*)", "Meet the Band", "$1, The", true), "Meet Band, The");
    EXPECT_EQ(replaced("The (.*)", "Meet the Band", "$1, The", false), "Meet the Band");
    EXPECT_EQ(replaced("straße", "STRASSE", "x", true), "x");
}

TEST(IcuRegex, BadPatternsDoNotCompile)
{
    EXPECT_FALSE(IcuRegex::compile("(unclosed", false));
    EXPECT_FALSE(IcuRegex::compile("[z-a]", false));
    EXPECT_FALSE(IcuRegex::compile("*", true));
    EXPECT_TRUE(IcuRegex::compile("", false)); // the caller refuses an empty search itself
}

TEST(IcuRegex, TemplatesAreJudgedBeforeAnyMatchUsesThem)
{
    const auto regex = IcuRegex::compile("(a)(?<name>b)", false);
    ASSERT_TRUE(regex);
    EXPECT_TRUE(regex->acceptsTemplate("$0$1$2${name}\\$9 plain"));
    EXPECT_TRUE(regex->acceptsTemplate(""));
    EXPECT_FALSE(regex->acceptsTemplate("$3"));
    EXPECT_FALSE(regex->acceptsTemplate("cost: $"));
    EXPECT_FALSE(regex->acceptsTemplate("$x"));
    EXPECT_FALSE(regex->acceptsTemplate("${other}"));
    // A text without a match never uses the template; one with a match reports it.
    EXPECT_EQ(regex->replaceAll("zzz", "$3"), "zzz");
    EXPECT_THROW(regex->replaceAll("ab", "$3"), NamedException);
}

TEST(IcuRegex, TheTemplateCheckEndsWhereIcuWouldLoopForever)
{
    // Found by the fuzzer: ICU never finished matching the empty text against
    // the check's wrapping of this pattern, and the check hung the caller.
    QString pattern = QString::fromUtf8("^*?\x17\xef\xbf\xbd\xef\xbf\xbd\x7f");
    pattern += QChar(u'\0');
    const auto regex = IcuRegex::compile(pattern, true);
    ASSERT_TRUE(regex);
    EXPECT_TRUE(regex->acceptsTemplate("$0"));
    EXPECT_FALSE(regex->findsMatch("abc"));
    EXPECT_EQ(regex->replaceAll("abc", "[$0]"), "abc");
    // And one where matching itself never ends: the search gives up and says so.
    const auto looping = IcuRegex::compile(QString::fromUtf8("^*?\uFFFD\uFFFD\u01C9\uFFFD\uFFFD\uFFFD\uFFFD2e"), true);
    ASSERT_TRUE(looping);
    const QString value = QString::fromUtf8("\uFFFD2e");
    EXPECT_FALSE(looping->findsMatch(value));
    EXPECT_EQ(looping->concatenatedMatches(value), "");
    try {
        looping->replaceAll(value, "x");
        ADD_FAILURE() << "a match that never ends was taken for no match";
    } catch (const NamedException &e) {
        EXPECT_TRUE(e.reason().contains("did not finish")) << e.reason().toStdString();
    }
    // And one ICU gives up on whatever the text (a repeated anchor overflows its
    // stack): the expression is named as what failed, not the accepted template.
    const auto overflowing = IcuRegex::compile("^++a", false);
    ASSERT_TRUE(overflowing);
    EXPECT_TRUE(overflowing->acceptsTemplate("y"));
    try {
        overflowing->replaceAll("abc", "y");
        ADD_FAILURE() << "a match ICU gave up on was taken for no match";
    } catch (const NamedException &e) {
        EXPECT_EQ(e.reason().toStdString(),
                  "The regular expression could not match \"abc\" (U_REGEX_STACK_OVERFLOW).");
    }
    // Whatever the check says, a bad template is reported when a match uses it.
    const auto anchored = IcuRegex::compile(pattern + "|b", true);
    ASSERT_TRUE(anchored);
    EXPECT_THROW(anchored->replaceAll("abc", "$7"), NamedException);
}

TEST(IcuRegex, MatchesAreConcatenatedWholeInOrder)
{
    const auto digits = IcuRegex::compile("[0-9]+", false);
    ASSERT_TRUE(digits);
    EXPECT_EQ(digits->concatenatedMatches("CD 1 of 2"), "12");
    EXPECT_EQ(digits->concatenatedMatches("no digits"), "");
    const auto grouped = IcuRegex::compile("(c)d", true);
    ASSERT_TRUE(grouped);
    EXPECT_EQ(grouped->concatenatedMatches("CD cd"), "CDcd"); // whole matches, not the group
    // Positions count UTF-16 units: a character beyond the BMP stays whole.
    const auto emoji = IcuRegex::compile("\\p{So}+", false);
    ASSERT_TRUE(emoji);
    EXPECT_EQ(emoji->concatenatedMatches(QString::fromUtf8("a🎵b🎶")), QString::fromUtf8("🎵🎶"));
}

TEST(IcuRegex, CompiledPatternServesAnotherThread)
{
    const auto regex = IcuRegex::compile("o", false);
    ASSERT_TRUE(regex);
    QString fromThread;
    std::thread worker([&] { fromThread = regex->replaceAll("foo", "0"); });
    worker.join();
    EXPECT_EQ(fromThread, "f00");
}

TEST(IcuRegex, EachUseMatchesItsOwnTextWhateverCameBefore)
{
    // A thread keeps the matcher of the pattern it used last: nothing of one
    // use may show in the next, whichever pattern, text or failure came before.
    const auto words = IcuRegex::compile("(\\w+)", false);
    const auto digit = IcuRegex::compile("[0-9]", false);
    const auto overflowing = IcuRegex::compile("^++a", false);
    ASSERT_TRUE(words && digit && overflowing);
    for (int round = 0; round < 3; ++round) {
        EXPECT_EQ(words->replaceAll("one two", "<$1>"), "<one> <two>");
        EXPECT_EQ(words->replaceAll("three", "[$1]"), "[three]");
        EXPECT_EQ(words->replaceAll("", "[$1]"), "");
        EXPECT_TRUE(digit->findsMatch("track 7"));
        EXPECT_FALSE(digit->findsMatch("track"));
        EXPECT_THROW(overflowing->replaceAll("abc", "y"), NamedException);
        EXPECT_EQ(words->concatenatedMatches("a-b"), "ab");
    }
    // A pattern compiled after another was dropped is matched as itself,
    // wherever its memory lies.
    for (const char *letter : {"x", "y", "z"}) {
        {
            const auto dropped = IcuRegex::compile("q", false);
            ASSERT_TRUE(dropped);
            EXPECT_EQ(dropped->replaceAll("xyzq", "_"), "xyz_");
        }
        const auto regex = IcuRegex::compile(letter, false);
        ASSERT_TRUE(regex);
        EXPECT_EQ(regex->replaceAll("xyzq", "_"), QString("xyzq").replace(letter, "_"));
    }
}
