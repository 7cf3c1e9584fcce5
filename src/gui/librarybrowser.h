// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <QList>
#include <memory>

namespace libraryimport {
struct Summary;
struct RefreshSummary;
struct Failure;
}

class AppDelegate;
class LibraryTracksModel;
class MusicLibrary;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QProgressDialog;
class QTableView;
class QTimer;

// The library as the person sees it: its playlists, the tracks of the one
// chosen, and the selection. Selecting tracks makes them the library's
// selection, which the "Library Selection" source and the numeric tag
// changer work on. Also imports a folder of music files into the library.
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

    // Asks for a folder and imports its music files, with progress.
    void importFolder();
    // Imports the folder without asking; the browser reloads when done.
    void importFolderAt(const QString &folder);
    // Reads the files of every library track again, with progress, and tells
    // how many tracks changed; the browser reloads when done.
    void refreshFromFiles();

    void open() override;

signals:
    // An import started by importFolderAt has ended and the browser shows its result.
    void importFinished();
    // A refresh started by refreshFromFiles has ended and its result is shown.
    void refreshFinished();

private:
    void showPlaylist();
    void fitColumns();
    void newPlaylist();
    void report(const QString &problem);
    void finishImport(const libraryimport::Summary &summary, const QString &problem);
    void finishRefresh(const libraryimport::RefreshSummary &summary, const QString &problem);
    static QString failureLines(const QList<libraryimport::Failure> &failures);
    // The controller's library; null, after telling the person why, when it cannot be opened.
    std::shared_ptr<MusicLibrary> libraryOr(const QString &failureTitle);
    QProgressDialog *showProgress(const QString &name, const QString &title, const QString &label);

    AppDelegate *app_;
    QListWidget *playlists_;
    QTableView *tracks_;
    LibraryTracksModel *model_;
    QLabel *status_;
    QLineEdit *filter_;
    QTimer *selectionTimer_;
    QList<qint64> playlistIds_;
};
