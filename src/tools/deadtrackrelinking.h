// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class AppDelegate;

namespace tools {

// Asks for a folder, then proposes to point every dead track of the selected
// playlist at the one music file below that folder with the same artist,
// title and album. A track with several such files is left alone. The folder
// is read once, whatever the number of dead tracks. Main thread only.
void performFix(AppDelegate &app);

} // namespace tools
