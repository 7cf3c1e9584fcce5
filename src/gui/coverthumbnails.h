// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QCache>
#include <QObject>
#include <QPixmap>
#include <QSet>
#include <QStringList>
#include <QThreadPool>

// Small pictures of the files' front covers (else of their first picture)
// for the track table's "Cover" column. Asking for one that is not known
// yet gives a null pixmap and reads it on a thread of its own; ready() says
// when some came in. Only what is asked for is read, so only the rows on
// screen cost anything, and the newest asks are read first: a fast scroll
// through a long table leaves the rows it passed behind. Thumbnails are kept
// by file, with its size and modification time: once recheck() says the
// files may have changed, each is looked at again when next asked for, and
// read again only when it did change. Main thread only.
class CoverThumbnails : public QObject {
    Q_OBJECT
public:
    // side: the longer side of a thumbnail, in pixels.
    explicit CoverThumbnails(int side, QObject *parent = nullptr);
    ~CoverThumbnails() override;

    QPixmap thumbnail(const QString &path);
    void recheck();
    // Whether reads are queued or under way.
    bool isBusy() const { return !queue_.isEmpty() || !reading_.isEmpty(); }

    // The most asks waiting; older ones are dropped (asked again when shown again).
    static constexpr int MaxQueued = 64;

signals:
    void ready();

private:
    struct Entry {
        qint64 size = -1;
        qint64 modified = 0;
        QPixmap pixmap;
        bool checked = true; // false: the file may have changed since
    };
    struct Result;
    void pump();
    void take(const Result &result);

    int side_;
    QCache<QString, Entry> cache_;
    QStringList queue_; // newest last
    QSet<QString> reading_;
    QThreadPool pool_;
};
