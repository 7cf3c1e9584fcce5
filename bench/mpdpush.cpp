// SPDX-License-Identifier: GPL-3.0-or-later
// A push of N ratings and play counts (2N stickers) to a local mpd through
// the controller: collecting (MPD's songs and stickers asked once, the
// library read a page at a time) and applying (command lists). The floor is
// the same stickers stored straight with the client's command lists; each
// round prints both and their ratio, and the push's time against the target.
// Usage: bench-mpdpush [N] [ROUNDS]
#include "benchport.h"
#include "library/mpdclient.h"
#include "library/musiclibrary.h"
#include "mpdserver.h"
#include "operations/choices.h"
#include "support/fileutils.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <unistd.h>

int main(int argc, char **argv)
{
    QCoreApplication qapp(argc, argv);
    const int n = argc > 1 ? std::max(1, atoi(argv[1])) : 10000;
    const int rounds = argc > 2 ? std::max(1, atoi(argv[2])) : 3;
    QTemporaryDir work;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(work.filePath(QStringLiteral("config"))));
    qputenv("XDG_DATA_HOME", QFile::encodeName(work.filePath(QStringLiteral("data"))));
    const QString music = work.filePath(QStringLiteral("music"));
    const QByteArray seed = QByteArrayLiteral(QUAVERTIN_SEED_DIR "/seed.mp3");
    QStringList paths;
    for (int i = 0; i < n; ++i) {
        const QString folder = QStringLiteral("%1/%2").arg(music).arg(i / 500);
        QDir().mkpath(folder);
        paths << QStringLiteral("%1/%2.mp3").arg(folder).arg(i);
        // One file's bytes under every name: MPD still reads each as a song.
        if (::link(seed.constData(), QFile::encodeName(paths.last()).constData()) != 0 &&
            !QFile::copy(QString::fromUtf8(seed), paths.last())) {
            fprintf(stderr, "cannot make %s\n", qPrintable(paths.last()));
            return 1;
        }
    }
    MpdServer server(music);
    if (!server.problem().isEmpty()) {
        fprintf(stderr, "mpd: %s\n", qPrintable(server.problem()));
        return 1;
    }
    const MpdAddress address{QStringLiteral("127.0.0.1"), server.port(), {}, 30000};
    MpdClient(address).updateDatabase(600000);

    BenchPort port;
    AppDelegate app(port);
    app.setLibraryPath(work.filePath(QStringLiteral("library.sqlite")));
    app.applicationDidFinishLaunching();
    app.setSelectedMethod(choices::SelectionSource);
    app.setMpdHost(address.host);
    app.setMpdPort(address.port);
    app.setMpdMusicFolder(music);

    QList<double> ratios;
    for (int round = 1; round <= rounds; ++round) {
        // Every round the push has all 2N stickers to store: the floor of the
        // round before left each at 0, which no pushed value is.
        QList<ImportedFile> files;
        for (int i = 0; i < n; ++i)
            files.append({paths[i], {{"name", QString::number(i)}, {"rating", 10 + 10 * ((i + round) % 9)},
                                     {"playedCount", round * 100 + i % 7}}});
        const QList<qint64> ids = app.library()->importFiles(files);
        app.library()->setSelection(ids);

        const double collect = timeRun(app, [&] { app.performMpdPush(); });
        const qsizetype records = app.changes() ? app.changes()->records.size() : 0;
        const double apply = timeRun(app, [&] { app.applyChanges(); });
        const double push = collect + apply;
        const int written = app.lastRun() ? app.lastRun()->outcome().applied.written : 0;

        QList<StickerWrite> writes;
        for (int i = 0; i < n; ++i) {
            const QString uri = QDir(music).relativeFilePath(paths[i]);
            writes << StickerWrite{uri, QStringLiteral("rating"), QStringLiteral("0")}
                   << StickerWrite{uri, QStringLiteral("playCount"), QStringLiteral("0")};
        }
        QElapsedTimer timer;
        timer.start();
        int stored = 0;
        MpdClient(address).setStickers(writes, stored);
        const double floor = double(timer.nsecsElapsed()) / 1e9;
        if (written != 2 * n || stored != 2 * n) {
            fprintf(stderr, "round %d: %d of %lld proposed stickers pushed, %d stored by the floor (%d alerts)\n",
                    round, written, qlonglong(records), stored, port.alerts);
            return 1;
        }
        ratios << push / floor;
        printf("round %d: push of %d stickers %.2fs (collect %.2fs, apply %.2fs), floor %.2fs, ratio %.2fx\n",
               round, written, push, collect, apply, floor, push / floor);
        fflush(stdout);
    }
    std::sort(ratios.begin(), ratios.end());
    printf("push of %d tracks' stickers to a local mpd: median ratio %.2fx of the floor (target: under 10 s)\n", n,
           ratios[ratios.size() / 2]);
    return 0;
}
