// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>
#include <QHashFunctions>

// A reference to one library track as it was reached: through a playlist
// entry, or through the library itself (playlistId and entryId 0). Two
// references to the same track compare equal whatever they were reached
// through, so list membership finds them; deleting goes through the container.
struct TrackRef {
    qint64 trackId = 0;
    qint64 playlistId = 0; // 0: reached through the library
    qint64 entryId = 0;    // the playlist entry; 0 when reached through the library

    bool reachedThroughLibrary() const { return playlistId == 0; }
    friend bool operator==(const TrackRef &a, const TrackRef &b) { return a.trackId == b.trackId; }
};

inline size_t qHash(const TrackRef &ref, size_t seed = 0) noexcept
{
    return ::qHash(ref.trackId, seed);
}
