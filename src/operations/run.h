// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "applyengine.h"
#include "changelist.h"
#include "progresssink.h"

#include <QString>
#include <functional>
#include <memory>

// How a run ended. Whatever the person was to be told has been told (by
// alert) by the time the outcome is known; the outcome says what became of
// the run for whoever goes on from there (the controller opens the review,
// the CLI picks its exit code, a test checks).
struct RunOutcome {
    enum Kind {
        Refused,     // the tool would not start, or the source gave no tracks; the person was told why
        Declined,    // the person answered a question of the run with "no"
        NothingToDo, // the walk found nothing to change ("No Changes")
        Reviewed,    // a change list is handed over for review: `changes`
        Reported,    // a tool that reports instead of changing told its result; `ok` when all went well
        Applied,     // changes were written: `applied` counts them and tells how the writing ended
        Stopped,     // an error stopped the run before it had anything to hand over: `message`
    };
    Kind kind = NothingToDo;
    // Refused and Stopped: the alert the person saw (empty when the source
    // told its own reason).
    QString title;
    QString message;
    // Reviewed: the list, possibly cut short by an error (see `stopped`).
    std::shared_ptr<ChangeList> changes;
    ApplyResult applied;
    // A walk that an error cut short: its description; empty otherwise.
    QString stopped;
    bool ok = true;
    // What the status line says of the run (empty: it keeps what it said),
    // and whether it wrote tags or moved files, so shown tracks are read again.
    QString news;
    bool tracksChanged = false;

    // Whether the run did what it was started for, completely.
    bool succeeded() const;

    static RunOutcome refused(const QString &title, const QString &message);
};

// One piece of work on the background worker, from the main thread's start
// to the outcome the main thread receives. Only one run goes at a time: a run
// started while another is going is refused at once (the progress sheet is
// modal, so a person never meets this). Main thread, except the work.
class Run : public std::enable_shared_from_this<Run> {
public:
    // Runs on the main thread once the worker is through and the progress is
    // closed: tells the person what they need to know and gives the outcome.
    using Finish = std::function<RunOutcome()>;
    // Runs on the worker; progress goes to the sink handed in.
    using Work = std::function<Finish(ProgressSink &progress)>;
    using Listener = std::function<void(const RunOutcome &)>;

    // Opens the sink's progress titled `title`, hands the work to the worker
    // and returns at once.
    static std::shared_ptr<Run> start(ProgressSink &progress, const QString &title, Work work);
    // A run that ended before it started: a refusal with its alert (shown
    // now), or an outcome known at once.
    static std::shared_ptr<Run> refuse(WindowPort *port, const QString &title, const QString &message);
    static std::shared_ptr<Run> ended(RunOutcome outcome);

    // Whether a run is going now.
    static bool busy();

    bool finished() const { return finished_; }
    // The outcome; meaningful once finished().
    const RunOutcome &outcome() const { return outcome_; }

    // Serves the main loop until the outcome has arrived, then gives it.
    const RunOutcome &wait();

    // Called with the outcome when it arrives, in the order added, on the
    // main thread; at once when it has arrived already.
    void whenFinished(Listener listener);

private:
    Run() = default;
    void finish(RunOutcome outcome);

    bool finished_ = false;
    RunOutcome outcome_;
    std::vector<Listener> listeners_;
};
