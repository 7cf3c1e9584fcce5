// SPDX-License-Identifier: GPL-3.0-or-later
// The pool that reads files several at a time: how many threads it takes,
// and that the caller still sees the results one by one, in order, and
// nothing past an error.
#include "support/filepool.h"
#include "threadcount.h"

#include <QThread>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <future>
#include <gtest/gtest.h>
#include <mutex>
#include <set>
#include <stdexcept>
#include <thread>

TEST(FilePool, ThreadCountFollowsTheMachineUpToEightAndTheEnvironment)
{
    EXPECT_EQ(filepool::threadCountFor("", 2), 2);
    EXPECT_EQ(filepool::threadCountFor("", 32), 8);
    EXPECT_EQ(filepool::threadCountFor("", 0), 1) << "an unknown core count still gets a thread";
    EXPECT_EQ(filepool::threadCountFor("1", 32), 1);
    EXPECT_EQ(filepool::threadCountFor("8", 2), 8) << "more threads than cores help when files are slow to open";
    EXPECT_EQ(filepool::threadCountFor(" 3 ", 2), 3);
    EXPECT_EQ(filepool::threadCountFor("64", 2), 8);
    // Nonsense falls back to the machine.
    for (const char *bad : {"0", "-4", "two", "2x"})
        EXPECT_EQ(filepool::threadCountFor(bad, 4), 4) << bad;

    const int fromEnvironment = filepool::threadCount();
    EXPECT_EQ(fromEnvironment,
              filepool::threadCountFor(qgetenv("QUAVERTIN_THREADS"), QThread::idealThreadCount()));
    filepool::setThreadCount(5);
    EXPECT_EQ(filepool::threadCount(), 5);
    filepool::setThreadCount(20);
    EXPECT_EQ(filepool::threadCount(), 8);
    filepool::setThreadCount(0);
    EXPECT_EQ(filepool::threadCount(), fromEnvironment);
}

TEST(FilePool, ResultsArriveInOrderWhileTheWorkOverlaps)
{
    const ScopedThreadCount eight(8);
    const int n = 200;
    std::atomic<int> running{0};
    std::atomic<int> mostAtOnce{0};
    std::mutex mutex;
    std::set<std::thread::id> workers;
    QList<int> delivered;
    const std::thread::id caller = std::this_thread::get_id();
    filepool::ordered<QString>(
        n,
        [&](int i) {
            const int now = ++running;
            for (int seen = mostAtOnce; now > seen && !mostAtOnce.compare_exchange_weak(seen, now);) {
            }
            // Later items often finish first.
            std::this_thread::sleep_for(std::chrono::microseconds((n - i) % 7 * 300));
            {
                const std::lock_guard lock(mutex);
                workers.insert(std::this_thread::get_id());
            }
            --running;
            return QString::number(i * 3);
        },
        [&](int i, QString &&result) {
            EXPECT_EQ(std::this_thread::get_id(), caller);
            EXPECT_EQ(result, QString::number(i * 3));
            delivered << i;
        });
    ASSERT_EQ(delivered.size(), n);
    for (int i = 0; i < n; ++i)
        ASSERT_EQ(delivered[i], i);
    EXPECT_GT(mostAtOnce.load(), 1);
    EXPECT_GT(workers.size(), 1u);
    EXPECT_EQ(running.load(), 0);
}

TEST(FilePool, AnErrorStopsTheWalkAfterEverythingBeforeItAndNothingAfter)
{
    const ScopedThreadCount eight(8);
    const int n = 300;
    for (const bool inWork : {true, false}) {
        std::atomic<int> running{0};
        std::atomic<int> worked{0};
        QList<int> delivered;
        try {
            filepool::ordered<int>(
                n,
                [&](int i) {
                    ++running;
                    ++worked;
                    std::this_thread::sleep_for(std::chrono::microseconds(i % 5 * 200));
                    --running;
                    if (inWork && i == 40)
                        throw std::runtime_error("item 40 failed");
                    return i;
                },
                [&](int i, int &&value) {
                    if (!inWork && i == 40)
                        throw std::runtime_error("item 40 failed");
                    EXPECT_EQ(value, i);
                    delivered << i;
                });
            ADD_FAILURE() << "the error was swallowed";
        } catch (const std::runtime_error &e) {
            EXPECT_STREQ(e.what(), "item 40 failed");
        }
        QList<int> expected;
        for (int i = 0; i < 40; ++i)
            expected << i;
        EXPECT_EQ(delivered, expected) << (inWork ? "work" : "deliver");
        // Nothing is still running once the caller has the error, and the
        // items far past it were never started.
        EXPECT_EQ(running.load(), 0);
        EXPECT_LT(worked.load(), n);
        EXPECT_LE(worked.load(), 41 + 8 * 4);
    }
}

TEST(FilePool, OneThreadRunsEverythingOnTheCallerInTurn)
{
    const ScopedThreadCount one(1);
    const std::thread::id caller = std::this_thread::get_id();
    QList<int> events;
    filepool::ordered<int>(
        5,
        [&](int i) {
            EXPECT_EQ(std::this_thread::get_id(), caller);
            events << i;
            return i;
        },
        [&](int, int &&value) { events << -value - 1; });
    EXPECT_EQ(events, (QList<int>{0, -1, 1, -2, 2, -3, 3, -4, 4, -5}));
}

// A walk whose caller waits, as it does while the person answers an alert,
// must not hold the pool's threads: another walk started meanwhile (from the
// main thread, say, which the person needs) would wait on them for ever.
TEST(FilePool, AWalkWhoseCallerWaitsLeavesThePoolToAnotherWalk)
{
    const ScopedThreadCount two(2);
    std::promise<void> waiting;
    std::promise<void> otherDone;
    std::future<void> other = otherDone.get_future();
    bool otherFinishedWhileWaiting = false;
    QList<int> delivered;
    std::thread first([&] {
        filepool::ordered<int>(
            40, [](int i) { return i; },
            [&](int i, int &&value) {
                delivered << value;
                if (i == 1) {
                    waiting.set_value();
                    // Long enough for the other walk; a hang becomes a failure.
                    otherFinishedWhileWaiting = other.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
                }
            });
    });
    waiting.get_future().wait();
    QList<int> otherDelivered;
    filepool::ordered<int>(
        30, [](int i) { return i * 2; }, [&](int, int &&value) { otherDelivered << value; });
    otherDone.set_value();
    first.join();
    EXPECT_TRUE(otherFinishedWhileWaiting);
    ASSERT_EQ(otherDelivered.size(), 30);
    EXPECT_EQ(otherDelivered.last(), 58);
    ASSERT_EQ(delivered.size(), 40);
    for (int i = 0; i < 40; ++i)
        ASSERT_EQ(delivered[i], i);
}

// A caller waiting for a result works on later files rather than sleeping,
// unless the work itself waits for deliveries, as a save waiting for its
// turn does: a caller busy with later work would never make them.
TEST(FilePool, TheCallerWorksWhileItWaitsUnlessTheWorkWaitsForDeliveries)
{
    const ScopedThreadCount two(2);
    const std::thread::id caller = std::this_thread::get_id();
    const int n = 40;
    for (const auto mode : {filepool::Caller::Works, filepool::Caller::OnlyDelivers}) {
        const bool works = mode == filepool::Caller::Works;
        std::mutex mutex;
        std::condition_variable deliveredMore;
        int delivered = 0;
        int onCaller = 0;
        bool turnTimedOut = false;
        filepool::ordered<int>(
            n,
            [&](int i) {
                std::unique_lock lock(mutex);
                if (i > 0 && std::this_thread::get_id() == caller)
                    ++onCaller;
                if (!works) {
                    // Its turn comes once everything before it is delivered.
                    if (!deliveredMore.wait_for(lock, std::chrono::seconds(5), [&] { return delivered == i; }))
                        turnTimedOut = true;
                } else {
                    lock.unlock();
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
                }
                return i;
            },
            [&](int i, int &&value) {
                EXPECT_EQ(value, i);
                const std::lock_guard lock(mutex);
                ++delivered;
                deliveredMore.notify_all();
            },
            mode);
        EXPECT_EQ(delivered, n);
        if (works) {
            EXPECT_GT(onCaller, 0) << "the caller only waited";
        } else {
            EXPECT_EQ(onCaller, 0);
            EXPECT_FALSE(turnTimedOut);
        }
    }
}
