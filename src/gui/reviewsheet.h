// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "sheet.h"

class AppDelegate;
class QLabel;
class QPushButton;
class QSortFilterProxyModel;
class QTableView;
class ReviewTableModel;

// The review sheet over the controller's change list: the summary line, one
// row per record with its check box, buttons that check or uncheck the
// selected rows, Cancel and Apply. Window-modal, so no other run can start
// while it is up. The table reads the controller's model directly, so a list
// of a hundred thousand records opens and scrolls without delay.
class ReviewSheet : public Sheet {
    Q_OBJECT
public:
    ReviewSheet(AppDelegate *app, QWidget *window);

    QTableView *table() const { return table_; }
    QLabel *summary() const { return summary_; }
    // "34 of 40 checked", following every toggle.
    QLabel *checkedCount() const { return checkedCount_; }
    QPushButton *checkButton() const { return checkButton_; }
    QPushButton *uncheckButton() const { return uncheckButton_; }
    QPushButton *cancelButton() const { return cancelButton_; }
    QPushButton *applyButton() const { return applyButton_; }

    // Opens the sheet with the value columns shown or hidden for the list.
    void open() override;

    // The window's Escape key cancels like the Cancel button.
    void reject() override;

    // Wide enough for every column, file path included, within the screen: the
    // size the sheet first opens at, before the person gives it one.
    QSize fittingSize() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void checkSelected(int tag);
    void updateColumns();
    void updateCheckedCount();
    // The selected rows as rows of the change list, whatever the sort order.
    QList<int> selectedRecords() const;

    AppDelegate *app_;
    QLabel *summary_;
    QTableView *table_;
    QPushButton *checkButton_;
    QPushButton *uncheckButton_;
    QPushButton *cancelButton_;
    QPushButton *applyButton_;
    ReviewTableModel *model_;
    QSortFilterProxyModel *sorted_;
    QLabel *checkedCount_;
    bool opening_ = false;
};
