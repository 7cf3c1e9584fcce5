// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QElapsedTimer>

// Says which items of a long walk are worth a progress text. Posting one per
// item costs a detail text, a wake-up of the main loop and a redraw for each
// file; nobody reads fifty of them a second. The first and the last item are
// always reported, the others once the interval has passed since the last
// report. One per worker loop.
class ProgressThrottle {
public:
    explicit ProgressThrottle(qint64 intervalMs = 40) : intervalMs_(intervalMs) {}

    // Item i (from 0) of n.
    bool due(qsizetype i, qsizetype n)
    {
        if (i != 0 && i + 1 != n && timer_.isValid() && timer_.elapsed() < intervalMs_)
            return false;
        timer_.start();
        return true;
    }

private:
    qint64 intervalMs_;
    QElapsedTimer timer_;
};
