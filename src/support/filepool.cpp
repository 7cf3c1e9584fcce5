// SPDX-License-Identifier: GPL-3.0-or-later
#include "filepool.h"

#include "dispatch.h"

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

// What the caller and the workers of one ordered run share. A worker stays
// while there is a file to take and ends when there is none; the caller
// sleeps only on the file it waits for and is woken only for that one: a task
// and two wake-ups per file cost more than the parse of a small file.
struct Shared {
    std::mutex mutex;
    std::condition_variable resultCame; // the caller waits for its slot, or for the workers to end
    std::vector<char> ready;                // per slot
    std::vector<std::exception_ptr> errors; // per slot
    int next = 1;        // the next index a worker takes
    int limit = 1;       // indices below this may be taken: their slots are free
    int waitingFor = -1; // the slot the caller sleeps on
    int workers = 0;     // started and not yet ended
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
             const std::function<void(int, int)> &deliver, Caller caller)
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
    // A caller that works is one of the threads.
    const int threads = std::min(threadCount() - (caller == Caller::Works ? 1 : 0), n - 1);
    pool().setMaxThreadCount(threadCount());
    Shared shared;
    shared.ready.assign(static_cast<size_t>(window), 0);
    shared.errors.assign(static_cast<size_t>(window), nullptr);
    shared.limit = 1 + window;
    // Under the lock: whether an index may be taken. Indices are taken in
    // order, so everything before a failing index is already taken when it
    // fails, and nothing after it starts.
    const auto canTake = [&shared, n] { return !shared.stopped && shared.next < n && shared.next < shared.limit; };
    // With the lock held, takes the next index and works it, the lock
    // released meanwhile; a failure is kept for its delivery.
    const auto takeOne = [&shared, &work, window](std::unique_lock<std::mutex> &lock) {
        const int i = shared.next++;
        const int slot = i % window;
        lock.unlock();
        std::exception_ptr error;
        try {
            work(i, slot);
        } catch (...) {
            error = std::current_exception();
        }
        lock.lock();
        shared.errors[slot] = error;
        shared.ready[slot] = 1;
        if (error)
            shared.stopped = true;
        return slot;
    };
    // A worker that finds the window full ends instead of waiting for room:
    // a pool thread held idle could be the one another walk needs while this
    // walk's caller waits (for the person, say).
    const auto worker = [&shared, &canTake, &takeOne] {
        onPoolThread = true;
        markLargeStack();
        std::unique_lock lock(shared.mutex);
        while (canTake()) {
            if (takeOne(lock) == shared.waitingFor)
                shared.resultCame.notify_one();
        }
        if (--shared.workers == 0)
            shared.resultCame.notify_one();
    };
    // Under the lock: a worker for each thread that has none and a file to take.
    const auto startWorkers = [&] {
        for (; shared.workers < threads && canTake(); ++shared.workers)
            pool().start(worker);
    };
    {
        const std::lock_guard lock(shared.mutex);
        startWorkers();
    }

    // Whatever ends the run, no worker outlives the state it writes to.
    struct Drain {
        Shared &shared;
        ~Drain()
        {
            std::unique_lock lock(shared.mutex);
            shared.stopped = true;
            shared.resultCame.wait(lock, [this] { return shared.workers == 0; });
        }
    } drain{shared};

    for (int i = 1; i < n; ++i) {
        const int slot = i % window;
        std::exception_ptr error;
        {
            // Every index up to the window's end is taken, by a worker that
            // is running or has finished it, before the caller waits on one.
            std::unique_lock lock(shared.mutex);
            while (!shared.ready[slot]) {
                if (caller == Caller::Works && canTake()) {
                    // Nested walks in the work run in turn, as on a worker.
                    const bool wasOnPool = std::exchange(onPoolThread, true);
                    takeOne(lock);
                    onPoolThread = wasOnPool;
                    continue;
                }
                shared.waitingFor = slot;
                shared.resultCame.wait(lock);
            }
            shared.waitingFor = -1;
            shared.ready[slot] = 0;
            // A failed work stopped the walk itself.
            error = std::exchange(shared.errors[slot], nullptr);
        }
        if (error)
            std::rethrow_exception(error);
        deliver(i, slot);
        // The slot is free once its result is delivered.
        const std::lock_guard lock(shared.mutex);
        shared.limit = i + 1 + window;
        startWorkers();
    }
}

} // namespace detail
} // namespace filepool
