// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "operations/collector.h"

#include <QString>

namespace tools {

struct RatingsOptions {
    // Whose fields win when a file holds several (ratingconventions::profileNames());
    // empty: FMPS, then the surest POPM, as an import chooses.
    QString profile;
    // Writing: whether an unrated track's fields are written too, as its
    // profile says "unrated" (a POPM byte of 0; no rating field) with its play
    // count. Without it an unrated track's file is left alone.
    bool unrated = false;
};

// Ratings & Play Counts, taking them in: proposes each library track's
// rating and play count as its file holds them, where the file holds one and
// it differs from the row's. Refused for a folder source, whose tracks have
// no library values to take them into.
ToolStart importRatings(const RatingsOptions &options, TrackSource source);

// Ratings & Play Counts, writing them out: proposes each rated library
// track's rating and play count in the fields of the profile (which is
// required), in its terms ("ID3v2:POPM:MusicBee 64/3 -> 196/3"), where the
// file holds other values; no other field is touched. Refused for a folder
// source, whose tracks have no library values to write.
ToolStart exportRatings(const RatingsOptions &options, TrackSource source);

} // namespace tools
