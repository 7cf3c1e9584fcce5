// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/tagcatalogue.h"

#include <gtest/gtest.h>

TEST(TagCatalogue, CombinedListsAreTheBaseListsFollowedByCover)
{
    const TagCatalogue c = TagCatalogue::build();
    ASSERT_EQ(c.allTags.size(), 19);
    ASSERT_EQ(c.allReadableTags.size(), 19);
    EXPECT_EQ(c.tags.size(), 8);
    EXPECT_EQ(c.integerTags.size(), 10);
    EXPECT_EQ(c.allTags[8], "playedCount");
    EXPECT_EQ(c.allTags[12], "year");
    EXPECT_EQ(c.allTags[18], "cover");
    EXPECT_EQ(c.allReadableTags[7], "Album Artist");
    EXPECT_EQ(c.allReadableTags[15], "Total Tracks");
    EXPECT_EQ(c.allReadableTags[18], "EmbeddedCover");
    EXPECT_EQ(c.integerTags[4], c.allTags[12]);
    EXPECT_EQ(c.allTags.mid(0, 8), c.tags);
    EXPECT_EQ(c.allTags.mid(8, 10), c.integerTags);
}

TEST(TagCatalogue, DisplayNamesPairWithTheirKeys)
{
    const TagCatalogue c = TagCatalogue::build();
    ASSERT_EQ(c.readableTags.size(), c.tags.size());
    ASSERT_EQ(c.readableIntegerTags.size(), c.integerTags.size());
    EXPECT_EQ(c.readableTags[c.tags.indexOf("name")], "Title");
    EXPECT_EQ(c.readableIntegerTags[c.integerTags.indexOf("volumeAdjustment")], "Volume");
    EXPECT_EQ(c.allReadableTags[c.allTags.indexOf("discCount")], "Total Discs");
    // The title's key is the library's property name; "title" is only an alias.
    EXPECT_FALSE(c.allTags.contains("title"));
}
