// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "operations/collector.h"

#include <QString>

namespace tools {

// The tool's options, read when the person starts it.
struct PlaylistOptions {
    QString tag; // any tag; null when the pop-up points beyond the list
    int condition = choices::Condition::Contains;
    QString operand;
    bool caseInsensitive = false;
    int action = choices::AddToPlaylist;
    bool moveTrash = false;
};

// Tests one tag of every track of the source's playlist against the chosen
// condition and proposes, for each match, adding it to the target playlist or
// removing it from the source's. Validates on the main thread (asking for the
// music folder first when the run needs the files). Main thread only.
ToolStart managePlaylist(const PlaylistOptions &options, TrackSource source);

} // namespace tools
