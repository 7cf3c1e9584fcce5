// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "applyengine.h"

#include <QList>

// The apply step of a restoring list (an undo of removals): entries go back
// into their playlists, tracks that left the library are re-created, and
// their files come out of the Trash first, each recorded in the history
// before it moves. A record whose file cannot come back is left out whole
// and named in result.notRestored.
namespace comebacks {

// Inside the caller's library batch, after every record in work (the
// entries of tracks still in the library) was checked unchanged. Returns
// how many records were restored; made gets the history positions of the
// library changes, to confirm once the batch is committed (files put back
// are confirmed as they move).
int restore(const ApplyRun &run, MusicLibrary &library, const QList<const ChangeRecord *> &work,
            ApplyResult &result, QList<qint64> &made);

} // namespace comebacks
