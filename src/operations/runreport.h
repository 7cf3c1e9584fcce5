// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "applyengine.h"
#include "run.h"

#include <QString>

// The one line the window's status line shows after a run: what was changed,
// in words a person reads at a glance. Numbers are grouped ("1,642").
namespace runreport {

// The number grouped as English groups it: "1,642".
QString number(qsizetype count);

// "1 change" / "1,642 changes": the number, grouped, and the word in the singular or plural.
QString counted(qsizetype count, const QString &singular, const QString &plural);

// After an apply run over a change list (membership lists name their
// playlist; an undo's list the run it undid: "Undo of run 3: 1 change applied").
QString applied(const ApplyResult &result, const ChangeList &list, const QString &playlistName);

// Why the run is missing from the history; empty when it is there.
QString notRecorded(const ApplyResult &result);

// The end of an apply on the main thread: the alerts of what failed, the
// status line's summary with what the history could not record, and the
// run's outcome.
RunOutcome finishApplied(WindowPort *port, const ApplyResult &result, const QString &summary);

// After the numeric tag changer wrote its tracks.
QString numericChanged(const ApplyResult &result);

// After a walk found nothing to change.
QString nothingToChange();

} // namespace runreport
