// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "library/mpdclient.h"
#include "operations/collector.h"

#include <QString>
#include <optional>

namespace tools {

// The stickers MPD clients commonly keep ratings and play counts in.
inline const QString ratingSticker = QStringLiteral("rating");
inline const QString playCountSticker = QStringLiteral("playCount");

struct MpdSyncOptions {
    MpdAddress address;
    // MPD's music_directory as this computer sees it: a track is the song at
    // its path under it.
    QString musicFolder;
    // The highest rating sticker: MPD clients commonly use 0-10.
    int scale = 10;
};

// The song a file is to MPD: its path under the music folder, or nothing when
// it lies outside it.
std::optional<QString> songUri(const QString &musicFolder, const QString &path);
// A library rating (0-100) as a sticker of 0-scale, and back. A sticker that
// is no whole number from 0 to scale gives nothing.
int stickerOfRating(int rating, int scale);
std::optional<int> ratingOfSticker(const QString &sticker, int scale);
std::optional<int> countOfSticker(const QString &sticker);

// Proposes the stickers that differ from the library's ratings and play
// counts, to store in MPD; tracks the library keeps no rating or play count
// for leave MPD's alone. The review shows each sticker's old and new value.
// Main thread; MPD is asked on the worker.
ToolStart mpdPush(const MpdSyncOptions &options, TrackSource source);
// Proposes the library's ratings and play counts that differ from MPD's
// stickers; applied in one library transaction, kept in the history.
ToolStart mpdPull(const MpdSyncOptions &options, TrackSource source);

} // namespace tools
