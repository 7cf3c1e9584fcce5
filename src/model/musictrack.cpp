// SPDX-License-Identifier: GPL-3.0-or-later
#include "musictrack.h"

#include "filetags.h"
#include "library/musiclibrary.h"
#include "support/alerts.h"
#include "support/namedexception.h"

namespace {

const QString unsupportedTag = QStringLiteral("Unsupported Tag");
const QString folderRefusal = QStringLiteral(
    "You can operate on this tag only when selecting an iTunes playlist and not directly on a folder of files.");
const QString coverRefusal = QStringLiteral("You can use this tag only as the search tag in the 'playlists' tool.");

// Shown before throwing, and never from inside TagLib work: the alert waits
// for the main thread.
[[noreturn]] void refuse(const QString &text)
{
    alertPanel(unsupportedTag, text, QStringLiteral("OK"));
    throw NamedException(unsupportedTag, text);
}

void refuseUnreadable(const QStringList &keys)
{
    for (const QString &key : keys) {
        if (!filetags::canRead(key))
            refuse(folderRefusal);
    }
}

void refuseUnwritable(const QString &key)
{
    if (!filetags::canWrite(key))
        refuse(folderRefusal);
}

QString libraryKey(const QString &key)
{
    return key == QLatin1String("title") ? QStringLiteral("name") : key;
}

// The values of library tracks with one query for all of them.
QList<QVariantHash> libraryValues(const MusicLibrary &library, const QList<TrackRef> &refs, const QStringList &keys)
{
    const QString location = QStringLiteral("location");
    const QString cover = QStringLiteral("cover");
    // The picture is looked for in the file the location names.
    QStringList columns;
    QList<qsizetype> columnOf;
    for (const QString &key : keys) {
        const QString column = key == cover ? location : libraryKey(key);
        if (!columns.contains(column))
            columns << column;
        columnOf << columns.indexOf(column);
    }
    const QList<QVariantList> rows = library.propertyRows(refs, columns);
    QList<QVariantHash> values;
    values.reserve(rows.size());
    for (const QVariantList &row : rows) {
        QVariantHash own;
        own.reserve(keys.size());
        for (qsizetype k = 0; k < keys.size(); ++k) {
            const QVariant &value = row.at(columnOf[k]);
            if (keys[k] == cover) {
                // A dead track has no location, and so no file to find a picture in.
                const QString file = value.toString();
                const bool picture = !file.isEmpty() && filetags::containsPicture(file);
                own.insert(cover, picture ? QVariant(cover) : QVariant());
            } else if (keys[k] == location) {
                const QString file = value.toString();
                own.insert(location, file.isEmpty() ? QVariant() : QVariant(file));
            } else {
                own.insert(keys[k], value);
            }
        }
        values.append(std::move(own));
    }
    return values;
}

} // namespace

MusicTrack MusicTrack::withTrack(std::shared_ptr<MusicLibrary> library, TrackRef ref)
{
    MusicTrack track;
    track.library_ = std::move(library);
    track.track_ = ref;
    return track;
}

MusicTrack MusicTrack::withPath(QString path)
{
    MusicTrack track;
    track.path_ = std::move(path);
    return track;
}

QVariant MusicTrack::valueForTag(const QString &key) const
{
    if (!isLibraryTrack()) {
        refuseUnreadable({key});
        return filetags::read(path_, {key}).value(key);
    }
    if (key == QLatin1String("location") || key == QLatin1String("cover"))
        return valuesForTags({key}).value(key);
    return library_->property(*track_, libraryKey(key));
}

QVariantHash MusicTrack::valuesForTags(const QStringList &keys) const
{
    if (!isLibraryTrack()) {
        refuseUnreadable(keys);
        return filetags::read(path_, keys);
    }
    return libraryValues(*library_, {*track_}, keys).value(0);
}

QList<QVariantHash> MusicTrack::valuesForTracks(const QList<MusicTrack> &tracks, const QStringList &keys)
{
    QList<QVariantHash> values;
    values.reserve(tracks.size());
    for (qsizetype first = 0; first < tracks.size();) {
        const MusicTrack &track = tracks[first];
        if (!track.isLibraryTrack()) {
            values.append(track.valuesForTags(keys));
            ++first;
            continue;
        }
        QList<TrackRef> refs;
        qsizetype end = first;
        for (; end < tracks.size() && tracks[end].isLibraryTrack() && tracks[end].library_ == track.library_; ++end)
            refs.append(*tracks[end].track_);
        values.append(libraryValues(*track.library_, refs, keys));
        first = end;
    }
    return values;
}

void MusicTrack::setTag(const QString &key, const QVariant &value) const
{
    if (!isLibraryTrack()) {
        refuseUnwritable(key);
        filetags::write(path_, key, value);
    } else if (key == QLatin1String("location")) {
        library_->setLocation(*track_, value.toString());
    } else if (key == QLatin1String("cover")) {
        refuse(coverRefusal);
    } else {
        library_->setProperty(*track_, libraryKey(key), value);
    }
}

bool MusicTrack::setTagIfUnchanged(const QString &key, const QVariant &value, const TagExpectations &expected) const
{
    const QStringList keys = tagvalue::keysOf(expected);
    if (!isLibraryTrack()) {
        refuseUnwritable(key);
        refuseUnreadable(keys);
        return filetags::writeIfUnchanged(path_, key, value, expected);
    }
    if (key == QLatin1String("cover"))
        refuse(coverRefusal);
    if (!tagvalue::matches(valuesForTags(keys), expected))
        return false;
    setTag(key, value);
    return true;
}

QString MusicTrack::title() const
{
    return valueForTag(QStringLiteral("name")).toString();
}

QString MusicTrack::artist() const
{
    return valueForTag(QStringLiteral("artist")).toString();
}

QString MusicTrack::album() const
{
    return valueForTag(QStringLiteral("album")).toString();
}

QString MusicTrack::location() const
{
    return valueForTag(QStringLiteral("location")).toString();
}
