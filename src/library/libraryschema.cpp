// SPDX-License-Identifier: GPL-3.0-or-later
#include "libraryschema.h"

#include "libraryerror.h"

#include <sqlite3.h>

namespace libraryschema {

namespace {

// Each step brings the layout from its index to the next version. Steps are
// only ever appended: a released step never changes, because files made with
// it exist.
const char *const steps[] = {
    // 0 -> 1: the first release.
    R"sql(
    CREATE TABLE tracks (
        id INTEGER PRIMARY KEY AUTOINCREMENT,
        name TEXT, artist TEXT, album TEXT, lyrics TEXT, genre TEXT, comment TEXT, composer TEXT, albumArtist TEXT,
        playedCount INTEGER, skippedCount INTEGER, bpm INTEGER, rating INTEGER, year INTEGER,
        volumeAdjustment INTEGER, trackNumber INTEGER, trackCount INTEGER, discNumber INTEGER, discCount INTEGER,
        duration REAL, bitRate INTEGER, kind TEXT,
        location TEXT,
        stream INTEGER NOT NULL DEFAULT 0
    );
    CREATE INDEX tracks_by_location ON tracks(location);
    CREATE TABLE playlists (
        id INTEGER PRIMARY KEY AUTOINCREMENT,
        name TEXT NOT NULL,
        position INTEGER NOT NULL,
        smart INTEGER NOT NULL DEFAULT 0,
        ruleTag TEXT, ruleCondition INTEGER, ruleOperand TEXT, ruleCaseInsensitive INTEGER
    );
    CREATE TABLE playlist_entries (
        id INTEGER PRIMARY KEY AUTOINCREMENT,
        playlist INTEGER NOT NULL REFERENCES playlists(id) ON DELETE CASCADE,
        track INTEGER NOT NULL REFERENCES tracks(id) ON DELETE CASCADE,
        position INTEGER NOT NULL
    );
    CREATE INDEX entries_in_order ON playlist_entries(playlist, position);
    CREATE INDEX entries_by_track ON playlist_entries(track);
    CREATE TABLE selection (
        position INTEGER PRIMARY KEY,
        track INTEGER NOT NULL REFERENCES tracks(id) ON DELETE CASCADE
    );
    CREATE INDEX selection_by_track ON selection(track);
    )sql",
    // 1 -> 2: the stamp (modification time and size) of a track's file when
    // the library last read or wrote it, to tell the file's own later changes.
    R"sql(
    ALTER TABLE tracks ADD COLUMN fileStamp TEXT;
    )sql",
    // 2 -> 3: the player's playlist an imported playlist came from, so that
    // importing that player again brings the same playlist up to date.
    R"sql(
    ALTER TABLE playlists ADD COLUMN importedFrom TEXT;
    CREATE INDEX playlists_by_origin ON playlists(importedFrom) WHERE importedFrom IS NOT NULL;
    )sql",
};

constexpr int stepCount = int(sizeof steps / sizeof steps[0]);

using sqlite::Statement;

qint64 pragmaValue(sqlite::Database &db, const char *sql, const QString &purpose)
{
    Statement st(db, sql, purpose);
    return st.next() ? st.integer(0) : 0;
}

} // namespace

int currentVersion()
{
    return stepCount;
}

static void checkVersionKnown(qint64 version, const QString &purpose)
{
    if (version > currentVersion())
        throw LibraryError(purpose, QStringLiteral("the library was made by a newer version of Quavertin (layout %1, "
                                                   "this version knows %2); it was left untouched")
                                        .arg(version)
                                        .arg(currentVersion()));
}

void checkFileIsLibrary(const QString &path)
{
    const QString purpose = QStringLiteral("open the library %1").arg(path);
    const std::optional<sqlite::FileHeader> header = sqlite::fileHeader(
        path, purpose, QStringLiteral("it is a folder, not a library file"),
        QStringLiteral("the file is not a music library (it is no SQLite database); it was left untouched"));
    if (!header)
        return;
    if (header->applicationId != applicationId)
        throw LibraryError(purpose, QStringLiteral("the file is an SQLite database of another program, not a music "
                                                   "library; it was left untouched"),
                           SQLITE_NOTADB);
    checkVersionKnown(header->userVersion, purpose);
}

void checkTables(sqlite::Database &db, const QString &purpose)
{
    const char *sql = "SELECT count(*) FROM sqlite_schema WHERE type = 'table' AND name IN ('tracks', 'playlists', "
                      "'playlist_entries', 'selection')";
    if (pragmaValue(db, sql, purpose) != 4)
        throw LibraryError(purpose, QStringLiteral("the library lacks some of its tables; it was left untouched"));
}

void migrate(sqlite::Database &db, const QString &path)
{
    const QString purpose = QStringLiteral("prepare the library %1").arg(path);
    // Reading the schema first finds a damaged file before anything is written to it.
    const qint64 tables = pragmaValue(db, "SELECT count(*) FROM sqlite_schema", purpose);
    const qint64 id = pragmaValue(db, "PRAGMA application_id", purpose);
    if (id != applicationId) {
        // Only a file without any table may become a library: the header check
        // let it through because it was empty.
        if (tables != 0)
            throw LibraryError(purpose, QStringLiteral("the file is an SQLite database of another program, not a music "
                                                       "library; it was left untouched"));
        // Before write-ahead logging is on, so that the id lands in the file header at once.
        db.execute(QByteArray("PRAGMA application_id = " + QByteArray::number(applicationId)).constData(), purpose);
    }

    const qint64 version = pragmaValue(db, "PRAGMA user_version", purpose);
    checkVersionKnown(version, purpose);
    for (int step = int(version); step < stepCount; ++step) {
        sqlite::Transaction transaction(db, QStringLiteral("bring the library %1 to layout %2").arg(path).arg(step + 1));
        db.execute(steps[step], purpose);
        db.execute(QByteArray("PRAGMA user_version = " + QByteArray::number(step + 1)).constData(), purpose);
        transaction.commit();
    }
    checkTables(db, purpose);
    bool logging = false;
    {
        Statement mode(db, "PRAGMA journal_mode", purpose);
        logging = mode.next() && mode.text(0) == QLatin1StringView("wal");
    }
    if (!logging)
        db.execute("PRAGMA journal_mode = WAL", purpose);
}

} // namespace libraryschema
