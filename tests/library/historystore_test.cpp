// SPDX-License-Identifier: GPL-3.0-or-later
#include "library/historystore.h"
#include "library/libraryerror.h"
#include "library/musiclibrary.h"
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
