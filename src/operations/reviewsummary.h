// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "changelist.h"

namespace review {

// The line above the review table. playlistName is the source playlist for a
// removing list, the target playlist for an adding one; unused for tag lists.
// The count is that of all records, checked or not. Tags are named by their
// display names; an undo's list names the run it takes back first.
QString summary(const ChangeList &list, const QString &playlistName);

} // namespace review
