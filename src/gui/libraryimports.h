// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "library/libraryactions.h"

#include <QObject>
#include <QString>

class AppDelegate;
class QWidget;

// File → Import from Player… and File → Import Playlist…: asks what to
// import, runs the import on the worker under a progress dialog, and tells
// the person what came over and what did not.
class LibraryImports : public QObject {
    Q_OBJECT
public:
    LibraryImports(AppDelegate *app, QWidget *window);

    // Asks which player (its library's place filled in) and imports it.
    void importFromPlayer();
    void importFromPlayerAt(playerimport::Player player, const QString &path);
    // Asks for a playlist file and imports it, named after the file.
    void importPlaylist();
    void importPlaylistAt(const QString &file, const QString &name = {});

signals:
    // An import has ended and its report was shown.
    void finished();

private:
    // The import on the library; its report, or what stood in its way.
    using Work = std::function<libraryactions::Result<QString>(MusicLibrary &, const libraryactions::Progress &)>;
    void run(const QString &label, Work work);

    AppDelegate *app_;
    QWidget *window_;
};
