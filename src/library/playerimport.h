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
    QList<libraryimport::Failure> leftOut; // entries that name no file of this computer (streams), and why
};

struct SkippedPlaylist {
    QString name;
    QString reason;
};

struct PlayerLibrary {
    Player player = Player::Rhythmbox;
    QString source; // the file or folder read
    QList<PlayerTrack> tracks;
    QList<PlayerPlaylist> playlists;
    QList<SkippedPlaylist> skipped; // smart, automatic or dynamic ones, the play queue
    // A track the player never played has no count (-1) rather than 0.
    bool unplayedHasNoCount = false;
};

// Reads the player's library at path (defaultPath when empty) without
// changing a byte of it. For beets, path may also be its configuration file
// or folder: the library it names is read, and the playlist plugin's
// playlists. Throws FileError when it is missing, damaged, of a layout this
// program does not know, or another player's.
PlayerLibrary read(Player player, const QString &path = {});

// How one of the player's playlists came into the library.
struct ImportedPlaylist {
    enum class Outcome { Added, Updated, Unchanged };
    QString name; // its name in the library, which the person may have changed since
    Outcome outcome = Outcome::Added;
    int tracks = 0;                        // entries it holds now
    QList<libraryimport::Failure> leftOut; // the player's entries that are not in it, and why
};

struct Summary {
    QString source;                              // the file or folder read
    int tracks = 0;                              // tracks the player lists
    int added = 0;                               // new in the library
    int updated = 0;                             // already there, brought up to date
    int changed = 0;                             // of those, the ones that took other values
    QList<libraryimport::Failure> failures;      // missing or unreadable files
    QList<ImportedPlaylist> playlists;           // in the player's order
    QList<SkippedPlaylist> playlistsSkipped;     // smart ones, and names taken by another playlist
    int playlistsWith(ImportedPlaylist::Outcome outcome) const;
};

// Stores a player's library read before: a track already in the library
// (same path) is updated with the player's counts and rating, never added
// twice. A playlist is made once and remembers where it came from: importing
// the same player again brings it up to date in place, under whatever name it
// has now, while a playlist made in the library is never changed.
// progress hears (files done, files).
Summary importPlayer(MusicLibrary &library, const PlayerLibrary &source,
                     const std::function<void(int done, int total)> &progress = {});
// read, then importPlayer.
Summary importPlayer(MusicLibrary &library, Player player, const QString &path = {},
                     const std::function<void(int done, int total)> &progress = {});

} // namespace playerimport
