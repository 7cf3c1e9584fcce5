// SPDX-License-Identifier: GPL-3.0-or-later
#include "filepool.h"

#include "support/dispatch.h"

#include <QThread>
#include <QThreadPool>
#include <atomic>
#include <condition_variable>
#include <exception>
#include <mutex>

namespace filepool {
namespace {

constexpr int maxThreads = 8;

// Tasks run ahead of the delivery by this many per thread: enough to keep
// every thread busy while the caller handles one slow result, few enough that
// a stopped run leaves little work to wait for.
constexpr int aheadPerThread = 4;

thread_local bool onPoolThread = false;

std::atomic<int> chosenCount{0};

QThreadPool &pool()
{
    static QThreadPool threads;
    static const bool configured = [] {
        giveLargeStack(threads);
        threads.setExpiryTimeout(-1);
        return true;
    }();
    (void)configured;
    return threads;
}

// What the caller and the tasks of one ordered run share.
struct Shared {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<char> ready;                // per slot
    std::vector<std::exception_ptr> errors; // per slot
    int running = 0;
    bool stopped = false;
};

} // namespace

int threadCountFor(const QByteArray &setting, int cores)
{
    bool ok = false;
    const int asked = setting.trimmed().toInt(&ok);
    if (ok && asked >= 1)
        return std::min(asked, maxThreads);
    return std::clamp(cores, 1, maxThreads);
}

int threadCount()
{
    static const int fromEnvironment = threadCountFor(qgetenv("QUAVERTIN_THREADS"), QThread::idealThreadCount());
    const int chosen = chosenCount.load();
    return chosen > 0 ? chosen : fromEnvironment;
}

void setThreadCount(int count)
{
    chosenCount.store(count > 0 ? std::min(count, maxThreads) : 0);
}

namespace detail {

int window()
{
    return threadCount() * aheadPerThread;
}

void ordered(int n, int window, const std::function<void(int, int)> &work,
             const std::function<void(int, int)> &deliver)
{
    if (threadCount() == 1 || onPoolThread || n <= 1) {
        for (int i = 0; i < n; ++i) {
            work(i, 0);
            deliver(i, 0);
        }
        return;
    }
    // The first item runs on the calling thread: what every item would refuse
    // (a key no file holds) is refused there, once, where the run can ask the person.
    work(0, 0);
    deliver(0, 0);
    pool().setMaxThreadCount(threadCount());
    Shared shared;
    shared.ready.assign(static_cast<size_t>(window), 0);
    shared.errors.assign(static_cast<size_t>(window), nullptr);
    int started = 1;
    const auto start = [&](int i) {
        const int slot = i % window;
        {
            const std::lock_guard lock(shared.mutex);
            ++shared.running;
        }
        pool().start([&shared, &work, i, slot] {
            onPoolThread = true;
            markLargeStack();
            std::exception_ptr error;
            bool skipped;
            {
                const std::lock_guard lock(shared.mutex);
                skipped = shared.stopped;
            }
            if (!skipped) {
                try {
                    work(i, slot);
                } catch (...) {
                    error = std::current_exception();
                }
            }
            const std::lock_guard lock(shared.mutex);
            shared.errors[slot] = error;
            shared.ready[slot] = 1;
            --shared.running;
            shared.changed.notify_all();
        });
    };
    // Whatever ends the run, no task outlives the state it writes to.
    struct Drain {
        Shared &shared;
        ~Drain()
        {
            std::unique_lock lock(shared.mutex);
            shared.stopped = true;
            shared.changed.wait(lock, [this] { return shared.running == 0; });
        }
    } drain{shared};

    for (int i = 1; i < n; ++i) {
        while (started < n && started < i + window)
            start(started++);
        const int slot = i % window;
        std::exception_ptr error;
        {
            std::unique_lock lock(shared.mutex);
            shared.changed.wait(lock, [&] { return shared.ready[slot] != 0; });
            shared.ready[slot] = 0;
            error = std::exchange(shared.errors[slot], nullptr);
            if (error)
                shared.stopped = true;
        }
        if (error)
            std::rethrow_exception(error);
        deliver(i, slot);
    }
}

} // namespace detail
} // namespace filepool
