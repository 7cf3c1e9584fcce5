// SPDX-License-Identifier: GPL-3.0-or-later
// The floor that whole-program runs over a folder of music files are measured
// against: a bare loop over TagLib's C interface with no framework around it.
//   bench-tagfloor read DIR   opens each file once and reads title and artist
//   bench-tagfloor write DIR  opens each file once, sets the title and saves
//   bench-tagfloor bare DIR   opens each file, reads all its bytes and closes it,
//                             without TagLib: what the file system alone costs
//   bench-tagfloor stat DIR   lists the folder and looks at each file's status
//                             (stat), opening none: what a tag cache's lookups
//                             cannot go below
// Prints the number of files and the time per file on standard output.
#include <taglib/tag_c.h>

#include "floorfiles.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The bytes of the file read in large blocks; 0 when it cannot be opened.
std::size_t readWhole(const char *path)
{
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return 0;
    static char buffer[1 << 16];
    std::size_t total = 0;
    for (ssize_t got; (got = ::read(fd, buffer, sizeof buffer)) > 0;)
        total += std::size_t(got);
    ::close(fd);
    return total;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 3 || (std::strcmp(argv[1], "read") != 0 && std::strcmp(argv[1], "write") != 0 &&
                      std::strcmp(argv[1], "bare") != 0 && std::strcmp(argv[1], "stat") != 0)) {
        std::fprintf(stderr, "usage: %s read|write|bare|stat DIR\n", argv[0]);
        return 2;
    }
    const bool write = std::strcmp(argv[1], "write") == 0;
    const bool bare = std::strcmp(argv[1], "bare") == 0;
    const bool looks = std::strcmp(argv[1], "stat") == 0;
    const auto start = std::chrono::steady_clock::now();

    const auto files = floorfiles::musicFilesBelow(argv[2]);

    taglib_set_strings_unicode(1);
    std::size_t opened = 0;
    std::size_t characters = 0; // bytes, for bare
    for (const auto &file : files) {
        if (looks) {
            struct stat st {};
            if (::stat(file.c_str(), &st) == 0) {
                ++opened;
                characters += std::size_t(st.st_size);
            }
            continue;
        }
        if (bare) {
            const std::size_t bytes = readWhole(file.c_str());
            opened += bytes > 0 ? 1 : 0;
            characters += bytes;
            continue;
        }
        TagLib_File *f = taglib_file_new(file.c_str());
        if (!f)
            continue;
        TagLib_Tag *tag = taglib_file_tag(f);
        if (tag) {
            ++opened;
            if (write) {
                taglib_tag_set_title(tag, "Floor title");
                taglib_file_save(f);
            } else {
                char *title = taglib_tag_title(tag);
                char *artist = taglib_tag_artist(tag);
                characters += std::strlen(title) + std::strlen(artist);
                taglib_tag_free_strings();
            }
        }
        taglib_file_free(f);
    }

    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%s files=%zu opened=%zu chars=%zu seconds=%.3f us_per_file=%.1f\n", argv[1], files.size(), opened,
                characters, seconds, files.empty() ? 0.0 : seconds * 1e6 / double(files.size()));
    return 0;
}
