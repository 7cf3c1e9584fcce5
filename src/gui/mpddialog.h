// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

class AppDelegate;
class QLineEdit;
class QSpinBox;

// File → Sync with MPD…: where MPD is, its music folder as this computer
// sees it and its rating scale, then Pull or Push. The fields start from
// the controller's options (remembered from the last sync); either button
// sets them and starts the run, which goes through the usual progress and
// review sheets.
class MpdDialog : public QDialog {
    Q_OBJECT
public:
    MpdDialog(AppDelegate *app, QWidget *parent);

    // Fills the fields from the controller's options; call before showing.
    void load();

private:
    void start(bool push);

    AppDelegate *app_;
    QLineEdit *host_;
    QSpinBox *port_;
    QLineEdit *password_;
    QLineEdit *musicFolder_;
    QSpinBox *scale_;
};
