// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What the parts of MusicLibrary share; not for use outside src/library.

#include "musiclibrary.h"
#include "sqlitedb.h"
#include "trackcolumns.h"

struct MusicLibrary::Connection : sqlite::Database {
    using Database::Database;
};

namespace libraryinternal {

using sqlite::Statement;
using sqlite::Transaction;

QString trackPurpose(const char *action, const TrackRef &ref);
QString keyPurpose(const char *action, const QString &key, const TrackRef &ref);

// Throws LibraryError for a key the library does not store.
const trackcolumns::Column &columnFor(const QString &key, const QString &purpose);
QVariant readColumn(const Statement &st, int index, trackcolumns::Kind kind);

// Ids as one JSON array, so that a list of any length travels as one bound
// value (read back with json_each).
QByteArray idsAsJson(const QList<qint64> &ids);

// The stored path, or null when it is a stream or no file is there any more.
QString liveLocation(const QString &stored, bool stream);

// A reference holds while its track exists and, when it was reached through a
// playlist entry, that entry still holds the track. Binds ?1 to the track id
// and ?2 to the entry id; the track table is aliased t.
inline constexpr const char *refHolds = "t.id = ?1 AND (?2 = 0 OR EXISTS (SELECT 1 FROM playlist_entries e "
                                        "WHERE e.id = ?2 AND e.track = ?1))";

// Raised when a reference no longer leads to its track: tells which link broke.
[[noreturn]] void throwGone(sqlite::Database &db, const TrackRef &ref, const QString &purpose);

} // namespace libraryinternal
