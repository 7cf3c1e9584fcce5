// SPDX-License-Identifier: GPL-3.0-or-later
#include "library/musiclibrary.h"
#include "testfiles.h"

#include <QFile>
#include <gtest/gtest.h>

TEST(StoredLocation, OutlivesTheFileAndIsNullForAStream)
{
    TestFolder folder;
    MusicLibrary library(folder.filePath("library.sqlite"));
    const QString path = folder.addSeed("seed.mp3", "drive/Music/song.mp3");
    const TrackRef track{library.importFile({path, {{"name", "song"}}}), 0, 0};
    const TrackRef stream{library.addStreamTrack("http://radio.example/live", {{"name", "radio"}}), 0, 0};

    EXPECT_EQ(library.location(track), path);
    EXPECT_EQ(library.storedLocation(track), path);
    ASSERT_TRUE(QFile::remove(path));
    EXPECT_TRUE(library.location(track).isNull());
    EXPECT_EQ(library.storedLocation(track), path);

    EXPECT_TRUE(library.storedLocation(stream).isNull());
    EXPECT_TRUE(library.location(stream).isNull());
    EXPECT_THROW(library.storedLocation({track.trackId + 100, 0, 0}), LibraryError);
}
