// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QHash>
#include <QObject>
#include <QStringList>
#include <QTimer>

class QSocketNotifier;

// Tells when the source shown changes on disk, whoever changes it: another
// program, the command line, this process. A folder is watched with every
// folder below it (files written, added, removed or renamed, the folder
// itself going); a library, its file and its write-ahead log. A burst of
// changes is told once, a moment after it settles. Main thread only.
class SourceWatcher : public QObject {
    Q_OBJECT
public:
    explicit SourceWatcher(QObject *parent = nullptr);
    ~SourceWatcher() override;

    void watchFolder(const QString &folder);
    void watchLibrary(const QString &libraryPath);
    // Watches nothing.
    void stop();

    // What is watched now: the folder, or the library file; empty for nothing.
    const QString &watched() const { return watched_; }

signals:
    void changed();

private:
    bool start();
    void addFolder(const QString &folder);
    void readEvents();

    int fd_ = -1;
    QSocketNotifier *notifier_ = nullptr;
    QHash<int, QString> folders_; // watch descriptor -> folder
    QString watched_;
    QStringList names_; // a library's files; empty: every file of a folder
    QTimer settle_;
};
