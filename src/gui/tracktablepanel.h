// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QSet>
#include <QString>
#include <QWidget>

class AppDelegate;
class QLabel;
class QLineEdit;
class QMenu;
class QSortFilterProxyModel;
class QTableView;
class QTimer;
class QToolButton;
class SourceTracksModel;

// Below the panes: the tracks of the current source in a table whose
// columns can be chosen, sorted and resized, a filter box that matches any
// column, and the status line that says what the last run did. Follows the
// source options and reads the tracks again after every run that wrote
// them. While hidden it reads nothing; shown again, it catches up.
class TrackTablePanel : public QWidget {
    Q_OBJECT
public:
    TrackTablePanel(AppDelegate *app, QWidget *parent = nullptr);

    QTableView *table() const { return table_; }
    SourceTracksModel *model() const { return model_; }
    QSortFilterProxyModel *proxy() const { return proxy_; }
    QLineEdit *filterBox() const { return filter_; }
    QLabel *countLabel() const { return count_; }
    QLabel *statusLine() const { return status_; }
    QMenu *columnsMenu() const { return columnsMenu_; }

    // Whether the person chose to see the column (library-only columns still
    // show only for library tracks).
    bool isColumnChosen(int column) const { return !unchosen_.contains(column); }
    void setColumnChosen(int column, bool chosen);

    // Reads the current source again, even when it is the one shown.
    void reload();

protected:
    void showEvent(QShowEvent *event) override;

private:
    void scheduleLoad(bool force);
    void load();
    void updateColumns();
    void updateCount();
    QString sourceKey() const;

    AppDelegate *app_;
    SourceTracksModel *model_;
    QSortFilterProxyModel *proxy_;
    QTableView *table_;
    QLineEdit *filter_;
    QLabel *count_;
    QToolButton *columnsButton_;
    QMenu *columnsMenu_;
    QLabel *status_;
    QTimer *loadTimer_;
    QSet<int> unchosen_;
    QString shownKey_;     // the source whose tracks are shown or being read
    bool forceLoad_ = false;
    int restoreScroll_ = -1; // where to scroll once the same source is read again
};
