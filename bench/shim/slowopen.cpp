// SPDX-License-Identifier: GPL-3.0-or-later
// Preloaded into a program (LD_PRELOAD), makes every open of a music file
// wait first, as a file on a network share or a cold disk does: 2 ms, or
// SLOWOPEN_MS milliseconds. Only opens are slowed; reads stay as fast as the
// page cache makes them, so what a benchmark measures is how many opens wait
// at once.
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <initializer_list>
#include <strings.h>
#include <time.h>

namespace {

bool isMusic(const char *path)
{
    if (!path)
        return false;
    const char *dot = std::strrchr(path, '.');
    if (!dot || std::strchr(dot, '/'))
        return false;
    for (const char *extension : {".mp3", ".flac", ".ogg", ".m4a", ".wav", ".aac", ".mp4", ".opus"})
        if (strcasecmp(dot, extension) == 0)
            return true;
    return false;
}

void waitIfMusic(const char *path)
{
    if (!isMusic(path))
        return;
    static const long milliseconds = [] {
        const char *setting = std::getenv("SLOWOPEN_MS");
        return setting ? std::strtol(setting, nullptr, 10) : 2L;
    }();
    timespec wait{milliseconds / 1000, milliseconds % 1000 * 1000000L};
    const int saved = errno;
    while (nanosleep(&wait, &wait) != 0 && errno == EINTR) {
    }
    errno = saved;
}

template<typename F>
F next(const char *name)
{
    return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

// The mode argument is there only when the file may be created.
mode_t modeOf(int flags, va_list args)
{
    return (flags & O_CREAT) || (flags & O_TMPFILE) == O_TMPFILE ? static_cast<mode_t>(va_arg(args, int)) : 0;
}

} // namespace

extern "C" {

int open(const char *path, int flags, ...)
{
    va_list args;
    va_start(args, flags);
    const mode_t mode = modeOf(flags, args);
    va_end(args);
    static const auto real = next<int (*)(const char *, int, ...)>("open");
    waitIfMusic(path);
    return real(path, flags, mode);
}

int open64(const char *path, int flags, ...)
{
    va_list args;
    va_start(args, flags);
    const mode_t mode = modeOf(flags, args);
    va_end(args);
    static const auto real = next<int (*)(const char *, int, ...)>("open64");
    waitIfMusic(path);
    return real(path, flags, mode);
}

int openat(int folder, const char *path, int flags, ...)
{
    va_list args;
    va_start(args, flags);
    const mode_t mode = modeOf(flags, args);
    va_end(args);
    static const auto real = next<int (*)(int, const char *, int, ...)>("openat");
    waitIfMusic(path);
    return real(folder, path, flags, mode);
}

int openat64(int folder, const char *path, int flags, ...)
{
    va_list args;
    va_start(args, flags);
    const mode_t mode = modeOf(flags, args);
    va_end(args);
    static const auto real = next<int (*)(int, const char *, int, ...)>("openat64");
    waitIfMusic(path);
    return real(folder, path, flags, mode);
}

FILE *fopen(const char *path, const char *mode)
{
    static const auto real = next<FILE *(*)(const char *, const char *)>("fopen");
    waitIfMusic(path);
    return real(path, mode);
}

FILE *fopen64(const char *path, const char *mode)
{
    static const auto real = next<FILE *(*)(const char *, const char *)>("fopen64");
    waitIfMusic(path);
    return real(path, mode);
}

} // extern "C"
