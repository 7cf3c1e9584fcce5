// SPDX-License-Identifier: GPL-3.0-or-later
// Dead track relinking: N dead tracks against a folder of N music files.
//   bench-relink SEED DIR N
// Makes N tagged copies of SEED below DIR, a library whose N tracks point at
// where those files used to be, then times one relinking run over the folder
// and, as the floor, one scan of the folder with the tag reader alone.
#include "app/appdelegate.h"
#include "benchport.h"
#include "library/musiclibrary.h"
#include "model/musictrack.h"
#include "tools/relinkindex.h"

#include <QDir>
#include <QFile>
#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication qapp(argc, argv);
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s SEED DIR N\n", argv[0]);
        return 2;
    }
    const QString seed = QString::fromLocal8Bit(argv[1]);
    const QString dir = QString::fromLocal8Bit(argv[2]);
    const int count = std::atoi(argv[3]);
    const QString music = dir + QStringLiteral("/music");
    QDir().mkpath(music);
    const QString libraryPath = dir + QStringLiteral("/library.sqlite");
    {
        MusicLibrary library(libraryPath);
        QList<ImportedFile> dead;
        for (int i = 0; i < count; ++i) {
            const QString path = QStringLiteral("%1/%2/%3.mp3").arg(music).arg(i / 500).arg(i);
            QDir().mkpath(QFileInfo(path).path());
            QFile::copy(seed, path);
            QFile(path).setPermissions(QFile::ReadOwner | QFile::WriteOwner);
            const MusicTrack file = MusicTrack::withPath(path);
            const QVariantHash values{{"artist", QStringLiteral("Artist %1").arg(i % 97)},
                                      {"name", QStringLiteral("Title %1").arg(i)},
                                      {"album", QStringLiteral("Album %1").arg(i % 401)}};
            for (auto it = values.begin(); it != values.end(); ++it)
                file.setTag(it.key(), it.value());
            dead.append({QStringLiteral("/gone/%1.mp3").arg(i), values});
        }
        const QList<qint64> ids = library.importFiles(dead);
        library.addToPlaylist(library.createPlaylist(QStringLiteral("Everything")), ids);
    }

    BenchPort port;
    port.folder = music;
    QElapsedTimer timer;
    timer.start();
    const tools::RelinkIndex index = tools::RelinkIndex::scan(music);
    const double floor = double(timer.nsecsElapsed()) / 1e9;

    AppDelegate app(port);
    app.setLibraryPath(libraryPath);
    app.applicationDidFinishLaunching();
    app.setSelectedPlaylist(0);
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {}); // the per-track log lines
    const double relinking = timeRun(app, [&] { app.performFix(); });
    const qsizetype proposed = app.changes() ? app.changes()->records.size() : 0;
    std::printf("%d dead tracks, %d files: scan alone %.3f s, relinking %.3f s (%.2f x the scan), %lld relinked, "
                "%.1f us per file plus track\n",
                count, index.fileCount(), floor, relinking, relinking / floor, qlonglong(proposed),
                relinking * 1e6 / (2.0 * count));
    return proposed == count ? 0 : 1;
}
