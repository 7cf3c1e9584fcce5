// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "changelist.h"
#include "run.h"
#include "tracksource.h"

#include <QStringList>
#include <functional>
#include <memory>
#include <optional>
#include <variant>

// How one tool collects its changes. The collecting run is the same for every
// tool; a tool supplies what to read of each track and how to turn it into
// records.
struct CollectRun {
    // The keys the step needs. They are read together with "name" and
    // "artist" in one open of each track and handed to the step.
    QStringList keys;

    // Appends the changes for one track (none when it needs no change). Runs
    // on the worker. An exception stops the walk; what was collected so far
    // is still handed over.
    std::function<void(const MusicTrack &track, const TrackValues &values, QList<ChangeRecord> &records)> step;

    // The tracks to walk, as the person chose them when the tool started.
    TrackSource source;
    // When set, the tracks to walk in place of the source's, on the worker.
    // Nothing means the source already told the person why there is nothing to walk.
    std::function<std::optional<QList<MusicTrack>>()> listed;

    // The progress line for each track: %1 its position from 1, %2 the
    // number of tracks, %3 its title.
    QString progressFormat = QStringLiteral("%1/%2 - %3");

    // Runs on the worker once the walk is through, to append what can only
    // be found with every track seen (a search over the whole walk's result).
    std::function<void(QList<ChangeRecord> &records, ProgressSink &progress)> finish;

    // Runs on the main thread after the sheet closed, when something was
    // found: false drops the list without a review (the person declined).
    std::function<bool()> beforeReview;

    // The progress sheet's title.
    QString title = QStringLiteral("Collecting changes…");

    // For a tool that reports instead of changing: runs on the main thread
    // after the sheet closed (and a stopped walk was reported), in place of
    // the review and the "No Changes" alert. found: the source gave a list;
    // complete: every track of it was read. Returns whether all went well,
    // and may leave words for the status line in news.
    std::function<bool(bool found, bool complete, QString &news)> report;

    // The alert when the walk found nothing to change.
    QString noChangesTitle = QStringLiteral("No Changes");
    QString noChangesMessage;

    // Flags of the list handed over.
    QString tool; // the history's name for runs of this tool
    bool playlist = false;
    int remove = 0;
    bool trash = false;
    bool restore = false;
    // Filled by finish for a restoring list: what comes back with each record.
    std::shared_ptr<QHash<qsizetype, Comeback>> comebacks;
    bool rename = false;
    bool removeEmptyFolders = false;
    qint64 undoOf = 0;
    QString historySource;
    bool oneTransaction = false;
    ChangeList::Writer writeElsewhere;

    // Runs on the main thread after the walk: what the person should know of
    // tracks the walk left out (outside MPD's music folder, say); told with
    // the review, or after "No Changes". Empty: nothing to tell.
    std::function<QString()> remark;
};

// Why a tool would not start: the alert the person gets.
struct Refusal {
    QString title;
    QString message;
};

// What a tool makes of its options and source: a refusal, or the run that collects.
using ToolStart = std::variant<Refusal, CollectRun>;

namespace collector {

// Opens the progress (titled "Collecting changes…" unless the run says
// otherwise), walks the tracks on the worker reporting "i/n - title", then on
// the main loop closes the progress and ends with the outcome: the list found
// (Reviewed, for whoever opens the review), or "No Changes" told (NothingToDo),
// or the tool's own report (Reported). Main thread; returns at once.
std::shared_ptr<Run> collect(CollectRun run, ProgressSink &progress);

// A tag change record for a track whose values (as read for a CollectRun)
// include "name" and "artist".
ChangeRecord tagRecord(const MusicTrack &track, const TrackValues &values, const QString &key,
                       const QString &oldValue, const QString &newValue);
// A membership record.
ChangeRecord membershipRecord(const MusicTrack &track, const TrackValues &values);

} // namespace collector
