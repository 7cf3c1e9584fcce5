// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "support/fileutils.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

namespace tools {

// What a dead track is searched by, and what a music file is indexed by.
// Absent and empty values are the same: neither side can tell them apart.
struct RelinkKey {
    QString artist;
    QString title;
    QString album;

    friend bool operator==(const RelinkKey &, const RelinkKey &) = default;
};

inline size_t qHash(const RelinkKey &key, size_t seed = 0) noexcept
{
    return qHashMulti(seed, key.artist, key.title, key.album);
}

// One music file found under the search folder, with the values it was indexed by.
struct IndexedFile {
    QString path;
    RelinkKey key;
};

// Every music file below one folder, indexed by (artist, title, album) with
// exact, case-sensitive equality. Built by reading each file's tags once, so
// looking up many tracks costs the scan plus one hash look-up per track.
class RelinkIndex {
public:
    // Called with (files read so far, number of files, path) before each file.
    using Progress = std::function<void(int, int, const QString &)>;

    // Reads every music file below folder (any depth) with the file tag reader.
    // Files that cannot be read are indexed with empty values and never match
    // a track that has any value. Must run where the stack is large (the worker).
    // Music files and folders that cannot be reached under their exact names
    // go to skipped when given.
    static RelinkIndex scan(const QString &folder, const Progress &progress = {},
                            QList<files::Skipped> *skipped = nullptr);

    // The files whose three values equal the key exactly, in scan order.
    QList<IndexedFile> matches(const RelinkKey &key) const;

    int fileCount() const { return int(files_.size()); }

private:
    QList<IndexedFile> files_;
    QHash<RelinkKey, QList<int>> byKey_;
};

} // namespace tools
