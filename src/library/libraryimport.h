// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "musiclibrary.h"

#include <QHash>
#include <QList>
#include <QString>
#include <functional>

// Bringing music files into the library: every field TagLib finds in a file.
namespace libraryimport {

// The fields of one music file. Throws FileError when path is not a regular
// file (a folder, a pipe that would block the read, a device), is empty, or is
// no music file TagLib can read. Runs TagLib on a large stack: crafted deeply
// nested tags would overflow an ordinary thread's.
ImportedFile readFile(const QString &path);

struct Failure {
    QString path;
    QString reason;
};

struct Summary {
    int found = 0;   // music files below the folder
    int added = 0;   // new tracks
    int updated = 0; // tracks already stored for their location
    QList<Failure> failures;
    QHash<QString, qint64> ids; // the track stored for each path read
};

// Adds to a file just read what it brings besides its tags: values the
// library keeps of its own (play and skip counts, rating), by catalogue key.
using ExtraValues = std::function<void(ImportedFile &file)>;

// Reads every music file (musicfiles::isMusicFile) below folder, at any
// depth and in path order, and stores it in the library in batches of one
// transaction each; a re-import updates instead of duplicating. A file that cannot be read is recorded in
// the summary and passed over. progress, when given, hears (files done, files
// found) after each batch. Throws FileError when folder cannot be listed and
// LibraryError when the library refuses a batch (earlier batches stay stored).
Summary importFolder(MusicLibrary &library, const QString &folder,
                     const std::function<void(int done, int total)> &progress = {});

// importFolder for a list of files already found (absolute paths, in the
// order given): each is read, given its extra values, and stored. found
// counts the paths.
Summary importPaths(MusicLibrary &library, const QStringList &paths, const ExtraValues &extra = {},
                    const std::function<void(int done, int total)> &progress = {});

} // namespace libraryimport
