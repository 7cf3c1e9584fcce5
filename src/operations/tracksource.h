// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "choices.h"
#include "model/musictrack.h"
#include "support/icuregex.h"

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

class MusicLibrary;
class WindowPort;

// A source's tracks a page at a time, in the source's order. The tracks of a
// library playlist or selection come with their values, all read inside one
// read transaction of the library held while this lives (so it stays on the
// worker that made it); other tracks come without, for the caller to read.
class TrackPages {
public:
    explicit TrackPages(QList<MusicTrack> tracks) : tracks_(std::move(tracks)) {}
    explicit TrackPages(LibraryTrackPages library) : library_(std::move(library)) {}
    // Tracks already read with their values (values parallel to tracks, or empty).
    explicit TrackPages(TrackList list) : tracks_(std::move(list.tracks)), values_(std::move(list.values)) {}

    qsizetype size() const { return library_ ? library_->size() : tracks_.size(); }
    // The next at most count tracks; empty once all were given.
    TrackList next(qsizetype count);

private:
    std::optional<LibraryTrackPages> library_;
    QList<MusicTrack> tracks_;
    QList<TrackValues> values_;
    qsizetype given_ = 0;
};

// The tracks of a source that a run is narrowed to: the rows chosen in the
// window's track table, or the command line's --only and --match. Library
// tracks are named by their id and files by their path, so a choice of rows
// still holds when the run reads the source again, in whatever order. Every
// part given must hold for a track to be kept.
struct TrackScope {
    // A value of key that the pattern must find, as the window's filter does.
    struct Match {
        QString key;
        IcuRegex pattern;
    };

    // With byName, only the tracks named by trackIds and paths.
    bool byName = false;
    QSet<qint64> trackIds;
    QSet<QString> paths;
    // Positions in the source's order, counted from 0, as inclusive ranges;
    // none: every position.
    QList<std::pair<qsizetype, qsizetype>> positions;
    QList<Match> matches;

    bool isNamed(const MusicTrack &track) const;
    bool atPosition(qsizetype position) const;
    // The keys whose values the matches need.
    QStringList matchKeys() const;
    // Keeps the tracks (and their values) the scope holds, in their order.
    // Values a match needs and the list lacks are read here (the files', one
    // by one); the list's own values stay as they were. The positions kept
    // go to kept, when given. Worker; throws as MusicTrack::valuesForTracks does.
    void narrow(TrackList &list, QList<qsizetype> *kept = nullptr) const;
};

// The order a person sees tracks in (the window's table, sorted as they
// chose): library tracks by their id, files by their path.
struct TrackOrder {
    QHash<qint64, qsizetype> trackIds;
    QHash<QString, qsizetype> paths;

    bool isEmpty() const { return trackIds.isEmpty() && paths.isEmpty(); }
    // Where the track stands; past every track named when it is not named.
    qsizetype positionOf(const MusicTrack &track) const;
};

// The tracks a tool works on, as the person chose them when the tool was
// started: taken as a value on the main thread, read on the worker.
struct TrackSource {
    choices::SourceMethod method = choices::PlaylistSource;
    // The playlist's name; null when none is chosen.
    QString playlist;
    // A local path; empty until chosen.
    QString folder;
    // Who is told when the source gives no tracks, or leaves files out.
    WindowPort *port = nullptr;
    // Opens the music library (once; later calls give the same one). May
    // throw LibraryError. Called on the worker while a run reads its tracks.
    std::function<std::shared_ptr<MusicLibrary>()> library;
    // The tracks chosen among the source's; none: all of them.
    std::optional<TrackScope> scope;

    // The tracks, or nothing after an alert told the person why there are
    // none to work on. Worker. Library failures throw LibraryError.
    std::optional<QList<MusicTrack>> tracks() const;
    // tracks() with the values of keys for the library's tracks, read in the
    // same query (the values of files are read later, one file at a time).
    std::optional<TrackList> tracksWithValues(const QStringList &keys) const;
    // The same a page at a time, for walks too long to hold whole. Values
    // that need a library track's file are left for the walk to complete
    // (MusicTrack::completeFileValues), so that it can read many files at once.
    std::optional<TrackPages> pages(const QStringList &keys) const;

private:
    std::optional<TrackList> allTracks(const QStringList &keys) const;
    std::optional<TrackList> playlistTracks(const QStringList &keys) const;
    // The chosen playlist's id, or nothing after telling the person it is gone.
    std::optional<qint64> playlistId(MusicLibrary &library) const;
    std::optional<QList<MusicTrack>> folderTracks() const;
};
