// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What the tool benchmarks share: a person who answers every panel at once,
// a way to press a button and wait for its run, and the process's peak memory.

#include "app/appdelegate.h"
#include "support/windowport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <sys/resource.h>

class BenchPort : public WindowPort {
public:
    QString folder;
    int alerts = 0;

    int alert(const QString &title, const QString &message, const QString &, const QString &,
              const QString &) override
    {
        ++alerts;
        qWarning("alert: %s: %s", qPrintable(title), qPrintable(message));
        return 1;
    }
    std::optional<QString> chooseFolder(const QString &) override { return folder; }
    std::optional<QString> chooseSaveFile(const QString &, const QString &) override { return std::nullopt; }
    void beginReview() override {}
    void endReview() override {}
    void beginProgress() override {}
    void endProgress() override {}
};

// Presses the button and waits for the outcome of the run it started; seconds taken.
template <typename Action> double timeRun(AppDelegate &app, Action action)
{
    QElapsedTimer timer;
    timer.start();
    action();
    if (app.lastRun())
        app.lastRun()->wait();
    return double(timer.nsecsElapsed()) / 1e9;
}

// Processor time (user + system) of this process so far, in seconds: on a
// busy machine the steadier measure beside the wall time.
inline double processorSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval &t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

inline double peakMegabytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0;
}
