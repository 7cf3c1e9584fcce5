// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "sqlitedb.h"

// The layout of the library file and how older layouts are brought up to date.
namespace libraryschema {

// Written into the file header (PRAGMA application_id) so that a library is
// told apart from any other SQLite database before anything is written to it.
constexpr qint32 applicationId = 0x51564c42; // "QVLB"

// The number of the newest layout; PRAGMA user_version holds the file's.
int currentVersion();

// Throws LibraryError unless the file at path is absent, empty, or an SQLite
// database carrying this library's application id in a layout this build
// knows. Reads the header bytes only: nothing is opened or written.
void checkFileIsLibrary(const QString &path);

// Throws LibraryError unless the opened file holds the library's tables.
void checkTables(sqlite::Database &db, const QString &purpose);

// Brings an opened library (new or old) to the current layout, each step in
// its own transaction, and switches it to write-ahead logging.
void migrate(sqlite::Database &db, const QString &path);

} // namespace libraryschema
