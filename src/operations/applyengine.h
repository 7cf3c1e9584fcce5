// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "changelist.h"
#include "progressdetail.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

class MusicLibrary;
class RunJournal;
class WindowPort;

// What the apply worker needs, captured on the main thread when Apply is pressed.
struct ApplyRun {
    std::shared_ptr<const ChangeList> changes;
    std::shared_ptr<MusicLibrary> library; // membership lists
    QString targetPlaylist;                // where an adding membership list adds
    std::function<void(const ProgressDetail &)> progress;
    std::shared_ptr<RunJournal> journal;   // records what is applied; null: nothing is recorded
};

struct ApplyResult {
    enum Outcome {
        Finished,       // every enabled record was written
        Aborted,        // a track changed elsewhere since it was collected
        Failed,         // an error stopped the run
        TargetMissing,  // the playlist to add to is gone: nothing was added
    };
    Outcome outcome = Finished;
    int written = 0;      // records written before the run ended
    int enabled = 0;      // records that were to be written
    QString failedTrack;  // Failed: the title of the track being worked on
    QString error;        // Failed: the error's description
    QString playlist;     // TargetMissing: the name looked for
    QStringList notTrashed; // files that stayed out of the Trash, each "path: reason"
    QStringList notRestored; // an undo: files that stayed in the Trash, each "path: reason"
    QString notRecorded;    // why the history could not record the run; empty when it did
};

namespace applyengine {

// Writes the enabled records in list order, each only after checking that its
// track's artist, title (and, for tag lists, the old value) are still those
// recorded; membership lists check every record before touching any.
// Worker thread; never throws: errors are logged and reported in the result.
ApplyResult apply(const ApplyRun &run);

// Tells the person how a run that did not finish ended; nothing after one
// that did. Main thread (it waits for the alert's answer).
void report(WindowPort *port, const ApplyResult &result);
QString outcomeMessage(const ApplyResult &result);
QString notTrashedMessage(const ApplyResult &result);
QString notRestoredMessage(const ApplyResult &result);

} // namespace applyengine
