// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "operations/tracksource.h"
#include "pendingedits.h"
#include "sourcetracksmodel.h"

#include <QSet>
#include <QString>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>

class AppDelegate;
class CellEditDelegate;
class CoverThumbnails;
struct ChangeList;
class Run;
struct RunOutcome;
class QLabel;
class QLineEdit;
class QMenu;
class QSortFilterProxyModel;
class QTableView;
class QTimer;
class QToolButton;
class SourceTracksModel;
class SourceWatcher;

// Below the panes: the tracks of the current source in a table whose
// columns can be chosen, sorted and resized, a filter box that matches any
// column, and the status line that says what the last run did. Follows the
// source options and reads the tracks again after every run that wrote
// them, or after another program changed them (the folder's files, the
// library file), keeping the person's selection and scroll position. While
// hidden it reads nothing; shown again, it catches up.
//
// A cell edited (double-click or F2) gives its value to every selected row
// when it is one of them, else to its own row; the values wait in the
// window's pending edits until saved or dropped, and changing the source
// asks first what becomes of them.
class TrackTablePanel : public QWidget {
    Q_OBJECT
public:
    TrackTablePanel(AppDelegate *app, PendingEdits *pending, QWidget *parent = nullptr);
    ~TrackTablePanel() override;

    QTableView *table() const { return table_; }
    SourceTracksModel *model() const { return model_; }
    QSortFilterProxyModel *proxy() const { return proxy_; }
    QLineEdit *filterBox() const { return filter_; }
    QLabel *countLabel() const { return count_; }
    QLabel *statusLine() const { return status_; }
    // Counts the pending edits; hidden while there are none.
    QLabel *pendingLine() const { return pendingLine_; }
    CellEditDelegate *cellEditor() const { return editor_; }
    CoverThumbnails *thumbnails() const { return thumbnails_; }
    SourceWatcher *watcher() const { return watcher_; }
    // Whether a reading of the source is asked for and not yet begun.
    bool loadPending() const;
    QMenu *columnsMenu() const { return columnsMenu_; }

    // Whether the person chose to see the column (library-only columns still
    // show only for library tracks).
    bool isColumnChosen(int column) const { return !unchosen_.contains(column); }
    void setColumnChosen(int column, bool chosen);

    // Reads the current source again, even when it is the one shown.
    void reload();

    // The tracks the tools take: the selected rows, else the rows the filter
    // shows when it hides some; nothing (the whole source) otherwise, and
    // while the table is hidden, as its rows are then not read.
    std::optional<TrackScope> chosenTracks() const;
    // The order the rows are shown in; empty while the table is hidden.
    TrackOrder shownOrder() const;

    // Saves the pending edits through the "Edit Tags" run and its review;
    // then runs once none is left pending (not when the review is cancelled
    // or the save stops). A cell still being edited is taken first.
    void saveChanges(std::function<void()> then = {});
    // Drops the pending edits.
    void revertChanges();
    // Asks whether to save the pending edits before something that would
    // lose them: true when it may go on now (nothing was pending, or the
    // person dropped them); false when the person cancelled, or chose to
    // save, after which the save runs then.
    bool settlePendingEdits(const QString &before, std::function<void()> then);

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void scheduleLoad(bool force);
    void load();
    void updateColumns();
    // Fits the columns the person did not size to the tracks shown, once.
    void fitColumns();
    int lastShownColumn() const;
    void updateCount();
    // Tells the controller's trackScopeText what chosenTracks takes.
    void updateScope();
    void sourceChanged();
    void restoreSelection();
    QString sourceKey() const;
    // The model's rows selected, in the model's order.
    QList<int> selectedSourceRows() const;
    // The model's rows an edit of the cell goes to.
    QList<int> editedRows(const QModelIndex &index) const;
    void commitEdit(const QModelIndex &index, const QString &text);
    void updatePendingLine();
    // The save's run ended: what was written is no longer pending.
    void settleSave(const RunOutcome &outcome);
    void endSave();

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
    SourceWatcher *watcher_;
    PendingEdits *pending_;
    CellEditDelegate *editor_;
    CoverThumbnails *thumbnails_ = nullptr;
    QLabel *pendingLine_;
    // The source shown, to go back to when the person keeps pending edits.
    struct ShownSource {
        int method = 0;
        int playlist = 0;
        QString folder;
    } shownSource_;
    // The save under way: its collecting run, then the list it reviews.
    std::shared_ptr<Run> saveRun_;
    std::shared_ptr<ChangeList> saveList_;
    QList<PendingTrack> saving_;
    std::function<void()> afterSave_;
    QSet<PendingTrack> keptSelection_; // the selected rows, while the same source is read again
    qint64 libraryVersion_ = 0;   // the library's data version when it was read
    // The "Cover" column is a choice: off until the person turns it on.
    QSet<int> unchosen_{SourceTracksModel::CoverColumn};
    QString shownKey_;     // the source whose tracks are shown or being read
    bool forceLoad_ = false;
    int restoreScroll_ = -1; // where to scroll once the same source is read again
    QSet<int> setByPerson_;  // columns whose width the person chose
    bool columnsFitted_ = false;
    bool fittingColumns_ = false;
};
