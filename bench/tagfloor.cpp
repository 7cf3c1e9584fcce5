// SPDX-License-Identifier: GPL-3.0-or-later
// The floor that whole-program runs over a folder of music files are measured
// against: a bare loop over TagLib's C interface with no framework around it.
//   bench-tagfloor read DIR   opens each file once and reads title and artist
//   bench-tagfloor write DIR  opens each file once, sets the title and saves
// Prints the number of files and the time per file on standard output.
#include <taglib/tag_c.h>

#include "floorfiles.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

int main(int argc, char **argv)
{
    if (argc != 3 || (std::strcmp(argv[1], "read") != 0 && std::strcmp(argv[1], "write") != 0)) {
        std::fprintf(stderr, "usage: %s read|write DIR\n", argv[0]);
        return 2;
    }
    const bool write = std::strcmp(argv[1], "write") == 0;
    const auto start = std::chrono::steady_clock::now();

    const auto files = floorfiles::musicFilesBelow(argv[2]);

    taglib_set_strings_unicode(1);
    std::size_t opened = 0;
    std::size_t characters = 0;
    for (const auto &file : files) {
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
