// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "operations/collector.h"

#include <QString>
#include <optional>

class WindowPort;

namespace tools {

// Tells the person what the folder is for and asks for it; nothing when cancelled. Main thread.
std::optional<QString> askRelinkFolder(WindowPort *port);

// Proposes to point every dead track of the source's playlist at the one
// music file below folder with the same artist, title and album. A track
// with several such files is left alone. The folder is read once, whatever
// the number of dead tracks.
CollectRun deadTrackRelinking(const QString &folder, TrackSource source);

} // namespace tools
