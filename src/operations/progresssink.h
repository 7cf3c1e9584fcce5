// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "progressdetail.h"

#include <QString>

class WindowPort;

// Where a run shows that it is working: the window's progress sheet, the
// terminal, or nothing. A run opens it before the worker starts and closes it
// on the main thread once the worker is through.
class ProgressSink {
public:
    virtual ~ProgressSink() = default;

    // The person the run tells what it needs to (alerts, panels); the same
    // one who watches the progress.
    virtual WindowPort *port() const = 0;

    // Main thread.
    virtual void beginProgress(const QString &title) = 0;
    // Any thread; details arrive on the main loop in call order.
    virtual void setProgress(ProgressDetail detail) = 0;
    // Main thread; shows the last detail before the sheet goes.
    virtual void endProgress() = 0;
};
