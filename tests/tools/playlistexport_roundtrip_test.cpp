// SPDX-License-Identifier: GPL-3.0-or-later
#include "library/libraryimport.h"
#include "library/librarybuilder.h"
#include "library/playlistfiles.h"
#include "support/namedexception.h"
#include "tools/playlistexport.h"

#include <QProcess>
#include <QUrl>
#include <gtest/gtest.h>

namespace {

// What the export writes for a library playlist: the tracks as the library has them.
QList<tools::ExportEntry> entriesOf(MusicLibrary &library, qint64 playlistId)
{
    const TrackRows rows = library.tracksOf(playlistId, {"location", "artist", "name", "album", "duration"});
    QList<tools::ExportEntry> entries;
    for (const QVariantList &row : rows.rows)
        entries.append({row[0].toString(), row[1].toString(), row[2].toString(), row[3].toString(), row[4].toDouble()});
    return entries;
}

} // namespace

TEST(ExportRoundTrip, M3u8AndXspfExportsReadBackIntoTheSamePlaylist)
{
    LibraryBuilder builder;
    MusicLibrary &library = builder.library();
    TestFolder &folder = builder.folder();
    const QStringList files{folder.addSeed("seed.mp3", "music/Ünï #1 & <co>.mp3"),
                            folder.addSeed("seed.flac", "music/a b/x'y.flac"),
                            folder.addSeed("seed.ogg", "music/100%.ogg")};
    const libraryimport::Summary imported = libraryimport::importPaths(library, files);
    ASSERT_EQ(imported.added, 3);
    const qint64 a = imported.ids[files[0]], b = imported.ids[files[1]], c = imported.ids[files[2]];
    library.setProperty(LibraryBuilder::throughLibrary(a), "name", "Don't <stop> ]]> & go");
    library.setProperty(LibraryBuilder::throughLibrary(a), "artist", "Sigur Rós");
    library.setProperty(LibraryBuilder::throughLibrary(b), "name", "line\nbreak");
    library.setProperty(LibraryBuilder::throughLibrary(b), "artist", "The Band");
    const qint64 mix = library.createPlaylist("Mix & Match");
    library.addToPlaylist(mix, {b, a, c, a});
    const QList<tools::ExportEntry> entries = entriesOf(library, mix);

    // Extended M3U with absolute paths.
    const QString m3u8 = tools::m3u8Document(entries);
    const QStringList lines = m3u8.split('\n');
    EXPECT_EQ(lines[0], "#EXTM3U");
    EXPECT_EQ(lines[1], "#EXTINF:" + QString::number(qRound(entries[0].duration)) + ",The Band - line break");
    EXPECT_EQ(lines[3], QStringLiteral("#EXTINF:%1,Sigur Rós - Don't <stop> ]]> & go").arg(qRound(entries[1].duration)));
    EXPECT_EQ(lines[4], files[0]);
    EXPECT_EQ(lines.size(), 1 + 2 * 4 + 1);
    const playlistfiles::ImportSummary fromM3u8 =
        playlistfiles::importPlaylist(library, folder.addFile("out/mix.m3u8", m3u8.toUtf8()), "From M3U8");
    EXPECT_EQ(LibraryBuilder::idsOf(library, fromM3u8.playlistId), (QList<qint64>{b, a, c, a}));
    EXPECT_EQ(fromM3u8.newTracks, 0);
    EXPECT_TRUE(fromM3u8.notices.isEmpty());

    // Relative to the playlist's folder.
    const QString relative = tools::m3u8Document(entries, folder.filePath("lists"));
    EXPECT_TRUE(relative.contains("\n../music/a b/x'y.flac\n")) << relative.toStdString();
    const playlistfiles::ImportSummary fromRelative =
        playlistfiles::importPlaylist(library, folder.addFile("lists/mix.m3u8", relative.toUtf8()), "Relative");
    EXPECT_EQ(LibraryBuilder::idsOf(library, fromRelative.playlistId), (QList<qint64>{b, a, c, a}));

    // XSPF: valid against the format's schema, named by its title.
    const QString xspf = tools::xspfDocument("Mix & Match", entries);
    const QString xspfPath = folder.addFile("out/mix.xspf", xspf.toUtf8());
    QProcess xmllint;
    xmllint.start("xmllint", {"--noout", "--schema", TestFolder::seedPath("xspf-1.xsd"), xspfPath});
    ASSERT_TRUE(xmllint.waitForFinished(30000));
    EXPECT_EQ(xmllint.exitCode(), 0) << xmllint.readAllStandardError().toStdString();
    EXPECT_TRUE(xspf.contains("<location>" + QString::fromLatin1(QUrl::fromLocalFile(files[0]).toEncoded()).replace("&", "&amp;") +
                             "</location>"));
    EXPECT_TRUE(xspf.contains("%C3%9C")) << "non-ASCII is percent-encoded";
    EXPECT_TRUE(xspf.contains("<duration>" + QString::number(qRound64(entries[0].duration * 1000)) + "</duration>"));
    EXPECT_TRUE(xspf.contains("<creator>Sigur Rós</creator>"));
    // The title names the playlist; it is taken already, so the import refuses and makes nothing.
    QString refusal;
    try {
        playlistfiles::importPlaylist(library, xspfPath);
    } catch (const NamedException &e) {
        refusal = e.reason();
    }
    EXPECT_TRUE(refusal.contains("exists already"));
    const int playlistsBefore = int(library.userPlaylists().size());
    EXPECT_EQ(library.userPlaylists().size(), playlistsBefore);
    const playlistfiles::ImportSummary fromXspf = playlistfiles::importPlaylist(library, xspfPath, "From XSPF");
    EXPECT_EQ(LibraryBuilder::idsOf(library, fromXspf.playlistId), (QList<qint64>{b, a, c, a}));
    EXPECT_EQ(library.trackCount(), 3);
}
