// SPDX-License-Identifier: GPL-3.0-or-later
// Preloaded into a program (LD_PRELOAD), makes every open of a music file
// wait first, as a file on a network share or a cold disk does: 2 ms, or
// SLOWOPEN_MS milliseconds. Only opens are slowed; reads stay as fast as the
// page cache makes them, so what a benchmark measures is how many opens wait
// at once.
#include "openhooks.h"

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

} // namespace

void openhooks::beforeOpen(const char *path)
{
    waitIfMusic(path);
}

int openhooks::afterOpen(int fd, const char *)
{
    return fd;
}
