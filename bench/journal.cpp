// SPDX-License-Identifier: GPL-3.0-or-later
// What the history costs an apply run: a search and replace of every title of
// a folder of music files, applied by the engine with the journal and
// without it, in alternating order round by round. Each round's own ratio
// (with / without) is printed, then the median; the target is at most 1.10.
//   bench-journal [FILES] [ROUNDS]     (defaults 2000 and 5)
#include "model/musictrack.h"
#include "operations/applyengine.h"
#include "operations/runjournal.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>

namespace {

// Every file's title gets " *" appended; the records expect what the last round wrote.
std::shared_ptr<ChangeList> appendStar(const QList<MusicTrack> &tracks, QStringList &titles, const QString &artist)
{
    auto list = std::make_shared<ChangeList>();
    list->tool = QStringLiteral("Search & Replace");
    for (qsizetype i = 0; i < tracks.size(); ++i) {
        const QString next = titles[i] + QStringLiteral(" *");
        list->records.append({tracks[i], QStringLiteral("name"), titles[i], next, titles[i], artist, true});
        titles[i] = next;
    }
    return list;
}

double secondsToApply(std::shared_ptr<ChangeList> list, std::shared_ptr<RunJournal> journal)
{
    ApplyRun run;
    run.changes = std::move(list);
    run.progress = [](const ProgressDetail &) {};
    run.journal = std::move(journal);
    QElapsedTimer timer;
    timer.start();
    const ApplyResult result = applyengine::apply(run);
    const double seconds = double(timer.nsecsElapsed()) / 1e9;
    if (result.outcome != ApplyResult::Finished || result.written != run.changes->records.size() ||
        !result.notRecorded.isEmpty()) {
        std::fprintf(stderr, "the run did not apply every change: %s\n", qPrintable(result.notRecorded));
        std::exit(1);
    }
    return seconds;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int files = argc > 1 ? std::atoi(argv[1]) : 2000;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 5;
    QTemporaryDir work;
    QDir().mkpath(work.filePath("music"));
    QList<MusicTrack> tracks;
    for (int i = 0; i < files; ++i) {
        const QString path = work.filePath(QStringLiteral("music/%1.mp3").arg(i, 6, 10, QLatin1Char('0')));
        QFile::copy(QStringLiteral(QUAVERTIN_SEED_DIR "/seed.mp3"), path);
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
        tracks << MusicTrack::withPath(path);
    }
    QStringList titles;
    for (const MusicTrack &track : tracks)
        titles << track.title();
    const QString artist = tracks.value(0).artist();
    const RunJournal::Run journalled{work.filePath("history.sqlite"), QStringLiteral("Search & Replace"),
                                     QStringLiteral("folder"), {}, nullptr};

    std::vector<double> ratios;
    std::printf("files %d\n", files);
    for (int round = 1; round <= rounds; ++round) {
        double with = 0;
        double without = 0;
        // Alternating which goes first spreads the cache's and the disk's moods over both.
        for (int half = 0; half < 2; ++half) {
            const bool journal = (round + half) % 2 == 0;
            const double seconds = secondsToApply(appendStar(tracks, titles, artist),
                                                  journal ? std::make_shared<RunJournal>(journalled) : nullptr);
            (journal ? with : without) = seconds;
        }
        ratios.push_back(with / without);
        std::printf("round %d  without %.3f s  with %.3f s  ratio %.3f\n", round, without, with, with / without);
    }
    std::sort(ratios.begin(), ratios.end());
    std::printf("median ratio %.3f (target <= 1.10)\n", ratios[ratios.size() / 2]);
    return 0;
}
