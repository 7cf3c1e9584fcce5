// SPDX-License-Identifier: GPL-3.0-or-later
#include "librarybuilder.h"
#include "library/libraryschema.h"
#include "library/musiclibrary.h"
#include "testfiles.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <gtest/gtest.h>
#include <sqlite3.h>

namespace {

void expectRefusedAndUntouched(const QString &path, const char *because)
{
    const QByteArray before = TestFolder::readAll(path);
    try {
        MusicLibrary lib(path);
        ADD_FAILURE() << "opened " << because;
    } catch (const LibraryError &e) {
        EXPECT_TRUE(e.reason().contains(path)) << e.reason().toStdString();
        EXPECT_FALSE(e.reason().isEmpty());
    }
    EXPECT_FALSE(MusicLibrary::isRunning(path)) << because;
    EXPECT_EQ(TestFolder::readAll(path), before) << because << " was modified";
    EXPECT_FALSE(QFile::exists(path + "-wal"));
    EXPECT_FALSE(QFile::exists(path + "-journal"));
}

TEST(LibraryFile, CreatedWithItsFoldersOnFirstUse)
{
    TestFolder folder;
    const QString path = folder.filePath("deep/er/library.sqlite");
    EXPECT_FALSE(MusicLibrary::isRunning(path));
    {
        MusicLibrary lib(path);
        EXPECT_EQ(lib.path(), path);
        EXPECT_TRUE(lib.allTracks().isEmpty());
        EXPECT_TRUE(lib.userPlaylists().isEmpty());
    }
    EXPECT_TRUE(QFile::exists(path));
    EXPECT_TRUE(MusicLibrary::isRunning(path));

    sqlite3 *db = nullptr;
    ASSERT_EQ(sqlite3_open(path.toUtf8().constData(), &db), SQLITE_OK);
    sqlite3_stmt *st = nullptr;
    sqlite3_prepare_v2(db, "PRAGMA journal_mode", -1, &st, nullptr);
    ASSERT_EQ(sqlite3_step(st), SQLITE_ROW);
    EXPECT_STREQ(reinterpret_cast<const char *>(sqlite3_column_text(st, 0)), "wal");
    sqlite3_finalize(st);
    sqlite3_prepare_v2(db, "PRAGMA user_version", -1, &st, nullptr);
    ASSERT_EQ(sqlite3_step(st), SQLITE_ROW);
    EXPECT_EQ(sqlite3_column_int(st, 0), libraryschema::currentVersion());
    sqlite3_finalize(st);
    sqlite3_close(db);
}

TEST(LibraryFile, ReopeningKeepsTheContent)
{
    TestFolder folder;
    const QString path = folder.filePath("library.sqlite");
    qint64 id = 0;
    {
        MusicLibrary lib(path);
        id = lib.importFile({folder.addSeed("seed.flac", "a.flac"), {{"name", "Kept"}}});
        lib.setSelection({id});
    }
    MusicLibrary lib(path);
    EXPECT_EQ(lib.property({id, 0, 0}, "name").toString(), "Kept");
    EXPECT_EQ(lib.selection().size(), 1);
}

TEST(LibraryFile, AnEmptyFileBecomesALibrary)
{
    TestFolder folder;
    const QString path = folder.addFile("touched.sqlite", {});
    MusicLibrary lib(path);
    lib.createPlaylist("P");
    EXPECT_TRUE(MusicLibrary::isRunning(path));
}

TEST(LibraryFile, CorruptAndForeignFilesAreRefusedAndLeftAlone)
{
    TestFolder folder;
    QByteArray noise(8192, '\0');
    QRandomGenerator gen(42);
    for (char &c : noise)
        c = char(gen.bounded(256));
    expectRefusedAndUntouched(folder.addFile("noise.sqlite", noise), "random bytes");
    expectRefusedAndUntouched(folder.addFile("short.sqlite", "SQLite format 3"), "a truncated header");
    expectRefusedAndUntouched(folder.addFile("text.sqlite", QByteArray("hello\n").repeated(50)), "a text file");

    const QString foreign = folder.filePath("foreign.sqlite");
    runSql(foreign, "CREATE TABLE contacts (name TEXT); INSERT INTO contacts VALUES ('Ann');");
    expectRefusedAndUntouched(foreign, "another program's database");

    const QString emptyDatabase = folder.filePath("vacuumed.sqlite");
    runSql(emptyDatabase, "PRAGMA user_version = 3; VACUUM;");
    expectRefusedAndUntouched(emptyDatabase, "an empty database of another program");

    // One of ours, but from a later version of the program.
    const QString newer = folder.filePath("newer.sqlite");
    { MusicLibrary lib(newer); }
    runSql(newer, "PRAGMA user_version = 999; PRAGMA journal_mode = DELETE;");
    expectRefusedAndUntouched(newer, "a library of a newer layout");

    // A damaged page after a valid header: the header passes, reading fails.
    const QString damaged = folder.filePath("damaged.sqlite");
    {
        MusicLibrary lib(damaged);
        lib.createPlaylist("P");
    }
    runSql(damaged, "PRAGMA journal_mode = DELETE;");
    QByteArray bytes = TestFolder::readAll(damaged);
    ASSERT_GT(bytes.size(), 4096);
    bytes.replace(100, 3900, QByteArray(3900, '\xff'));
    folder.addFile("damaged.sqlite", bytes);
    expectRefusedAndUntouched(damaged, "a damaged library");

    const QString aFolder = folder.addFolder("a-folder.sqlite");
    EXPECT_THROW(MusicLibrary lib(aFolder), LibraryError);
}

TEST(LibraryFile, DefaultPathFollowsTheEnvironment)
{
    const QByteArray saved = qgetenv("QUAVERTIN_LIBRARY");
    qputenv("QUAVERTIN_LIBRARY", "/tmp/elsewhere/lib.sqlite");
    EXPECT_EQ(MusicLibrary::defaultPath(), "/tmp/elsewhere/lib.sqlite");
    qunsetenv("QUAVERTIN_LIBRARY");
    EXPECT_TRUE(MusicLibrary::defaultPath().endsWith("/Quavertin/library.sqlite"))
        << MusicLibrary::defaultPath().toStdString();
    if (!saved.isNull())
        qputenv("QUAVERTIN_LIBRARY", saved);
}

TEST(LibraryFile, ALockedLibraryIsReportedWithWhatWasBeingDone)
{
    TestFolder folder;
    const QString path = folder.filePath("library.sqlite");
    MusicLibrary lib(path);
    const qint64 id = lib.importFile({folder.filePath("a.mp3"), {{"name", "A"}}});
    lib.setBusyTimeout(50);

    sqlite3 *other = nullptr;
    ASSERT_EQ(sqlite3_open(path.toUtf8().constData(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE; UPDATE tracks SET name = 'B'", nullptr, nullptr, nullptr), SQLITE_OK);
    try {
        lib.setProperty({id, 0, 0}, "name", QString("C"));
        ADD_FAILURE() << "wrote past another writer's lock";
    } catch (const LibraryError &e) {
        EXPECT_EQ(e.sqliteCode() & 0xff, SQLITE_BUSY);
        EXPECT_TRUE(e.reason().contains("locked")) << e.reason().toStdString();
        EXPECT_TRUE(e.reason().contains("\"name\" of track")) << e.reason().toStdString();
    }
    // Readers are not held up by a writer.
    EXPECT_EQ(lib.property({id, 0, 0}, "name").toString(), "A");
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    lib.setProperty({id, 0, 0}, "name", QString("C"));
    EXPECT_EQ(lib.property({id, 0, 0}, "name").toString(), "C");
}

} // namespace

// A library written before playlists remembered their origin opens with its
// tracks and playlists as they were, and takes origins from then on.
TEST(LibraryFile, ALibraryOfTheLayoutBeforePlaylistOriginsIsBroughtUpToDate)
{
    TestFolder folder;
    const QString path = folder.filePath("library.sqlite");
    qint64 track = 0, playlist = 0;
    {
        MusicLibrary lib(path);
        track = lib.importFile({folder.addSeed("seed.flac", "a.flac"), {{"name", "Kept"}}});
        playlist = lib.createPlaylist("Road Trip");
        lib.addToPlaylist(playlist, {track});
    }
    runSql(path, "DROP INDEX playlists_by_origin; ALTER TABLE playlists DROP COLUMN importedFrom; "
                 "PRAGMA user_version = 2;");
    MusicLibrary lib(path);
    EXPECT_EQ(lib.tracksOf(playlist).size(), 1);
    EXPECT_EQ(lib.property({track, 0, 0}, "name").toString(), "Kept");
    EXPECT_FALSE(lib.playlistFrom("rhythmbox:Road Trip"));
    lib.setPlaylistOrigin(playlist, "rhythmbox:Road Trip");
    ASSERT_TRUE(lib.playlistFrom("rhythmbox:Road Trip"));
    EXPECT_EQ(lib.playlistFrom("rhythmbox:Road Trip")->id, playlist);
    sqlite3 *db = nullptr;
    ASSERT_EQ(sqlite3_open(path.toUtf8().constData(), &db), SQLITE_OK);
    sqlite3_stmt *st = nullptr;
    sqlite3_prepare_v2(db, "PRAGMA user_version", -1, &st, nullptr);
    ASSERT_EQ(sqlite3_step(st), SQLITE_ROW);
    EXPECT_EQ(sqlite3_column_int(st, 0), libraryschema::currentVersion());
    sqlite3_finalize(st);
    sqlite3_close(db);
}
