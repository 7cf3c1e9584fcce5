// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QVariant>
#include <span>

// The properties a library track stores, one column each, named by their key.
namespace trackcolumns {

enum class Kind { Text, Integer, Real };

struct Column {
    const char *key;
    Kind kind;
    // Read from the music file by the import; the others (play counts,
    // rating, volume) belong to the library and survive a re-import.
    bool fromFile;
};

std::span<const Column> all();

// The column stored under key, or null for a key the library does not store.
const Column *find(const QString &key);

// The value as the column stores it: invalid for absent (also the empty text
// for a number), else QString, qlonglong or double. Throws LibraryError with
// purpose when the value does not fit the column.
QVariant toStored(const Column &column, const QVariant &value, const QString &purpose);

} // namespace trackcolumns
