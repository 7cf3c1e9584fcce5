// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/textutils.h"

#include <gtest/gtest.h>

#include <climits>

using namespace text;

namespace {
QString u(const char16_t *s)
{
    return QString::fromUtf16(s);
}
} // namespace

TEST(MultipleReplacement, ReplacedTextIsNeverReplacedAgain)
{
    EXPECT_EQ(stringByReplacingMultipleStrings("a-b", {{"a", "b"}, {"b", "a"}}), "b-a");
    EXPECT_EQ(stringByReplacingMultipleStrings("ab", {{"a", "b"}, {"b", "c"}}), "bc");
    EXPECT_EQ(stringByReplacingMultipleStrings("aaa", {{"a", "aa"}}), "aaaaaa");
}

TEST(MultipleReplacement, NothingToReplaceLeavesTheTextAlone)
{
    EXPECT_EQ(stringByReplacingMultipleStrings("no such letter", {{"x", "y"}}), "no such letter");
    EXPECT_EQ(stringByReplacingMultipleStrings("text", {}), "text");
    EXPECT_EQ(stringByReplacingMultipleStrings("", {{"a", "b"}}), "");
}

TEST(MultipleReplacement, NullEntriesAndEmptyKeysAreSkippedButEmptyValuesDelete)
{
    const ReplacementMap map{{QString(), "z"}, {"b", QString()}, {"", "q"}, {"c", ""}, {"a", "A"}};
    EXPECT_EQ(stringByReplacingMultipleStrings("abc", map), "Ab");
}

// Every letter and digit as a key: no marker hidden in the text can survive this.
TEST(MultipleReplacement, SingleLetterAndDigitKeysCannotCollideWithAnything)
{
    ReplacementMap rot13;
    for (char c = 'a'; c <= 'z'; ++c) {
        rot13.append({QString(QChar(c)), QString(QChar('a' + (c - 'a' + 13) % 26))});
        rot13.append({QString(QChar(c - 32)), QString(QChar('A' + (c - 'a' + 13) % 26))});
    }
    for (char c = '0'; c <= '9'; ++c)
        rot13.append({QString(QChar(c)), QString(QChar('0' + (c - '0' + 5) % 10))});
    EXPECT_EQ(stringByReplacingMultipleStrings("Hello World 2024", rot13), "Uryyb Jbeyq 7579");
}

TEST(MultipleReplacement, OverlapsAreResolvedByListOrderAndLeaveNoTrace)
{
    // The first-listed key is marked first; a shared end gives two marks and
    // the key tried first in the replacement round takes the text.
    EXPECT_EQ(stringByReplacingMultipleStrings("abc", {{"abc", "X"}, {"bc", "Y"}}), "X");
    EXPECT_EQ(stringByReplacingMultipleStrings("abc", {{"bc", "Y"}, {"abc", "X"}}), "aY");
    // A mark inside an occurrence breaks it.
    EXPECT_EQ(stringByReplacingMultipleStrings("abc", {{"ab", "X"}, {"bc", "Y"}}), "Xc");
    EXPECT_EQ(stringByReplacingMultipleStrings("abc", {{"bc", "Y"}, {"ab", "X"}}), "Xc");
}

TEST(MultipleReplacement, AValueCanCompleteAMarkedOccurrenceThatFollowsIt)
{
    // The two share a space. Tried first, " B " is found before " A "'s mark
    // splits it; once " A " has become " a ", that space completes it again.
    EXPECT_EQ(stringByReplacingMultipleStrings("x A B y", {{" B ", " b "}, {" A ", " a "}}), "x a b y");
    EXPECT_EQ(stringByReplacingMultipleStrings("x A B y", {{" A ", " a "}, {" B ", " b "}}), "x a B y");
}

TEST(Capitalization, TitleCaseLowersSmallWordsBetweenSpacesOnly)
{
    EXPECT_EQ(titlecaseString("a MAN for all seasons"), "A Man for All Seasons");
    EXPECT_EQ(titlecaseString("a tale of two cities"), "A Tale of Two Cities");
    EXPECT_EQ(titlecaseString("war and peace and love"), "War and Peace and Love");
    EXPECT_EQ(titlecaseString("the way it is"), "The Way it Is");
    EXPECT_EQ(titlecaseString("the end of, (the) beginning"), "The End Of, (The) Beginning");
    EXPECT_EQ(titlecaseString("out of the blue"), "Out of the Blue");
    EXPECT_EQ(titlecaseString("born in the usa"), "Born in the Usa");
    EXPECT_EQ(titlecaseString("rock v roll vs pop via jazz up go nor en route"),
              "Rock v Roll vs Pop via Jazz up Go nor en Route");
    EXPECT_EQ(titlecaseString(""), "");
}

TEST(Capitalization, WordsAreSeparatedByWhiteSpaceAndLineBreaks)
{
    EXPECT_EQ(capitalizedString("one\ntwo\tthree  four\u2028five"), "One\nTwo\tThree  Four\u2028Five");
    EXPECT_EQ(capitalizedString("it's ROCK-N-ROLL 1st"), "It's Rock-n-roll 1st");
    EXPECT_EQ(capitalizedString("(the"), "(The");
}

TEST(Capitalization, FullUnicodeMappings)
{
    // Final sigma, sharp s and letters outside the basic plane.
    EXPECT_EQ(capitalizedString(u(u"ΟΔΟΣ ßig élan")), u(u"Οδος Ssig Élan"));
    EXPECT_EQ(lowercaseString(u(u"ΟΔΟΣ")), u(u"οδος"));
    EXPECT_EQ(uppercaseString(u(u"straße")), u(u"STRASSE"));
    EXPECT_EQ(propercaseString(u(u"\U00010428\U00010428")), u(u"\U00010400\U00010428"));
}

TEST(Capitalization, ProperCase)
{
    EXPECT_EQ(propercaseString("hELLO World"), "Hello world");
    EXPECT_EQ(propercaseString("x"), "X");
    EXPECT_EQ(propercaseString(""), "");
    EXPECT_EQ(propercaseString("1 TWO"), "1 two");
}

TEST(Clamp, KeepsAtMostNUnits)
{
    EXPECT_EQ(clamp("Abbey", 3), "Abb");
    EXPECT_EQ(clamp("Abbey", 5), "Abbey");
    EXPECT_EQ(clamp("Abbey", 6), "Abbey");
    EXPECT_EQ(clamp("Abbey", UINT_MAX), "Abbey");
    EXPECT_EQ(clamp("Abbey", 0), "");
    EXPECT_EQ(clamp("", 0), "");
    // Counted in UTF-16 units, without leaving half a surrogate pair behind.
    EXPECT_EQ(clamp(u(u"a\U0001F600b"), 3), u(u"a\U0001F600"));
    EXPECT_EQ(clamp(u(u"a\U0001F600b"), 2), "a");
}

TEST(Contains, LiteralWithOptionalCaseFolding)
{
    EXPECT_TRUE(contains("Beatles", "BEAT", true));
    EXPECT_FALSE(contains("Beatles", "BEAT", false));
    EXPECT_FALSE(contains("Beatles", "BEAT"));
    EXPECT_TRUE(contains("Beatles", "eat"));
    EXPECT_FALSE(contains("Beatles", "", false));
    EXPECT_FALSE(contains("Beatles", "", true));
    EXPECT_FALSE(contains("", "", true));
    EXPECT_TRUE(contains("a.b*c", ".b*")); // no pattern characters
    EXPECT_TRUE(contains(u(u"Straße"), "STRASSE", true));
    EXPECT_TRUE(contains(u(u"ΟΔΟΣ"), u(u"οδος"), true));
    // An ASCII needle still finds what folds to it in other text, and back.
    EXPECT_TRUE(contains(u(u"\u212Aelvin"), "KELVIN", true));
    EXPECT_TRUE(contains("kelvin", u(u"\u212A"), true));
    EXPECT_TRUE(contains("STRASSE", u(u"ß"), true));
    EXPECT_TRUE(contains("Let It Be", "it b", true));
    EXPECT_FALSE(contains("Let It Be", "it bee", true));
    EXPECT_FALSE(contains("a[b", "A{B", true)); // only letters fold
}

TEST(Lines, EverySingleBreakCharacterSplits)
{
    EXPECT_EQ(lines("one\r\ntwo"), (QStringList{"one", "", "two"}));
    EXPECT_EQ(lines("one"), (QStringList{"one"}));
    EXPECT_EQ(lines(""), (QStringList{""}));
    EXPECT_EQ(lines("end\n"), (QStringList{"end", ""}));
    EXPECT_EQ(lines(u(u"a\nb\rc\fd\ve\u0085f\u2028g\u2029h")),
              (QStringList{"a", "b", "c", "d", "e", "f", "g", "h"}));
    EXPECT_EQ(lines("tab\tand space"), (QStringList{"tab\tand space"}));
}

TEST(Words, BlanksAndTabsOnly)
{
    EXPECT_EQ(words("Quavertin Demo"), (QStringList{"Quavertin", "Demo"}));
    EXPECT_EQ(words("a  b\tc"), (QStringList{"a", "", "b", "c"}));
    EXPECT_EQ(words(" x\n"), (QStringList{"", "x\n"}));
    EXPECT_EQ(words(""), (QStringList{""}));
}

TEST(Escaped, KeepsUrlDelimitersAndEscapesTheRest)
{
    EXPECT_EQ(escaped("mailto:me@host.org?subject=Hi there&body=Line one\nLine two"),
              "mailto:me@host.org?subject=Hi%20there&body=Line%20one%0ALine%20two");
    EXPECT_EQ(escaped(u(u"é\"<>%#")), "%C3%A9%22%3C%3E%25%23");
    EXPECT_EQ(escaped("https://x.org/a-b_c.d~e/(1)"), "https://x.org/a-b_c.d~e/(1)");
}

TEST(Trimming, LettersAroundANumber)
{
    const QString name = "Smallerthan12ValueTransformer";
    const QString lead = stringByTrimmingLeadingCharactersInSet(name, isLetter);
    EXPECT_EQ(lead, "12ValueTransformer");
    EXPECT_EQ(stringByTrimmingTrailingCharactersInSet(lead, isLetter), "12");
    EXPECT_EQ(stringByTrimmingLeadingCharactersInSet("OnlyLetters", isLetter), "");
    EXPECT_EQ(stringByTrimmingTrailingCharactersInSet("OnlyLetters", isLetter), "");
    EXPECT_EQ(stringByTrimmingLeadingCharactersInSet("", isLetter), "");
    // White space is not trimmed unless the set holds it; astral letters count whole.
    EXPECT_EQ(stringByTrimmingLeadingCharactersInSet(" a1 ", isLetter), " a1 ");
    EXPECT_EQ(stringByTrimmingTrailingCharactersInSet(u(u"\U00010400x7\U00010428e\u0301"), isLetter),
              u(u"\U00010400x7"));
    EXPECT_EQ(stringByTrimmingLeadingCharactersInSet(u(u"\U00010400x7\U00010428"), isLetter), u(u"7\U00010428"));
}

TEST(IntValue, LeadingIntegerOfText)
{
    EXPECT_EQ(intValue(QString("7 items")), 7);
    EXPECT_EQ(intValue(QString("  -42abc")), -42);
    EXPECT_EQ(intValue(QString("+5")), 5);
    EXPECT_EQ(intValue(QString("1.2.3")), 1);
    EXPECT_EQ(intValue(QString("- 5")), 0);
    EXPECT_EQ(intValue(QString("words")), 0);
    EXPECT_EQ(intValue(QString("")), 0);
    EXPECT_EQ(intValue(QString("99999999999")), INT_MAX);
    EXPECT_EQ(intValue(QString("-99999999999")), INT_MIN);
    EXPECT_EQ(intValue(QString("-2147483648")), INT_MIN);
}

TEST(IntValue, TagValues)
{
    EXPECT_EQ(intValue(QVariant()), 0);
    EXPECT_EQ(intValue(QVariant(12)), 12);
    EXPECT_EQ(intValue(QVariant(3.9)), 3);
    EXPECT_EQ(intValue(QVariant(-3.9)), -3);
    EXPECT_EQ(intValue(QVariant(qint64(1) << 40)), INT_MAX);
    EXPECT_EQ(intValue(QVariant(~quint64(0))), INT_MAX);
    EXPECT_EQ(intValue(QVariant(true)), 1);
    EXPECT_EQ(intValue(QVariant(QString("12 of 14"))), 12);
    EXPECT_EQ(intValue(QVariant(QStringList{"3"})), 0);
}

TEST(Folding, IgnoresCaseAndDiacritics)
{
    EXPECT_EQ(foldedForComparison(u(u"ÉBÈNE Ångström")), foldedForComparison("ebene angstrom"));
    EXPECT_NE(foldedForComparison("abc"), foldedForComparison("abd"));
}

TEST(ControlAndBidi, ClassifiesAndStrips)
{
    for (char32_t c : {0x00u, 0x07u, 0x0au, 0x0du, 0x1bu, 0x1fu, 0x7fu, 0x80u, 0x9bu, 0x9fu, 0x061cu, 0x200eu,
                       0x200fu, 0x202au, 0x202eu, 0x2066u, 0x2069u})
        EXPECT_TRUE(isControlOrBidi(c)) << std::hex << uint32_t(c);
    for (char32_t c : {0x20u, 0x41u, 0x7eu, 0xa0u, 0xe9u, 0x200du, 0x2029u, 0x202fu, 0x206au, 0x1f600u})
        EXPECT_FALSE(isControlOrBidi(c)) << std::hex << uint32_t(c);

    EXPECT_EQ(withoutControlAndBidi(u(u"1 - evil\u202egpj.exe\r\n\x1b]0;x\x07\u0085\x7f")), "1 - evilgpj.exe]0;x");
    // Astral characters stay whole.
    EXPECT_EQ(withoutControlAndBidi(u(u"\U0001F600\u2066a\u2069")), u(u"\U0001F600a"));
    EXPECT_EQ(withoutControlAndBidi(QString()), QString());
}

TEST(ControlAndBidi, EscapedForTheTerminalJsonAndTheWindow)
{
    const QString value = u(u"a\x1b]0;t\x07|\n\r\t|\x7f\x85\u202E\u2066\u200Fz\U0001F600");
    EXPECT_EQ(escapedControls(value, ControlStyle::Terminal),
              u(u"a\\e]0;t\\x07|\\n\\r\\t|\\x7F\\u0085\\u202E\\u2066\\u200Fz\U0001F600"));
    EXPECT_EQ(escapedControls(value, ControlStyle::Json),
              u(u"a\\u001b]0;t\\u0007|\\u000a\\u000d\\u0009|\\u007f\\u0085\\u202e\\u2066\\u200fz\U0001F600"));
    EXPECT_EQ(escapedControls(value, ControlStyle::Window),
              u(u"a\u241b]0;t\u2407|\u240a\u240d\u2409|\u2421\\u0085\\u202E\\u2066\\u200Fz\U0001F600"));
    // A text's own lines can stay lines; nothing else does.
    EXPECT_EQ(escapedControls(u(u"one\ntwo\r"), ControlStyle::Terminal, true), u(u"one\ntwo\\r"));
    EXPECT_EQ(escapedControls("plain text", ControlStyle::Window), "plain text");

    // Appended to a text, and measured without making one, every style and
    // line choice agrees with the escaped text itself.
    for (const QString &text : {value, u(u"one\ntwo\r"), QString("plain"), QString(), u(u"\x01")}) {
        for (ControlStyle style : {ControlStyle::Terminal, ControlStyle::Json, ControlStyle::Window}) {
            for (bool keepLineFeeds : {false, true}) {
                const QString escaped = escapedControls(text, style, keepLineFeeds);
                QString line = "> ";
                appendEscapedControls(line, text, style, keepLineFeeds);
                EXPECT_EQ(line, "> " + escaped) << text.toStdString();
                EXPECT_EQ(escapedControlsLength(text, style, keepLineFeeds), escaped.size()) << text.toStdString();
            }
        }
    }
}
