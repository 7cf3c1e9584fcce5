// SPDX-License-Identifier: GPL-3.0-or-later
#include "dispatch.h"

#include <QCoreApplication>
#include <QThread>
#include <QThreadPool>
#include <QTimer>

#include <cmath>
#include <exception>
#include <future>

namespace {

// TagLib 1.13 parses nested ID3v2 chapter frames and MP4 atoms recursively, so
// a crafted file tens of thousands of levels deep needs far more than the
// default 8 MiB. The reservation is virtual: only the pages used are committed.
constexpr uint largeStackBytes = 1024u * 1024u * 1024u;

thread_local bool hasLargeStack = false;
thread_local bool isBackgroundWorker = false;

QThreadPool &makePool(QThreadPool &pool)
{
    pool.setMaxThreadCount(1);
    pool.setStackSize(largeStackBytes);
    pool.setExpiryTimeout(-1);
    return pool;
}

QThreadPool &worker()
{
    static QThreadPool pool;
    static QThreadPool &configured = makePool(pool);
    return configured;
}

QThreadPool &largeStackPool()
{
    static QThreadPool pool;
    static QThreadPool &configured = makePool(pool);
    return configured;
}

} // namespace

void dispatchAsyncMain(std::function<void()> block)
{
    QMetaObject::invokeMethod(QCoreApplication::instance(), std::move(block), Qt::QueuedConnection);
}

void dispatchAsyncBackground(std::function<void()> block)
{
    worker().start([block = std::move(block)] {
        hasLargeStack = true;
        isBackgroundWorker = true;
        block();
    });
}

void dispatchAfterMain(std::function<void()> block, float seconds)
{
    const auto nanoseconds = static_cast<long long>(seconds * 1e9f);
    QTimer::singleShot(static_cast<int>(nanoseconds / 1000000), QCoreApplication::instance(), std::move(block));
}

void waitForBackground()
{
    const bool onMain = QThread::currentThread() == QCoreApplication::instance()->thread();
    // The worker may be waiting for an alert answered on the main loop, so the
    // main thread keeps serving its events while it waits.
    while (!worker().waitForDone(5)) {
        if (onMain)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
}

bool onBackgroundWorker()
{
    return isBackgroundWorker;
}

void giveLargeStack(QThreadPool &pool)
{
    pool.setStackSize(largeStackBytes);
}

void markLargeStack()
{
    hasLargeStack = true;
}

void runWithLargeStack(const std::function<void()> &fn)
{
    if (hasLargeStack) {
        fn();
        return;
    }
    std::promise<void> done;
    auto finished = done.get_future();
    largeStackPool().start([&] {
        hasLargeStack = true;
        try {
            fn();
            done.set_value();
        } catch (...) {
            done.set_exception(std::current_exception());
        }
    });
    finished.get();
}
