// SPDX-License-Identifier: GPL-3.0-or-later
#include "librarytoolfixture.h"

#include "tools/deadtrackremoval.h"

#include <sqlite3.h>

namespace {

class DeadTrackRemoval : public LibraryToolTest {
protected:
    void run() { runAndWait([this] { app_.performDead(); }); }
    QString fileOf(qint64 id) { return library().storedLocation({id, 0, 0}); }
};

} // namespace

TEST_F(DeadTrackRemoval, APlaylistWhoseFilesAllExistHasNoDeadTracks)
{
    addPlaylist("All", {addTrack("one"), addTrack("two")});
    chooseSource("All");
    run();
    EXPECT_EQ(port_->alertTitles(), QStringList{"No Dead Tracks"});
    EXPECT_EQ(port_->alerts[0].message, "No dead tracks to remove were found in the selected playlist.");
    EXPECT_EQ(port_->reviewsBegun, 0);
    EXPECT_EQ(app_.selectedMethod(), 0);
}

TEST_F(DeadTrackRemoval, TracksWhoseFilesWereDeletedAreRemovedAndNoFileIsTrashed)
{
    const qint64 alive = addTrack("alive");
    const qint64 gone = addTrack("gone");
    const qint64 alsoGone = addTrack("also gone");
    const qint64 stream = library().addStreamTrack("http://radio.example/live", {{"name", "radio"}});
    const qint64 all = addPlaylist("All", {alive, gone, stream, alsoGone});
    const qint64 other = addPlaylist("Other", {gone});
    chooseSource("All");
    ASSERT_TRUE(QFile::remove(fileOf(gone)));
    ASSERT_TRUE(QFile::remove(fileOf(alsoGone)));
    // The playlist manager's trash option has no say here.
    app_.setMoveTrash(true);

    run();
    EXPECT_TRUE(port_->alerts.isEmpty());
    EXPECT_EQ(reviewedTitles(), (QStringList{"gone", "also gone"}));
    ASSERT_TRUE(app_.changes());
    EXPECT_EQ(app_.changes()->remove, 1);
    EXPECT_FALSE(app_.changes()->trash);
    EXPECT_EQ(app_.changeInfo(), "Checked tracks of these 2 tracks will removed from the playlist 'All':");

    // An unticked entry stays.
    app_.checkSelected({1}, 0);
    apply();
    EXPECT_EQ(idsIn(all), (QList<qint64>{alive, stream, alsoGone}));
    EXPECT_EQ(idsIn(other), QList<qint64>{gone});
    EXPECT_TRUE(QFileInfo::exists(fileOf(alive)));
    EXPECT_FALSE(QFileInfo::exists(trashFolder()));
}

TEST_F(DeadTrackRemoval, DeadTracksInFoldersThatAreGoneAskBeforeTheReview)
{
    const qint64 here = addTrack("here");
    const qint64 away1 = addTrack("away 1");
    const qint64 away2 = addTrack("away 2");
    // Two tracks on a "drive" that is not mounted, one whose file alone was deleted.
    const QString drive = folder_.filePath("media/usb");
    library().setLocation({away1, 0, 0}, drive + "/Music/Album/1.mp3");
    library().setLocation({away2, 0, 0}, drive + "/Music/Other/2.mp3");
    ASSERT_TRUE(QFile::remove(fileOf(here)));
    addPlaylist("All", {here, away1, away2});
    chooseSource("All");

    port_->alertAnswers.push_back(1); // Cancel
    run();
    ASSERT_EQ(port_->alerts.size(), 1);
    EXPECT_EQ(port_->alerts[0].buttons, (QStringList{"Cancel", "Continue"}));
    EXPECT_TRUE(port_->alerts[0].message.startsWith("2 of the 3 dead tracks lie in folders that do not exist at all, "
                                                    "such as '" + folder_.filePath("media") + "'."))
        << port_->alerts[0].message.toStdString();
    EXPECT_TRUE(port_->alerts[0].message.contains("may not be mounted"));
    EXPECT_EQ(port_->reviewsBegun, 0);
    EXPECT_FALSE(app_.changes());

    port_->alerts.clear();
    port_->alertAnswers.push_back(0); // Continue
    run();
    EXPECT_EQ(port_->alerts.size(), 1);
    EXPECT_EQ(port_->reviewsBegun, 1);
    EXPECT_EQ(reviewedTitles(), (QStringList{"here", "away 1", "away 2"}));
}

TEST(MissingFolderCount, LooksAtEachFolderOnceAndNamesTheOutermostMissingOne)
{
    TestFolder folder;
    folder.addFolder("Music/Present");
    tools::MissingFolderCount count;
    count.add(folder.filePath("Music/Present/a.mp3"));
    count.add(folder.filePath("Music/Gone/Deeper/b.mp3"));
    count.add(folder.filePath("Music/Gone/Deeper/c.mp3"));
    count.add(folder.filePath("Music/Present/d.mp3"));
    count.add(QString());
    EXPECT_EQ(count.tracks(), 2);
    EXPECT_EQ(count.example(), folder.filePath("Music/Gone"));
}

// A playlist longer than one page of the walk, holding its three tracks over
// and over with runs of equal positions across the page ends: every entry of
// the dead one is proposed once, in the playlist's order.
TEST_F(DeadTrackRemoval, ALongPlaylistIsWalkedWholeInItsOrder)
{
    const qint64 alive = addTrack("alive");
    const qint64 gone = addTrack("gone");
    const qint64 also = addTrack("also alive");
    QList<qint64> entries;
    for (int i = 0; i < 1536; ++i)
        entries << QList<qint64>{alive, gone, also}[i % 3];
    const qint64 all = addPlaylist("All", entries);
    ASSERT_TRUE(QFile::remove(fileOf(gone)));
    sqlite3 *db = nullptr;
    ASSERT_EQ(sqlite3_open(QFile::encodeName(library().path()).constData(), &db), SQLITE_OK);
    // Seven entries share each position, so pages end inside runs.
    EXPECT_EQ(sqlite3_exec(db, "UPDATE playlist_entries SET position = 5000 - id / 7", nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);
    chooseSource("All");

    run();
    ASSERT_TRUE(app_.changes());
    QList<qint64> proposed;
    for (const ChangeRecord &r : app_.changes()->records) {
        EXPECT_EQ(r.track.track()->trackId, gone);
        proposed << r.track.track()->entryId;
    }
    QList<qint64> expected;
    for (const TrackRef &ref : library().tracksOf(all))
        if (ref.trackId == gone)
            expected << ref.entryId;
    EXPECT_EQ(proposed.size(), 512);
    EXPECT_EQ(proposed, expected);
}
