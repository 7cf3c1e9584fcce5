// SPDX-License-Identifier: GPL-3.0-or-later
#include "library/historystore.h"
#include "library/libraryerror.h"
#include "library/musiclibrary.h"
#include "librarybuilder.h"
#include "readonlyplace.h"
#include "testfiles.h"

#include <QFile>
#include <gtest/gtest.h>
#include <unistd.h>
#include <sqlite3.h>

namespace {

HistoryChange tagChange(const QString &path, const QString &before, const QString &after)
{
    HistoryChange change;
    change.path = path;
    change.key = QStringLiteral("artist");
    change.before = before;
    change.after = after;
    return change;
}

// A finished run of n tag changes, all made.
qint64 addRun(HistoryStore &store, int n, const HistoryStore::Limits &limits)
{
    const qint64 run = store.beginRun(QStringLiteral("Search & Replace"), QStringLiteral("folder /music"));
    QList<HistoryChange> changes;
    QList<qint64> positions;
    for (int i = 0; i < n; ++i) {
        changes << tagChange(QStringLiteral("/music/%1.mp3").arg(i), QStringLiteral("a%1").arg(i), QString());
        positions << i;
    }
    store.intend(run, positions, changes);
    store.finishRun(run, positions, limits);
    return run;
}

QList<qint64> numbers(const QList<HistoryRun> &runs)
{
    QList<qint64> list;
    for (const HistoryRun &run : runs)
        list << run.number;
    return list;
}

// The message of the refusal when the history at path is opened; empty when it opens.
QString refusal(const QString &path)
{
    try {
        HistoryStore store(path);
    } catch (const LibraryError &e) {
        return e.description();
    }
    return {};
}

} // namespace

TEST(HistoryStore, KeepsRunsWithTheirChangesAcrossOpensAndDropsTheOldestWholeRunsBeyondItsLimits)
{
    TestFolder folder;
    const QString path = HistoryStore::pathBeside(folder.filePath("lib/library.sqlite"));
    EXPECT_EQ(path, folder.filePath("lib/history.sqlite"));
    const HistoryStore::Limits byRuns{3, 1000};
    qint64 first = 0;
    {
        HistoryStore store(path);
        first = addRun(store, 2, byRuns);
        for (int i = 0; i < 4; ++i)
            addRun(store, 2, byRuns);
        // A run that made nothing is not kept at all.
        const qint64 empty = store.beginRun(QStringLiteral("Capitalization"), QStringLiteral("library selection"));
        store.intend(empty, {0}, {tagChange("/x.mp3", "a", "A")});
        store.finishRun(empty, {}, byRuns);
        EXPECT_FALSE(store.run(empty));
    }
    HistoryStore store(path);
    EXPECT_EQ(numbers(store.runs()), (QList<qint64>{first + 4, first + 3, first + 2}));
    EXPECT_TRUE(store.changes(first).isEmpty());
    const QList<HistoryChange> kept = store.changes(first + 2);
    ASSERT_EQ(kept.size(), 2);
    EXPECT_EQ(kept[1].path, "/music/1.mp3");
    EXPECT_EQ(kept[1].before, QVariant("a1"));
    EXPECT_FALSE(kept[1].after.isValid()); // absent stays absent
    EXPECT_EQ(store.run(first + 4)->count, 2);
    EXPECT_EQ(store.run(first + 4)->tool, "Search & Replace");

    // Changes: 2 + 2 + 2 kept; a run of 3 pushes the oldest two out (7 > 6 with them), never part of one.
    const HistoryStore::Limits byChanges{200, 6};
    const qint64 three = addRun(store, 3, byChanges);
    EXPECT_EQ(numbers(store.runs()), (QList<qint64>{three, first + 4}));
    // The run just made stays even when it alone is beyond the limit.
    const qint64 huge = addRun(store, 8, byChanges);
    EXPECT_EQ(numbers(store.runs()), QList<qint64>{huge});
    EXPECT_EQ(store.changes(huge).size(), 8);

    // A list no tool named (one built by hand) still makes a run.
    const qint64 unnamed = store.beginRun(QString(), QString());
    store.intend(unnamed, {0}, {tagChange("/y.mp3", "b", "B")});
    store.finishRun(unnamed, {0}, byChanges);
    ASSERT_TRUE(store.run(unnamed));
    EXPECT_EQ(store.run(unnamed)->count, 1);
}

TEST(HistoryStore, AFileThatIsNoHistoryOfThisVersionIsRefusedAndLeftUntouched)
{
    TestFolder folder;
    const QString garbage = folder.addFile("garbage/history.sqlite", QByteArray(4096, 'x'));
    EXPECT_TRUE(refusal(garbage).contains("no SQLite database")) << refusal(garbage).toStdString();
    EXPECT_EQ(TestFolder::readAll(garbage), QByteArray(4096, 'x'));

    // A library is an SQLite file too, but not a history.
    const QString library = folder.filePath("library.sqlite");
    MusicLibrary(library).createPlaylist("Mine");
    const QByteArray libraryBytes = TestFolder::readAll(library);
    EXPECT_TRUE(refusal(library).contains("another kind")) << refusal(library).toStdString();
    EXPECT_EQ(TestFolder::readAll(library), libraryBytes);

    // A history written by a newer layout.
    const QString newer = folder.filePath("newer/history.sqlite");
    {
        HistoryStore store(newer);
        addRun(store, 1, {});
    }
    sqlite3 *db = nullptr;
    ASSERT_EQ(sqlite3_open(newer.toUtf8().constData(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, "PRAGMA journal_mode = DELETE; PRAGMA user_version = 99", nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);
    const QByteArray newerBytes = TestFolder::readAll(newer);
    EXPECT_TRUE(refusal(newer).contains("newer version")) << refusal(newer).toStdString();
    EXPECT_EQ(TestFolder::readAll(newer), newerBytes);

    // A folder where no file can be made.
    ReadOnlyPlace place(folder, "locked");
    const bool locked = ::geteuid() == 0 ? place.available() && place.lock()
                                         : QFile::setPermissions(folder.filePath("locked"),
                                                                 QFile::ReadOwner | QFile::ExeOwner);
    ASSERT_TRUE(locked);
    EXPECT_TRUE(refusal(folder.filePath("locked/history.sqlite")).contains("history"));
}

TEST(HistoryStore, AHistoryOfTheFirstLayoutStillReadsAndPackedEntriesReadBackExactly)
{
    TestFolder folder;
    const QString path = folder.filePath("history.sqlite");
    // A history as the first layout wrote it, one row per change.
    runSql(path, R"sql(
        PRAGMA application_id = 1364609107;
        CREATE TABLE runs (id INTEGER PRIMARY KEY AUTOINCREMENT, time TEXT NOT NULL, tool TEXT NOT NULL,
            source TEXT NOT NULL, count INTEGER NOT NULL DEFAULT 0, open INTEGER NOT NULL DEFAULT 1,
            owner INTEGER NOT NULL, undoOf INTEGER, undoneBy INTEGER);
        CREATE INDEX open_runs ON runs(open) WHERE open = 1;
        CREATE TABLE changes (run INTEGER NOT NULL, position INTEGER NOT NULL, pending INTEGER NOT NULL DEFAULT 1,
            kind TEXT NOT NULL, track INTEGER, path TEXT, key TEXT, before, after, playlist INTEGER,
            playlistName TEXT, entry INTEGER, entryPosition INTEGER, title TEXT, artist TEXT,
            PRIMARY KEY (run, position)) WITHOUT ROWID;
        INSERT INTO runs VALUES (1, '2026-12-01T10:00:00.000Z', 'Playlist Manager', 'playlist Mine', 2, 0, 1, NULL, NULL);
        INSERT INTO changes VALUES (1, 0, 0, 'added to playlist', 7, NULL, NULL, NULL, NULL, 3, 'Mine', 40, 12,
                                    'Alpha', 'Band');
        INSERT INTO changes VALUES (1, 1, 0, 'added to playlist', 8, NULL, NULL, NULL, NULL, 3, 'Mine', 41, 13,
                                    'Beta', 'Band');
        PRAGMA user_version = 1;
    )sql");
    HistoryStore store(path);
    ASSERT_EQ(store.run(1)->count, 2);
    const QList<HistoryChange> old = store.changes(1);
    ASSERT_EQ(old.size(), 2);
    EXPECT_EQ(old[1].kind, HistoryChange::Kind::AddedToPlaylist);
    EXPECT_EQ(old[1].trackId, 8);
    EXPECT_EQ(old[1].entryId, 41);
    EXPECT_EQ(old[1].position, 13);
    EXPECT_EQ(old[1].playlist, "Mine");
    EXPECT_EQ(old[1].title, "Beta");

    // A long run: entries of two playlists in blocks, ids and positions going
    // down as well as up, odd names, and a tag change among them.
    QList<HistoryChange> changes;
    for (int i = 0; i < 5000; ++i) {
        HistoryChange c;
        c.kind = i < 3000 ? HistoryChange::Kind::RemovedFromPlaylist : HistoryChange::Kind::AddedToPlaylist;
        c.playlistId = i < 3000 ? 3 : 9;
        c.playlist = i < 3000 ? QStringLiteral("Mine") : QStringLiteral("Über ✓");
        c.trackId = i % 7 == 0 ? 5'000'000'000LL - i : i + 1;
        c.entryId = 90000 - 3 * i;
        c.position = i % 2 ? i * 1000 : 7;
        c.title = i % 5 == 0 ? QString() : QStringLiteral("Tïtle %1 \U0001F3B5").arg(i);
        c.artist = QStringLiteral("Artist %1").arg(i % 13);
        changes << c;
    }
    changes[1234].title = QStringLiteral("lone ") + QChar(0xD800);
    changes[2500] = tagChange("/music/x.mp3", "old", "new");
    QList<qint64> positions;
    for (int i = 0; i < changes.size(); ++i)
        positions << i;
    const qint64 run = store.beginRun("Playlist Manager", "playlist Mine");
    store.intend(run, positions, changes);
    store.finishRunAll(run, {});
    ASSERT_EQ(store.run(run)->count, 5000);
    const QList<HistoryChange> back = store.changes(run);
    ASSERT_EQ(back.size(), 5000);
    for (int i = 0; i < 5000; ++i) {
        const HistoryChange &a = changes.at(i);
        const HistoryChange &b = back.at(i);
        ASSERT_EQ(b.kind, a.kind) << i;
        EXPECT_EQ(b.trackId, a.trackId) << i;
        EXPECT_EQ(b.entryId, a.entryId) << i;
        EXPECT_EQ(b.position, a.position) << i;
        EXPECT_EQ(b.playlistId, a.playlistId) << i;
        EXPECT_EQ(b.playlist, a.playlist) << i;
        EXPECT_EQ(b.title, i == 1234 ? QStringLiteral("lone \uFFFD") : a.title.isNull() ? QString("") : a.title) << i;
        EXPECT_EQ(b.artist, a.artist) << i;
    }
    EXPECT_EQ(back[2500].path, "/music/x.mp3");
    EXPECT_EQ(back[2500].after, QVariant("new"));

    // Packed: a few rows hold them all. A block that cannot be read is named, not misread.
    sqlite3 *db = nullptr;
    ASSERT_EQ(sqlite3_open(path.toUtf8().constData(), &db), SQLITE_OK);
    sqlite3_stmt *st = nullptr;
    sqlite3_prepare_v2(db, "SELECT count(*) FROM changes WHERE run = ?1", -1, &st, nullptr);
    sqlite3_bind_int64(st, 1, run);
    ASSERT_EQ(sqlite3_step(st), SQLITE_ROW);
    EXPECT_LT(sqlite3_column_int64(st, 0), 10);
    sqlite3_finalize(st);
    const QByteArray damage = "UPDATE changes SET entries = x'ff' WHERE run = " + QByteArray::number(run) +
                              " AND position = 0";
    EXPECT_EQ(sqlite3_exec(db, damage.constData(), nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
    try {
        store.changes(run);
        ADD_FAILURE() << "a damaged block was read";
    } catch (const LibraryError &e) {
        EXPECT_TRUE(e.description().contains("damaged")) << e.description().toStdString();
    }
    EXPECT_EQ(store.changes(1).size(), 2);
}
