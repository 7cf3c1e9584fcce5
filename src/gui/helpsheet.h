// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "sheet.h"

class AppDelegate;
class QLabel;
class QTextBrowser;

// The help sheet of a tool pane: its title, the info line and the tool's help
// document, opened over the window.
class HelpSheet : public Sheet {
    Q_OBJECT
public:
    HelpSheet(AppDelegate *app, QWidget *window);

    QLabel *titleText() const { return title_; }
    QLabel *infoField() const { return info_; }
    QTextBrowser *textView() const { return text_; }

    // Fills the sheet for a pane position (0-5) and opens it.
    void openFor(int position);
    void reject() override;

private:
    AppDelegate *app_;
    QLabel *title_;
    QLabel *info_;
    QTextBrowser *text_;
};
