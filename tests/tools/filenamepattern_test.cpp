// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/filenamechanger.h"

#include <gtest/gtest.h>

using namespace tools;

namespace {
QVariantHash tagsOf(const QString &artist, const QString &title, const QVariant &number = {})
{
    return {{"artist", artist}, {"name", title}, {"genre", "Rock"},
            {"album", "Album"}, {"year", "1999"}, {"number", number}};
}
} // namespace

TEST(FilenamePattern, PaddingModes)
{
    // Automatic: only a one-digit number in a folder of ten files or more.
    EXPECT_EQ(paddedTrackNumber("3", 0, 12), "03");
    EXPECT_EQ(paddedTrackNumber("3", 0, 10), "03");
    EXPECT_EQ(paddedTrackNumber("3", 0, 9), "3");
    EXPECT_EQ(paddedTrackNumber("3", 1, 12), "3");
    EXPECT_EQ(paddedTrackNumber("3", 2, 1), "03");
    EXPECT_EQ(paddedTrackNumber("3", 7, 12), "3");
    // Two digits or more are never padded, and nothing pads past two.
    EXPECT_EQ(paddedTrackNumber("12", 2, 12), "12");
    EXPECT_EQ(paddedTrackNumber("123", 0, 200), "123");
    EXPECT_TRUE(paddedTrackNumber(QString(), 2, 12).isNull());
}

TEST(FilenamePattern, PlaceholdersAreReplacedAtOnce)
{
    // Text a value brings in is never taken for a placeholder.
    EXPECT_EQ(nameFromPattern("#a - #t", tagsOf("Band #t", "Song")), "Band #t - Song");
    EXPECT_EQ(nameFromPattern("#y #g #l #n", tagsOf("A", "T", "7")), "1999 Rock Album 7");
    // No escape character; other text stays as it is; case matters.
    EXPECT_EQ(nameFromPattern("##t #T #", tagsOf("A", "T")), "#T #T #");
    // An absent value leaves its placeholder in place.
    EXPECT_EQ(nameFromPattern("#n - #t", tagsOf("A", "Intro")), "#n - Intro");
    EXPECT_EQ(nameFromPattern("#a", {}), "#a");
}

TEST(FilenamePattern, PlaceholderLeftAndPlainNames)
{
    EXPECT_FALSE(containsPlaceholder("Take #1"));
    EXPECT_TRUE(containsPlaceholder("Song #t"));
    EXPECT_TRUE(containsPlaceholder("#y"));

    EXPECT_TRUE(isPlainFileName("03 - Intro"));
    EXPECT_TRUE(isPlainFileName(".. and more"));
    for (const QString &bad : {QString(), QString(""), QString("."), QString(".."), QString("a/b"),
                               QString("../../x"), QString("/"), QString("a") + QChar(u'\0') + "b"})
        EXPECT_FALSE(isPlainFileName(bad)) << bad.toStdString();
}

TEST(FilenamePattern, CountsFilesPerFolder)
{
    const auto counts = filesPerFolder({"/m/a/1.mp3", "/m/a/2.mp3", "/m/b/3.mp3", "/m/a/c/4.mp3"});
    EXPECT_EQ(counts.value("/m/a"), 2);
    EXPECT_EQ(counts.value("/m/b"), 1);
    EXPECT_EQ(counts.value("/m/a/c"), 1);
}

TEST(FilenamePattern, TargetKeepsFolderAndExtension)
{
    const RenameOptions options{"#n - #t", 0, false};
    EXPECT_EQ(renameTarget("/m/x.MP3", tagsOf("A", "Intro", "3"), options, 12), "/m/03 - Intro.MP3");
    EXPECT_EQ(renameTarget("/m/x.y.flac", tagsOf("A", "Intro", "3"), options, 9), "/m/3 - Intro.flac");
    // Same name: nothing to do.
    EXPECT_TRUE(renameTarget("/m/3 - Intro.ogg", tagsOf("A", "Intro", "3"), options, 1).isNull());
    // Names that would leave the folder, or be no name at all.
    const RenameOptions titleOnly{"#t", 0, false};
    for (const QString &title : {QString("a/b"), QString("../../x"), QString(".."), QString(".")})
        EXPECT_TRUE(renameTarget("/m/x.mp3", tagsOf("A", title), titleOnly, 1).isNull()) << title.toStdString();
    EXPECT_TRUE(renameTarget("/m/x.mp3", tagsOf("A", ""), titleOnly, 1).isNull());
    // An empty pattern leaves every file alone.
    EXPECT_TRUE(renameTarget("/m/x.mp3", tagsOf("A", "T", "1"), RenameOptions{"", 2, false}, 1).isNull());
}

TEST(FilenamePattern, SkipMissing)
{
    const RenameOptions keep{"#n - #t", 0, false};
    const RenameOptions skip{"#n - #t", 0, true};
    EXPECT_EQ(renameTarget("/m/x.mp3", tagsOf("A", "Intro"), keep, 1), "/m/#n - Intro.mp3");
    EXPECT_TRUE(renameTarget("/m/x.mp3", tagsOf("A", "Intro"), skip, 1).isNull());
    // A value that itself holds a placeholder's text counts as missing; "#1" does not.
    EXPECT_TRUE(renameTarget("/m/x.mp3", tagsOf("A", "My #t", "1"), skip, 1).isNull());
    EXPECT_EQ(renameTarget("/m/x.mp3", tagsOf("A", "Take #1", "1"), skip, 1), "/m/1 - Take #1.mp3");
}
