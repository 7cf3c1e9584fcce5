// SPDX-License-Identifier: GPL-3.0-or-later
#include "coverthumbnails.h"

#include "files/embeddedpictures.h"
#include "files/filetags.h"

#include <QDateTime>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QBuffer>

namespace {

// Two reads at once keep a screenful coming without taking every core.
constexpr int readers = 2;
// Thumbnails kept; a few kilobytes each.
constexpr int keptThumbnails = 4000;

} // namespace

// What a read found, handed from the pool to the main thread.
struct CoverThumbnails::Result {
    QString path;
    qint64 size = -1;
    qint64 modified = 0;
    bool unchanged = false; // the file is as it was when its thumbnail was made
    QImage image;
};

CoverThumbnails::CoverThumbnails(int side, QObject *parent) : QObject(parent), side_(side), cache_(keptThumbnails)
{
    pool_.setMaxThreadCount(readers);
}

CoverThumbnails::~CoverThumbnails()
{
    queue_.clear();
    pool_.clear();
    pool_.waitForDone();
}

QPixmap CoverThumbnails::thumbnail(const QString &path)
{
    const Entry *entry = cache_.object(path);
    if (entry && entry->checked)
        return entry->pixmap;
    if (!reading_.contains(path)) {
        queue_.removeOne(path);
        queue_.append(path);
        while (queue_.size() > MaxQueued)
            queue_.removeFirst();
        pump();
    }
    // A thumbnail being checked again shows meanwhile.
    return entry ? entry->pixmap : QPixmap();
}

void CoverThumbnails::recheck()
{
    for (const QString &path : cache_.keys())
        cache_.object(path)->checked = false;
}

void CoverThumbnails::pump()
{
    while (reading_.size() < readers && !queue_.isEmpty()) {
        const QString path = queue_.takeLast();
        reading_.insert(path);
        const Entry *entry = cache_.object(path);
        const qint64 knownSize = entry ? entry->size : -1;
        const qint64 knownModified = entry ? entry->modified : 0;
        pool_.start([this, path, knownSize, knownModified, side = side_] {
            Result result;
            result.path = path;
            const QFileInfo info(path);
            result.size = info.exists() ? info.size() : -1;
            result.modified = info.lastModified().toMSecsSinceEpoch();
            result.unchanged = knownSize >= 0 && result.size == knownSize && result.modified == knownModified;
            if (!result.unchanged && result.size >= 0) {
                const QList<EmbeddedPicture> pictures = filetags::picturesIn(path);
                const auto front = std::find_if(pictures.cbegin(), pictures.cend(), [](const EmbeddedPicture &p) {
                    return p.type == embeddedpictures::frontCover;
                });
                const EmbeddedPicture *chosen =
                    front != pictures.cend() ? &*front : pictures.isEmpty() ? nullptr : &pictures.constFirst();
                if (chosen) {
                    // Decoded straight at about the size shown: a cover of
                    // thousands of pixels is not unpacked whole for a row.
                    QByteArray bytes = chosen->data;
                    QBuffer buffer(&bytes);
                    QImageReader reader(&buffer);
                    const QSize full = reader.size();
                    if (full.isValid() && (full.width() > 4 * side || full.height() > 4 * side))
                        reader.setScaledSize(full.scaled(4 * side, 4 * side, Qt::KeepAspectRatio));
                    const QImage image = reader.read();
                    if (!image.isNull())
                        result.image = image.scaled(side, side, Qt::KeepAspectRatio, Qt::SmoothTransformation);
                }
            }
            QMetaObject::invokeMethod(this, [this, result] { take(result); }, Qt::QueuedConnection);
        });
    }
}

void CoverThumbnails::take(const Result &result)
{
    reading_.remove(result.path);
    Entry *entry = cache_.object(result.path);
    if (result.unchanged && entry) {
        entry->checked = true;
    } else {
        auto *fresh = new Entry;
        fresh->size = result.size;
        fresh->modified = result.modified;
        if (!result.image.isNull())
            fresh->pixmap = QPixmap::fromImage(result.image);
        cache_.insert(result.path, fresh);
    }
    pump();
    emit ready();
}
