// SPDX-License-Identifier: GPL-3.0-or-later
#include "library/libraryimport.h"
#include "library/playlistfiles.h"
#include "librarybuilder.h"
#include "support/namedexception.h"

#include <QFile>
#include <QProcess>
#include <QUrl>
#include <gtest/gtest.h>

namespace {

constexpr auto idsOf = &LibraryBuilder::idsOf;

QString writeFile(TestFolder &folder, const QString &relative, const QString &text)
{
    return folder.addFile(relative, text.toUtf8());
}

QString refusal(MusicLibrary &library, const QString &path, const QString &name = {})
{
    try {
        playlistfiles::importPlaylist(library, path, name);
    } catch (const NamedException &e) {
        return e.reason();
    }
    return "accepted";
}

} // namespace

TEST(PlaylistFiles, AnEntryHoldingANulIsReportedAndNeverCutShortToAnotherFile)
{
    TestFolder folder;
    const QString kept = folder.addSeed("seed.mp3", "a.mp3");
    const QByteArray m3u = QByteArray("#EXTM3U\na.mp3\0.ogg\nfile://", 26) + QFile::encodeName(folder.path()) +
                           "/a.mp3%00.ogg\na.mp3\n";
    const playlistfiles::ParsedPlaylist parsed = playlistfiles::read(folder.addFile("nul.m3u8", m3u));
    EXPECT_EQ(parsed.paths, QStringList{kept});
    ASSERT_EQ(parsed.notices.size(), 2);
    for (const playlistfiles::Notice &notice : parsed.notices) {
        EXPECT_TRUE(notice.skipped);
        EXPECT_EQ(notice.reason.toStdString(), "the entry holds a NUL character, which no file name can");
    }
    EXPECT_EQ(parsed.notices[0].entry, QString("a.mp3") + QChar(u'\0') + ".ogg");

    // A name starting ":/" is a file beside the playlist like any other, not a built-in resource.
    const QString colon = folder.addSeed("seed.ogg", ":/x.ogg");
    EXPECT_EQ(playlistfiles::read(folder.addFile("colon.m3u", ":/x.ogg\n")).paths, QStringList{colon});
    // A file address without a path names no file; one without a folder is read from the playlist's.
    const playlistfiles::ParsedPlaylist bare = playlistfiles::read(folder.addFile("bare.m3u", "file://\nfile:a.mp3\n"));
    EXPECT_EQ(bare.paths, QStringList{kept});
    ASSERT_EQ(bare.notices.size(), 1);
    EXPECT_EQ(bare.notices[0].reason.toStdString(), "the entry names no file");
}

TEST(PlaylistFiles, M3uAndPlsResolveRelativeUriAndWindowsEntriesImportNewFilesAndReportTheRest)
{
    LibraryBuilder builder;
    MusicLibrary &library = builder.library();
    TestFolder &folder = builder.folder();
    const QString one = folder.addSeed("seed.mp3", "music/café.mp3");
    const QString two = folder.addSeed("seed.flac", "lists/sub dir/two.flac");
    const QString three = folder.addSeed("seed.ogg", "music/three 3.ogg");
    const qint64 known = library.importFile({three, {{"name", "known"}}});

    // An old M3U in the Windows code page, with CRLF line ends.
    QByteArray m3u = "#EXTM3U\r\n#EXTINF:3,Someone - caf\xe9\r\n../music/caf\xe9.mp3\r\n\r\n"
                     "sub dir\\two.flac\r\nC:\\Music\\x.mp3\r\nhttp://radio.example/stream\r\n"
                     "missing.mp3\r\n" +
                     QUrl::fromLocalFile(three).toEncoded() + "\r\n../music/caf\xe9.mp3\r\n";
    const QString m3uPath = folder.addFile("lists/old.m3u", m3u);
    const playlistfiles::ImportSummary fromM3u = playlistfiles::importPlaylist(library, m3uPath);
    EXPECT_EQ(fromM3u.name, "old");
    EXPECT_EQ(fromM3u.newTracks, 2);
    const QHash<QString, qint64> ids = library.fileTracksAt({one, two, three});
    ASSERT_EQ(ids.size(), 3);
    EXPECT_EQ(ids[three], known);
    EXPECT_EQ(idsOf(library, fromM3u.playlistId), (QList<qint64>{ids[one], ids[two], known, ids[one]}));
    QStringList reported;
    for (const playlistfiles::Notice &notice : fromM3u.notices)
        reported.append(notice.entry + (notice.skipped ? " | out: " : " | kept: ") + notice.reason);
    ASSERT_EQ(reported.size(), 4) << reported.join('\n').toStdString();
    EXPECT_TRUE(reported[0].startsWith("sub dir\\two.flac | kept: Windows separators")) << reported[0].toStdString();
    EXPECT_TRUE(reported[1].startsWith("C:\\Music\\x.mp3 | out: a Windows path")) << reported[1].toStdString();
    EXPECT_TRUE(reported[2].startsWith("http://radio.example/stream | out: a stream")) << reported[2].toStdString();
    EXPECT_EQ(reported[3], folder.filePath("lists/missing.mp3") + " | out: the file does not exist");

    // PLS: the entry numbers give the order, and relative paths the playlist's folder.
    const QString pls = writeFile(folder, "lists/radio.pls",
                                  "[playlist]\nFile2=../music/three 3.ogg\nTitle2=Three\nFile1=sub dir/two.flac\n"
                                  "File3=" + QString::fromLatin1(QUrl::fromLocalFile(one).toEncoded()) +
                                      "\nNumberOfEntries=3\nVersion=2\n");
    const playlistfiles::ImportSummary fromPls = playlistfiles::importPlaylist(library, pls, "Radio");
    EXPECT_EQ(idsOf(library, fromPls.playlistId), (QList<qint64>{ids[two], known, ids[one]}));
    EXPECT_EQ(fromPls.newTracks, 0);

    // What is not a playlist, or a damaged one, is refused and makes no playlist.
    const qsizetype playlists = library.userPlaylists().size();
    EXPECT_TRUE(refusal(library, writeFile(folder, "bad.xspf", "<playlist version=\"1\"><trackList><track>"))
                    .contains("damaged"));
    EXPECT_TRUE(refusal(library, writeFile(folder, "feed.xspf", "<rss/>")).contains("not an XSPF"));
    EXPECT_TRUE(refusal(library, writeFile(folder, "notes.txt", "shopping list")).contains("not a playlist file"));
    EXPECT_TRUE(refusal(library, writeFile(folder, "x.pls", "File1=a.mp3\n")).contains("[playlist]"));
    EXPECT_TRUE(refusal(library, folder.filePath("none.m3u")).contains("does not exist"));
    EXPECT_TRUE(refusal(library, folder.filePath("music")).contains("not a regular file"));
    EXPECT_EQ(library.userPlaylists().size(), playlists);
    EXPECT_EQ(library.trackCount(), 3);
}
