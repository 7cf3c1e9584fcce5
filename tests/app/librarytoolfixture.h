// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/appdelegate.h"
#include "fakewindowport.h"
#include "lastrun.h"
#include "library/musiclibrary.h"
#include "model/musictrack.h"
#include "support/dispatch.h"
#include "testfiles.h"
#include "userlocations.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <gtest/gtest.h>

// "A library with these tracks and playlists" driven through the controller
// as the window drives it: a real library file and real music files in a
// temporary folder, the controller started up, and the scripted person.
// HOME points into the temporary folder too, so that the freedesktop Trash
// used for the files is the one under $XDG_DATA_HOME.
class LibraryToolTest : public ::testing::Test {
protected:
    LibraryToolTest() : oldHome_(qgetenv("HOME"))
    {
        qputenv("HOME", QFile::encodeName(locations_.dataHome() + QStringLiteral("/..")));
        app_.setLibraryPath(folder_.filePath(QStringLiteral("library.sqlite")));
        app_.applicationDidFinishLaunching();
    }
    ~LibraryToolTest() override { qputenv("HOME", oldHome_); }

    MusicLibrary &library() { return *app_.library(); }

    // A file track with a real MP3 file (a copy of the seed) unless dead is asked;
    // the file then never existed at the stored path.
    qint64 addTrack(const QString &name, const QString &artist = QStringLiteral("Band"), QVariantHash values = {},
                    bool dead = false)
    {
        const QString relative = QStringLiteral("music/%1.mp3").arg(++counter_);
        if (!dead)
            folder_.addSeed(QStringLiteral("seed.mp3"), relative);
        if (!name.isNull())
            values.insert(QStringLiteral("name"), name);
        if (!artist.isNull())
            values.insert(QStringLiteral("artist"), artist);
        return library().importFile({folder_.filePath(relative), values});
    }

    qint64 addPlaylist(const QString &name, const QList<qint64> &trackIds)
    {
        const qint64 id = library().createPlaylist(name);
        library().addToPlaylist(id, trackIds);
        app_.refreshPlaylists();
        return id;
    }

    void chooseSource(const QString &name) { app_.setSelectedPlaylist(int(app_.playlists().indexOf(name))); }
    void chooseTarget(const QString &name)
    {
        app_.setSelectedPlaylistActionPlaylist(int(app_.editablePlaylists().indexOf(name)));
    }

    // Presses a tool's button (or Apply) and waits for the outcome of its run.
    template <typename Action> void runAndWait(Action action)
    {
        action();
        awaitLastRun(app_);
    }
    void apply() { runAndWait([this] { app_.applyChanges(); }); }

    // The ids of a playlist's tracks in order.
    QList<qint64> idsIn(qint64 playlistId)
    {
        QList<qint64> ids;
        for (const TrackRef &ref : library().tracksOf(playlistId))
            ids << ref.trackId;
        return ids;
    }
    QStringList reviewedTitles() const
    {
        QStringList titles;
        if (app_.changes())
            for (const ChangeRecord &r : app_.changes()->records)
                titles << r.title;
        return titles;
    }
    QString trashFolder() const { return locations_.dataHome() + QStringLiteral("/Trash/files"); }

    ScopedUserLocations locations_;
    QByteArray oldHome_;
    TestFolder folder_;
    ScopedFakePort port_;
    AppDelegate app_{*port_};
    int counter_ = 0;
};
