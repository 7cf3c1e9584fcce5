// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class AppDelegate;

namespace tools {

// Tests one tag of every track of the selected playlist against the chosen
// condition and proposes, for each match, adding it to the target playlist or
// removing it from the selected one. Validates on the main thread, collects
// on the worker and hands the list to the review. Main thread only.
void performPlaylist(AppDelegate &app);

} // namespace tools
