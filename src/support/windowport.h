// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <optional>

// Everything the controller asks of the person goes through this port: the
// window implements it with widgets, the CLI with the terminal, tests with a
// scripted fake. All calls arrive on the main thread.
class WindowPort {
public:
    virtual ~WindowPort() = default;

    // A modal alert with exactly these texts. Returns 1 for the default button,
    // 0 for the alternate one and -1 for the other one. Empty button titles mean
    // the button is absent.
    virtual int alert(const QString &title, const QString &message, const QString &defaultButton,
                      const QString &alternateButton, const QString &otherButton) = 0;

    // A modal panel that chooses one folder; nothing when cancelled.
    virtual std::optional<QString> chooseFolder(const QString &prompt) = 0;

    // A modal save panel with a suggested file name and its type (file
    // extension without the dot); the chosen path, nothing when cancelled.
    virtual std::optional<QString> chooseSaveFile(const QString &suggestedName, const QString &fileType) = 0;

    // Makes a control that is still being edited commit its text to the option it is bound to.
    virtual void endEditing() {}

    // The review sheet over the controller's change list.
    virtual void beginReview() = 0;
    virtual void endReview() = 0;

    // The progress sheet; its texts are the controller's progress title and detail.
    virtual void beginProgress() = 0;
    virtual void progressChanged() {}
    virtual void endProgress() = 0;

    // The help sheet for a pane position (0-5).
    virtual void openHelp(int position) { (void)position; }
    virtual void closeHelp() {}
};
