// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "libraryimport.h"
#include "musiclibrary.h"
#include "playerimport.h"
#include "playlistfiles.h"

#include <QList>
#include <QString>
#include <functional>
#include <optional>

// What a person does to the library as a whole: import, refresh, playlists
// and the selection. The window's library browser and the command line both
// come here, so that the two agree on what is allowed and what it did. Each
// action takes its inputs as values and throws nothing: it runs the same on
// the main thread, on the worker or in any other run, and its caller decides
// how to show the result.
namespace libraryactions {

// Hears (done, total) as work on many files goes on; may be empty.
using Progress = std::function<void(int done, int total)>;

// Why an action did not do (all of) what it was asked.
struct Problem {
    // Refused: the request itself was not sound (a name taken, a playlist or
    // folder that is not there) and nothing was changed. Otherwise the library
    // or a file failed on the way; what was stored before that stays.
    bool refused = false;
    QString name;   // the failure's name ("Library Error", "File Error"); empty for a refusal
    QString reason; // in words that can follow "quavertin-cli: " or stand in an alert
    // "name: reason" for a failure, the reason alone for a refusal.
    QString description() const;
};

template <typename Value>
struct Result {
    Value value{};                 // what was done; partial or empty when there is a problem
    std::optional<Problem> problem;
    bool ok() const { return !problem.has_value(); }
};

// Which playlist an action is for: the first of a name, as a person types it,
// or the one with an id, as a list of the library's playlists knows it (two
// may share a name: a smart one and a plain one).
struct PlaylistChoice {
    PlaylistChoice(QString playlistName) : name(std::move(playlistName)) {}
    PlaylistChoice(const char *playlistName) : name(QString::fromUtf8(playlistName)) {}
    static PlaylistChoice withId(qint64 id);

    QString name;
    qint64 id = 0; // when not 0, the playlist chosen; name is then ignored
};

// The chosen playlist; refused when there is none.
Result<Playlist> findPlaylist(const MusicLibrary &library, const PlaylistChoice &choice);

// Why folder cannot be imported, when it is no folder; a front end may ask
// before it opens the library.
std::optional<Problem> folderRefusal(const QString &folder);
// Every music file below folder into the library (libraryimport::importFolder).
// Refused when folder is not a folder. A file's rating and play count are
// chosen by ratingProfile, the person's saved one unless given.
Result<libraryimport::Summary> importFolder(MusicLibrary &library, const QString &folder, const Progress &progress = {},
                                            const QString &ratingProfile = ratingconventions::savedProfile());
// The same in two steps, so that a front end lists the folder before it opens
// the library: a folder without music files leaves no library file behind.
Result<libraryimport::FolderListing> listFolder(const QString &folder);
Result<libraryimport::Summary> importListed(MusicLibrary &library, const libraryimport::FolderListing &listing,
                                            const Progress &progress = {},
                                            const QString &ratingProfile = ratingconventions::savedProfile());
// A player's library read (playerimport::read); path empty: where the player
// keeps it. A front end reads before it opens the library, so that a player's
// file that is not there or not the player's leaves no library file behind.
Result<playerimport::PlayerLibrary> readPlayer(playerimport::Player player, const QString &path);
// A player's library read before, stored (playerimport::importPlayer).
Result<playerimport::Summary> importPlayer(MusicLibrary &library, const playerimport::PlayerLibrary &source,
                                           const Progress &progress = {});
// readPlayer, then importPlayer.
Result<playerimport::Summary> importPlayer(MusicLibrary &library, playerimport::Player player, const QString &path,
                                           const Progress &progress = {});
// A playlist file read (playlistfiles::read), relative entries from base when
// given. Refused when the file lists entries and none of them is a file here:
// no playlist would come of it; the value's notices then say why each was left out.
Result<playlistfiles::ParsedPlaylist> readPlaylist(const QString &file, const QString &base = {});
// A playlist file read before as a new playlist (playlistfiles::importPlaylist);
// name empty: the file's own. Refused, with the notices, when none of its
// entries came in and so no playlist was made.
Result<playlistfiles::ImportSummary> importPlaylist(MusicLibrary &library, const playlistfiles::ParsedPlaylist &parsed,
                                                    const QString &name = {});
// readPlaylist, then importPlaylist.
Result<playlistfiles::ImportSummary> importPlaylist(MusicLibrary &library, const QString &file, const QString &name = {},
                                                    const QString &base = {});

// Reads the files of the library's tracks again, or of the tracks of the
// chosen playlist when one is given. Refused when there is no such playlist.
Result<libraryimport::RefreshSummary> refresh(MusicLibrary &library, const std::optional<PlaylistChoice> &playlist = {},
                                              const Progress &progress = {},
                                              const QString &ratingProfile = ratingconventions::savedProfile());

// A new empty plain playlist. Refused for a blank name and for a name a
// plain playlist has already: tools and menus find the playlists they edit
// by name, so a second one would never be reached.
Result<Playlist> createPlaylist(MusicLibrary &library, const QString &name);
// Gives the chosen playlist the name newName; the value is the playlist as it
// is now. Refused when there is none, for a blank name, and when another plain
// playlist has that name (a smart one may share it: the tools never edit it by
// name).
Result<Playlist> renamePlaylist(MusicLibrary &library, const PlaylistChoice &playlist, const QString &newName);
// Deletes the chosen playlist; its tracks stay in the library. The value is
// the playlist that was deleted. Refused when there is none.
Result<Playlist> deletePlaylist(MusicLibrary &library, const PlaylistChoice &playlist);

struct PlaylistEdit {
    Playlist playlist;
    int tracks = 0;  // tracks added, or distinct tracks taken out
    int absent = 0;  // distinct tracks asked to be taken out that were not in it
};
// Appends the tracks, in order and repeats included, to the chosen playlist.
// Refused when there is none; a smart playlist or a track that is not in the
// library fails, and then nothing is added.
Result<PlaylistEdit> addToPlaylist(MusicLibrary &library, const PlaylistChoice &playlist,
                                   const QList<qint64> &trackIds);
// Takes every entry of these tracks out of the chosen playlist. Refused when
// there is none and for a smart playlist (its rule decides what it holds).
// Tracks not in it are counted in absent; the others still go.
Result<PlaylistEdit> removeFromPlaylist(MusicLibrary &library, const PlaylistChoice &playlist,
                                        const QList<qint64> &trackIds);

// Makes these tracks, in this order, the library's selection; the value is
// how many. A track that is not in the library fails, and the selection stays.
Result<int> select(MusicLibrary &library, const QList<qint64> &trackIds);

} // namespace libraryactions
