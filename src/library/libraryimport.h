// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "musiclibrary.h"

#include "files/ratingconventions.h"

#include <QHash>
#include <QList>
#include <QString>
#include <functional>

// Bringing music files into the library: every field TagLib finds in a file.
namespace libraryimport {

// The fields of one music file. Throws FileError when path is not a regular
// file (a folder, a pipe that would block the read, a device), is empty, or is
// no music file TagLib can read. Runs TagLib on a large stack: crafted deeply
// nested tags would overflow an ordinary thread's. The file's rating and play
// count (onAdd) are chosen by ratingProfile (ratingconventions::choose).
ImportedFile readFile(const QString &path, const QString &ratingProfile = ratingconventions::savedProfile());

struct Failure {
    QString path;
    QString reason;
};

struct Summary {
    int found = 0;   // music files below the folder
    int added = 0;   // new tracks
    int updated = 0; // tracks already stored for their location
    int changed = 0; // of those, the ones whose file held other values than the row
    QList<Failure> failures;
    QHash<QString, qint64> ids; // the track stored for each path read
    // Tracks already stored whose changed files rate or count them otherwise.
    QList<Disagreement> disagreements;
    QList<Failure> ignored; // rating and play count fields passed over, with why
};

// The rows of a report on disagreements, one per track, the file's value
// first: "/m/a.mp3: rating 80 (POPM MusicBee) → 60; play count 12 (FMPS_Playcount) → none".
QStringList disagreementRows(const QList<Disagreement> &disagreements);
// "The files of 2 tracks rate or count them otherwise than the library, which keeps its own (file → library):"
QString disagreementHeading(const QList<Disagreement> &disagreements);

// Adds to a file just read what it brings besides its tags: values the
// library keeps of its own (play and skip counts, rating), by catalogue key.
using ExtraValues = std::function<void(ImportedFile &file)>;

// The music files (musicfiles::isMusicFile) below folder, at any depth, as
// absolute paths in path order, and the names below it that could not be
// taken. Throws FileError when folder cannot be listed.
struct FolderListing {
    QStringList paths;
    QList<Failure> unlisted;
};
FolderListing listFolder(const QString &folder);
// Stores the files of a listing as importFolder does.
Summary importListed(MusicLibrary &library, const FolderListing &listing,
                     const std::function<void(int done, int total)> &progress = {},
                     const QString &ratingProfile = ratingconventions::savedProfile());

// Reads every music file (musicfiles::isMusicFile) below folder, at any
// depth and in path order, and stores it in the library in batches of one
// transaction each; a re-import updates instead of duplicating. A file that cannot be read is recorded in
// the summary and passed over. progress, when given, hears (files done, files
// found) after each batch. Throws FileError when folder cannot be listed and
// LibraryError when the library refuses a batch (earlier batches stay stored).
Summary importFolder(MusicLibrary &library, const QString &folder,
                     const std::function<void(int done, int total)> &progress = {},
                     const QString &ratingProfile = ratingconventions::savedProfile());

// importFolder for a list of files already found (absolute paths, in the
// order given): each is read, given its extra values, and stored. found
// counts the paths.
Summary importPaths(MusicLibrary &library, const QStringList &paths, const ExtraValues &extra = {},
                    const std::function<void(int done, int total)> &progress = {},
                    const QString &ratingProfile = ratingconventions::savedProfile());
struct RefreshSummary {
    int changed = 0;   // rows that took other values from their files
    int unchanged = 0; // rows that already held their files' values
    int dead = 0;      // tracks without a file (and streams)
    QList<Failure> failures; // files that are there but cannot be read: their rows stay
    QList<Disagreement> disagreements; // as Summary's
    QList<Failure> ignored;
};

// Reads the file of every track again and stores its values in the rows that
// differ, as an import of that file would (play counts, ratings and
// playlists stay). Each track counts once. progress, when given, hears
// (tracks done, tracks) after each batch. Throws LibraryError when the
// library refuses a batch (earlier batches stay stored).
// "Refreshed 5 tracks from their files: 1 changed, 3 unchanged, 1 dead."
// (with ", 1 unreadable" when some files could not be read).
QString describe(const RefreshSummary &summary);

RefreshSummary refresh(MusicLibrary &library, const QList<TrackRef> &tracks,
                       const std::function<void(int done, int total)> &progress = {},
                       const QString &ratingProfile = ratingconventions::savedProfile());

} // namespace libraryimport
