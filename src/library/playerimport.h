// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "libraryimport.h"
#include "musiclibrary.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

// Bringing a music player's library over: its tracks (by path, with the
// tags read from the files), play and skip counts, ratings and static
// playlists. The player's files are only ever read.
namespace playerimport {

enum class Player { Rhythmbox, Strawberry, Clementine, Beets };

// "rhythmbox", "strawberry", "clementine", "beets", in that order.
QStringList playerNames();
std::optional<Player> playerNamed(const QString &name);
QString playerName(Player player);

// Where the player keeps its library on this account: for Rhythmbox its
// folder, for the others the database file.
QString defaultPath(Player player);

// One track as the player knows it. A count or rating the player does not
// keep is absent (-1). rating is on the library's 0-100 scale.
struct PlayerTrack {
    QString path;
    int playCount = -1;
    int skipCount = -1;
    int rating = -1;
};

struct PlayerPlaylist {
    QString name;
    QStringList paths; // in the player's order
};

struct SkippedPlaylist {
    QString name;
    QString reason;
};

struct PlayerLibrary {
    QList<PlayerTrack> tracks;
    QList<PlayerPlaylist> playlists;
    QList<SkippedPlaylist> skipped; // smart, automatic or dynamic ones, the play queue
};

// Reads the player's library at path (defaultPath when empty) without
// changing a byte of it. Throws FileError when it is missing, damaged, or of
// a layout this program does not know.
PlayerLibrary read(Player player, const QString &path = {});

struct Summary {
    QString source;                              // the file or folder read
    int tracks = 0;                              // tracks the player lists
    int added = 0;                               // new in the library
    int updated = 0;                             // already there, brought up to date
    QList<libraryimport::Failure> failures;      // missing or unreadable files
    QStringList playlistsAdded;
    QStringList playlistsUnchanged;              // there already with the same tracks
    QList<SkippedPlaylist> playlistsSkipped;     // smart ones, and names taken by another playlist
};

// Reads the player's library and stores it: a track already in the library
// (same path) is updated with the player's counts and rating, never added
// twice, and a playlist is made once. progress hears (files done, files).
Summary importPlayer(MusicLibrary &library, Player player, const QString &path = {},
                     const std::function<void(int done, int total)> &progress = {});

} // namespace playerimport
