// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/appdelegate.h"

// Waits for the outcome of the run the controller started last (the one the
// button just pressed started); a run that ended at once, a refusal, has its
// outcome already. Null when no run was ever started.
inline const RunOutcome *awaitLastRun(AppDelegate &app)
{
    return app.lastRun() ? &app.lastRun()->wait() : nullptr;
}
