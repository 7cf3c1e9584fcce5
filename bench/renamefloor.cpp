// SPDX-License-Identifier: GPL-3.0-or-later
// The floor for renaming a folder of music files: a bare loop that opens each
// file once with TagLib's C interface, reads the track number and title, and
// renames the file to "number - title.ext" in its folder. No padding rules,
// no progress, no library.
//   bench-renamefloor DIR
// Prints the number of files, how many were renamed and the time per file.
#include <taglib/tag_c.h>

#include "floorfiles.h"

#include <chrono>
#include <cstdio>
#include <string>

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s DIR\n", argv[0]);
        return 2;
    }
    const auto start = std::chrono::steady_clock::now();

    const auto files = floorfiles::musicFilesBelow(argv[1]);

    taglib_set_strings_unicode(1);
    std::size_t renamed = 0;
    for (const auto &file : files) {
        TagLib_File *f = taglib_file_new(file.c_str());
        if (!f)
            continue;
        std::string name;
        if (TagLib_Tag *tag = taglib_file_tag(f)) {
            name = std::to_string(taglib_tag_track(tag)) + " - " + taglib_tag_title(tag);
            taglib_tag_free_strings();
        }
        taglib_file_free(f);
        if (name.empty() || name.find('/') != std::string::npos)
            continue;
        const auto target = file.parent_path() / (name + file.extension().string());
        if (std::rename(file.c_str(), target.c_str()) == 0)
            ++renamed;
    }

    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("rename files=%zu renamed=%zu seconds=%.3f us_per_file=%.1f\n", files.size(), renamed, seconds,
                files.empty() ? 0.0 : seconds * 1e6 / double(files.size()));
    return 0;
}
