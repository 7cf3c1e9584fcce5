// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

// A dialog over the main window that blocks the window, not the
// application, while it is up: the review, progress and help sheets.
class Sheet : public QDialog {
    Q_OBJECT
public:
    Sheet(QWidget *window, const QString &objectName) : QDialog(window, Qt::Sheet)
    {
        setObjectName(objectName);
        setWindowModality(Qt::WindowModal);
    }

    // Closes the sheet when the controller says so, without the actions
    // that the sheet's own buttons or the Escape key would take.
    void dismiss()
    {
        hide();
        setResult(0);
    }
};
