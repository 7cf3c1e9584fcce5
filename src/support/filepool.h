// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <functional>
#include <optional>
#include <vector>

// Threads for file work inside a run: reading many files or folders is
// mostly waiting for the disk (or the network), so several are opened at once
// while the run still sees them one by one, in the source's order.
namespace filepool {

// The threads file work uses: QUAVERTIN_THREADS when it is a whole number
// from 1 (serial, on the calling thread) to 8, else the machine's cores, at
// most 8. Read once.
int threadCount();
// Another number than the environment's for the runs that start from now on
// (at most 8); 0 goes back to the environment's. For a front end or a test
// that must know how many files are read at once.
void setThreadCount(int count);
// The rule itself, for a setting and a number of cores.
int threadCountFor(const QByteArray &setting, int cores);

// Whether the calling thread also does work while it waits for a result: it
// should, as waking a sleeping caller for each file costs more than a small
// file's parse, unless the work itself waits for deliveries (a save that
// waits for its turn), which a caller busy with later work would never make.
enum class Caller { Works, OnlyDelivers };

// Runs work(i) for every i in [0, n), several at a time, and hands the
// results to deliver(i, ...) on the calling thread in index order, a bounded
// number ahead of the delivery. When work(i) or deliver(i) throws, no work
// after i starts any more, the work already running is waited for and its
// results dropped, and the exception reaches the caller: deliver has then
// seen every index before i and none after. The first index runs on the
// calling thread before any other starts. With one thread, or when called
// from a pool thread or from work on the calling thread, everything runs in
// turn on the calling thread.
template<typename T>
void ordered(int n, const std::function<T(int)> &work, const std::function<void(int, T &&)> &deliver,
             Caller caller = Caller::Works);

namespace detail {
// The scheduling without the results: work(i, slot) stores its result in
// slot (below window), deliver(i, slot) takes it from there.
void ordered(int n, int window, const std::function<void(int, int)> &work,
             const std::function<void(int, int)> &deliver, Caller caller);
int window();
} // namespace detail

template<typename T>
void ordered(int n, const std::function<T(int)> &work, const std::function<void(int, T &&)> &deliver, Caller caller)
{
    const int window = detail::window();
    std::vector<std::optional<T>> results(static_cast<size_t>(std::min(window, std::max(n, 1))));
    detail::ordered(
        n, static_cast<int>(results.size()), [&](int i, int slot) { results[slot].emplace(work(i)); },
        [&](int i, int slot) {
            T result = std::move(*results[slot]);
            results[slot].reset();
            deliver(i, std::move(result));
        },
        caller);
}

} // namespace filepool
