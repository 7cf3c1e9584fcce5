// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What the floor programs share: the music files of a folder tree, found
// with the standard library alone. A floor is the bare cost with no framework
// around it, so it must not load Qt just to list a folder; that is why the
// list below is a copy of musicfiles::musicExtensions() rather than a use of
// it. Keep the two alike, or the floor and the program count different files.

#include <algorithm>
#include <array>
#include <cctype>
#include <filesystem>
#include <string>
#include <vector>

namespace floorfiles {

inline bool isMusicFile(const std::filesystem::path &path)
{
    static const std::array<const char *, 13> extensions{".mp3", ".aac", ".m4a",  ".ogg", ".flac", ".mpc", ".spx",
                                                         ".wv",  ".tta", ".wav", ".aiff", ".mp4",  ".asf"};
    std::string extension = path.extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return std::find(extensions.begin(), extensions.end(), extension) != extensions.end();
}

// Every regular music file at any depth below the folder.
inline std::vector<std::filesystem::path> musicFilesBelow(const std::filesystem::path &folder)
{
    std::vector<std::filesystem::path> files;
    for (const auto &entry : std::filesystem::recursive_directory_iterator(folder))
        if (entry.is_regular_file() && isMusicFile(entry.path()))
            files.push_back(entry.path());
    return files;
}

} // namespace floorfiles
