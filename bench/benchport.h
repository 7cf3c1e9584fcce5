// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What the tool benchmarks share: a person who answers every panel at once,
// a way to press a button and wait for its run, and the process's peak memory.

#include "support/dispatch.h"
#include "support/windowport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <sys/resource.h>

class BenchPort : public WindowPort {
public:
    QString folder;
    int progressOpen = 0;
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
    void beginProgress() override { ++progressOpen; }
    void endProgress() override { --progressOpen; }
};

// Presses the button and serves the main loop until the run's sheet closed; seconds taken.
template <typename Action> double timeRun(BenchPort &port, Action action)
{
    QElapsedTimer timer;
    timer.start();
    action();
    while (port.progressOpen > 0)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    QCoreApplication::processEvents();
    return double(timer.nsecsElapsed()) / 1e9;
}

inline double peakMegabytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0;
}
