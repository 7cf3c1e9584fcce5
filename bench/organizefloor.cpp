// SPDX-License-Identifier: GPL-3.0-or-later
// The floor for organizing files into folders: a bare loop that makes each
// new path's folders and renames the file there with rename(2). No tags are
// read, nothing is checked, nothing is recorded.
//   bench-organizefloor MOVES
// MOVES holds one move per two lines: the old path, then the new one.
// Prints the number of moves, how many were made and the time per move.
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s MOVES\n", argv[0]);
        return 2;
    }
    std::vector<std::pair<std::string, std::string>> moves;
    std::ifstream in(argv[1]);
    for (std::string from, to; std::getline(in, from) && std::getline(in, to);)
        moves.emplace_back(std::move(from), std::move(to));

    const auto start = std::chrono::steady_clock::now();
    std::size_t moved = 0;
    for (const auto &[from, to] : moves) {
        std::error_code error;
        std::filesystem::create_directories(std::filesystem::path(to).parent_path(), error);
        if (std::rename(from.c_str(), to.c_str()) == 0)
            ++moved;
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("organize moves=%zu moved=%zu seconds=%.3f us_per_move=%.1f\n", moves.size(), moved, seconds,
                moves.empty() ? 0.0 : seconds * 1e6 / double(moves.size()));
    return moved == moves.size() ? 0 : 1;
}
