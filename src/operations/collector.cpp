// SPDX-License-Identifier: GPL-3.0-or-later
#include "collector.h"

#include "progressthrottle.h"
#include "runreport.h"
#include "library/libraryerror.h"
#include "library/tagcache.h"
#include "support/alerts.h"
#include "support/filepool.h"
#include "support/namedexception.h"

#include <QDebug>

namespace collector {
namespace {

const QString nameKey = QStringLiteral("name");
const QString artistKey = QStringLiteral("artist");

// Library tracks whose values were not read with the list are read this
// many at a time with one query: few round trips, and progress between them.
constexpr int chunkSize = 512;
// Values that need no file are only a query's rows: larger pages.
constexpr int pageSize = 8192;

// Values read with the page come fast: the clock is looked at every so many tracks only.
constexpr int progressStride = 64;

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
        bool found = false;
        std::optional<WalkError> error;
        bool complete = false;
        QString current;
        try {
            QStringList keys = run.keys;
            for (const QString &key : {nameKey, artistKey})
                if (!keys.contains(key))
                    keys << key;
            // A page at a time: a million tracks' values at once would hold
            // hundreds of megabytes. A library's pages are read in one read
            // transaction, so the walk sees one state of the library.
            std::optional<TrackPages> pages;
            if (run.listed) {
                if (std::optional<QList<MusicTrack>> listed = run.listed())
                    pages.emplace(std::move(*listed));
            } else {
                pages = run.source.pages(keys);
            }
            found = pages.has_value();
            if (pages) {
                const int n = static_cast<int>(pages->size());
                // Room for a record per track from the start: growing a list
                // of a million records copies it again at every doubling.
                // What no record fills is never touched, so it costs no memory.
                records.reserve(n);
                const int chunk = MusicTrack::readsFiles(keys) ? chunkSize : pageSize;
                // Library values that need the track's file come from the
                // pages without it: the files are read here, on the pool.
                const bool filesLater = MusicTrack::leavesFileValues(keys);
                // A file a save would refuse is found with the read, so that
                // its records come unchecked instead of stopping the apply.
                const bool writesTags = !run.report && !run.playlist && !run.rename;
                const MusicTrack::SaveLook look =
                    writesTags ? MusicTrack::SaveLook::Check : MusicTrack::SaveLook::Skip;
                ProgressThrottle throttle;
                for (int first = 0; first < n; first += chunk) {
                    TrackList page = pages->next(chunk);
                    const int count = static_cast<int>(page.tracks.size());
                    if (count == 0)
                        break;
                    // Values not read with the page are read a chunk at a
                    // time; files one by one, so that progress follows each open.
                    if (page.values.isEmpty() && page.tracks.constFirst().isLibraryTrack()) {
                        try {
                            page.values = MusicTrack::valuesForTracks(page.tracks, keys);
                        } catch (const LibraryError &) {
                            // Track by track, so the walk stops exactly at the failing track.
                            page.values.clear();
                        }
                    }
                    // Files are read several at a time on the pool; the steps
                    // still see them one by one, in the source's order.
                    const bool read = !page.values.isEmpty();
                    const auto walk = [&](int k, const TrackValues &trackValues) {
                        current = tagText(trackValues.value(nameKey));
                        const int i = first + k;
                        if ((!read || i % progressStride == 0 || i + 1 == n) && throttle.due(i, n))
                            progress.setProgress({run.progressFormat, i + 1, n, current});
                        const qsizetype before = records.size();
                        run.step(page.tracks.at(k), trackValues, records);
                        if (trackValues.file().known())
                            for (qsizetype r = before; r < records.size(); ++r)
                                records[r].file = trackValues.file();
                        if (!trackValues.saveRefusal().isEmpty()) {
                            for (qsizetype r = before; r < records.size(); ++r) {
                                if (records[r].tagToChange == QLatin1String("location"))
                                    continue;
                                records[r].refusal = trackValues.saveRefusal();
                                records[r].enabled = false;
                            }
                        }
                        // A read that fails next is not this track's.
                        current.clear();
                    };
                    current.clear();
                    if (page.values.isEmpty()) {
                        filepool::ordered<TrackValues>(
                            count,
                            [&](int k) { return page.tracks.at(k).valuesInOrder(keys, look); },
                            walk);
                    } else if (filesLater) {
                        filepool::ordered<TrackValues>(
                            count,
                            [&](int k) {
                                TrackValues trackValues = page.values.at(k);
                                MusicTrack::completeFileValues(trackValues);
                                return trackValues;
                            },
                            walk);
                    } else {
                        for (int k = 0; k < count; ++k)
                            walk(k, page.values.at(k));
                    }
                }
                current.clear();
                tagcache::flush();
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

        return [port = progress.port(), run, records = std::move(records), found, error, complete]() mutable {
            RunOutcome outcome;
            if (error) {
                const QString where =
                    error->track.isEmpty() ? QString() : QStringLiteral(" at the track '%1'").arg(error->track);
                outcome.title = QStringLiteral("Collecting Stopped");
                outcome.message = QStringLiteral("Reading the tracks stopped%1: %2").arg(where, error->description);
                outcome.stopped = error->description;
                alertPanel(port, outcome.title, outcome.message);
            }
            if (run.report) {
                outcome.kind = RunOutcome::Reported;
                outcome.ok = run.report(found, complete, outcome.news) && !error;
                return outcome;
            }
            const QString remark = run.remark ? run.remark() : QString();
            if (!records.isEmpty()) {
                if (!remark.isEmpty())
                    alertPanel(port, QStringLiteral("Tracks Left Out"), remark);
                if (run.beforeReview && !run.beforeReview()) {
                    outcome.kind = RunOutcome::Declined;
                    return outcome;
                }
                auto list = std::make_shared<ChangeList>();
                list->records = std::move(records);
                list->playlist = run.playlist;
                list->remove = run.remove;
                list->trash = run.trash;
                list->tool = run.tool;
                list->restore = run.restore;
                if (run.comebacks)
                    list->comebacks = std::move(*run.comebacks);
                list->rename = run.rename;
                list->removeEmptyFolders = run.removeEmptyFolders;
                list->undoOf = run.undoOf;
                list->source = run.historySource;
                list->oneTransaction = run.oneTransaction;
                list->writeElsewhere = run.writeElsewhere;
                outcome.kind = RunOutcome::Reviewed;
                outcome.changes = std::move(list);
            } else if (found && !error) {
                alertPanel(port, run.noChangesTitle,
                           remark.isEmpty() ? run.noChangesMessage : run.noChangesMessage + QLatin1Char(' ') + remark);
                outcome.news = runreport::nothingToChange();
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
