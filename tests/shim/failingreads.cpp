// SPDX-License-Identifier: GPL-3.0-or-later
// Preloaded into a program (LD_PRELOAD), makes the disk fail under one file,
// as a network share that drops or a bad sector does: every pread of the file
// whose path ends with FAILREADS_NAME fails with EIO once it reaches past
// FAILREADS_AFTER bytes (0 by default: every read). The open succeeds, as on
// a disk whose blocks cannot be read. There is no other way to have the
// kernel fail a read on demand without privileges the tests may lack.
#include "openhooks.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <set>
#include <unistd.h>

namespace {

std::mutex mutex;
std::set<int> &failing()
{
    static std::set<int> fds;
    return fds;
}

bool named(const char *path)
{
    const char *name = std::getenv("FAILREADS_NAME");
    if (!path || !name || !*name)
        return false;
    const size_t length = std::strlen(path), suffix = std::strlen(name);
    return length >= suffix && std::strcmp(path + length - suffix, name) == 0;
}

bool fails(int fd, off_t offset, size_t size)
{
    std::lock_guard lock(mutex);
    if (!failing().count(fd))
        return false;
    const char *after = std::getenv("FAILREADS_AFTER");
    return off_t(offset + size) > (after ? std::atoll(after) : 0);
}

ssize_t readOrFail(ssize_t (*real)(int, void *, size_t, off_t), int fd, void *buffer, size_t size, off_t offset)
{
    if (fails(fd, offset, size)) {
        errno = EIO;
        return -1;
    }
    return real(fd, buffer, size, offset);
}

} // namespace

void openhooks::beforeOpen(const char *) {}

int openhooks::afterOpen(int fd, const char *path)
{
    std::lock_guard lock(mutex);
    if (fd >= 0) {
        failing().erase(fd);
        if (named(path))
            failing().insert(fd);
    }
    return fd;
}

extern "C" {

ssize_t pread(int fd, void *buffer, size_t size, off_t offset)
{
    static const auto real = openhooks::next<ssize_t (*)(int, void *, size_t, off_t)>("pread");
    return readOrFail(real, fd, buffer, size, offset);
}

ssize_t pread64(int fd, void *buffer, size_t size, off_t offset)
{
    static const auto real = openhooks::next<ssize_t (*)(int, void *, size_t, off_t)>("pread64");
    return readOrFail(real, fd, buffer, size, offset);
}

int close(int fd)
{
    static const auto real = openhooks::next<int (*)(int)>("close");
    {
        std::lock_guard lock(mutex);
        failing().erase(fd);
    }
    return real(fd);
}

} // extern "C"
