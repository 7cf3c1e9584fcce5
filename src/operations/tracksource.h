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

private:
    std::optional<TrackList> playlistTracks(const QStringList &keys) const;
    std::optional<QList<MusicTrack>> folderTracks() const;
};
