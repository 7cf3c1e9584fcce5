// SPDX-License-Identifier: GPL-3.0-or-later
// The tracks of the library and their properties.
#include "libraryinternal.h"

#include "support/fileutils.h"

#include <limits>

using namespace libraryinternal;


QList<TrackRef> MusicLibrary::allTracks() const
{
    Statement st(connection(), "SELECT id FROM tracks ORDER BY id", QStringLiteral("list the tracks of the library"));
    QList<TrackRef> tracks;
    while (st.next())
        tracks.append({st.integer(0), 0, 0});
    return tracks;
}

int MusicLibrary::trackCount() const
{
    Statement st(connection(), "SELECT count(*) FROM tracks", QStringLiteral("count the tracks of the library"));
    return st.next() ? int(st.integer(0)) : 0;
}

qint64 MusicLibrary::dataVersion() const
{
    Statement st(connection(), "PRAGMA data_version", QStringLiteral("ask whether the library changed"));
    return st.next() ? st.integer(0) : 0;
}

QVariant MusicLibrary::property(const TrackRef &ref, const QString &key) const
{
    if (key == QLatin1StringView("location"))
        return location(ref);
    const QString purpose = keyPurpose("read", key, ref);
    const trackcolumns::Column &column = columnFor(key, purpose);
    Connection &db = connection();
    Statement st(db, "SELECT t." + QByteArray(column.key) + " FROM tracks t WHERE " + refHolds, purpose);
    st.bind(1, ref.trackId).bind(2, ref.entryId);
    if (!st.next())
        throwGone(db, ref, purpose);
    return readColumn(st, 0, column.kind);
}

void MusicLibrary::setProperty(const TrackRef &ref, const QString &key, const QVariant &value)
{
    if (key == QLatin1StringView("location")) {
        setLocation(ref, value.toString());
        return;
    }
    const QString purpose = keyPurpose("write", key, ref);
    const trackcolumns::Column &column = columnFor(key, purpose);
    Connection &db = connection();
    Statement st(db, "UPDATE tracks AS t SET " + QByteArray(column.key) + " = ?3 WHERE " + refHolds, purpose);
    st.bind(1, ref.trackId).bind(2, ref.entryId).bind(3, trackcolumns::toStored(column, value, purpose)).run();
    if (db.changes() == 0)
        throwGone(db, ref, purpose);
}

QVariant MusicLibrary::storedValue(const QString &key, const QVariant &value)
{
    const QString purpose = QStringLiteral("store the %1 %2").arg(key, value.toString());
    return trackcolumns::toStored(columnFor(key, purpose), value, purpose);
}

namespace {

// The columns that a properties read selects from the track table (aliased
// t), and how each key's value is taken from a row.
class PropertyColumns {
public:
    // live, when given, carries what was found of the files from one read to the next.
    PropertyColumns(const QStringList &keys, const QString &purpose, QHash<QString, bool> *live = nullptr)
        : live_(live ? live : &own_)
    {
        for (const QString &key : keys) {
            if (key == QLatin1StringView("location")) {
                wanted_.append(nullptr);
                sql_ += ", t.location, t.stream";
            } else {
                wanted_.append(&columnFor(key, purpose));
                sql_ += ", t." + QByteArray(wanted_.last()->key);
            }
        }
    }

    // Each selected column preceded by a comma.
    const QByteArray &sql() const { return sql_; }

    // The values of a row whose first property column is first.
    QVariantList read(const Statement &st, int first) const
    {
        QVariantList values;
        values.reserve(wanted_.size());
        int index = first;
        for (const trackcolumns::Column *column : wanted_) {
            if (column) {
                values.append(readColumn(st, index++, column->kind));
            } else {
                values.append(location(st.text(index), st.integer(index + 1) != 0));
                index += 2;
            }
        }
        return values;
    }

private:
    // liveLocation with one look at the file system per distinct path: many
    // rows of a long read may share a file. Bounded, as a library of a
    // million files would otherwise keep every path.
    QString location(const QString &stored, bool stream) const
    {
        if (stream || stored.isEmpty())
            return {};
        auto found = live_->constFind(stored);
        if (found == live_->cend()) {
            if (live_->size() >= 4096)
                live_->clear();
            found = live_->insert(stored, !liveLocation(stored, false).isNull());
        }
        return *found ? stored : QString();
    }

    QByteArray sql_;
    QList<const trackcolumns::Column *> wanted_;
    QHash<QString, bool> *live_;
    mutable QHash<QString, bool> own_;
};

} // namespace

QList<QVariantList> MusicLibrary::propertyRows(const QList<TrackRef> &refs, const QStringList &keys) const
{
    const QString purpose = QStringLiteral("read %1 properties of %2 tracks").arg(keys.size()).arg(refs.size());
    const PropertyColumns columns(keys, purpose);
    // One query for all: the ids travel as one JSON array. Each row names its
    // place in the array and is put there, so the order holds (a track listed
    // twice twice) without SQLite sorting the rows, which would copy them again.
    Statement st(connection(),
                 "SELECT j.key, t.id" + columns.sql() + " FROM json_each(?1) j LEFT JOIN tracks t ON t.id = j.value",
                 purpose);
    QList<qint64> ids;
    ids.reserve(refs.size());
    for (const TrackRef &ref : refs)
        ids.append(ref.trackId);
    st.bind(1, QString::fromLatin1(idsAsJson(ids)));
    QList<QVariantList> rows(refs.size());
    while (st.next()) {
        const qint64 place = st.integer(0);
        if (st.isNull(1))
            throw LibraryError(purpose, QStringLiteral("track %1 no longer exists").arg(ids.at(place)));
        rows[place] = columns.read(st, 2);
    }
    return rows;
}

TrackRows MusicLibrary::tracksOf(qint64 playlistId, const QStringList &keys) const
{
    TrackRows result;
    if (smartRule(playlistId)) {
        result.refs = tracksOf(playlistId);
        result.rows = propertyRows(result.refs, keys);
        return result;
    }
    const QString purpose =
        QStringLiteral("read %1 properties of the tracks of playlist %2").arg(keys.size()).arg(playlistId);
    const PropertyColumns columns(keys, purpose);
    Statement st(connection(),
                 "SELECT e.id, e.track" + columns.sql() +
                     " FROM playlist_entries e JOIN tracks t ON t.id = e.track"
                     " WHERE e.playlist = ?1 ORDER BY e.position, e.id",
                 purpose);
    st.bind(1, playlistId);
    while (st.next()) {
        result.refs.append({st.integer(1), playlistId, st.integer(0)});
        result.rows.append(columns.read(st, 2));
    }
    return result;
}

MusicLibrary::TrackPager::TrackPager(const MusicLibrary &library, qint64 playlistId, QStringList keys)
    : library_(library), playlistId_(playlistId), keys_(std::move(keys)),
      lastPosition_(std::numeric_limits<qint64>::min()), lastEntry_(std::numeric_limits<qint64>::min())
{
    const QString purpose = QStringLiteral("read the tracks of playlist %1").arg(playlistId);
    read_ = std::make_unique<sqlite::ReadTransaction>(library.connection(), purpose);
    if (playlistId == 0) {
        listed_ = library.selection();
    } else if (library.smartRule(playlistId)) {
        listed_ = library.tracksOf(playlistId);
    } else {
        // Entries cannot outlive their track (the foreign key cascades), so
        // the entries alone give the count.
        Statement st(library.connection(), "SELECT count(*) FROM playlist_entries WHERE playlist = ?1", purpose);
        st.bind(1, playlistId);
        size_ = st.next() ? st.integer(0) : 0;
    }
    if (listed_)
        size_ = listed_->size();
}

MusicLibrary::TrackPager::TrackPager(const MusicLibrary &library, WholeLibrary, QStringList keys)
    : library_(library), playlistId_(0), keys_(std::move(keys)), lastPosition_(0),
      lastEntry_(std::numeric_limits<qint64>::min()), wholeLibrary_(true)
{
    const QString purpose = QStringLiteral("read the tracks of the library");
    read_ = std::make_unique<sqlite::ReadTransaction>(library.connection(), purpose);
    size_ = library.trackCount();
}

MusicLibrary::TrackPager::~TrackPager() = default;

TrackRows MusicLibrary::TrackPager::next(qsizetype count)
{
    TrackRows page;
    if (given_ >= size_ || count <= 0)
        return page;
    if (listed_) {
        page.refs = listed_->mid(given_, count);
        page.rows = library_.propertyRows(page.refs, keys_);
        given_ += page.refs.size();
        return page;
    }
    if (wholeLibrary_)
        return nextOfLibrary(count);
    const QString purpose =
        QStringLiteral("read %1 properties of the tracks of playlist %2").arg(keys_.size()).arg(playlistId_);
    const PropertyColumns columns(keys_, purpose, &live_);
    // Each page goes on after the last entry of the one before, in the order
    // tracksOf gives: by position, then by entry among equal positions.
    Statement st(library_.connection(),
                 "SELECT e.id, e.track, e.position" + columns.sql() +
                     " FROM playlist_entries e JOIN tracks t ON t.id = e.track"
                     " WHERE e.playlist = ?1 AND (e.position, e.id) > (?2, ?3) ORDER BY e.position, e.id LIMIT ?4",
                 purpose);
    st.bind(1, playlistId_).bind(2, lastPosition_).bind(3, lastEntry_).bind(4, qint64(count));
    page.refs.reserve(count);
    page.rows.reserve(count);
    while (st.next()) {
        lastEntry_ = st.integer(0);
        lastPosition_ = st.integer(2);
        page.refs.append({st.integer(1), playlistId_, lastEntry_});
        page.rows.append(columns.read(st, 3));
    }
    // A short page is the last one.
    given_ = page.refs.size() < count ? size_ : given_ + page.refs.size();
    return page;
}

TrackRows MusicLibrary::TrackPager::nextOfLibrary(qsizetype count)
{
    const QString purpose = QStringLiteral("read %1 properties of the tracks of the library").arg(keys_.size());
    const PropertyColumns columns(keys_, purpose, &live_);
    Statement st(library_.connection(), "SELECT t.id" + columns.sql() + " FROM tracks t WHERE t.id > ?1 ORDER BY t.id LIMIT ?2",
                 purpose);
    st.bind(1, lastEntry_).bind(2, qint64(count));
    TrackRows page;
    page.refs.reserve(count);
    page.rows.reserve(count);
    while (st.next()) {
        lastEntry_ = st.integer(0);
        page.refs.append({lastEntry_, 0, 0});
        page.rows.append(columns.read(st, 1));
    }
    given_ = page.refs.size() < count ? size_ : given_ + page.refs.size();
    return page;
}

TrackRows MusicLibrary::selection(const QStringList &keys) const
{
    const QString purpose = QStringLiteral("read %1 properties of the selected tracks").arg(keys.size());
    const PropertyColumns columns(keys, purpose);
    Statement st(connection(),
                 "SELECT s.track" + columns.sql() +
                     " FROM selection s JOIN tracks t ON t.id = s.track ORDER BY s.position",
                 purpose);
    TrackRows result;
    while (st.next()) {
        result.refs.append({st.integer(0), 0, 0});
        result.rows.append(columns.read(st, 1));
    }
    return result;
}

QList<QVariantHash> MusicLibrary::properties(const QList<TrackRef> &refs, const QStringList &keys) const
{
    QList<QVariantHash> result;
    const QList<QVariantList> rows = propertyRows(refs, keys);
    result.reserve(rows.size());
    for (const QVariantList &row : rows) {
        QVariantHash values;
        for (qsizetype k = 0; k < keys.size(); ++k)
            values.insert(keys[k], row[k]);
        result.append(std::move(values));
    }
    return result;
}

QString MusicLibrary::location(const TrackRef &ref) const
{
    const QString stored = storedLocation(ref);
    return liveLocation(stored, stored.isNull());
}

QString MusicLibrary::storedLocation(const TrackRef &ref) const
{
    const QString purpose = keyPurpose("read", QStringLiteral("location"), ref);
    Connection &db = connection();
    Statement st(db, QByteArray("SELECT t.location, t.stream FROM tracks t WHERE ") + refHolds, purpose);
    st.bind(1, ref.trackId).bind(2, ref.entryId);
    if (!st.next())
        throwGone(db, ref, purpose);
    return st.integer(1) != 0 ? QString() : st.text(0);
}

void MusicLibrary::setLocation(const TrackRef &ref, const QString &path)
{
    const QString purpose = keyPurpose("write", QStringLiteral("location"), ref);
    if (path.isEmpty())
        throw LibraryError(purpose, QStringLiteral("the new location is empty"));
    Connection &db = connection();
    Statement st(db, QByteArray("UPDATE tracks AS t SET location = ?3, fileStamp = NULL WHERE stream = 0 AND ") +
                         refHolds,
                 purpose);
    st.bind(1, ref.trackId).bind(2, ref.entryId).bind(3, path).run();
    if (db.changes() == 0) {
        if (className(ref) == QLatin1StringView("ITunesURLTrack"))
            throw LibraryError(purpose, QStringLiteral("a stream has no file location"));
        throwGone(db, ref, purpose);
    }
}

QString MusicLibrary::className(const TrackRef &ref) const
{
    const QString purpose = trackPurpose("read the class of", ref);
    Connection &db = connection();
    Statement st(db, QByteArray("SELECT t.stream FROM tracks t WHERE ") + refHolds, purpose);
    st.bind(1, ref.trackId).bind(2, ref.entryId);
    if (!st.next())
        throwGone(db, ref, purpose);
    return st.integer(0) ? QStringLiteral("ITunesURLTrack") : QStringLiteral("ITunesFileTrack");
}

qint64 MusicLibrary::importFile(const ImportedFile &file)
{
    return importFiles({file}).constFirst();
}

// The columns an import writes: every column a file provides, plus the
// library's own ones when the caller gives them.
static QList<const trackcolumns::Column *> importedColumns(const QVariantHash &values, const QString &purpose)
{
    for (auto it = values.cbegin(); it != values.cend(); ++it)
        columnFor(it.key(), purpose);
    QList<const trackcolumns::Column *> columns;
    for (const trackcolumns::Column &column : trackcolumns::all()) {
        if (column.fromFile || values.contains(QLatin1StringView(column.key)))
            columns.append(&column);
    }
    return columns;
}

QList<qint64> MusicLibrary::importFiles(const QList<ImportedFile> &files, QList<Stored> *outcomes,
                                        QList<Disagreement> *disagreements)
{
    Connection &db = connection();
    Transaction transaction(db, QStringLiteral("import %1 files").arg(files.size()));
    QList<qint64> ids;
    ids.reserve(files.size());
    for (const ImportedFile &file : files) {
        const QString purpose = QStringLiteral("import %1").arg(file.location);
        if (file.location.isEmpty())
            throw LibraryError(purpose, QStringLiteral("the file has no location"));
        const QList<const trackcolumns::Column *> columns = importedColumns(file.values, purpose);
        const QString stamp = file.stamp.isNull() ? files::stamp(file.location) : file.stamp;
        QVariantList stored;
        for (const trackcolumns::Column *column : columns)
            stored.append(trackcolumns::toStored(*column, file.values.value(column->key), purpose));
        const auto bindValues = [&](Statement &st) {
            st.bind(1, file.location);
            for (qsizetype i = 0; i < stored.size(); ++i)
                st.bind(int(i + 2), stored[i]);
        };

        // Every track stored for the file takes its values; only rows that
        // differ are written, so that they can be counted.
        QByteArray set, same;
        for (qsizetype i = 0; i < columns.size(); ++i) {
            const QByteArray column = columns[i]->key, place = "?" + QByteArray::number(i + 2);
            set += (i ? ", " : "") + column + " = " + place;
            same += (i ? " AND " : "") + column + " IS " + place;
        }
        int changed = 0;
        if (!columns.isEmpty()) {
            Statement update(db, "UPDATE tracks SET " + set + " WHERE location = ?1 AND stream = 0 AND NOT (" + same + ")",
                             purpose);
            bindValues(update);
            update.run();
            changed = db.changes();
        }
        qint64 id = 0;
        bool added = false;
        {
            Statement find(db,
                           "SELECT id, fileStamp, rating, playedCount FROM tracks WHERE location = ?1 AND stream = 0 "
                           "ORDER BY id LIMIT 1",
                           purpose);
            find.bind(1, file.location);
            if (find.next()) {
                id = find.integer(0);
                // Only a file changed since the library last read it can say
                // something new; an unchanged one said it before.
                const bool fileChanged = find.isNull(1) || find.text(1) != stamp;
                if (disagreements && fileChanged)
                    for (auto it = file.onAdd.cbegin(); it != file.onAdd.cend(); ++it) {
                        const int place = it.key() == u"rating" ? 2 : it.key() == u"playedCount" ? 3 : -1;
                        // Values the caller sets, or that no field of the file gave, are no file's word.
                        if (place < 0 || file.values.contains(it.key()) || !file.onAddFrom.contains(it.key()))
                            continue;
                        const QVariant row = find.isNull(place) ? QVariant() : QVariant(find.integer(place));
                        if (row.isNull() || row.toLongLong() != it.value().toLongLong())
                            disagreements->append(
                                {id, file.location, it.key(), it.value(), file.onAddFrom.value(it.key()), row});
                    }
            }
        }
        if (id) {
            Statement st(db, "UPDATE tracks SET fileStamp = ?2 WHERE location = ?1 AND stream = 0", purpose);
            st.bind(1, file.location).bind(2, stamp.isNull() ? QVariant() : QVariant(stamp)).run();
        } else {
            QByteArray names = "location, fileStamp", placeholders = "?1, ?" + QByteArray::number(columns.size() + 2);
            for (qsizetype i = 0; i < columns.size(); ++i) {
                names += ", " + QByteArray(columns[i]->key);
                placeholders += ", ?" + QByteArray::number(i + 2);
            }
            // What the file says of the library's own values goes in with the
            // row: a statement of its own per value made an import of rated
            // files about 6% slower.
            QVariantList onAdd;
            for (auto it = file.onAdd.cbegin(); it != file.onAdd.cend(); ++it) {
                if (file.values.contains(it.key()))
                    continue;
                const trackcolumns::Column &column = columnFor(it.key(), purpose);
                names += ", " + QByteArray(column.key);
                placeholders += ", ?" + QByteArray::number(columns.size() + 3 + onAdd.size());
                onAdd.append(trackcolumns::toStored(column, it.value(), purpose));
            }
            Statement st(db, "INSERT INTO tracks (" + names + ") VALUES (" + placeholders + ")", purpose);
            bindValues(st);
            st.bind(int(columns.size() + 2), stamp.isNull() ? QVariant() : QVariant(stamp));
            for (qsizetype i = 0; i < onAdd.size(); ++i)
                st.bind(int(columns.size() + 3 + i), onAdd[i]);
            st.run();
            id = db.lastInsertId();
            added = true;
        }
        ids.append(id);
        if (outcomes)
            outcomes->append(added ? Stored::Added : changed > 0 ? Stored::Changed : Stored::Unchanged);
    }
    transaction.commit();
    return ids;
}

MusicLibrary::FileLink MusicLibrary::fileLink(const TrackRef &ref) const
{
    const QString purpose = trackPurpose("find the file of", ref);
    Connection &db = connection();
    Statement st(db, QByteArray("SELECT t.location, t.stream, t.fileStamp FROM tracks t WHERE ") + refHolds, purpose);
    st.bind(1, ref.trackId).bind(2, ref.entryId);
    if (!st.next())
        throwGone(db, ref, purpose);
    return {liveLocation(st.text(0), st.integer(1) != 0), st.isNull(2) ? QString() : st.text(2)};
}

int MusicLibrary::fileWritten(const QString &path, const QString &key, const QVariant &value,
                              const QString &stampBefore, const QString &stampAfter)
{
    const QString purpose = QStringLiteral("take the new %1 of %2").arg(key, path);
    const trackcolumns::Column &column = columnFor(key, purpose);
    if (!column.fromFile)
        throw LibraryError(purpose, QStringLiteral("a music file does not hold the %1").arg(key));
    Connection &db = connection();
    Statement st(db,
                 "UPDATE tracks SET " + QByteArray(column.key) +
                     " = ?2, fileStamp = CASE WHEN fileStamp = ?4 THEN ?3 END WHERE location = ?1 AND stream = 0",
                 purpose);
    const auto orNull = [](const QString &stamp) { return stamp.isNull() ? QVariant() : QVariant(stamp); };
    st.bind(1, path)
        .bind(2, trackcolumns::toStored(column, value, purpose))
        .bind(3, orNull(stampAfter))
        .bind(4, orNull(stampBefore))
        .run();
    return db.changes();
}

qint64 MusicLibrary::addStreamTrack(const QString &address, const QVariantHash &values)
{
    Connection &db = connection();
    const QString purpose = QStringLiteral("add the stream %1").arg(address);
    QByteArray names = "location, stream", placeholders = "?1, 1";
    QVariantList stored;
    for (auto it = values.cbegin(); it != values.cend(); ++it) {
        const trackcolumns::Column &column = columnFor(it.key(), purpose);
        names += ", " + QByteArray(column.key);
        placeholders += ", ?" + QByteArray::number(stored.size() + 2);
        stored.append(trackcolumns::toStored(column, it.value(), purpose));
    }
    Statement st(db, "INSERT INTO tracks (" + names + ") VALUES (" + placeholders + ")", purpose);
    st.bind(1, address);
    for (qsizetype i = 0; i < stored.size(); ++i)
        st.bind(int(i + 2), stored[i]);
    st.run();
    return db.lastInsertId();
}

void MusicLibrary::fileMoved(const QString &oldPath, const QString &newPath)
{
    filesMoved({{oldPath, newPath}});
}

void MusicLibrary::filesMoved(const QList<QPair<QString, QString>> &moves)
{
    Connection &db = connection();
    Transaction transaction(db, QStringLiteral("follow %1 renamed files").arg(moves.size()));
    for (const auto &[oldPath, newPath] : moves) {
        Statement st(db, "UPDATE tracks SET location = ?2 WHERE location = ?1 AND stream = 0",
                     QStringLiteral("follow %1 to %2").arg(oldPath, newPath));
        st.bind(1, oldPath).bind(2, newPath).run();
    }
    transaction.commit();
}
