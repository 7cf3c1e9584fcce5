// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "operations/collector.h"

#include <QString>

namespace tools {

struct RatingsOptions {
    // Whose fields win when a file holds several (ratingconventions::profileNames());
    // empty: FMPS, then the surest POPM, as an import chooses.
    QString profile;
};

// Ratings & Play Counts, taking them in: proposes each library track's
// rating and play count as its file holds them, where the file holds one and
// it differs from the row's. Refused for a folder source, whose tracks have
// no library values to take them into.
ToolStart importRatings(const RatingsOptions &options, TrackSource source);

} // namespace tools
