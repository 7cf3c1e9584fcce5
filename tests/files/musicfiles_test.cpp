// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/musicfiles.h"
#include "testfiles.h"

#include <QFileInfo>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {
QStringList names(const QStringList &paths, const QString &root)
{
    QStringList relative;
    for (const QString &p : paths)
        relative << p.mid(root.size() + 1);
    relative.sort();
    return relative;
}
} // namespace

TEST(FolderScan, EntersSubFoldersMatchesUpperCaseAndSkipsOtherFiles)
{
    TestFolder folder;
    folder.addSeed("seed.mp3", "a.MP3");
    folder.addSeed("seed.flac", "b.flac");
    folder.addFile("cover.jpg", "jpeg");
    folder.addSeed("seed.m4a", "sub/c.m4a");
    folder.addSeed("seed.ogg", "sub/deeper/.hidden.Ogg");
    EXPECT_EQ(names(musicfiles::musicFilesBelow(folder.path()), folder.path()),
              (QStringList{"a.MP3", "b.flac", "sub/c.m4a", "sub/deeper/.hidden.Ogg"}));
}

TEST(FolderScan, OnlyRegularFilesBecomeTracks)
{
    TestFolder folder;
    folder.addFolder("album.mp3");
    folder.addSeed("seed.wav", "album.mp3/inside.wav");
    ASSERT_EQ(mkfifo(folder.filePath("pipe.flac").toLocal8Bit().constData(), 0600), 0);
    folder.addFile("noextension", "x");
    folder.addFile("trailingdot.", "x");
    EXPECT_EQ(names(musicfiles::musicFilesBelow(folder.path()), folder.path()),
              (QStringList{"album.mp3/inside.wav"}));
}

TEST(FolderScan, MissingOrUnreadableFolderListsNothing)
{
    TestFolder folder;
    EXPECT_TRUE(musicfiles::musicFilesBelow(folder.filePath("gone")).isEmpty());
    const QString file = folder.addSeed("seed.mp3", "song.mp3");
    EXPECT_TRUE(musicfiles::musicFilesBelow(file).isEmpty());
}

// The thirteen types, with Opus and WMA files that the pictures and ratings
// of their formats are written in.
TEST(FolderScan, ExtensionListIsTheMusicTypes)
{
    EXPECT_EQ(musicfiles::musicExtensions(), (QStringList{"mp3", "aac", "m4a", "ogg", "flac", "mpc", "spx", "wv", "tta",
                                                          "wav", "aiff", "mp4", "asf", "opus", "wma"}));
    EXPECT_TRUE(musicfiles::isMusicFile("/x/Y.AiFf"));
    EXPECT_FALSE(musicfiles::isMusicFile("/x.mp3/readme"));
    EXPECT_FALSE(musicfiles::isMusicFile("/x/song.mp3.txt"));
}

TEST(MusicFiles, ExtensionIsTakenFromTheNameOnly)
{
    EXPECT_EQ(musicfiles::extensionOf("/music/Song.MP3"), "mp3");
    EXPECT_EQ(musicfiles::extensionOf("/music/live.2001/Song"), "");
    EXPECT_EQ(musicfiles::extensionOf("/music/archive.tar.FLAC"), "flac");
    EXPECT_EQ(musicfiles::extensionOf("/music/ends with a dot."), "");
    EXPECT_FALSE(musicfiles::isMusicFile("/music/mp3.d/notes"));
}
