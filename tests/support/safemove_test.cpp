// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/safemove.h"
#include "testfiles.h"

#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

TEST(SafeMove, RenamesWithinAFolder)
{
    TestFolder folder;
    const QString from = folder.addFile("a.mp3", "one");
    const QString to = folder.filePath("b.mp3");
    EXPECT_TRUE(safemove::moveWithoutReplacing(from, to));
    EXPECT_FALSE(QFileInfo::exists(from));
    EXPECT_EQ(TestFolder::readAll(to), "one");
}

TEST(SafeMove, NeverReplacesWhatIsThere)
{
    TestFolder folder;
    const QString from = folder.addFile("a.mp3", "one");
    const QString taken = folder.addFile("b.mp3", "two");
    EXPECT_FALSE(safemove::moveWithoutReplacing(from, taken));
    EXPECT_EQ(TestFolder::readAll(from), "one");
    EXPECT_EQ(TestFolder::readAll(taken), "two");

    // A link that points nowhere still holds the name.
    const QString dangling = folder.filePath("c.mp3");
    ASSERT_TRUE(QFile::link(folder.filePath("nowhere"), dangling));
    EXPECT_FALSE(safemove::moveWithoutReplacing(from, dangling));
    EXPECT_EQ(TestFolder::readAll(from), "one");
    EXPECT_TRUE(QFileInfo(dangling).isSymLink());

    // Nor a folder.
    const QString sub = folder.addFolder("d.mp3");
    EXPECT_FALSE(safemove::moveWithoutReplacing(from, sub));
    EXPECT_EQ(TestFolder::readAll(from), "one");
}

TEST(SafeMove, FailsCleanlyOnMissingPlaces)
{
    TestFolder folder;
    const QString from = folder.addFile("a.mp3", "one");
    EXPECT_FALSE(safemove::moveWithoutReplacing(folder.filePath("gone.mp3"), folder.filePath("x.mp3")));
    EXPECT_FALSE(safemove::moveWithoutReplacing(from, folder.filePath("no/such/folder.mp3")));
    EXPECT_FALSE(safemove::moveWithoutReplacing(from, QString()));
    EXPECT_EQ(TestFolder::readAll(from), "one");
    EXPECT_FALSE(QFileInfo::exists(folder.filePath("x.mp3")));
}
