// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "musiclibrary.h"

#include <QList>
#include <QString>
#include <QStringList>

// Playlist files of other programs: M3U and M3U8, PLS and XSPF, read into
// the library's playlists.
namespace playlistfiles {

// Something said about one entry of a playlist file. A skipped entry is
// not in the playlist that was made.
struct Notice {
    QString entry;
    QString reason;
    bool skipped = true;
};

struct ParsedPlaylist {
    QString file;           // the playlist file read
    QString title;          // the name the file gives itself, if any
    int entries = 0;        // entries the file lists, files or not
    QStringList paths;      // absolute, cleaned, in the file's order
    QList<Notice> notices;  // entries that are not local files, or read with a change
};

// The entry as a local path: a file:// address decoded, a relative path
// resolved against folder, Windows separators turned around when the file
// is found that way. Nothing (and a notice) for what cannot be a file here.
std::optional<QString> resolveEntry(const QString &entry, const QString &folder, QList<Notice> &notices);

// Reads an M3U/M3U8, PLS or XSPF file, told apart by its extension (and by
// its first line when the extension says nothing). Relative entries are taken
// from base, or from the playlist's folder when base is empty. Throws
// FileError when the file cannot be read or is not a playlist of these kinds.
ParsedPlaylist read(const QString &path, const QString &base = {});

// The files of the playlist that exist, each once, in the playlist's order;
// a notice in notices for every other entry that names a file.
QStringList existingFiles(const ParsedPlaylist &parsed, QList<Notice> &notices);

// The name a playlist made from the file gets when none is given: the
// file's own title, else its base name.
QString defaultName(const ParsedPlaylist &parsed);

struct ImportSummary {
    qint64 playlistId = 0; // 0 when no playlist was made: the file lists entries and none came in
    QString name;
    int entries = 0;       // tracks in the playlist made
    int newTracks = 0;     // files that came into the library first
    QList<Notice> notices;
};

// Makes a playlist named name (defaultName when empty) holding the file's
// entries in order. Files not yet in the library are imported first; entries
// whose file does not exist or cannot be read are reported and left out.
// When the file lists entries and none of them can come in, no playlist is
// made. Throws LibraryError when a playlist of that name exists already.
ImportSummary importPlaylist(MusicLibrary &library, const ParsedPlaylist &parsed, const QString &name = {});
// read, then importPlaylist; also throws FileError for an unreadable file.
ImportSummary importPlaylist(MusicLibrary &library, const QString &path, const QString &name = {},
                             const QString &base = {});

} // namespace playlistfiles
