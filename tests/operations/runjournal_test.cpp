// SPDX-License-Identifier: GPL-3.0-or-later
// The history as the apply engine writes it, and what a crash leaves behind.
#include "library/librarybuilder.h"
#include "model/musictrack.h"
#include "operations/applyengine.h"
#include "operations/runjournal.h"
#include "support/trash.h"
#include "userlocations.h"

#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>
#include <sqlite3.h>

namespace {

struct Journalled {
    LibraryBuilder builder;
    std::shared_ptr<MusicLibrary> library = std::make_shared<MusicLibrary>(builder.libraryPath());
    QString historyPath = HistoryStore::pathBeside(builder.libraryPath());

    MusicTrack track(qint64 id) { return MusicTrack::withTrack(library, LibraryBuilder::throughLibrary(id)); }
    ChangeRecord record(qint64 id, const QString &key, const QString &oldValue, const QString &newValue)
    {
        const MusicTrack t = track(id);
        return ChangeRecord{t, key, oldValue, newValue, t.title(), t.artist(), true};
    }
    std::shared_ptr<RunJournal> journal(const QString &tool)
    {
        return std::make_shared<RunJournal>(RunJournal::Run{historyPath, tool, "library selection", {}, library});
    }
    ApplyResult apply(std::shared_ptr<ChangeList> list, const QString &tool, const QString &target = {})
    {
        ApplyRun run;
        run.changes = std::move(list);
        run.library = library;
        run.targetPlaylist = target;
        run.progress = [](const ProgressDetail &) {};
        run.journal = journal(tool);
        return applyengine::apply(run);
    }
    std::unique_ptr<HistoryStore> history() { return RunJournal::openSettled(historyPath, library); }
};

} // namespace

TEST(RunJournal, TheEngineRecordsWhatItWroteWithValuesAndPositionsAndNothingElse)
{
    Journalled j;
    const qint64 a = j.builder.addTrack("Alpha", "Band");
    const qint64 b = j.builder.addTrack("Beta", "Band");
    const qint64 c = j.builder.addTrack("Gamma", "Band");
    const qint64 mine = j.library->createPlaylist("Mine");
    j.library->addToPlaylist(mine, {c});

    auto tags = std::make_shared<ChangeList>();
    tags->records << j.record(a, "genre", "", "Pop") << j.record(b, "genre", "", "Rock")
                  << j.record(c, "artist", "Band", "The Band") << j.record(a, "year", "", "1999");
    tags->records[1].enabled = false;
    // Changed elsewhere after it was collected: the run stops there.
    j.track(c).setTag("artist", "Other");
    const ApplyResult stopped = j.apply(tags, "Search & Replace");
    ASSERT_EQ(stopped.outcome, ApplyResult::Aborted);
    EXPECT_TRUE(stopped.notRecorded.isEmpty()) << stopped.notRecorded.toStdString();

    auto adding = std::make_shared<ChangeList>();
    adding->playlist = true;
    for (qint64 id : {a, b, c})
        adding->records << j.record(id, {}, {}, {});
    adding->records[1].enabled = false;
    const ApplyResult added = j.apply(adding, "Playlist Manager", "Mine");
    ASSERT_EQ(added.outcome, ApplyResult::Finished);

    const auto history = j.history();
    const QList<HistoryRun> runs = history->runs();
    ASSERT_EQ(runs.size(), 2);
    EXPECT_EQ(runs[0].tool, "Playlist Manager");
    EXPECT_EQ(runs[1].tool, "Search & Replace");
    EXPECT_EQ(runs[1].source, "library selection");

    // Only the first record was written: the unchecked one and those from the abort on are not there.
    const QList<HistoryChange> written = history->changes(runs[1].number);
    ASSERT_EQ(written.size(), 1);
    EXPECT_EQ(written[0].kind, HistoryChange::Kind::Tag);
    EXPECT_EQ(written[0].trackId, a);
    EXPECT_EQ(written[0].key, "genre");
    EXPECT_FALSE(written[0].before.isValid());
    EXPECT_EQ(written[0].after, QVariant("Pop"));
    EXPECT_EQ(written[0].title, "Alpha");

    // c was in the playlist already, b unchecked: a alone was added, where the playlist holds it.
    const QList<HistoryChange> entries = history->changes(runs[0].number);
    ASSERT_EQ(entries.size(), 1);
    EXPECT_EQ(entries[0].kind, HistoryChange::Kind::AddedToPlaylist);
    EXPECT_EQ(entries[0].trackId, a);
    EXPECT_EQ(entries[0].playlist, "Mine");
    const QList<PlaylistEntry> now = j.library->entriesOf(mine);
    ASSERT_EQ(now.size(), 2);
    EXPECT_EQ(entries[0].entryId, now[1].entryId);
    EXPECT_EQ(entries[0].position, now[1].position);

    // Removing records each entry's place before it goes.
    auto removing = std::make_shared<ChangeList>();
    removing->playlist = true;
    removing->remove = 1;
    for (const TrackRef &ref : j.library->tracksOf(mine)) {
        const MusicTrack t = MusicTrack::withTrack(j.library, ref);
        removing->records << ChangeRecord{t, {}, {}, {}, t.title(), t.artist(), true};
    }
    ASSERT_EQ(j.apply(removing, "Playlist Manager").outcome, ApplyResult::Finished);
    const QList<HistoryChange> removed = j.history()->changes(j.history()->runs().first().number);
    ASSERT_EQ(removed.size(), 2);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(removed[i].kind, HistoryChange::Kind::RemovedFromPlaylist);
        EXPECT_EQ(removed[i].entryId, now[i].entryId);
        EXPECT_EQ(removed[i].position, now[i].position);
        EXPECT_EQ(removed[i].trackId, now[i].trackId);
    }
    EXPECT_TRUE(j.library->entriesOf(mine).isEmpty());
}

TEST(RunJournal, ChangesACrashLeftPendingAreKeptWhenMadeAndDroppedWhenNot)
{
    Journalled j;
    const qint64 a = j.builder.addTrack("Alpha", "Band");
    const qint64 b = j.builder.addTrack("Beta", "Band");
    const qint64 mine = j.library->createPlaylist("Mine");
    QList<ChangeRecord> records{j.record(a, "genre", "", "Pop"), j.record(b, "genre", "", "Rock")};
    auto adding = std::make_shared<ChangeList>();
    adding->playlist = true;
    adding->records << j.record(a, {}, {}, {});

    auto tagRun = j.journal("Search & Replace");
    tagRun->intendTags(records);
    j.track(a).setTag("genre", "Pop"); // written; the process dies before b and before the run is closed
    {
        // The run is still going on: another look at the history leaves it alone.
        const auto meanwhile = j.history();
        EXPECT_TRUE(meanwhile->runs().isEmpty());
    }
    tagRun.reset();

    {
        // An addition whose library transaction never committed...
        auto lost = j.journal("Playlist Manager");
        MusicLibrary::Batch batch(*j.library, "add");
        const qint64 before = lost->beforeAdding(*j.library);
        j.library->addTracksToPlaylist(mine, {a}, true);
        lost->intendAdditions(*j.library, mine, before, *adding);
    }
    {
        // ...and one that did, the process dying before it closed the run.
        auto made = j.journal("Playlist Manager");
        MusicLibrary::Batch batch(*j.library, "add");
        const qint64 before = made->beforeAdding(*j.library);
        j.library->addTracksToPlaylist(mine, {a}, true);
        made->intendAdditions(*j.library, mine, before, *adding);
        batch.commit();
    }

    const auto history = j.history();
    const QList<HistoryRun> runs = history->runs();
    ASSERT_EQ(runs.size(), 2);
    const QList<HistoryChange> entries = history->changes(runs[0].number);
    ASSERT_EQ(entries.size(), 1);
    EXPECT_EQ(entries[0].entryId, j.library->entriesOf(mine).value(0).entryId);
    const QList<HistoryChange> tags = history->changes(runs[1].number);
    ASSERT_EQ(tags.size(), 1);
    EXPECT_EQ(tags[0].trackId, a);
    EXPECT_EQ(runs[1].count, 1);
}

TEST(RunJournal, ALongAdditionIsRecordedEntryByEntryAndACrashAfterItsCommitKeepsWhatStillStands)
{
    Journalled j;
    QList<ImportedFile> files;
    for (int i = 0; i < 4500; ++i)
        files.append({j.builder.folder().filePath(QStringLiteral("gone/%1.mp3").arg(i)),
                      {{"name", QStringLiteral("Títle %1").arg(i)}, {"artist", QStringLiteral("Artist %1").arg(i % 7)}}});
    const QList<qint64> ids = j.library->importFiles(files);
    const qint64 mine = j.library->createPlaylist("Mine");
    j.library->addToPlaylist(mine, {ids[10]});

    // Every track, one of them twice and one unchecked; one is in the playlist already.
    auto adding = std::make_shared<ChangeList>();
    adding->playlist = true;
    for (qint64 id : ids)
        adding->records << j.record(id, {}, {}, {});
    adding->records << j.record(ids[3], {}, {}, {});
    adding->records[20].enabled = false;
    ASSERT_EQ(j.apply(adding, "Playlist Manager", "Mine").outcome, ApplyResult::Finished);

    const QList<PlaylistEntry> entries = j.library->entriesOf(mine);
    ASSERT_EQ(entries.size(), 4499);
    const HistoryRun run = j.history()->runs().first();
    EXPECT_EQ(run.count, 4498);
    const QList<HistoryChange> added = j.history()->changes(run.number);
    ASSERT_EQ(added.size(), 4498);
    for (int k = 0; k < added.size(); ++k) {
        const PlaylistEntry &entry = entries.at(k + 1);
        const int i = int(ids.indexOf(entry.trackId));
        ASSERT_EQ(added[k].kind, HistoryChange::Kind::AddedToPlaylist);
        ASSERT_EQ(added[k].entryId, entry.entryId) << k;
        EXPECT_EQ(added[k].trackId, entry.trackId);
        EXPECT_EQ(added[k].position, entry.position);
        EXPECT_EQ(added[k].playlist, "Mine");
        EXPECT_EQ(added[k].title, QStringLiteral("Títle %1").arg(i));
        EXPECT_EQ(added[k].artist, QStringLiteral("Artist %1").arg(i % 7));
    }

    // The same addition into another playlist, the process dying after the
    // library committed it; meanwhile two of its entries were taken out again.
    const qint64 other = j.library->createPlaylist("Other");
    {
        auto made = j.journal("Playlist Manager");
        MusicLibrary::Batch batch(*j.library, "add");
        const qint64 before = made->beforeAdding(*j.library);
        j.library->addTracksToPlaylist(other, ids, true);
        made->intendAdditions(*j.library, other, before, *adding);
        batch.commit();
    }
    const QList<TrackRef> inOther = j.library->tracksOf(other);
    j.library->deleteTracks({inOther[5], inOther[3000]});
    const auto history = j.history();
    const HistoryRun settled = history->runs().first();
    ASSERT_NE(settled.number, run.number);
    EXPECT_EQ(settled.count, 4498);
    const QList<HistoryChange> kept = history->changes(settled.number);
    ASSERT_EQ(kept.size(), 4498);
    const QList<PlaylistEntry> standing = j.library->entriesOf(other);
    for (int k = 0; k < kept.size(); ++k) {
        ASSERT_EQ(kept[k].entryId, standing.at(k).entryId) << k;
        EXPECT_EQ(kept[k].playlist, "Other");
    }
}

TEST(RunJournal, TheTrashNameIsRecordedBeforeTheFileMovesAndAMoveThatNeverCameLeavesNoTrace)
{
    ScopedUserLocations locations;
    Journalled j;
    const qint64 a = j.builder.addTrack("Alpha", "Band");
    const qint64 b = j.builder.addTrack("Beta", "Band");
    const qint64 mine = j.library->createPlaylist("Mine");
    j.library->addToPlaylist(mine, {a, b});
    const QList<TrackRef> refs = j.library->tracksOf(mine);
    auto list = std::make_shared<ChangeList>();
    list->playlist = true;
    list->remove = 1;
    list->trash = true;
    QStringList files;
    QList<trash::Moved> claims;
    for (const TrackRef &ref : refs) {
        const MusicTrack t = MusicTrack::withTrack(j.library, ref);
        list->records << ChangeRecord{t, {}, {}, {}, t.title(), t.artist(), true};
        files << j.library->location(ref);
        const trash::Outcome claimed = trash::claim(files.last());
        ASSERT_TRUE(claimed.moved) << claimed.error.toStdString();
        claims << claimed.where;
    }

    auto journal = j.journal("Playlist Manager");
    journal->intendRemovals(*j.library, refs, *list, files, claims);
    // On the disk before either file moves: each name in the Trash beside the place it leaves.
    {
        sqlite3 *db = nullptr;
        ASSERT_EQ(sqlite3_open_v2(j.historyPath.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
        sqlite3_stmt *st = nullptr;
        ASSERT_EQ(sqlite3_prepare_v2(db, "SELECT kind, path, after, trashInfo FROM changes WHERE pending = 1 "
                                         "ORDER BY position",
                                     -1, &st, nullptr),
                  SQLITE_OK);
        QStringList rows;
        while (sqlite3_step(st) == SQLITE_ROW) {
            QStringList row;
            for (int c = 0; c < 4; ++c)
                row << QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st, c)));
            rows << row.join('|');
        }
        sqlite3_finalize(st);
        sqlite3_close(db);
        ASSERT_EQ(rows.size(), 4);
        for (int k = 0; k < 2; ++k) {
            EXPECT_TRUE(rows[k].startsWith("removed from playlist|" + files[k] + "|")) << rows[k].toStdString();
            EXPECT_EQ(rows[2 + k], QStringList({"moved to Trash", files[k], QFile::decodeName(claims[k].trashedPath),
                                                QFile::decodeName(claims[k].infoPath)})
                                       .join('|'));
            EXPECT_TRUE(QFile::exists(files[k]));
        }
    }
    // The first file goes and its entry with it; the process dies before the second moves.
    ASSERT_TRUE(trash::moveClaimed(claims[0]));
    j.library->deleteTracks({refs[0]});
    journal.reset();

    const auto history = j.history();
    ASSERT_EQ(history->runs().size(), 1);
    const QList<HistoryChange> kept = history->changes(history->runs()[0].number);
    ASSERT_EQ(kept.size(), 2);
    EXPECT_EQ(kept[0].kind, HistoryChange::Kind::RemovedFromPlaylist);
    EXPECT_EQ(kept[0].trackId, a);
    EXPECT_EQ(kept[1].kind, HistoryChange::Kind::MovedToTrash);
    EXPECT_EQ(kept[1].after.toString(), QFile::decodeName(claims[0].trashedPath));
    EXPECT_EQ(kept[1].trashInfo, QFile::decodeName(claims[0].infoPath));
    // The name claimed for the file that stayed is given up: the Trash shows nothing of it.
    EXPECT_TRUE(QFile::exists(files[1]));
    EXPECT_FALSE(QFile::exists(QFile::decodeName(claims[1].infoPath)));
    EXPECT_TRUE(QFile::exists(QFile::decodeName(claims[0].infoPath)));
    EXPECT_EQ(j.library->entriesOf(mine).value(0).trackId, b);
}

TEST(RunJournal, AFileThatCannotLeaveTheTrashWhenTheUndoAppliesKeepsItsEntryOutAndOverwritesNothing)
{
    ScopedUserLocations locations;
    Journalled j;
    const qint64 a = j.builder.addTrack("Alpha", "Band");
    const qint64 b = j.builder.addTrack("Beta", "Band");
    const qint64 mine = j.library->createPlaylist("Mine");
    j.library->addToPlaylist(mine, {a, b});
    const QList<PlaylistEntry> before = j.library->entriesOf(mine);
    const QString pathA = j.library->location({a});
    const QString pathB = j.library->location({b});
    auto removing = std::make_shared<ChangeList>();
    removing->playlist = true;
    removing->remove = 1;
    removing->trash = true;
    for (const TrackRef &ref : j.library->tracksOf(mine)) {
        const MusicTrack t = MusicTrack::withTrack(j.library, ref);
        removing->records << ChangeRecord{t, {}, {}, {}, t.title(), t.artist(), true};
    }
    ASSERT_EQ(j.apply(removing, "Playlist Manager").outcome, ApplyResult::Finished);
    ASSERT_FALSE(QFile::exists(pathA));

    // The list an undo makes, and between its review and its apply another file takes a's name.
    const QList<HistoryChange> changes = j.history()->changes(j.history()->runs().first().number);
    ASSERT_EQ(changes.size(), 4);
    auto restoring = std::make_shared<ChangeList>();
    restoring->playlist = true;
    restoring->restore = true;
    for (int k = 0; k < 2; ++k) {
        const HistoryChange &entry = changes[k];
        const HistoryChange &file = changes[2 + k];
        const MusicTrack t = MusicTrack::withTrack(j.library, TrackRef{entry.trackId, entry.playlistId, entry.entryId});
        restoring->records << ChangeRecord{t, {}, {}, QString::number(entry.position), entry.title, entry.artist, true};
        restoring->comebacks.insert(k, Comeback{file.path, file.after.toString(), file.trashInfo, nullptr});
    }
    j.builder.folder().addFile(QFileInfo(pathA).fileName().prepend("music/"), "newcomer");
    ASSERT_EQ(TestFolder::readAll(pathA), "newcomer");

    const ApplyResult undone = j.apply(restoring, "Undo");
    EXPECT_EQ(undone.outcome, ApplyResult::Finished);
    EXPECT_EQ(undone.written, 1);
    EXPECT_EQ(undone.notRestored, QStringList{pathA + ": another file has its old name"});
    EXPECT_EQ(TestFolder::readAll(pathA), "newcomer");
    EXPECT_TRUE(QFile::exists(changes[2].after.toString()));
    EXPECT_TRUE(QFile::exists(changes[2].trashInfo));
    EXPECT_TRUE(QFile::exists(pathB));
    EXPECT_FALSE(QFile::exists(changes[3].trashInfo));
    ASSERT_EQ(j.library->entriesOf(mine).size(), 1);
    EXPECT_EQ(j.library->entriesOf(mine)[0].entryId, before[1].entryId);
    EXPECT_EQ(j.library->entriesOf(mine)[0].position, before[1].position);
    QStringList made;
    for (const HistoryChange &c : j.history()->changes(j.history()->runs().first().number))
        made << historyKindName(c.kind) + ' ' + QString::number(c.trackId) + ' ' + c.path;
    EXPECT_EQ(made, (QStringList{"added to playlist " + QString::number(b) + ' ', "put back from Trash 0 " + pathB}));
}
