// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "support/filepool.h"

// File work on this many threads while it lives, whatever the environment
// says; then the environment's number again.
struct ScopedThreadCount {
    explicit ScopedThreadCount(int count) { filepool::setThreadCount(count); }
    ~ScopedThreadCount() { filepool::setThreadCount(0); }
    ScopedThreadCount(const ScopedThreadCount &) = delete;
    ScopedThreadCount &operator=(const ScopedThreadCount &) = delete;
};
