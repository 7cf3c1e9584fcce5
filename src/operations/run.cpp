// SPDX-License-Identifier: GPL-3.0-or-later
#include "run.h"

#include "support/alerts.h"
#include "support/dispatch.h"

#include <QCoreApplication>
#include <QDebug>

namespace {

// The run going now; main thread only.
bool runGoing = false;

} // namespace

bool RunOutcome::succeeded() const
{
    switch (kind) {
    case Reviewed:
        return stopped.isEmpty();
    case Reported:
        return ok;
    case Applied:
        return ok && applied.outcome == ApplyResult::Finished && applied.notTrashed.isEmpty() &&
               applied.notRestored.isEmpty();
    default:
        return false;
    }
}

RunOutcome RunOutcome::refused(const QString &title, const QString &message)
{
    RunOutcome outcome;
    outcome.kind = Refused;
    outcome.title = title;
    outcome.message = message;
    outcome.ok = false;
    return outcome;
}

std::shared_ptr<Run> Run::start(ProgressSink &progress, const QString &title, Work work)
{
    if (runGoing) {
        qWarning() << "a run was started while another was going; refused";
        return ended(RunOutcome::refused(QStringLiteral("Busy"), QStringLiteral("Another run is still going.")));
    }
    runGoing = true;
    std::shared_ptr<Run> run(new Run);
    progress.beginProgress(title);
    dispatchAsyncBackground([run, &progress, work = std::move(work)] {
        Finish finish = work(progress);
        dispatchAsyncMain([run, &progress, finish = std::move(finish)] {
            progress.endProgress();
            runGoing = false;
            run->finish(finish());
        });
    });
    return run;
}

std::shared_ptr<Run> Run::refuse(WindowPort *port, const QString &title, const QString &message)
{
    alertPanel(port, title, message);
    return ended(RunOutcome::refused(title, message));
}

std::shared_ptr<Run> Run::ended(RunOutcome outcome)
{
    std::shared_ptr<Run> run(new Run);
    run->finish(std::move(outcome));
    return run;
}

bool Run::busy()
{
    return runGoing;
}

const RunOutcome &Run::wait()
{
    while (!finished_)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return outcome_;
}

void Run::whenFinished(Listener listener)
{
    if (finished_)
        listener(outcome_);
    else
        listeners_.push_back(std::move(listener));
}

void Run::finish(RunOutcome outcome)
{
    outcome_ = std::move(outcome);
    finished_ = true;
    // A listener may add another; take them as they stand.
    const std::vector<Listener> listeners = std::move(listeners_);
    listeners_.clear();
    for (const Listener &listener : listeners)
        listener(outcome_);
}
