// SPDX-License-Identifier: GPL-3.0-or-later
// Reading a folder the way a collecting run does: one MusicTrack per music
// file, title and artist read together, on the background worker. Compare with
// `bench-tagfloor read DIR`, the bare TagLib C-interface loop.
//   bench-trackread DIR
#include "files/musicfiles.h"
#include "model/musictrack.h"
#include "support/dispatch.h"

#include <QCoreApplication>

#include <chrono>
#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s DIR\n", argv[0]);
        return 2;
    }
    const auto start = std::chrono::steady_clock::now();
    const QStringList files = musicfiles::musicFilesBelow(QString::fromLocal8Bit(argv[1]));
    qsizetype characters = 0;
    dispatchAsyncBackground([&] {
        for (const QString &path : files) {
            const QVariantHash values = MusicTrack::withPath(path).valuesForTags({"name", "artist"});
            characters += values.value("name").toString().size() + values.value("artist").toString().size();
        }
    });
    waitForBackground();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("read files=%lld chars=%lld seconds=%.3f us_per_file=%.1f\n", static_cast<long long>(files.size()),
                static_cast<long long>(characters), seconds, files.isEmpty() ? 0.0 : seconds * 1e6 / double(files.size()));
    return 0;
}
