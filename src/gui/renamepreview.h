// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "tools/filenamechanger.h"

#include <QDialog>
#include <QList>

class AppDelegate;
class QLabel;
class QTableView;
class RenamePlanModel;

// What Rename Files would do with the options as they stand, renaming
// nothing: every file's name and the name it would get, or why it keeps its
// own. The plan is made on the background worker while the list says so.
class RenamePreview : public QDialog {
    Q_OBJECT
public:
    RenamePreview(AppDelegate *app, QWidget *window);

    QTableView *table() const { return table_; }
    QLabel *summary() const { return summary_; }
    const QList<tools::PlannedRename> &plan() const;

    // Validates as the tool does (its alerts when there is no folder or no
    // music file in it, and false then), then opens and fills the list.
    bool preview();

signals:
    // The list holds the plan made by the last preview.
    void listed();

private:
    void list(const QString &folder, QList<tools::PlannedRename> plan);

    AppDelegate *app_;
    RenamePlanModel *model_;
    QTableView *table_;
    QLabel *summary_;
};
