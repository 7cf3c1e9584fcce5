// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "library/libraryactions.h"
#include "operations/progresssink.h"
#include "operations/run.h"

#include <QPointer>
#include <QString>
#include <functional>
#include <memory>

class QProgressDialog;
class QWidget;

// The progress of a library action (import, refresh) in a window-modal dialog
// of its own over the library's windows, which are not the tool window whose
// sheet the tools' runs use. The bar follows (done, total); the label, when a
// rule for it is given, says the same in words.
class DialogProgress : public ProgressSink {
public:
    using Label = std::function<QString(int done, int total)>;

    DialogProgress(QWidget *parent, QString objectName, QString windowTitle, WindowPort *port, Label label = {});

    WindowPort *port() const override { return port_; }
    void beginProgress(const QString &title) override;
    void setProgress(ProgressDetail detail) override;
    void endProgress() override;

private:
    QWidget *parent_;
    QString objectName_;
    QString windowTitle_;
    WindowPort *port_;
    Label label_;
    QPointer<QProgressDialog> dialog_;
};

// Runs a library action as a run behind a DialogProgress: the action on the
// worker, counting into the dialog; then, on the main thread once the dialog
// has gone, finish with what the action came to. The outcome is Reported, ok
// when the action had no problem.
template <typename Value>
std::shared_ptr<Run> runLibraryAction(std::shared_ptr<DialogProgress> progress, const QString &label,
                                      std::function<libraryactions::Result<Value>(const libraryactions::Progress &)> work,
                                      std::function<void(const libraryactions::Result<Value> &)> finish)
{
    // The run holds the sink by reference; the work and its finish keep it alive until the run has ended.
    DialogProgress &sink = *progress;
    return Run::start(sink, label, [progress, work, finish](ProgressSink &) -> Run::Finish {
        const libraryactions::Result<Value> result = work([progress](int done, int total) {
            progress->setProgress(ProgressDetail(QString(), done, total, QString()));
        });
        return [progress, result, finish] {
            finish(result);
            RunOutcome outcome;
            outcome.kind = RunOutcome::Reported;
            outcome.ok = result.ok();
            return outcome;
        };
    });
}
