// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>

// Posts the block to the main event loop, also when called on the main thread,
// so that blocks run in the order they were posted.
void dispatchAsyncMain(std::function<void()> block);

// Hands the block to the one background worker. Blocks run one at a time in
// the order given. The worker's stack is large enough for TagLib on hostile files.
void dispatchAsyncBackground(std::function<void()> block);

// Runs the block on the main loop after the delay; the delay is taken in whole
// nanoseconds (seconds * 1e9 in single precision, truncated) then rounded to the
// timer's millisecond resolution.
void dispatchAfterMain(std::function<void()> block, float seconds);

// Blocks until the background worker has finished everything handed to it so
// far. For front ends that must not quit mid-run, and for tests.
void waitForBackground();

// Whether the calling thread is the background worker (whose stack is large).
bool onBackgroundWorker();

// Gives a pool's threads the stack the background worker has, for pools that
// run TagLib; each task marks its thread with markLargeStack() when it starts.
class QThreadPool;
void giveLargeStack(QThreadPool &pool);
void markLargeStack();

// Runs fn on a thread with a stack large enough for deeply nested tags and
// waits for it; runs it directly when the calling thread already has one.
// Exceptions thrown by fn reach the caller.
void runWithLargeStack(const std::function<void()> &fn);
