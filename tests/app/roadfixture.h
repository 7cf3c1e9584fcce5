// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/appdelegate.h"
#include "fakewindowport.h"
#include "lastrun.h"
#include "library/librarybuilder.h"
#include "operations/collector.h"
#include "support/dispatch.h"
#include "userlocations.h"

#include <QCoreApplication>
#include <QMutex>
#include <QtMessageHandler>

// A controller over a real library file in a temporary home, with the
// scripted person. The builder's library is "another connection": what it
// changes, the controller sees only through the file.
struct Road {
    ScopedUserLocations locations;
    ScopedFakePort port;
    LibraryBuilder builder;
    // The maker's addresses the controller opened go here when a test sets it.
    UrlOpener urlOpener;
    AppDelegate app{*port, [this](const QUrl &url) {
                        if (urlOpener)
                            urlOpener(url);
                    }};

    Road() { app.setLibraryPath(builder.libraryPath()); }

    MusicLibrary &other() { return builder.library(); }

    // Waits for the outcome of the run started last.
    void finishRun() { awaitLastRun(app); }

    // A stand-in tool: proposes key = old value + suffix for every track.
    void collectAppending(const QString &key, const QString &suffix)
    {
        CollectRun run;
        run.keys = {key};
        run.noChangesMessage = QStringLiteral("Nothing to append to.");
        run.step = [key, suffix](const MusicTrack &track, const TrackValues &values, QList<ChangeRecord> &records) {
            const QString old = tagText(values.value(key));
            records << collector::tagRecord(track, values, key, old, old + suffix);
        };
        app.collect(std::move(run));
        finishRun();
    }

    void apply()
    {
        app.applyChanges();
        finishRun();
    }

    // A playlist of new file tracks "Song 1".."Song n" by "Band"; their ids.
    QList<qint64> playlistOf(const QString &name, int n)
    {
        QList<qint64> ids;
        for (int i = 1; i <= n; ++i)
            ids << builder.addTrack(QStringLiteral("Song %1").arg(i), QStringLiteral("Band"));
        other().addToPlaylist(other().createPlaylist(name), ids);
        return ids;
    }

    // Start-up with a new playlist of n tracks chosen as the source; its track ids.
    QList<qint64> startOnPlaylist(const QString &name, int n)
    {
        const QList<qint64> ids = playlistOf(name, n);
        app.applicationDidFinishLaunching();
        app.setSelectedPlaylist(app.playlists().indexOf(name));
        return ids;
    }

    QVariant stored(qint64 id, const QString &key) { return other().property(LibraryBuilder::throughLibrary(id), key); }
};

// Collects what goes to the log while it lives.
class ScopedLog {
public:
    ScopedLog() { previous_ = qInstallMessageHandler(&ScopedLog::handle); current() = this; }
    ~ScopedLog()
    {
        qInstallMessageHandler(previous_);
        current() = nullptr;
    }
    // The worker logs too; read once its run is over.
    QStringList lines() const
    {
        QMutexLocker lock(&mutex_);
        return lines_;
    }

private:
    static ScopedLog *&current()
    {
        static ScopedLog *log = nullptr;
        return log;
    }
    static void handle(QtMsgType, const QMessageLogContext &, const QString &message)
    {
        if (ScopedLog *log = current()) {
            QMutexLocker lock(&log->mutex_);
            log->lines_ << message;
        }
    }
    QtMessageHandler previous_ = nullptr;
    mutable QMutex mutex_;
    QStringList lines_;
};
