// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "sheet.h"

class AppDelegate;
class QLabel;
class QProgressBar;

// The sheet shown while a run collects or applies: the controller's progress
// title and detail and an activity indicator. The bar turns determinate when
// the detail starts with a count such as "3/120". Window-modal and without a
// way to close it: a run ends by itself.
class ProgressSheet : public Sheet {
    Q_OBJECT
public:
    ProgressSheet(AppDelegate *app, QWidget *window);

    QLabel *title() const { return title_; }
    QLabel *detail() const { return detail_; }
    QProgressBar *bar() const { return bar_; }

    void open() override;
    void reject() override {}

private:
    void showDetail(const QString &detail);

    QLabel *title_;
    QLabel *detail_;
    QProgressBar *bar_;
};
