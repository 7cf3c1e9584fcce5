// SPDX-License-Identifier: GPL-3.0-or-later
// The apply engine on its own: exact progress texts, the comparison rules
// and the outcome, run directly on the test's thread.
#include "fakewindowport.h"
#include "library/librarybuilder.h"
#include "model/musictrack.h"
#include "operations/applyengine.h"
#include "testfiles.h"

#include <QFile>
#include <gtest/gtest.h>
#include <sqlite3.h>

namespace {

struct Engine {
    LibraryBuilder builder;
    std::shared_ptr<MusicLibrary> library = std::make_shared<MusicLibrary>(builder.libraryPath());
    QStringList details;

    MusicTrack track(qint64 id) { return MusicTrack::withTrack(library, LibraryBuilder::throughLibrary(id)); }

    ChangeRecord record(qint64 id, const QString &key, const QString &oldValue, const QString &newValue)
    {
        const MusicTrack t = track(id);
        return ChangeRecord{t, key, oldValue, newValue, t.title(), t.artist(), true};
    }

    ApplyResult apply(std::shared_ptr<ChangeList> list, const QString &target = {})
    {
        ApplyRun run;
        run.changes = std::move(list);
        run.library = library;
        run.targetPlaylist = target;
        run.progress = [this](const ProgressDetail &detail) { details << detail.toString(); };
        return applyengine::apply(run);
    }
};

} // namespace

TEST(ApplyEngine, TagBranchReportsEveryRecordAndSkipsUncheckedOnes)
{
    Engine e;
    const qint64 a = e.builder.addTrack("Alpha", "Band");
    const qint64 b = e.builder.addTrack("Beta", "Band");
    const qint64 c = e.builder.addTrack("Gamma", "Band");
    auto list = std::make_shared<ChangeList>();
    list->records << e.record(a, "genre", "", "Pop") << e.record(b, "genre", "", "Pop") << e.record(c, "year", "", "1999");
    list->records[1].enabled = false;

    const ApplyResult result = e.apply(list);
    EXPECT_EQ(result.outcome, ApplyResult::Finished);
    EXPECT_EQ(result.written, 2);
    EXPECT_EQ(e.details, (QStringList{"1/3 Alpha", "2/3 ", "3/3 Gamma"}));
    EXPECT_EQ(e.track(a).valueForTag("genre").toString(), "Pop");
    // The unchecked record wrote nothing: the genre is still unset.
    EXPECT_FALSE(e.library->property(LibraryBuilder::throughLibrary(b), "genre").isValid());
    EXPECT_EQ(e.track(c).valueForTag("year").toInt(), 1999);
}

TEST(ApplyEngine, NumbersCompareAsTheirTextAndAbsentAsEmpty)
{
    Engine e;
    const qint64 a = e.builder.addTrack("Alpha", "Band");
    e.library->setProperty(LibraryBuilder::throughLibrary(a), "year", 1984);
    auto list = std::make_shared<ChangeList>();
    list->records << e.record(a, "year", "1984", "1985") << e.record(a, "comment", "", "new");
    EXPECT_EQ(e.apply(list).outcome, ApplyResult::Finished);
    EXPECT_EQ(e.track(a).valueForTag("year").toInt(), 1985);
    EXPECT_EQ(e.track(a).valueForTag("comment").toString(), "new");
}

TEST(ApplyEngine, RelinkRecordOfADeadTrackPassesAndSetsTheLocation)
{
    Engine e;
    const qint64 dead = e.builder.addTrack("Lost", "Band", {}, /*dead=*/true);
    const QString found = e.builder.folder().addSeed("seed.mp3", "found/lost.mp3");
    ASSERT_TRUE(e.track(dead).location().isNull());
    auto list = std::make_shared<ChangeList>();
    list->records << e.record(dead, "location", "", found);
    EXPECT_EQ(e.apply(list).outcome, ApplyResult::Finished);
    EXPECT_EQ(e.track(dead).location(), found);
}

TEST(ApplyEngine, OldValueChangedElsewhereAborts)
{
    Engine e;
    const qint64 a = e.builder.addTrack("Alpha", "Band");
    const qint64 b = e.builder.addTrack("Beta", "Band");
    auto list = std::make_shared<ChangeList>();
    list->records << e.record(a, "genre", "", "Pop") << e.record(b, "genre", "", "Pop");
    e.builder.library().setProperty(LibraryBuilder::throughLibrary(b), "genre", "Rock");

    const ApplyResult result = e.apply(list);
    EXPECT_EQ(result.outcome, ApplyResult::Aborted);
    EXPECT_EQ(result.written, 1);
    EXPECT_EQ(e.track(b).valueForTag("genre").toString(), "Rock");
    EXPECT_EQ(applyengine::outcomeMessage(result),
              "Please do not 'touch' iTunes while the operation is running. The operation had to be canceled.");
}

TEST(ApplyEngine, FileTrackWritesGoToTheFileAndRefusalsStopTheRun)
{
    ScopedFakePort port;
    Engine e;
    TestFolder music;
    const MusicTrack first = MusicTrack::withPath(music.addSeed("seed.flac", "a.flac"), port.get());
    const MusicTrack second = MusicTrack::withPath(music.addSeed("seed.mp3", "b.mp3"), port.get());
    const QByteArray secondBytes = TestFolder::readAll(second.path());
    auto list = std::make_shared<ChangeList>();
    list->records << ChangeRecord{first, "album", first.album(), "New Album", first.title(), first.artist(), true};
    // Play counts live in the library only: a file refuses them.
    list->records << ChangeRecord{second, "playedCount", "", "3", second.title(), second.artist(), true};

    const ApplyResult result = e.apply(list);
    EXPECT_EQ(result.outcome, ApplyResult::Failed);
    EXPECT_EQ(result.written, 1);
    EXPECT_TRUE(result.error.startsWith("Unsupported Tag")) << result.error.toStdString();
    EXPECT_EQ(MusicTrack::withPath(first.path(), port.get()).album(), "New Album");
    EXPECT_EQ(TestFolder::readAll(second.path()), secondBytes);
    EXPECT_EQ(port->alertTitles(), QStringList{"Unsupported Tag"});
}

TEST(ApplyEngine, MembershipDetailsStartWithPreparationAndSkipUncheckedRecords)
{
    Engine e;
    QList<qint64> ids;
    for (const char *name : {"One", "Two", "Three"})
        ids << e.builder.addTrack(name, "Band");
    const qint64 target = e.library->createPlaylist("Target");
    auto list = std::make_shared<ChangeList>();
    list->playlist = true;
    for (qint64 id : ids)
        list->records << e.record(id, {}, {}, {});
    list->records[1].enabled = false;

    const ApplyResult result = e.apply(list, "Target");
    EXPECT_EQ(result.outcome, ApplyResult::Finished);
    EXPECT_EQ(result.written, 2);
    EXPECT_EQ(e.details, (QStringList{"Preparation", "1/2 - One", "2/2 - Three"}));
    QList<qint64> added;
    for (const TrackRef &ref : e.library->tracksOf(target))
        added << ref.trackId;
    EXPECT_EQ(added, (QList<qint64>{ids[0], ids[2]}));
}

TEST(ApplyEngine, AddingFindsTheEditablePlaylistBehindASmartNamesake)
{
    Engine e;
    const qint64 id = e.builder.addTrack("One", "Band");
    e.library->createSmartPlaylist("Mix", SmartRule{"artist", 0, "Nobody", true});
    const qint64 plain = e.library->createPlaylist("Mix");
    auto list = std::make_shared<ChangeList>();
    list->playlist = true;
    list->records << e.record(id, {}, {}, {});
    EXPECT_EQ(e.apply(list, "Mix").outcome, ApplyResult::Finished);
    EXPECT_EQ(e.library->tracksOf(plain).size(), 1);
}

TEST(ApplyEngine, MembershipListWithoutALibraryFailsUnlessNothingIsChecked)
{
    auto list = std::make_shared<ChangeList>();
    list->playlist = true;
    list->records << ChangeRecord{MusicTrack::withPath("/nowhere.mp3"), {}, {}, {}, "T", "A", false};
    ApplyRun run;
    run.changes = list;
    run.progress = [](const ProgressDetail &) {};
    EXPECT_EQ(applyengine::apply(run).outcome, ApplyResult::Finished);
    list->records[0].enabled = true;
    const ApplyResult result = applyengine::apply(run);
    EXPECT_EQ(result.outcome, ApplyResult::Failed);
    EXPECT_EQ(result.written, 0);
    EXPECT_TRUE(applyengine::outcomeMessage(result).contains("cannot be opened"));
}

TEST(ApplyEngine, ASwapOfTwoTagsOfOneTrackCompletes)
{
    // The second record of a swap expects the values the first one left, on
    // a library track and on a file alike.
    ScopedFakePort port;
    Engine e;
    TestFolder music;
    const qint64 id = e.builder.addTrack("Title B", "Artist A");
    const MusicTrack file = MusicTrack::withPath(music.addSeed("seed.mp3", "a.mp3"), port.get());
    file.setTag("artist", "Artist A");
    file.setTag("name", "Title B");
    auto list = std::make_shared<ChangeList>();
    for (const MusicTrack &t : {e.track(id), file}) {
        list->records << ChangeRecord{t, "artist", "Artist A", "Title B", "Title B", "Artist A", true};
        list->records << ChangeRecord{t, "name", "Title B", "Artist A", "Title B", "Artist A", true};
    }
    // A change made elsewhere is still caught.
    const qint64 other = e.builder.addTrack("Other", "Band");
    list->records << e.record(other, "artist", "Band", "Other") << e.record(other, "name", "Other", "Band");

    e.library->setProperty(LibraryBuilder::throughLibrary(other), "name", "Changed");
    const ApplyResult result = e.apply(list);
    EXPECT_EQ(result.outcome, ApplyResult::Aborted);
    EXPECT_EQ(result.written, 4);
    for (const MusicTrack &t : {e.track(id), MusicTrack::withPath(file.path(), port.get())}) {
        EXPECT_EQ(t.artist(), "Title B");
        EXPECT_EQ(t.title(), "Artist A");
    }
    EXPECT_EQ(e.track(other).artist(), "Band");
    EXPECT_TRUE(port->alerts.isEmpty());
}

TEST(ApplyEngine, AMembershipCommitThatFailsCountsNoChanges)
{
    Engine e;
    const qint64 id = e.builder.addTrack("One", "Band");
    const qint64 target = e.library->createPlaylist("Target");
    // Another program's trigger makes every added entry break a deferred
    // constraint, so the commit itself is refused.
    sqlite3 *db = nullptr;
    ASSERT_EQ(sqlite3_open(QFile::encodeName(e.builder.libraryPath()).constData(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db,
                           "CREATE TABLE blocker (track INTEGER REFERENCES tracks(id) DEFERRABLE INITIALLY DEFERRED);"
                           "CREATE TRIGGER block AFTER INSERT ON playlist_entries BEGIN "
                           "INSERT INTO blocker VALUES (-1); END;",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);
    auto list = std::make_shared<ChangeList>();
    list->playlist = true;
    list->records << e.record(id, {}, {}, {});

    const ApplyResult result = e.apply(list, "Target");
    EXPECT_EQ(result.outcome, ApplyResult::Failed);
    EXPECT_EQ(result.enabled, 1);
    EXPECT_EQ(result.written, 0);
    EXPECT_TRUE(applyengine::outcomeMessage(result).contains("0 of 1 checked changes")) << result.error.toStdString();
    EXPECT_TRUE(e.library->tracksOf(target).isEmpty());
}
