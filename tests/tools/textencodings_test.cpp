// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/textencodings.h"

#include <gtest/gtest.h>

using namespace textencodings;

namespace {

constexpr int kAscii = 0, kUtf8 = 1, kLatin1 = 2, kNonLossy = 3, kWindows1251 = 5, kWindows1252 = 6,
              kIso2022Jp = 10, kMacRoman = 11, kUtf16 = 12, kUtf32 = 13;

std::optional<QString> convert(const QString &text, int from, int to)
{
    const auto bytes = encodeLossy(text, from);
    if (!bytes)
        return std::nullopt;
    return decodeStrict(*bytes, to);
}

} // namespace

TEST(TextEncodings, RepairsTextReadWithTheWrongCharacterSet)
{
    EXPECT_EQ(convert(QString::fromUtf8("CafÃ©"), kWindows1252, kUtf8), QString::fromUtf8("Café"));
    EXPECT_EQ(convert(QString::fromUtf8("Ïðèâåò"), kLatin1, kWindows1251), QString::fromUtf8("Привет"));
}

TEST(TextEncodings, EveryEncodingGivesBackWhatItCanRepresent)
{
    const QString ascii = "Plain ASCII, 100% (ok) ~";
    for (int i = 0; i < count(); ++i)
        EXPECT_EQ(convert(ascii, i, i), ascii) << names()[i].toStdString();
    const QString japanese = QString::fromUtf8("日本語のタイトル");
    for (int i : {kUtf8, kNonLossy, kIso2022Jp, kUtf16, kUtf32})
        EXPECT_EQ(convert(japanese, i, i), japanese) << names()[i].toStdString();
    const QString emoji = QString::fromUtf8("Song 🎵");
    for (int i : {kUtf8, kNonLossy, kUtf16, kUtf32})
        EXPECT_EQ(convert(emoji, i, i), emoji) << names()[i].toStdString();
}

TEST(TextEncodings, PlainAsciiSurvivesEveryPairOfAsciiCompatibleEncodings)
{
    const QString ascii = "The Band - Live 1999";
    const QList<int> compatible{0, 1, 2, 4, 5, 6, 7, 8, 9, 11};
    for (int from : compatible)
        for (int to : compatible)
            EXPECT_EQ(convert(ascii, from, to), ascii) << from << "->" << to;
}

TEST(TextEncodings, SourceDirectionSubstitutesInsteadOfFailing)
{
    EXPECT_EQ(encodeLossy(QString::fromUtf8("Café"), kAscii), QByteArray("Caf?"));
    EXPECT_EQ(encodeLossy(QString::fromUtf8("Привет"), kWindows1252), QByteArray("??????"));
    EXPECT_EQ(encodeLossy(QString::fromUtf8("日本"), kLatin1), QByteArray("??"));
    EXPECT_EQ(encodeLossy(QString::fromUtf8("€"), kMacRoman), QByteArray("\xdb"));
    EXPECT_FALSE(encodeLossy("x", -1));
    EXPECT_FALSE(encodeLossy("x", count()));
}

TEST(TextEncodings, TargetDirectionRefusesInvalidBytes)
{
    // Latin 1 bytes of 'é' are not UTF-8.
    EXPECT_FALSE(convert(QString::fromUtf8("Café"), kLatin1, kUtf8));
    EXPECT_FALSE(decodeStrict(QByteArray("\xc3\x28", 2), kUtf8));
    EXPECT_FALSE(decodeStrict(QByteArray("\xed\xa0\x80", 3), kUtf8)); // an encoded surrogate
    EXPECT_FALSE(decodeStrict(QByteArray("caf\xe9"), kAscii));
    EXPECT_FALSE(decodeStrict(QByteArray("\xff\xfe\x00\xd8", 4), kUtf16)); // a lone surrogate
    EXPECT_FALSE(decodeStrict("abc", kUtf32)); // not a whole code unit
    // UTF-16 with its byte-order mark is not UTF-8.
    EXPECT_FALSE(convert("Title", kUtf16, kUtf8));
    EXPECT_FALSE(decodeStrict("x", count()));
}

TEST(TextEncodings, WideEncodingsCarryAByteOrderMark)
{
    const QByteArray utf16 = *encodeLossy("A", kUtf16);
    ASSERT_EQ(utf16.size(), 4);
    EXPECT_TRUE(utf16.startsWith("\xff\xfe") || utf16.startsWith("\xfe\xff"));
    const QByteArray utf32 = *encodeLossy("A", kUtf32);
    ASSERT_EQ(utf32.size(), 8);
    EXPECT_EQ(decodeStrict(utf32, kUtf32), "A");
    EXPECT_EQ(decodeStrict(QByteArray("\x00\x41", 2), kUtf16), "A"); // no mark: big endian
}

TEST(TextEncodings, NonLossyAsciiEscapesEverythingBeyondAscii)
{
    EXPECT_EQ(encodeNonLossyAscii(QString::fromUtf8("Café \\ 🎵")), QByteArray("Caf\\u00e9 \\\\ \\ud83c\\udfb5"));
    EXPECT_EQ(decodeNonLossyAscii("Caf\\u00e9 \\\\ \\ud83c\\udfb5"), QString::fromUtf8("Café \\ 🎵"));
    EXPECT_EQ(decodeNonLossyAscii("Caf\\351"), QString::fromUtf8("Café"));
    EXPECT_EQ(decodeNonLossyAscii("C:\\Music\\"), "C:\\Music\\"); // a backslash that escapes nothing
    EXPECT_EQ(decodeNonLossyAscii("\\u12"), "\\u12");
    EXPECT_FALSE(decodeNonLossyAscii("caf\xc3\xa9"));
    EXPECT_FALSE(decodeNonLossyAscii("\\ud83c alone"));
    // Text escaped by this codec is repaired when read back with it.
    EXPECT_EQ(convert("Caf\\u00e9", kAscii, kNonLossy), QString::fromUtf8("Café"));
}

TEST(TextEncodings, NamesIndexesAndIcuAliasesAllFindAnEncoding)
{
    EXPECT_EQ(count(), 14);
    EXPECT_EQ(displayNames().size(), 14);
    EXPECT_EQ(indexForName("6"), kWindows1252);
    EXPECT_EQ(indexForName("UTF-8"), kUtf8);
    EXPECT_EQ(indexForName("utf8"), kUtf8);
    EXPECT_EQ(indexForName("latin1"), kLatin1);
    EXPECT_EQ(indexForName("cp1251"), kWindows1251);
    EXPECT_EQ(indexForName("macroman"), kMacRoman);
    EXPECT_EQ(indexForName("Mac OS Roman"), kMacRoman);
    EXPECT_EQ(indexForName("nonlossy-ascii"), kNonLossy);
    EXPECT_EQ(indexForName("14"), -1);
    EXPECT_EQ(indexForName("klingon"), -1);
    for (int i = 0; i < count(); ++i)
        EXPECT_EQ(indexForName(names()[i]), i);
}
