// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "library/libraryactions.h"

#include <QDialog>
#include <QList>
#include <memory>

class AppDelegate;
class LibraryTracksModel;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QPushButton;
class QProgressDialog;
class QTableView;
class QTimer;

// The library as the person sees it: its playlists, the tracks of the one
// chosen, and the selection. Selecting tracks makes them the library's
// selection, which the "Library Selection" source and the numeric tag
// changer work on. Also imports a folder of music files into the library and
// makes, renames, fills and deletes playlists, through the same library
// actions as the command line, so that both allow and refuse the same.
class LibraryBrowser : public QDialog {
    Q_OBJECT
public:
    LibraryBrowser(AppDelegate *app, QWidget *window);

    QListWidget *playlistList() const { return playlists_; }
    QTableView *trackTable() const { return tracks_; }
    LibraryTracksModel *trackModel() const { return model_; }
    QLabel *status() const { return status_; }
    QLineEdit *filterBox() const { return filter_; }

    // Reads the playlists and the tracks of the chosen one again.
    void reload();
    // Stores the selected rows as the library's selection now.
    void storeSelection();

    // Makes an empty playlist; a name a playlist has already is refused with an alert.
    void createPlaylistNamed(const QString &name);
    // The playlist chosen in the list; id 0 for the whole library.
    Playlist chosenPlaylist() const;
    // Gives the chosen playlist this name; a blank or taken one is refused with an alert.
    void renameChosenPlaylist(const QString &name);
    // Deletes the chosen playlist once the person confirms; its tracks stay in the library.
    void deleteChosenPlaylist();
    // Appends the selected tracks to the playlist with this id.
    void addSelectionToPlaylist(qint64 playlistId);
    // Takes every entry of the selected tracks out of the chosen playlist.
    void removeSelectionFromPlaylist();
    // The tracks' context menu: add the selection to a playlist, or take it out of the chosen one.
    QMenu *trackMenu();

    // Asks for a folder and imports its music files, with progress.
    void importFolder();
    // Imports the folder without asking; the browser reloads when done.
    void importFolderAt(const QString &folder);
    // Reads the files of every library track again, with progress, and tells
    // how many tracks changed; the browser reloads when done.
    void refreshFromFiles();

    void open() override;
    // Opens on the whole library with the library's selection selected.
    void showSelection();

signals:
    // An import started by importFolderAt has ended and the browser shows its result.
    void importFinished();
    // A refresh started by refreshFromFiles has ended and its result is shown.
    void refreshFinished();
    // The selected rows were stored as the library's selection.
    void selectionStored();

private:
    void showPlaylist();
    void fitColumns();
    void newPlaylist();
    void askPlaylistName();
    QList<qint64> selectedTrackIds() const;
    // After an action on the playlists: the lists read again, or the reason
    // it was refused told under failureTitle. Whether it was done.
    template <typename Value>
    bool playlistsChanged(const libraryactions::Result<Value> &result, const QString &failureTitle);
    void report(const QString &problem);
    void finishImport(const libraryimport::Summary &summary, const QString &problem);
    void finishRefresh(const libraryimport::RefreshSummary &summary, const QString &problem);
    static QString failureLines(const QList<libraryimport::Failure> &failures);
    // Where the files' ratings and play counts differ from the library's, and
    // the fields passed over; empty when there is nothing to say.
    static QString ratingLines(const QList<Disagreement> &disagreements, const QList<libraryimport::Failure> &ignored);
    // The controller's library; null, after telling the person why, when it cannot be opened.
    std::shared_ptr<MusicLibrary> libraryOr(const QString &failureTitle);

    AppDelegate *app_;
    QListWidget *playlists_;
    QTableView *tracks_;
    LibraryTracksModel *model_;
    QLabel *status_;
    QLineEdit *filter_;
    QTimer *selectionTimer_;
    QPushButton *renameButton_;
    QPushButton *deleteButton_;
    QList<Playlist> listed_; // the list's rows: the library (id 0), then its playlists
};
