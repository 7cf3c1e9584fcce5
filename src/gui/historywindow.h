// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "library/historystore.h"

#include <QDialog>
#include <QList>
#include <memory>

class AppDelegate;
class QLabel;
class QPushButton;
class QTableView;
class TextRowsModel;

// Edit → History…: the runs the history beside the library keeps, newest
// first, and the changes of the run chosen, with an Undo button that starts
// the undo of that run through the controller (and so its review). Reads
// the history again after every run the controller finishes. A history that
// cannot be read is told in the window's message line; the window stays usable.
class HistoryWindow : public QDialog {
    Q_OBJECT
public:
    HistoryWindow(AppDelegate *app, QWidget *window);
    ~HistoryWindow() override;

    QTableView *runTable() const { return runTable_; }
    QTableView *changeTable() const { return changeTable_; }
    // Why there are no runs to show; hidden when there are.
    QLabel *message() const { return message_; }
    QPushButton *undoButton() const { return undoButton_; }

    // Reads the runs again and keeps the chosen one chosen while it is there.
    void reload();
    // Chooses the run with this number (its changes show); false when it is not listed.
    bool chooseRun(qint64 number);
    // The chosen run's number; 0 when none is chosen.
    qint64 chosenRun() const;
    // Starts the undo of the chosen run.
    void undoChosenRun();

private:
    void showChosenRun();
    void showMessage(const QString &text);
    void updateUndoButton();

    AppDelegate *app_;
    std::unique_ptr<HistoryStore> store_;
    QList<HistoryRun> runs_;
    QList<HistoryChange> changes_;
    bool chosenUndone_ = true;
    QLabel *message_;
    QTableView *runTable_;
    QTableView *changeTable_;
    QLabel *runSummary_;
    QPushButton *undoButton_;
    TextRowsModel *runModel_;
    TextRowsModel *changeModel_;
};
