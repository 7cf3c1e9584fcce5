// SPDX-License-Identifier: GPL-3.0-or-later
#include "musictrack.h"

#include "files/fieldaddress.h"
#include "files/fileproperties.h"
#include "files/filetags.h"
#include "library/musiclibrary.h"
#include "library/tagcache.h"
#include "library/trackcolumns.h"
#include "support/alerts.h"
#include "support/fileutils.h"
#include "support/namedexception.h"

namespace {

const QString unsupportedTag = QStringLiteral("Unsupported Tag");
const QString folderRefusal = QStringLiteral(
    "You can operate on this tag only when selecting an iTunes playlist and not directly on a folder of files.");
const QString coverRefusal = QStringLiteral("You can use this tag only as the search tag in the 'playlists' tool.");

// Shown on the track's port before throwing, and never from inside TagLib
// work: the alert waits for the main thread. A track made without a port
// refuses by the exception alone.
[[noreturn]] void refuse(WindowPort *port, const QString &text)
{
    if (port)
        alertPanel(port, unsupportedTag, text, QStringLiteral("OK"));
    throw NamedException(unsupportedTag, text);
}

// Track and disc numbers and their totals stand in every file's own tags,
// and naming, numbering and sorting files into folders work with them; the
// other library-only numbers (play count, rating, ...) do not.
bool isFileNumber(const QString &key)
{
    return key == QLatin1String("trackNumber") || key == QLatin1String("trackCount") ||
           key == QLatin1String("discNumber") || key == QLatin1String("discCount");
}

void refuseUnreadable(WindowPort *port, const QStringList &keys)
{
    for (const QString &key : keys) {
        if (!filetags::canRead(key) && !isFileNumber(key))
            refuse(port, folderRefusal);
    }
}

void refuseUnwritable(WindowPort *port, const QString &key)
{
    if (!filetags::canWrite(key) && !isFileNumber(key))
        refuse(port, folderRefusal);
}

const QString locationKey = QStringLiteral("location");
const QString coverKey = QStringLiteral("cover");
// A library track's pictures are its file's: the library keeps none of them.
const QString picturesKey = QStringLiteral("pictures");

QString libraryKey(const QString &key)
{
    return key == QLatin1String("title") ? QStringLiteral("name") : key;
}

// How the keys of a read stand in the library: "title" is the name, and the
// picture of "cover" is looked for in the file the location names.
struct LibraryColumns {
    QStringList columns;
    QList<qsizetype> columnOf; // for each key
    bool asRead = false;       // every key is its own column, in order: rows serve unchanged
};

// A value only the track's file holds: its pictures, or a raw field of its tags.
bool isFileValue(const QString &key)
{
    return key == picturesKey || fieldaddress::isAddress(key);
}

LibraryColumns libraryColumns(const QStringList &keys)
{
    LibraryColumns map;
    for (const QString &key : keys) {
        // A picture and a raw field of the file are found through its location.
        const QString column = key == coverKey || isFileValue(key) ? locationKey : libraryKey(key);
        if (!map.columns.contains(column))
            map.columns << column;
        map.columnOf << map.columns.indexOf(column);
    }
    map.asRead = map.columns == keys && !keys.contains(locationKey);
    return map;
}

// What a never-set library property reads as: the empty text for a text,
// 0 for an integer; nothing for the others (a duration, a location).
QVariant emptyValueOf(const QString &column)
{
    const trackcolumns::Column *stored = trackcolumns::find(column);
    if (!stored || stored->kind == trackcolumns::Kind::Real)
        return {};
    return stored->kind == trackcolumns::Kind::Text ? QVariant(QStringLiteral("")) : QVariant(qlonglong(0));
}

// A value that needs the track's file, not read yet: "cover" or a raw field.
struct PendingFileValue {
    QString file;
    QString key;
};
// A dead track has no location, and so no file to find a picture or a field in.
QVariant fileValueOf(const QString &file, const QString &key)
{
    if (file.isEmpty())
        return {};
    if (key == coverKey)
        return filetags::containsPicture(file) ? QVariant(coverKey) : QVariant();
    return filetags::read(file, {key}).value(key);
}

QVariant orEmpty(QVariant value, const QVariant &empty)
{
    return value.isValid() ? value : empty;
}

QList<TrackValues> valuesOfRows(QList<QVariantList> rows, const QStringList &keys, const LibraryColumns &map,
                               bool filesLater = false)
{
    QList<QVariant> empties;
    for (const QString &column : map.columns)
        empties.append(emptyValueOf(column));
    QList<TrackValues> values;
    values.reserve(rows.size());
    for (QVariantList &row : rows) {
        for (qsizetype c = 0; c < row.size() && c < empties.size(); ++c) {
            if (!row[c].isValid())
                row[c] = empties[c];
        }
        if (map.asRead) {
            values.append(TrackValues(keys, std::move(row)));
            continue;
        }
        QVariantList own;
        own.reserve(keys.size());
        for (qsizetype k = 0; k < keys.size(); ++k) {
            const QVariant &value = row.at(map.columnOf[k]);
            if (keys[k] == coverKey || isFileValue(keys[k])) {
                own.append(filesLater ? QVariant::fromValue(PendingFileValue{value.toString(), keys[k]})
                                      : fileValueOf(value.toString(), keys[k]));
            } else if (keys[k] == locationKey) {
                const QString file = value.toString();
                own.append(file.isEmpty() ? QVariant() : QVariant(file));
            } else {
                own.append(value);
            }
        }
        values.append(TrackValues(keys, std::move(own)));
    }
    return values;
}

// The values of library tracks with one query for all of them.
QList<TrackValues> libraryValues(const MusicLibrary &library, const QList<TrackRef> &refs, const QStringList &keys)
{
    const LibraryColumns map = libraryColumns(keys);
    return valuesOfRows(library.propertyRows(refs, map.columns), keys, map);
}

// Library tracks listed with their values, read in one query.
TrackList listed(const std::shared_ptr<MusicLibrary> &library, TrackRows read, const QStringList &keys,
                 const LibraryColumns &map, WindowPort *port, bool filesLater = false)
{
    TrackList list;
    list.tracks.reserve(read.refs.size());
    for (const TrackRef &ref : read.refs)
        list.tracks.append(MusicTrack::withTrack(library, ref, port));
    if (!keys.isEmpty())
        list.values = valuesOfRows(std::move(read.rows), keys, map, filesLater);
    return list;
}

// tagvalue::matches for library values, where a never-set number reads 0:
// a record that expected it empty (as a file reads it) still matches.
bool matchesLibrary(const QVariantHash &current, const TagExpectations &expected)
{
    for (const auto &[key, value] : expected) {
        const QVariant &now = current.value(key);
        const bool emptyNumber = now.typeId() == QMetaType::LongLong && now.toLongLong() == 0 &&
                                 tagvalue::comparableText(value).isEmpty();
        if (!emptyNumber && tagvalue::comparableText(now) != tagvalue::comparableText(value))
            return false;
    }
    return true;
}

} // namespace

MusicTrack MusicTrack::withTrack(std::shared_ptr<MusicLibrary> library, TrackRef ref, WindowPort *port)
{
    MusicTrack track;
    track.port_ = port;
    track.library_ = std::move(library);
    track.where_ = ref;
    return track;
}

MusicTrack MusicTrack::withPath(QString path, WindowPort *port)
{
    MusicTrack track;
    track.port_ = port;
    track.where_ = std::move(path);
    return track;
}

MusicTrack MusicTrack::listedFile(QString path, WindowPort *port)
{
    MusicTrack track;
    track.port_ = port;
    track.where_ = ListedFile{std::move(path)};
    return track;
}

const QString &MusicTrack::path() const
{
    static const QString none;
    if (const ListedFile *listed = std::get_if<ListedFile>(&where_))
        return listed->path;
    const QString *path = std::get_if<QString>(&where_);
    return path ? *path : none;
}

QVariant MusicTrack::valueForTag(const QString &key) const
{
    if (!isLibraryTrack()) {
        refuseUnreadable(port_, {key});
        return filetags::read(path(), {key}).value(key);
    }
    if (key == QLatin1String("location") || key == QLatin1String("cover") || isFileValue(key))
        return valuesForTags({key}).value(key);
    return orEmpty(library_->property(*track(), libraryKey(key)), emptyValueOf(libraryKey(key)));
}

QVariantHash MusicTrack::valuesForTags(const QStringList &keys) const
{
    if (!isLibraryTrack()) {
        refuseUnreadable(port_, keys);
        return filetags::read(path(), keys);
    }
    return libraryValues(*library_, {*track()}, keys).value(0).toHash();
}

TrackValues MusicTrack::valuesInOrder(const QStringList &keys, SaveLook look) const
{
    if (isLibraryTrack())
        return TrackValues::fromHash(keys, valuesForTags(keys));
    refuseUnreadable(port_, keys);
    FileIdentity file;
    QString refusal;
    TrackValues values(keys, tagcache::readInOrder(path(), keys, &file, std::holds_alternative<ListedFile>(where_),
                                                   look == SaveLook::Check ? &refusal : nullptr));
    values.setFile(file);
    values.setSaveRefusal(std::move(refusal));
    return values;
}

QList<TrackValues> MusicTrack::valuesForTracks(const QList<MusicTrack> &tracks, const QStringList &keys)
{
    QList<TrackValues> values;
    values.reserve(tracks.size());
    for (qsizetype first = 0; first < tracks.size();) {
        const MusicTrack &track = tracks[first];
        if (!track.isLibraryTrack()) {
            values.append(track.valuesInOrder(keys));
            ++first;
            continue;
        }
        QList<TrackRef> refs;
        qsizetype end = first;
        for (; end < tracks.size() && tracks[end].isLibraryTrack() && tracks[end].library_ == track.library_; ++end)
            refs.append(*tracks[end].track());
        values.append(libraryValues(*track.library_, refs, keys));
        first = end;
    }
    return values;
}

TrackList MusicTrack::playlistTracks(const std::shared_ptr<MusicLibrary> &library, qint64 playlistId,
                                     const QStringList &keys, WindowPort *port)
{
    const LibraryColumns map = libraryColumns(keys);
    return listed(library, library->tracksOf(playlistId, map.columns), keys, map, port);
}

TrackList MusicTrack::selectedTracks(const std::shared_ptr<MusicLibrary> &library, const QStringList &keys,
                                     WindowPort *port)
{
    const LibraryColumns map = libraryColumns(keys);
    return listed(library, library->selection(map.columns), keys, map, port);
}

struct LibraryTrackPages::Pager {
    std::shared_ptr<MusicLibrary> library;
    QStringList keys;
    LibraryColumns map;
    WindowPort *port;
    bool filesLater;
    MusicLibrary::TrackPager rows;

    Pager(std::shared_ptr<MusicLibrary> lib, qint64 playlistId, QStringList wanted, WindowPort *to, bool later)
        : library(std::move(lib)), keys(std::move(wanted)), map(libraryColumns(keys)), port(to), filesLater(later),
          rows(*library, playlistId, map.columns)
    {
    }
};

LibraryTrackPages::LibraryTrackPages(std::shared_ptr<MusicLibrary> library, qint64 playlistId, QStringList keys,
                                     WindowPort *port, bool filesLater)
    : pager_(std::make_unique<Pager>(std::move(library), playlistId, std::move(keys), port, filesLater))
{
}

LibraryTrackPages::~LibraryTrackPages() = default;
LibraryTrackPages::LibraryTrackPages(LibraryTrackPages &&) noexcept = default;
LibraryTrackPages &LibraryTrackPages::operator=(LibraryTrackPages &&) noexcept = default;

qsizetype LibraryTrackPages::size() const
{
    return pager_->rows.size();
}

TrackList LibraryTrackPages::next(qsizetype count)
{
    return listed(pager_->library, pager_->rows.next(count), pager_->keys, pager_->map, pager_->port,
                  pager_->filesLater);
}

namespace {

bool hasFileValue(const QStringList &keys)
{
    return std::any_of(keys.cbegin(), keys.cend(), isFileValue);
}

} // namespace

bool MusicTrack::readsFiles(const QStringList &keys)
{
    return keys.contains(coverKey) || keys.contains(locationKey) || hasFileValue(keys);
}

bool MusicTrack::leavesFileValues(const QStringList &keys)
{
    return keys.contains(coverKey) || hasFileValue(keys);
}

void MusicTrack::completeFileValues(TrackValues &values)
{
    for (qsizetype i = 0; i < values.size(); ++i) {
        if (values.at(i).metaType() == QMetaType::fromType<PendingFileValue>()) {
            const PendingFileValue pending = values.at(i).value<PendingFileValue>();
            values.replace(i, fileValueOf(pending.file, pending.key));
        }
    }
}

void MusicTrack::setTag(const QString &key, const QVariant &value) const
{
    if (!isLibraryTrack()) {
        refuseUnwritable(port_, key);
        filetags::write(path(), key, value);
    } else if (key == QLatin1String("location")) {
        library_->setLocation(*track(), value.toString());
    } else if (key == QLatin1String("cover")) {
        refuse(port_, coverRefusal);
    } else if (key == picturesKey) {
        const QString file = location();
        if (file.isEmpty())
            throw FileError(library_->storedLocation(*track()), QStringLiteral("The track's file is missing"));
        filetags::write(file, key, value);
    } else {
        storeRow(writeFile(libraryKey(key), value));
    }
}

bool MusicTrack::setTagIfUnchanged(const QString &key, const QVariant &value, const TagExpectations &expected) const
{
    const QStringList keys = tagvalue::keysOf(expected);
    if (!isLibraryTrack()) {
        refuseUnwritable(port_, key);
        refuseUnreadable(port_, keys);
        return filetags::writeIfUnchanged(path(), key, value, expected);
    }
    const std::optional<RowWrite> write = writeFileIfUnchanged(key, value, expected);
    if (!write)
        return false;
    storeRow(*write);
    return true;
}

std::optional<MusicTrack::RowWrite> MusicTrack::writeFileIfUnchanged(const QString &key, const QVariant &value,
                                                                     const TagExpectations &expected) const
{
    if (key == QLatin1String("cover"))
        refuse(port_, coverRefusal);
    if (!matchesLibrary(valuesForTags(tagvalue::keysOf(expected)), expected))
        return std::nullopt;
    if (key == QLatin1String("location"))
        return RowWrite{key, value, {}, {}, {}};
    if (key == picturesKey) {
        // The row keeps no pictures; its stamp no longer matching the file
        // makes its next write compare values first.
        const QString file = location();
        if (file.isEmpty())
            throw FileError(library_->storedLocation(*track()), QStringLiteral("The track's file is missing"));
        TagExpectations pictures;
        for (const auto &entry : expected)
            if (entry.first == picturesKey)
                pictures << entry;
        if (!filetags::writeIfUnchanged(file, key, value, pictures))
            return std::nullopt;
        return RowWrite{key, value, {}, {}, {}};
    }
    return writeFile(libraryKey(key), value);
}

void MusicTrack::storeRow(const RowWrite &write) const
{
    if (write.key == picturesKey)
        return;
    if (write.key == QLatin1String("location"))
        library_->setLocation(*track(), write.value.toString());
    else if (fieldaddress::isAddress(write.key))
        return; // a raw field of the file has no row to follow it
    else if (write.file.isNull())
        library_->setProperty(*track(), write.key, write.value);
    else
        library_->fileWritten(write.file, write.key, write.value, write.stampBefore, write.stampAfter);
}

bool MusicTrack::fileHolds(const QString &libraryKey)
{
    return libraryKey != QLatin1String("title") && (fieldaddress::isAddress(libraryKey) ||
           filetags::canWrite(libraryKey) || fileproperties::holds(libraryKey));
}

bool MusicTrack::rowKeeps(const QString &libraryKey)
{
    return fileHolds(libraryKey) && !isFileValue(libraryKey);
}

namespace {

// The library's value as a file reads it: a file keeps no 0 and no empty text.
QVariant asInFile(const QVariant &value)
{
    if (!value.isValid() || value.isNull())
        return {};
    if (value.typeId() == QMetaType::QString)
        return value.toString().isEmpty() ? QVariant() : value;
    return value.toLongLong() == 0 ? QVariant() : value;
}

} // namespace

MusicTrack::RowWrite MusicTrack::writeFile(const QString &key, const QVariant &value) const
{
    const MusicLibrary::FileLink file = fileHolds(key) ? library_->fileLink(*track()) : MusicLibrary::FileLink{};
    const bool address = fieldaddress::isAddress(key);
    if (file.path.isNull() && address)
        throw FileError(QString(), QStringLiteral("The track's file is missing, so its field %1 cannot be written")
                                       .arg(key));
    if (file.path.isNull()) {
        // A dead track, or a key only the library keeps.
        return RowWrite{key, value, {}, {}, {}};
    }
    if (address) {
        // The row keeps no raw field, so only the file's own value is compared.
        const QString before = files::stamp(file.path);
        filetags::write(file.path, key, value);
        return RowWrite{key, value, file.path, before, files::stamp(file.path)};
    }
    // What the row will hold is what the file gets: a value the library
    // refuses is refused before the file is touched.
    const QVariant stored = library_->storedValue(key, value);
    // A file changed since the library last read or wrote it may hold another
    // value than the row; writing over it would lose an edit made outside.
    const QString before = files::stamp(file.path);
    TagExpectations expected;
    if (file.stamp.isNull() || file.stamp != before)
        expected.append({key, asInFile(library_->property(*track(), key))});
    if (!filetags::writeIfUnchanged(file.path, key, stored, expected))
        throw FileError(file.path, QStringLiteral("The file's %1 was changed by another program since the library "
                                                  "last read it; nothing was written. Refresh the library from the "
                                                  "files to take the file's values.")
                                       .arg(key));
    return RowWrite{key, stored, file.path, before, files::stamp(file.path)};
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
