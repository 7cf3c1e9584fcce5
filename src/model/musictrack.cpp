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
    QVariantHash values;
    QStringList propertyKeys;
    for (const QString &key : keys) {
        if (key != QLatin1String("location") && key != QLatin1String("cover") && !propertyKeys.contains(libraryKey(key)))
            propertyKeys << libraryKey(key);
    }
    if (!propertyKeys.isEmpty()) {
        const QVariantHash properties = library_->properties({*track_}, propertyKeys).value(0);
        for (const QString &key : keys)
            values.insert(key, properties.value(libraryKey(key)));
    }
    if (keys.contains(QLatin1String("location")) || keys.contains(QLatin1String("cover"))) {
        // A dead track has no location, and so no file to find a picture in.
        const QString location = library_->location(*track_);
        if (keys.contains(QLatin1String("location")))
            values.insert(QStringLiteral("location"), location.isNull() ? QVariant() : QVariant(location));
        if (keys.contains(QLatin1String("cover"))) {
            const bool picture = !location.isNull() && filetags::containsPicture(location);
            values.insert(QStringLiteral("cover"), picture ? QVariant(QStringLiteral("cover")) : QVariant());
        }
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
