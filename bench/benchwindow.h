// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What the window benchmarks share: the real window offscreen over a real
// controller, the main loop served while its longest pause is noted, and
// the median of the rounds.

#include "app/appdelegate.h"
#include "guiwindowport.h"
#include "mainwindow.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <functional>

inline double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? 0 : values.at(values.size() / 2);
}

// Serves the main loop until done holds (or 60 s), noting the longest gap
// between two ticks of a 5 ms timer; the first gap counts from since (ns on
// the clock), so that work done before the loop is served counts as a pause too.
inline double serveUntil(const std::function<bool()> &done, QElapsedTimer &clock, qint64 since = -1)
{
    double longest = 0;
    qint64 last = since < 0 ? clock.nsecsElapsed() : since;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    ticker.setInterval(5);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        longest = std::max(longest, (now - last) / 1e9);
        last = now;
    });
    ticker.start();
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, [&] {
        if (done() || clock.elapsed() > 60000)
            loop.quit();
    });
    check.start(5);
    loop.exec();
    const qint64 now = clock.nsecsElapsed();
    return std::max(longest, (now - last) / 1e9);
}

// The window launched over the library file, its track table shown.
struct BenchWindow {
    BenchWindow(GuiWindowPort &port, const QString &libraryPath) : app(port)
    {
        app.setLibraryPath(libraryPath);
        window = std::make_unique<MainWindow>(&app);
        port.setWindow(window.get());
        app.applicationDidFinishLaunching();
        window->setTrackTableShown(true);
    }

    AppDelegate app;
    std::unique_ptr<MainWindow> window;
};
