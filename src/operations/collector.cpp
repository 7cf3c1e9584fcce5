// SPDX-License-Identifier: GPL-3.0-or-later
#include "collector.h"

#include "progressthrottle.h"
#include "runnews.h"
#include "runreport.h"
#include "library/libraryerror.h"
#include "support/alerts.h"
#include "support/namedexception.h"

#include <QDebug>

namespace collector {
namespace {

const QString nameKey = QStringLiteral("name");
const QString artistKey = QStringLiteral("artist");

// Library tracks whose values were not read with the list are read this
// many at a time with one query: few round trips, and progress between them.
constexpr int chunkSize = 512;

// A refusal of the track model has told the person already; any other error
// would otherwise pass unnoticed, leaving a short list that looks complete.
struct WalkError {
    QString track;
    QString description;
};

} // namespace

std::shared_ptr<Run> collect(CollectRun collectRun, ProgressSink &sink)
{
    const QString title = collectRun.title;
    return Run::start(sink, title, [run = std::move(collectRun)](ProgressSink &progress) -> Run::Finish {
        QList<ChangeRecord> records;
        std::optional<TrackList> tracks;
        std::optional<WalkError> error;
        bool complete = false;
        QString current;
        try {
            QStringList keys = run.keys;
            for (const QString &key : {nameKey, artistKey})
                if (!keys.contains(key))
                    keys << key;
            if (run.listed) {
                if (std::optional<QList<MusicTrack>> listed = run.listed())
                    tracks = TrackList{std::move(*listed), {}};
            } else {
                // Values that look at the files (a picture, whether a file is
                // still there) are read a chunk at a time instead, so that
                // progress follows the reading.
                tracks = run.source.tracksWithValues(MusicTrack::readsFiles(keys) ? QStringList() : keys);
            }
            if (tracks) {
                const int n = static_cast<int>(tracks->tracks.size());
                ProgressThrottle throttle;
                for (int first = 0; first < n; first += chunkSize) {
                    const int count = std::min(chunkSize, n - first);
                    // Values not read with the list are read a chunk at a
                    // time; files one by one, so that progress follows each open.
                    QList<TrackValues> chunkValues;
                    if (tracks->values.isEmpty() && tracks->tracks.at(first).isLibraryTrack()) {
                        try {
                            chunkValues = MusicTrack::valuesForTracks(tracks->tracks.mid(first, count), keys);
                        } catch (const LibraryError &) {
                            // Track by track, so the walk stops exactly at the failing track.
                            chunkValues.clear();
                        }
                    }
                    for (int k = 0; k < count; ++k) {
                        const MusicTrack &track = tracks->tracks.at(first + k);
                        current.clear();
                        const TrackValues fileValues = tracks->values.isEmpty() && chunkValues.isEmpty()
                                                           ? TrackValues::fromHash(keys, track.valuesForTags(keys))
                                                           : TrackValues();
                        const TrackValues &trackValues = !tracks->values.isEmpty() ? tracks->values.at(first + k)
                                                         : !chunkValues.isEmpty()  ? chunkValues.at(k)
                                                                                   : fileValues;
                        current = tagText(trackValues.value(nameKey));
                        if (throttle.due(first + k, n))
                            progress.setProgress({run.progressFormat, first + k + 1, n, current});
                        run.step(track, trackValues, records);
                    }
                }
                current.clear();
                if (run.finish)
                    run.finish(records, progress);
                complete = true;
            }
        } catch (const NamedException &e) {
            if (e.name() != QLatin1String("Unsupported Tag"))
                error = WalkError{current, e.description()};
        } catch (const std::exception &e) {
            error = WalkError{current, QString::fromUtf8(e.what())};
        }
        if (error)
            qWarning().noquote() << error->description;

        return [run, records = std::move(records), found = tracks.has_value(), error, complete]() mutable {
            RunOutcome outcome;
            if (error) {
                const QString where =
                    error->track.isEmpty() ? QString() : QStringLiteral(" at the track '%1'").arg(error->track);
                outcome.title = QStringLiteral("Collecting Stopped");
                outcome.message = QStringLiteral("Reading the tracks stopped%1: %2").arg(where, error->description);
                outcome.stopped = error->description;
                alertPanel(outcome.title, outcome.message);
            }
            if (run.report) {
                outcome.kind = RunOutcome::Reported;
                outcome.ok = run.report(found, complete) && !error;
                return outcome;
            }
            if (!records.isEmpty()) {
                if (run.beforeReview && !run.beforeReview()) {
                    outcome.kind = RunOutcome::Declined;
                    return outcome;
                }
                auto list = std::make_shared<ChangeList>();
                list->records = std::move(records);
                list->playlist = run.playlist;
                list->remove = run.remove;
                list->trash = run.trash;
                outcome.kind = RunOutcome::Reviewed;
                outcome.changes = std::move(list);
            } else if (found && !error) {
                alertPanel(run.noChangesTitle, run.noChangesMessage);
                RunNews::instance().announce(runreport::nothingToChange(), false);
                outcome.kind = RunOutcome::NothingToDo;
            } else {
                // The source told why it gave no tracks, or the error was told above.
                outcome.kind = error ? RunOutcome::Stopped : RunOutcome::Refused;
            }
            return outcome;
        };
    });
}

ChangeRecord tagRecord(const MusicTrack &track, const TrackValues &values, const QString &key,
                       const QString &oldValue, const QString &newValue)
{
    ChangeRecord record;
    record.track = track;
    record.tagToChange = key;
    record.oldTag = oldValue;
    record.newTag = newValue;
    record.title = tagText(values.value(nameKey));
    record.artist = tagText(values.value(artistKey));
    return record;
}

ChangeRecord membershipRecord(const MusicTrack &track, const TrackValues &values)
{
    ChangeRecord record;
    record.track = track;
    record.title = tagText(values.value(nameKey));
    record.artist = tagText(values.value(artistKey));
    return record;
}

} // namespace collector
