// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "support/windowport.h"

#include <QString>
#include <QTextStream>
#include <cstdio>

namespace cli {

// The person at a terminal. Alerts go to standard error; an alert with a
// choice asks on a terminal and otherwise takes its default answer. Panels
// are answered from the command line's options. Progress is one line on
// standard error, redrawn in place, and only when standard error is a terminal.
class TerminalPort : public WindowPort {
public:
    TerminalPort(FILE *in = stdin, FILE *err = stderr);

    // Whether questions go to the person (standard input and error are terminals).
    void setInteractive(bool interactive) { interactive_ = interactive; }
    bool interactive() const { return interactive_; }
    // Show the progress line (standard error is a terminal).
    void setShowProgress(bool show) { showProgress_ = show; }

    // The answers of the open-folder and save panels.
    void setFolder(const QString &path) { folder_ = path; }
    void setSavePath(const QString &path) { savePath_ = path; }

    // The source of progress texts; the port reads the controller's.
    void setProgressSource(std::function<QString()> text) { progressText_ = std::move(text); }

    // Asks a yes/no question on the terminal; without one, the answer is no.
    bool confirm(const QString &question);

    int alertCount() const { return alertCount_; }
    const QString &lastAlertTitle() const { return lastAlertTitle_; }
    bool progressOpen() const { return progressOpen_; }
    int reviewsBegun() const { return reviewsBegun_; }
    int progressRuns() const { return progressRuns_; }

    int alert(const QString &title, const QString &message, const QString &defaultButton,
              const QString &alternateButton, const QString &otherButton) override;
    std::optional<QString> chooseFolder(const QString &prompt) override;
    std::optional<QString> chooseSaveFile(const QString &suggestedName, const QString &fileType) override;
    void beginReview() override { ++reviewsBegun_; }
    void endReview() override {}
    void beginProgress() override;
    void progressChanged() override;
    void endProgress() override;

private:
    QString readLine();
    void clearProgressLine();

    FILE *in_;
    QTextStream err_;
    bool interactive_ = false;
    bool showProgress_ = false;
    bool progressOpen_ = false;
    bool progressLineShown_ = false;
    int alertCount_ = 0;
    QString lastAlertTitle_;
    int reviewsBegun_ = 0;
    int progressRuns_ = 0;
    QString folder_;
    QString savePath_;
    std::function<QString()> progressText_;
};

} // namespace cli
