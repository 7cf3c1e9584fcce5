// SPDX-License-Identifier: GPL-3.0-or-later
// For a library preloaded into a program (LD_PRELOAD) that acts as the disk
// would: every way the program opens a file by name goes through here to the
// C library, after beforeOpen(path), with afterOpen(fd, path) on the way back.
// The including file defines both, and includes this once.
#pragma once

#include <cstdarg>
#include <cstdio>
#include <dlfcn.h>
#include <fcntl.h>

namespace openhooks {

void beforeOpen(const char *path);
int afterOpen(int fd, const char *path);

template<typename F>
F next(const char *name)
{
    return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

// The mode argument is there only when the file may be created.
inline mode_t modeOf(int flags, va_list args)
{
    return (flags & O_CREAT) || (flags & O_TMPFILE) == O_TMPFILE ? static_cast<mode_t>(va_arg(args, int)) : 0;
}

} // namespace openhooks

#define OPENHOOKS_BY_PATH(name)                                                                                    \
    int name(const char *path, int flags, ...)                                                                     \
    {                                                                                                              \
        va_list args;                                                                                              \
        va_start(args, flags);                                                                                     \
        const mode_t mode = openhooks::modeOf(flags, args);                                                        \
        va_end(args);                                                                                              \
        static const auto real = openhooks::next<int (*)(const char *, int, ...)>(#name);                          \
        openhooks::beforeOpen(path);                                                                               \
        return openhooks::afterOpen(real(path, flags, mode), path);                                                \
    }
#define OPENHOOKS_IN_FOLDER(name)                                                                                  \
    int name(int folder, const char *path, int flags, ...)                                                         \
    {                                                                                                              \
        va_list args;                                                                                              \
        va_start(args, flags);                                                                                     \
        const mode_t mode = openhooks::modeOf(flags, args);                                                        \
        va_end(args);                                                                                              \
        static const auto real = openhooks::next<int (*)(int, const char *, int, ...)>(#name);                     \
        openhooks::beforeOpen(path);                                                                               \
        return openhooks::afterOpen(real(folder, path, flags, mode), path);                                        \
    }
#define OPENHOOKS_STREAM(name)                                                                                     \
    FILE *name(const char *path, const char *mode)                                                                 \
    {                                                                                                              \
        static const auto real = openhooks::next<FILE *(*)(const char *, const char *)>(#name);                    \
        openhooks::beforeOpen(path);                                                                               \
        FILE *file = real(path, mode);                                                                             \
        if (file)                                                                                                  \
            openhooks::afterOpen(fileno(file), path);                                                              \
        return file;                                                                                               \
    }

extern "C" {
OPENHOOKS_BY_PATH(open)
OPENHOOKS_BY_PATH(open64)
OPENHOOKS_IN_FOLDER(openat)
OPENHOOKS_IN_FOLDER(openat64)
OPENHOOKS_STREAM(fopen)
OPENHOOKS_STREAM(fopen64)
}
