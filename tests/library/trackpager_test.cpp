// SPDX-License-Identifier: GPL-3.0-or-later
#include "librarybuilder.h"

#include <QFile>
#include <gtest/gtest.h>

namespace {

// Every page of the pager, one after the other, checking their sizes.
TrackRows allPages(MusicLibrary::TrackPager &pager, qsizetype pageSize, int *pages = nullptr)
{
    TrackRows all;
    int count = 0;
    for (TrackRows page = pager.next(pageSize); !page.refs.isEmpty(); page = pager.next(pageSize)) {
        EXPECT_LE(page.refs.size(), pageSize);
        EXPECT_EQ(page.rows.size(), page.refs.size());
        all.refs += page.refs;
        all.rows += page.rows;
        ++count;
    }
    if (pages)
        *pages = count;
    return all;
}

void expectSameTracks(const TrackRows &paged, const TrackRows &whole)
{
    ASSERT_EQ(paged.refs.size(), whole.refs.size());
    for (qsizetype i = 0; i < whole.refs.size(); ++i) {
        EXPECT_EQ(paged.refs[i].trackId, whole.refs[i].trackId) << i;
        EXPECT_EQ(paged.refs[i].entryId, whole.refs[i].entryId) << i;
        EXPECT_EQ(paged.refs[i].playlistId, whole.refs[i].playlistId) << i;
    }
    EXPECT_EQ(paged.rows, whole.rows);
}

} // namespace

// Twelve entries over four files (one of them gone, so its three rows are
// dead), in runs of equal positions, read in pages of every size from one to
// past the end: the same tracks, rows and order as the whole read, whether a
// page ends inside a run or the playlist is a multiple of the page size.
TEST(TrackPager, PagesGiveThePlaylistInItsOrderWhereverAPageEnds)
{
    LibraryBuilder builder;
    MusicLibrary &library = builder.library();
    QList<qint64> ids;
    for (int i = 0; i < 4; ++i)
        ids << builder.addTrack(QStringLiteral("song %1").arg(i), "band");
    const QString gone = library.storedLocation(LibraryBuilder::throughLibrary(ids[3]));
    ASSERT_TRUE(QFile::remove(gone));
    // Two more rows for every file, as a library holding a file twice has.
    runSql(builder.libraryPath(), "INSERT INTO tracks (name, artist, location) "
                                          "SELECT name || ' again', artist, location FROM tracks; "
                                          "INSERT INTO tracks (name, artist, location) "
                                          "SELECT name || ' twice', artist, location FROM tracks WHERE id <= 4;");
    const qint64 mix = library.createPlaylist("Mix");
    QList<qint64> all;
    for (const TrackRef &ref : library.allTracks())
        all << ref.trackId;
    ASSERT_EQ(all.size(), 12);
    // Entries added in reverse, then positions in runs of five equal ones.
    std::reverse(all.begin(), all.end());
    library.addToPlaylist(mix, all);
    runSql(builder.libraryPath(), "UPDATE playlist_entries SET position = 100 - (id - 1) / 5");

    const QStringList keys{"name", "location"};
    const TrackRows whole = library.tracksOf(mix, keys);
    ASSERT_EQ(whole.refs.size(), 12);
    for (qsizetype pageSize : {1, 3, 4, 5, 7, 12, 13}) {
        SCOPED_TRACE(pageSize);
        MusicLibrary::TrackPager pager(library, mix, keys);
        EXPECT_EQ(pager.size(), 12);
        int pages = 0;
        expectSameTracks(allPages(pager, pageSize, &pages), whole);
        EXPECT_EQ(pages, (12 + pageSize - 1) / pageSize);
        EXPECT_TRUE(pager.next(pageSize).refs.isEmpty());
    }
    // The rows of the missing file have no location; the others keep theirs.
    int dead = 0;
    for (const QVariantList &row : whole.rows) {
        if (row[0].toString().startsWith("song 3")) {
            EXPECT_TRUE(row[1].toString().isEmpty());
            ++dead;
        } else
            EXPECT_TRUE(QFile::exists(row[1].toString())) << row[0].toString().toStdString();
    }
    EXPECT_EQ(dead, 3);
}

// What others write between two pages is not seen until the pager ends: the
// walk reads one state of the library, not half of each.
TEST(TrackPager, AWalkSeesOneStateOfTheLibraryWhateverIsWrittenMeanwhile)
{
    LibraryBuilder builder;
    MusicLibrary &library = builder.library();
    QList<qint64> ids;
    for (int i = 0; i < 6; ++i)
        ids << builder.addTrack(QStringLiteral("song %1").arg(i), "band");
    const qint64 mix = library.createPlaylist("Mix");
    library.addToPlaylist(mix, ids);
    const TrackRows before = library.tracksOf(mix, {"name"});

    {
        MusicLibrary::TrackPager pager(library, mix, {"name"});
        TrackRows paged = pager.next(2);
        runSql(builder.libraryPath(), "UPDATE tracks SET name = 'renamed'; "
                                              "DELETE FROM playlist_entries WHERE id IN "
                                              "(SELECT id FROM playlist_entries ORDER BY id DESC LIMIT 2);");
        // Reads of this thread outside the pages see the same state.
        EXPECT_EQ(library.property(LibraryBuilder::throughLibrary(ids[5]), "name").toString(), "song 5");
        const TrackRows rest = allPages(pager, 2);
        paged.refs += rest.refs;
        paged.rows += rest.rows;
        expectSameTracks(paged, before);
    }
    // Once it ended, the writes are there.
    const TrackRows after = library.tracksOf(mix, {"name"});
    ASSERT_EQ(after.refs.size(), 4);
    EXPECT_EQ(after.rows[0][0].toString(), "renamed");

    // An exception leaving a pager ends its read as well.
    try {
        MusicLibrary::TrackPager pager(library, mix, {"name"});
        pager.next(1);
        throw std::runtime_error("stop");
    } catch (const std::runtime_error &) {
    }
    runSql(builder.libraryPath(), "UPDATE tracks SET name = 'again'");
    EXPECT_EQ(library.tracksOf(mix, {"name"}).rows[0][0].toString(), "again");
}

// The selection and a smart playlist, whose tracks are found rather than
// stored in order, page the same way.
TEST(TrackPager, TheSelectionAndSmartPlaylistsPageLikeTheirWholeRead)
{
    LibraryBuilder builder;
    MusicLibrary &library = builder.library();
    QList<qint64> ids;
    for (int i = 0; i < 7; ++i)
        ids << builder.addTrack(QStringLiteral("%1 song").arg(i % 2 ? "loud" : "soft"), "band");
    library.setSelection({ids[4], ids[1], ids[6]});
    const qint64 smart = library.createSmartPlaylist("Loud", {"name", 2, "loud", true});

    const QStringList keys{"name", "artist"};
    MusicLibrary::TrackPager selected(library, 0, keys);
    EXPECT_EQ(selected.size(), 3);
    expectSameTracks(allPages(selected, 2), library.selection(keys));

    MusicLibrary::TrackPager loud(library, smart, keys);
    EXPECT_EQ(loud.size(), 3);
    const TrackRows whole = library.tracksOf(smart, keys);
    expectSameTracks(allPages(loud, 2), whole);
    EXPECT_EQ(whole.rows[0][0].toString(), "loud song");
}

// The whole library pages in the order allTracks gives, with the rows
// propertyRows reads (a dead track without its location), past gaps in the
// ids; tracks another program adds or deletes meanwhile are not seen until
// the pager ends.
TEST(TrackPager, TheWholeLibraryPagesInIdOrderAndSeesOneState)
{
    LibraryBuilder builder;
    MusicLibrary &library = builder.library();
    QList<qint64> ids;
    for (int i = 0; i < 9; ++i)
        ids << builder.addTrack(QStringLiteral("song %1").arg(i), "band", {}, i == 4);
    library.deleteTracks({LibraryBuilder::throughLibrary(ids[2]), LibraryBuilder::throughLibrary(ids[6])});
    const QStringList keys{"name", "location", "year"};
    const QList<TrackRef> all = library.allTracks();
    ASSERT_EQ(all.size(), 7);
    const TrackRows whole{all, library.propertyRows(all, keys)};
    for (qsizetype pageSize : {1, 2, 7, 8}) {
        SCOPED_TRACE(pageSize);
        MusicLibrary::TrackPager pager(library, MusicLibrary::TrackPager::WholeLibrary{}, keys);
        EXPECT_EQ(pager.size(), 7);
        int pages = 0;
        expectSameTracks(allPages(pager, pageSize, &pages), whole);
        EXPECT_EQ(pages, (7 + pageSize - 1) / pageSize);
    }
    EXPECT_TRUE(whole.rows[3][1].toString().isEmpty()) << "the dead track has no location";

    {
        MusicLibrary::TrackPager pager(library, MusicLibrary::TrackPager::WholeLibrary{}, keys);
        TrackRows paged = pager.next(3);
        runSql(builder.libraryPath(), "DELETE FROM tracks WHERE id = (SELECT max(id) FROM tracks); "
                                      "INSERT INTO tracks (name, location) VALUES ('late', '/late.mp3');");
        const TrackRows rest = allPages(pager, 3);
        paged.refs += rest.refs;
        paged.rows += rest.rows;
        expectSameTracks(paged, whole);
    }
    MusicLibrary::TrackPager after(library, MusicLibrary::TrackPager::WholeLibrary{}, {"name"});
    const TrackRows now = allPages(after, 4);
    ASSERT_EQ(now.refs.size(), 7);
    EXPECT_EQ(now.rows.last()[0].toString(), "late");
    EXPECT_EQ(now.refs[5].trackId, ids[7]);
}
