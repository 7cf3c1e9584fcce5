// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "choices.h"
#include "model/musictrack.h"

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

    qsizetype size() const { return library_ ? library_->size() : tracks_.size(); }
    // The next at most count tracks; empty once all were given.
    TrackList next(qsizetype count);

private:
    std::optional<LibraryTrackPages> library_;
    QList<MusicTrack> tracks_;
    qsizetype given_ = 0;
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
    std::optional<TrackList> playlistTracks(const QStringList &keys) const;
    // The chosen playlist's id, or nothing after telling the person it is gone.
    std::optional<qint64> playlistId(MusicLibrary &library) const;
    std::optional<QList<MusicTrack>> folderTracks() const;
};
