// SPDX-License-Identifier: GPL-3.0-or-later
#include "librarybuilder.h"

#include <QFile>
#include <QThread>
#include <gtest/gtest.h>

namespace {

QList<qint64> trackIds(const QList<TrackRef> &refs)
{
    QList<qint64> ids;
    for (const TrackRef &ref : refs)
        ids.append(ref.trackId);
    return ids;
}

class MusicLibraryTest : public ::testing::Test {
protected:
    LibraryBuilder b;
    MusicLibrary &lib = b.library();
};

TEST_F(MusicLibraryTest, PropertiesReadWithTheirTypes)
{
    const qint64 id = lib.importFile({b.folder().addSeed("seed.mp3", "a.mp3"),
                                      {{"name", "Déjà Vu"},
                                       {"artist", "The Band"},
                                       {"year", 1999},
                                       {"duration", 215.25},
                                       {"bitRate", 128},
                                       {"kind", "MPEG audio file"}}});
    const TrackRef ref = LibraryBuilder::throughLibrary(id);
    EXPECT_EQ(lib.property(ref, "name"), QVariant(QString("Déjà Vu")));
    EXPECT_EQ(lib.property(ref, "year").typeId(), QMetaType::LongLong);
    EXPECT_EQ(lib.property(ref, "year").toLongLong(), 1999);
    EXPECT_EQ(lib.property(ref, "duration").typeId(), QMetaType::Double);
    EXPECT_DOUBLE_EQ(lib.property(ref, "duration").toDouble(), 215.25);
    EXPECT_EQ(lib.property(ref, "bitRate").toLongLong(), 128);
    EXPECT_EQ(lib.property(ref, "kind").toString(), "MPEG audio file");
    // Unset values are absent, whatever their kind.
    EXPECT_FALSE(lib.property(ref, "lyrics").isValid());
    EXPECT_FALSE(lib.property(ref, "rating").isValid());
    // "title" is the track's alias, not a library property; "cover" is read from the file elsewhere.
    EXPECT_THROW(lib.property(ref, "title"), LibraryError);
    EXPECT_THROW(lib.property(ref, "cover"), LibraryError);
}

TEST_F(MusicLibraryTest, WritesStoreTextAndNumbers)
{
    const TrackRef ref = LibraryBuilder::throughLibrary(b.addTrack("One", "Artist"));
    lib.setProperty(ref, "comment", QString("line 1\nline 2 \u2028 ✓"));
    lib.setProperty(ref, "rating", 80);
    lib.setProperty(ref, "year", QString("2001"));
    lib.setProperty(ref, "bpm", QString(" "));
    EXPECT_EQ(lib.property(ref, "comment").toString(), QString("line 1\nline 2 \u2028 ✓"));
    EXPECT_EQ(lib.property(ref, "rating").toLongLong(), 80);
    EXPECT_EQ(lib.property(ref, "year").toLongLong(), 2001);
    EXPECT_FALSE(lib.property(ref, "bpm").isValid());
    lib.setProperty(ref, "name", QString(""));
    EXPECT_EQ(lib.property(ref, "name"), QVariant(QString("")));
    lib.setProperty(ref, "album", QVariant());
    EXPECT_FALSE(lib.property(ref, "album").isValid());

    try {
        lib.setProperty(ref, "year", QString("soon"));
        FAIL() << "a word was stored as a year";
    } catch (const LibraryError &e) {
        EXPECT_TRUE(e.reason().contains("soon")) << e.reason().toStdString();
        EXPECT_TRUE(e.reason().contains("\"year\" of track")) << e.reason().toStdString();
    }
    EXPECT_EQ(lib.property(ref, "year").toLongLong(), 2001);

    // A fraction is rounded; what no integer holds is refused and changes nothing.
    lib.setProperty(ref, "bpm", QString("119.6"));
    EXPECT_EQ(lib.property(ref, "bpm").toLongLong(), 120);
    for (const QString &huge : {QString("1e300"), QString("-1e19"), QString("inf"), QString("nan")}) {
        EXPECT_THROW(lib.setProperty(ref, "year", huge), LibraryError) << huge.toStdString();
        EXPECT_THROW(lib.setProperty(ref, "year", huge.toDouble()), LibraryError) << huge.toStdString();
    }
    EXPECT_EQ(lib.property(ref, "year").toLongLong(), 2001);
}

TEST_F(MusicLibraryTest, OddTextReadsBackAsWritten)
{
    // Plain ASCII, accents and an emoji, an embedded NUL and control
    // characters come back exactly, from single and bulk reads alike. A lone
    // surrogate of a damaged tag becomes U+FFFD and takes nothing else with it.
    const QString lone = QString("half ") + QChar(0xD800) + QString(" pair, low ") + QChar(0xDC00);
    const QString mended = QString("half ") + QChar(0xFFFD) + QString(" pair, low ") + QChar(0xFFFD);
    const QString accented = QString("Déjà Vu ✓ ") + QString::fromUcs4(U"\U0001F3B5");
    const QList<std::pair<QString, QString>> cases{
        {"Plain ASCII", "Plain ASCII"},
        {accented, accented},
        {lone, mended},
        {QString("nul") + QChar(0) + QString("inside"), QString("nul") + QChar(0) + QString("inside")},
        {"\x01\x1f\x7f tail", "\x01\x1f\x7f tail"},
        {"", ""}};
    QList<TrackRef> refs;
    for (const auto &[written, read] : cases) {
        const TrackRef ref = LibraryBuilder::throughLibrary(b.addTrack("T", "A"));
        lib.setProperty(ref, "comment", written);
        refs.append(ref);
    }
    const QList<QVariantList> rows = lib.propertyRows(refs, {"comment"});
    ASSERT_EQ(rows.size(), cases.size());
    for (qsizetype i = 0; i < cases.size(); ++i) {
        EXPECT_EQ(lib.property(refs[i], "comment").toString(), cases[i].second) << i;
        EXPECT_EQ(rows[i].value(0).toString(), cases[i].second) << i;
        EXPECT_FALSE(rows[i].value(0).toString().isNull()) << "empty text is not absent: " << i;
    }
}

TEST_F(MusicLibraryTest, BulkPropertiesFollowTheOrderOfTheReferences)
{
    const qint64 a = b.addTrack("A", "X"), c = b.addTrack("C", "Z", {}, true), d = b.addTrack("D", "Y");
    const QList<TrackRef> refs{{d, 0, 0}, {a, 0, 0}, {c, 0, 0}, {d, 0, 0}};
    const QList<QVariantHash> rows = lib.properties(refs, {"name", "artist", "location", "year"});
    ASSERT_EQ(rows.size(), 4);
    EXPECT_EQ(rows[0].value("name").toString(), "D");
    EXPECT_EQ(rows[1].value("artist").toString(), "X");
    EXPECT_EQ(rows[3].value("name").toString(), "D");
    EXPECT_TRUE(rows[2].value("location").toString().isNull()) << "a dead track has no location";
    EXPECT_EQ(rows[0].value("location").toString(), lib.location(refs[0]));
    EXPECT_FALSE(rows[0].value("year").isValid());

    const QList<QVariantList> table = lib.propertyRows(refs, {"location", "name"});
    ASSERT_EQ(table.size(), 4);
    EXPECT_EQ(table[1], (QVariantList{rows[1].value("location"), QString("A")}));
    EXPECT_EQ(table[2], (QVariantList{QVariant(QString()), QString("C")}));

    lib.deleteTrack({a, 0, 0});
    EXPECT_THROW(lib.properties(refs, {"name"}), LibraryError);
    EXPECT_THROW(lib.propertyRows(refs, {"name"}), LibraryError);
    EXPECT_THROW(lib.properties({{d, 0, 0}}, {"name", "nonsense"}), LibraryError);
}

TEST_F(MusicLibraryTest, ListsReadWithTheirValuesMatchTheOneByOneReads)
{
    const qint64 a = b.addTrack("A", "X"), c = b.addTrack("C", "Y", {}, true), d = b.addTrack("D", "Z");
    lib.setProperty(LibraryBuilder::throughLibrary(d), "year", 1999);
    const qint64 plain = lib.createPlaylist("Plain");
    lib.addToPlaylist(plain, {d, a, c, d});
    const qint64 smart = lib.createSmartPlaylist("Smart", {"artist", 4, "z", true});
    lib.setSelection({c, a});
    const QStringList keys{"name", "location", "year"};

    // The same references and values as listing the tracks and reading them
    // afterwards: a track standing twice twice, a dead track without location.
    for (const qint64 playlist : {plain, smart}) {
        const TrackRows read = lib.tracksOf(playlist, keys);
        const QList<TrackRef> refs = lib.tracksOf(playlist);
        ASSERT_EQ(read.refs.size(), refs.size()) << playlist;
        for (qsizetype i = 0; i < refs.size(); ++i) {
            EXPECT_EQ(read.refs[i].trackId, refs[i].trackId) << i;
            EXPECT_EQ(read.refs[i].entryId, refs[i].entryId) << i;
            EXPECT_EQ(read.refs[i].playlistId, playlist) << i;
        }
        EXPECT_EQ(read.rows, lib.propertyRows(refs, keys)) << playlist;
    }
    const TrackRows plainRead = lib.tracksOf(plain, keys);
    EXPECT_EQ(trackIds(plainRead.refs), (QList<qint64>{d, a, c, d}));
    EXPECT_EQ(plainRead.rows[0], (QVariantList{QString("D"), lib.location({d, 0, 0}), 1999LL}));
    EXPECT_TRUE(plainRead.rows[2].value(1).toString().isNull()) << "a dead track has no location";

    const TrackRows selected = lib.selection(keys);
    EXPECT_EQ(trackIds(selected.refs), (QList<qint64>{c, a}));
    EXPECT_EQ(selected.rows, lib.propertyRows(lib.selection(), keys));

    EXPECT_TRUE(lib.tracksOf(lib.createPlaylist("Empty"), keys).refs.isEmpty());
    EXPECT_THROW(lib.tracksOf(9999, keys), LibraryError);
    EXPECT_THROW(lib.tracksOf(plain, {"name", "nonsense"}), LibraryError);
}

TEST_F(MusicLibraryTest, DeadTrackHasNoLocationButStaysAFileTrack)
{
    const TrackRef ref = LibraryBuilder::throughLibrary(b.addTrack("Gone", "Artist"));
    const QString path = lib.location(ref);
    ASSERT_FALSE(path.isEmpty());
    EXPECT_TRUE(QFile::exists(path));
    ASSERT_TRUE(QFile::remove(path));
    EXPECT_TRUE(lib.location(ref).isNull());
    EXPECT_TRUE(lib.property(ref, "location").toString().isNull());
    EXPECT_EQ(lib.className(ref), "ITunesFileTrack");

    // Relinking points the entry at another file, which brings it back to life.
    const QString other = b.folder().addSeed("seed.mp3", "elsewhere/found.mp3");
    lib.setLocation(ref, other);
    EXPECT_EQ(lib.location(ref), other);
}

TEST_F(MusicLibraryTest, StreamsAreUrlTracksWithoutLocation)
{
    const TrackRef ref = LibraryBuilder::throughLibrary(
        lib.addStreamTrack("http://radio.example/stream", {{"name", "Radio"}}));
    EXPECT_EQ(lib.className(ref), "ITunesURLTrack");
    EXPECT_TRUE(lib.location(ref).isNull());
    EXPECT_EQ(lib.property(ref, "name").toString(), "Radio");
    EXPECT_THROW(lib.setLocation(ref, "/tmp/x.mp3"), LibraryError);
}

TEST_F(MusicLibraryTest, PlaylistsKeepTheirOrderAndFirstNameWins)
{
    const qint64 rock = lib.createPlaylist("Rock");
    const qint64 jazz = lib.createPlaylist("Jazz");
    const qint64 rock2 = lib.createPlaylist("Rock");
    const qint64 smart = lib.createSmartPlaylist("Nineties", {"year", 11, "1989", true});
    const QList<Playlist> all = lib.userPlaylists();
    ASSERT_EQ(all.size(), 4);
    EXPECT_EQ(all[0].id, rock);
    EXPECT_EQ(all[1].id, jazz);
    EXPECT_EQ(all[2].id, rock2);
    EXPECT_EQ(all[3].id, smart);
    EXPECT_TRUE(all[3].smart);
    EXPECT_FALSE(all[0].smart);
    EXPECT_EQ(lib.playlistNamed("Rock")->id, rock);
    EXPECT_FALSE(lib.playlistNamed("rock").has_value());
    EXPECT_EQ(lib.smartRule(smart)->operand, "1989");
    EXPECT_FALSE(lib.smartRule(rock).has_value());
    EXPECT_THROW(lib.createPlaylist(""), LibraryError);
    EXPECT_THROW(lib.createSmartPlaylist("Bad", {"year", 13, "", true}), LibraryError);
    EXPECT_THROW(lib.createSmartPlaylist("Bad", {"year", 6, "(", true}), LibraryError);
    EXPECT_EQ(lib.userPlaylists().size(), 4);
    EXPECT_THROW(lib.tracksOf(9999), LibraryError);
}

TEST_F(MusicLibraryTest, TrackReachedThroughTwoPlaylists)
{
    const qint64 t = b.addTrack("Song", "Artist");
    const qint64 p1 = lib.createPlaylist("One"), p2 = lib.createPlaylist("Two");
    lib.addToPlaylist(p1, {t});
    lib.addToPlaylist(p2, {t});
    const TrackRef viaOne = lib.tracksOf(p1).constFirst();
    const TrackRef viaTwo = lib.tracksOf(p2).constFirst();
    EXPECT_EQ(viaOne, viaTwo) << "references to one track compare equal";
    EXPECT_NE(viaOne.entryId, viaTwo.entryId);
    lib.setProperty(viaOne, "artist", QString("Changed"));
    EXPECT_EQ(lib.property(viaTwo, "artist").toString(), "Changed");

    // Deleting through one playlist leaves the other one and the library alone.
    lib.deleteTrack(viaOne);
    EXPECT_TRUE(lib.tracksOf(p1).isEmpty());
    EXPECT_EQ(lib.tracksOf(p2).size(), 1);
    EXPECT_EQ(lib.allTracks().size(), 1);
    // The broken reference now fails with a reason; the other still reads.
    EXPECT_THROW(lib.property(viaOne, "name"), LibraryError);
    EXPECT_THROW(lib.deleteTrack(viaOne), LibraryError);
    EXPECT_EQ(lib.property(viaTwo, "name").toString(), "Song");
}

TEST_F(MusicLibraryTest, TrackStandingTwiceInOnePlaylistLosesOnlyOneEntry)
{
    const qint64 a = b.addTrack("A", "X"), t = b.addTrack("Twice", "X");
    const qint64 p = lib.createPlaylist("Mix");
    lib.addToPlaylist(p, {t, a, t});
    QList<TrackRef> entries = lib.tracksOf(p);
    ASSERT_EQ(trackIds(entries), (QList<qint64>{t, a, t}));
    lib.deleteTrack(entries[2]);
    EXPECT_EQ(trackIds(lib.tracksOf(p)), (QList<qint64>{t, a}));
    EXPECT_EQ(lib.tracksOf(p).constFirst().entryId, entries[0].entryId);
}

TEST_F(MusicLibraryTest, DeletingThroughTheLibraryRemovesEverywhere)
{
    const qint64 t = b.addTrack("Doomed", "X"), keep = b.addTrack("Kept", "Y");
    const qint64 p1 = lib.createPlaylist("One"), p2 = lib.createPlaylist("Two");
    lib.addToPlaylist(p1, {t, keep, t});
    lib.addToPlaylist(p2, {t});
    lib.setSelection({keep, t});
    lib.deleteTrack(LibraryBuilder::throughLibrary(t));
    EXPECT_EQ(trackIds(lib.allTracks()), QList<qint64>{keep});
    EXPECT_EQ(trackIds(lib.tracksOf(p1)), QList<qint64>{keep});
    EXPECT_TRUE(lib.tracksOf(p2).isEmpty());
    EXPECT_EQ(trackIds(lib.selection()), QList<qint64>{keep});

    // A deleted track's reads fail with what was being done; its id is not reused.
    try {
        lib.property(LibraryBuilder::throughLibrary(t), "artist");
        FAIL() << "a deleted track was read";
    } catch (const LibraryError &e) {
        EXPECT_EQ(e.name(), "Library Error");
        EXPECT_TRUE(e.reason().contains("no longer exists")) << e.reason().toStdString();
        EXPECT_TRUE(e.purpose().contains("artist")) << e.purpose().toStdString();
    }
    EXPECT_THROW(lib.location(LibraryBuilder::throughLibrary(t)), LibraryError);
    EXPECT_THROW(lib.className(LibraryBuilder::throughLibrary(t)), LibraryError);
    EXPECT_THROW(lib.setProperty(LibraryBuilder::throughLibrary(t), "name", QString("x")), LibraryError);
    EXPECT_THROW(lib.deleteTrack(LibraryBuilder::throughLibrary(t)), LibraryError);
    EXPECT_GT(b.addTrack("New", "Z"), t);
}

TEST_F(MusicLibraryTest, DuplicateAppendsAndBulkAddSkipsWhatIsThere)
{
    const qint64 a = b.addTrack("A", "X"), c = b.addTrack("C", "X"), d = b.addTrack("D", "X");
    const qint64 target = lib.createPlaylist("Target");
    lib.addToPlaylist(target, {c});
    lib.duplicateTo(LibraryBuilder::throughLibrary(a), target);
    lib.duplicateTo(LibraryBuilder::throughLibrary(a), target);
    EXPECT_EQ(trackIds(lib.tracksOf(target)), (QList<qint64>{c, a, a}));

    EXPECT_EQ(lib.addTracksToPlaylist(target, {a, d, c, d}, true), 1);
    EXPECT_EQ(trackIds(lib.tracksOf(target)), (QList<qint64>{c, a, a, d}));

    // A vanished track refuses the whole addition.
    lib.deleteTrack(LibraryBuilder::throughLibrary(c));
    EXPECT_THROW(lib.addTracksToPlaylist(target, {d, c}, false), LibraryError);
    EXPECT_EQ(trackIds(lib.tracksOf(target)), (QList<qint64>{a, a, d}));
    EXPECT_THROW(lib.duplicateTo(LibraryBuilder::throughLibrary(a), 4242), LibraryError);
}

TEST_F(MusicLibraryTest, BulkAddKeepsTheOrderOfTheList)
{
    const qint64 a = b.addTrack("A", "X"), c = b.addTrack("C", "X"), d = b.addTrack("D", "X"),
                 e = b.addTrack("E", "X");
    const qint64 target = lib.createPlaylist("Target"), other = lib.createPlaylist("Other");
    lib.addToPlaylist(other, {e});
    lib.addToPlaylist(target, {c});

    // Skipping: each new track once, where it first appears; a track in
    // another playlist only is new here.
    EXPECT_EQ(lib.addTracksToPlaylist(target, {e, c, a, e, d, a}, true), 3);
    EXPECT_EQ(trackIds(lib.tracksOf(target)), (QList<qint64>{c, e, a, d}));
    EXPECT_EQ(lib.addTracksToPlaylist(target, {d, a}, true), 0);
    EXPECT_EQ(lib.addTracksToPlaylist(target, {}, true), 0);

    // Not skipping: every listed track, twice when listed twice.
    EXPECT_EQ(lib.addTracksToPlaylist(target, {d, c, d}, false), 3);
    EXPECT_EQ(trackIds(lib.tracksOf(target)), (QList<qint64>{c, e, a, d, d, c, d}));
    EXPECT_EQ(trackIds(lib.tracksOf(other)), QList<qint64>{e});

    // One vanished track refuses the whole addition.
    EXPECT_THROW(lib.addTracksToPlaylist(other, {a, 4242, c}, true), LibraryError);
    EXPECT_EQ(trackIds(lib.tracksOf(other)), QList<qint64>{e});
}

TEST_F(MusicLibraryTest, BulkDeleteIsAllOrNothing)
{
    const qint64 a = b.addTrack("A", "X"), c = b.addTrack("C", "X");
    const qint64 p = lib.createPlaylist("P");
    lib.addToPlaylist(p, {a, c, a});
    QList<TrackRef> entries = lib.tracksOf(p);
    lib.deleteTracks({entries[0], entries[2]});
    EXPECT_EQ(trackIds(lib.tracksOf(p)), QList<qint64>{c});

    const TrackRef stale = entries[0];
    EXPECT_THROW(lib.deleteTracks({entries[1], stale}), LibraryError);
    EXPECT_EQ(trackIds(lib.tracksOf(p)), QList<qint64>{c}) << "the first deletion was rolled back";
}

TEST_F(MusicLibraryTest, SmartPlaylistsAreComputedAndNeverTargets)
{
    const qint64 a = b.addTrack("Alpha", "The Beatles"), c = b.addTrack("Beta", "Beatles Tribute");
    b.addTrack("Gamma", "Stones");
    lib.setProperty(LibraryBuilder::throughLibrary(c), "year", 2001);
    const qint64 beatles = lib.createSmartPlaylist("Beatles", {"artist", 2, "beatles", true});
    const qint64 exact = lib.createSmartPlaylist("Exact", {"artist", 2, "beatles", false});
    const qint64 recent = lib.createSmartPlaylist("Recent", {"year", 11, "2000", false});
    const qint64 regex = lib.createSmartPlaylist("Regex", {"name", 6, "^(alpha|gamma)$", true});
    EXPECT_EQ(trackIds(lib.tracksOf(beatles)), (QList<qint64>{a, c}));
    EXPECT_TRUE(lib.tracksOf(exact).isEmpty());
    EXPECT_EQ(trackIds(lib.tracksOf(recent)), QList<qint64>{c});
    EXPECT_EQ(lib.tracksOf(regex).size(), 2);

    // Computed when read: a change shows at once.
    lib.setProperty(LibraryBuilder::throughLibrary(a), "artist", QString("Wings"));
    EXPECT_EQ(trackIds(lib.tracksOf(beatles)), QList<qint64>{c});

    const TrackRef viaSmart = lib.tracksOf(beatles).constFirst();
    EXPECT_EQ(lib.property(viaSmart, "name").toString(), "Beta");
    try {
        lib.deleteTrack(viaSmart);
        FAIL() << "a track was removed from a smart playlist";
    } catch (const LibraryError &e) {
        EXPECT_TRUE(e.reason().contains("smart playlist")) << e.reason().toStdString();
    }
    EXPECT_THROW(lib.duplicateTo(LibraryBuilder::throughLibrary(a), beatles), LibraryError);
    EXPECT_EQ(lib.allTracks().size(), 3);
}

TEST_F(MusicLibraryTest, SelectionKeepsOrderAndRefusesUnknownTracks)
{
    const qint64 a = b.addTrack("A", "X"), c = b.addTrack("C", "X");
    EXPECT_TRUE(lib.selection().isEmpty());
    lib.setSelection({c, a});
    EXPECT_EQ(trackIds(lib.selection()), (QList<qint64>{c, a}));
    EXPECT_TRUE(lib.selection().constFirst().reachedThroughLibrary());
    EXPECT_THROW(lib.setSelection({a, 999}), LibraryError);
    EXPECT_EQ(trackIds(lib.selection()), (QList<qint64>{c, a})) << "a refused selection changes nothing";
    lib.setSelection({});
    EXPECT_TRUE(lib.selection().isEmpty());
}

TEST_F(MusicLibraryTest, ReimportUpdatesInsteadOfDuplicating)
{
    const QString path = b.folder().addSeed("seed.mp3", "song.mp3");
    const qint64 id = lib.importFile({path, {{"name", "Old"}, {"genre", "Pop"}, {"year", 1990}}});
    lib.setProperty(LibraryBuilder::throughLibrary(id), "playedCount", 7);
    EXPECT_EQ(lib.importFile({path, {{"name", "New"}, {"year", 1991}}}), id);
    const TrackRef ref = LibraryBuilder::throughLibrary(id);
    EXPECT_EQ(lib.allTracks().size(), 1);
    EXPECT_EQ(lib.property(ref, "name").toString(), "New");
    EXPECT_EQ(lib.property(ref, "year").toLongLong(), 1991);
    EXPECT_FALSE(lib.property(ref, "genre").isValid()) << "a tag gone from the file is gone from the library";
    EXPECT_EQ(lib.property(ref, "playedCount").toLongLong(), 7) << "library-own counts survive a re-import";

    EXPECT_THROW(lib.importFiles({{b.folder().filePath("x.mp3"), {{"name", "X"}}}, {"", {}}}), LibraryError);
    EXPECT_THROW(lib.importFile({b.folder().filePath("y.mp3"), {{"colour", "red"}}}), LibraryError);
    EXPECT_EQ(lib.allTracks().size(), 1) << "a refused batch stores nothing";
}

TEST_F(MusicLibraryTest, FileMovedFollowsEveryTrackAtThatPath)
{
    const qint64 a = b.addTrack("A", "X"), c = b.addTrack("C", "X");
    const QString oldPath = lib.location(LibraryBuilder::throughLibrary(a));
    const QString newPath = b.folder().filePath("renamed.mp3");
    ASSERT_TRUE(QFile::rename(oldPath, newPath));
    EXPECT_TRUE(lib.location(LibraryBuilder::throughLibrary(a)).isNull());
    lib.fileMoved(oldPath, newPath);
    EXPECT_EQ(lib.location(LibraryBuilder::throughLibrary(a)), newPath);
    EXPECT_NE(lib.location(LibraryBuilder::throughLibrary(c)), newPath);
}

TEST_F(MusicLibraryTest, TwoInstancesOnOneFileSeeEachOthersWrites)
{
    const qint64 t = b.addTrack("Shared", "X");
    MusicLibrary other(b.libraryPath());
    other.setProperty(LibraryBuilder::throughLibrary(t), "name", QString("From the other"));
    EXPECT_EQ(lib.property(LibraryBuilder::throughLibrary(t), "name").toString(), "From the other");
    const qint64 p = other.createPlaylist("Made elsewhere");
    EXPECT_EQ(lib.playlistNamed("Made elsewhere")->id, p);
}

TEST_F(MusicLibraryTest, BatchIsOneTransactionThatOthersWaitFor)
{
    const TrackRef t = LibraryBuilder::throughLibrary(b.addTrack("Before", "X"));
    const qint64 p = lib.createPlaylist("P");
    MusicLibrary other(b.libraryPath());
    other.setBusyTimeout(0);
    {
        MusicLibrary::Batch batch(lib, "test");
        lib.setProperty(t, "name", QString("Inside"));
        lib.addTracksToPlaylist(p, {t.trackId}, true);
        // Another writer cannot slip in between a check and its changes,
        // and does not see them before the commit.
        EXPECT_THROW(other.setProperty(t, "name", QString("Elsewhere")), LibraryError);
        EXPECT_EQ(other.property(t, "name").toString(), "Before");
    }
    EXPECT_EQ(lib.property(t, "name").toString(), "Before") << "a batch without commit undoes everything";
    EXPECT_TRUE(lib.tracksOf(p).isEmpty());
    {
        MusicLibrary::Batch batch(lib, "test");
        lib.setProperty(t, "name", QString("Kept"));
        lib.addTracksToPlaylist(p, {t.trackId}, true);
        batch.commit();
    }
    EXPECT_EQ(other.property(t, "name").toString(), "Kept");
    EXPECT_EQ(other.tracksOf(p).size(), 1);
}

TEST_F(MusicLibraryTest, ThreadsUseTheirOwnConnections)
{
    const qint64 t = b.addTrack("Threaded", "X");
    const qint64 p = lib.createPlaylist("Busy");
    QList<QThread *> threads;
    std::atomic<int> failures{0};
    for (int i = 0; i < 4; ++i) {
        threads.append(QThread::create([&, i] {
            try {
                for (int n = 0; n < 25; ++n) {
                    lib.addToPlaylist(p, {t});
                    lib.setProperty(LibraryBuilder::throughLibrary(t), "playedCount", i * 100 + n);
                    lib.property(LibraryBuilder::throughLibrary(t), "name");
                }
            } catch (const LibraryError &e) {
                ++failures;
                ADD_FAILURE() << e.what();
            }
        }));
        threads.last()->start();
    }
    for (QThread *thread : threads) {
        thread->wait();
        delete thread;
    }
    EXPECT_EQ(failures, 0);
    EXPECT_EQ(lib.tracksOf(p).size(), 100);
}

TEST(MusicLibraryLifetime, ClosingTheLibraryClosesOtherThreadsConnections)
{
    TestFolder folder;
    const QString path = folder.filePath("lib.sqlite");
    auto lib = std::make_unique<MusicLibrary>(path);
    const qint64 p = lib->createPlaylist("P");
    // The worker keeps its thread (and its connection) alive past the library.
    QThread worker;
    QObject onWorker;
    onWorker.moveToThread(&worker);
    worker.start();
    QMetaObject::invokeMethod(&onWorker, [&] { lib->tracksOf(p); }, Qt::BlockingQueuedConnection);
    EXPECT_TRUE(QFile::exists(path + "-wal"));
    lib.reset();
    // With every connection closed the write-ahead log is folded back into the file.
    EXPECT_FALSE(QFile::exists(path + "-wal"));
    MusicLibrary again(path);
    EXPECT_EQ(again.userPlaylists().size(), 1);
    worker.quit();
    worker.wait();
}

} // namespace
