// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "support/windowport.h"

#include <QPointer>

class MainWindow;

// The person as the window meets them: message boxes with exactly the given
// title, text and buttons, file dialogs, and the window's sheets. Main thread.
class GuiWindowPort : public WindowPort {
public:
    // The window may come later (it needs the controller, which needs the
    // port): until then dialogs have no parent.
    explicit GuiWindowPort(MainWindow *window = nullptr);
    void setWindow(MainWindow *window) { window_ = window; }

    int alert(const QString &title, const QString &message, const QString &defaultButton,
              const QString &alternateButton, const QString &otherButton) override;
    std::optional<QString> chooseFolder(const QString &prompt) override;
    std::optional<QString> chooseSaveFile(const QString &suggestedName, const QString &fileType) override;
    void beginReview() override;
    void endReview() override;
    void beginProgress() override;
    void endProgress() override;
    void openHelp(int position) override;
    void closeHelp() override;

private:
    QPointer<MainWindow> window_;
};
