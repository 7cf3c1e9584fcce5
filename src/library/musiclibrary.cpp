// SPDX-License-Identifier: GPL-3.0-or-later
#include "musiclibrary.h"

#include "condition.h"
#include "libraryschema.h"
#include "sqlitedb.h"
#include "trackcolumns.h"
#include "support/icuregex.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <QStandardPaths>
#include <atomic>
#include <mutex>
#include <vector>

using sqlite::Statement;
using sqlite::Transaction;

struct MusicLibrary::Connection : sqlite::Database {
    using Database::Database;
};

// Every connection opened for one library, whatever thread holds it, so that
// the library can close them all when it goes away.
struct MusicLibrary::Registry {
    std::mutex mutex;
    std::vector<std::weak_ptr<Connection>> connections;
};

namespace {

std::atomic<quint64> nextSerial{1};

QString trackPurpose(const char *action, const TrackRef &ref)
{
    return QStringLiteral("%1 track %2").arg(QLatin1StringView(action)).arg(ref.trackId);
}

QString keyPurpose(const char *action, const QString &key, const TrackRef &ref)
{
    return QStringLiteral("%1 \"%2\" of track %3").arg(QLatin1StringView(action), key).arg(ref.trackId);
}

const trackcolumns::Column &columnFor(const QString &key, const QString &purpose)
{
    const trackcolumns::Column *column = trackcolumns::find(key);
    if (!column)
        throw LibraryError(purpose, QStringLiteral("the library has no property \"%1\"").arg(key));
    return *column;
}

QVariant readColumn(const Statement &st, int index, trackcolumns::Kind kind)
{
    if (st.isNull(index))
        return {};
    switch (kind) {
    case trackcolumns::Kind::Text:
        return st.text(index);
    case trackcolumns::Kind::Integer:
        return QVariant(qlonglong(st.integer(index)));
    case trackcolumns::Kind::Real:
        return QVariant(st.real(index));
    }
    return {};
}

// The stored path, or null when it is a stream or no file is there any more.
QString liveLocation(const QString &stored, bool stream)
{
    if (stream || stored.isEmpty())
        return {};
    const QFileInfo info(stored);
    return info.exists() && !info.isDir() ? stored : QString();
}

// A reference holds while its track exists and, when it was reached through a
// playlist entry, that entry still holds the track.
constexpr const char *refHolds = "t.id = ?1 AND (?2 = 0 OR EXISTS (SELECT 1 FROM playlist_entries e "
                                 "WHERE e.id = ?2 AND e.track = ?1))";

QByteArray idsAsJson(const QList<TrackRef> &refs)
{
    QByteArray json = "[";
    for (const TrackRef &ref : refs) {
        if (json.size() > 1)
            json += ',';
        json += QByteArray::number(ref.trackId);
    }
    return json + ']';
}

} // namespace

QString MusicLibrary::defaultPath()
{
    const QString overridden = qEnvironmentVariable("QUAVERTIN_LIBRARY");
    if (!overridden.isEmpty())
        return overridden;
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
           + QStringLiteral("/Quavertin/library.sqlite");
}

MusicLibrary::MusicLibrary(QString path)
    : path_(std::move(path)), serial_(nextSerial++), registry_(std::make_shared<Registry>())
{
    const QString purpose = QStringLiteral("open the library %1").arg(path_);
    if (path_.isEmpty())
        throw LibraryError(purpose, QStringLiteral("no file was given"));
    libraryschema::checkFileIsLibrary(path_);
    const QString folder = QFileInfo(path_).absolutePath();
    if (!QDir().mkpath(folder))
        throw LibraryError(purpose, QStringLiteral("the folder %1 cannot be made").arg(folder));

    auto created = std::make_shared<Connection>(path_, sqlite::Database::Mode::Create);
    created->setBusyTimeout(busyTimeoutMs_);
    try {
        created->execute("PRAGMA foreign_keys = ON; PRAGMA synchronous = NORMAL", purpose);
        libraryschema::migrate(*created, path_);
    } catch (...) {
        created->close();
        throw;
    }
    registry_->connections.push_back(created);
    threadConnections()[serial_] = std::move(created);
}

MusicLibrary::~MusicLibrary()
{
    threadConnections().erase(serial_);
    std::lock_guard lock(registry_->mutex);
    for (const auto &weak : registry_->connections) {
        if (auto connection = weak.lock())
            connection->close();
    }
}

std::unordered_map<quint64, std::shared_ptr<MusicLibrary::Connection>> &MusicLibrary::threadConnections()
{
    // Destroyed when the thread ends, which closes the thread's connections.
    thread_local std::unordered_map<quint64, std::shared_ptr<Connection>> connections;
    return connections;
}

MusicLibrary::Connection &MusicLibrary::connection() const
{
    auto &mine = threadConnections();
    if (auto found = mine.find(serial_); found != mine.end())
        return *found->second;

    // Connections of libraries destroyed meanwhile were closed; let them go.
    std::erase_if(mine, [](const auto &entry) { return !entry.second->isOpen(); });
    auto opened = std::make_shared<Connection>(path_, sqlite::Database::Mode::ReadWrite);
    opened->setBusyTimeout(busyTimeoutMs_);
    opened->execute("PRAGMA foreign_keys = ON; PRAGMA synchronous = NORMAL",
                    QStringLiteral("open the library %1").arg(path_));
    {
        std::lock_guard lock(registry_->mutex);
        std::erase_if(registry_->connections, [](const auto &weak) { return weak.expired(); });
        registry_->connections.push_back(opened);
    }
    return *mine.emplace(serial_, std::move(opened)).first->second;
}

void MusicLibrary::setBusyTimeout(int milliseconds)
{
    busyTimeoutMs_ = milliseconds;
    connection().setBusyTimeout(milliseconds);
}

bool MusicLibrary::isRunning(const QString &path)
{
    try {
        if (!QFileInfo(path).isFile() || QFileInfo(path).size() == 0)
            return false;
        libraryschema::checkFileIsLibrary(path);
        sqlite::Database db(path, sqlite::Database::Mode::ReadOnly);
        libraryschema::checkTables(db, QStringLiteral("check the library %1").arg(path));
        return true;
    } catch (const LibraryError &) {
        return false;
    }
}

QList<Playlist> MusicLibrary::userPlaylists() const
{
    Statement st(connection(), "SELECT id, name, smart FROM playlists ORDER BY position, id",
                 QStringLiteral("list the playlists"));
    QList<Playlist> playlists;
    while (st.next())
        playlists.append({st.integer(0), st.text(1), st.integer(2) != 0});
    return playlists;
}

std::optional<Playlist> MusicLibrary::playlistNamed(const QString &name) const
{
    Statement st(connection(), "SELECT id, name, smart FROM playlists WHERE name = ?1 ORDER BY position, id LIMIT 1",
                 QStringLiteral("find the playlist \"%1\"").arg(name));
    st.bind(1, name);
    if (!st.next())
        return std::nullopt;
    return Playlist{st.integer(0), st.text(1), st.integer(2) != 0};
}

std::optional<SmartRule> MusicLibrary::smartRule(qint64 playlistId) const
{
    const QString purpose = QStringLiteral("read the rule of playlist %1").arg(playlistId);
    Statement st(connection(),
                 "SELECT smart, ruleTag, ruleCondition, ruleOperand, ruleCaseInsensitive FROM playlists WHERE id = ?1",
                 purpose);
    st.bind(1, playlistId);
    if (!st.next())
        throw LibraryError(purpose, QStringLiteral("the playlist no longer exists"));
    if (st.integer(0) == 0)
        return std::nullopt;
    return SmartRule{st.text(1), int(st.integer(2)), st.text(3), st.integer(4) != 0};
}

QList<TrackRef> MusicLibrary::tracksOf(qint64 playlistId) const
{
    if (const std::optional<SmartRule> rule = smartRule(playlistId)) {
        const QString purpose = QStringLiteral("compute the smart playlist %1").arg(playlistId);
        std::optional<IcuRegex> pattern;
        if (rule->condition == condition::MatchesRegex)
            pattern = IcuRegex::compile(rule->operand, rule->caseInsensitive);
        const bool byLocation = rule->tagKey == QLatin1StringView("location");
        const trackcolumns::Column *column = byLocation ? nullptr : &columnFor(rule->tagKey, purpose);
        const QByteArray sql = byLocation ? QByteArray("SELECT id, location, stream FROM tracks ORDER BY id")
                                          : "SELECT id, " + QByteArray(column->key) + ", 0 FROM tracks ORDER BY id";
        Statement st(connection(), sql, purpose);
        QList<TrackRef> tracks;
        while (st.next()) {
            const QString value = byLocation ? liveLocation(st.text(1), st.integer(2) != 0)
                                             : readColumn(st, 1, column->kind).toString();
            if (condition::matches(rule->condition, value, rule->operand, rule->caseInsensitive, pattern ? &*pattern : nullptr))
                tracks.append({st.integer(0), playlistId, 0});
        }
        return tracks;
    }
    Statement st(connection(), "SELECT id, track FROM playlist_entries WHERE playlist = ?1 ORDER BY position, id",
                 QStringLiteral("list the tracks of playlist %1").arg(playlistId));
    st.bind(1, playlistId);
    QList<TrackRef> tracks;
    while (st.next())
        tracks.append({st.integer(1), playlistId, st.integer(0)});
    return tracks;
}

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

QList<TrackRef> MusicLibrary::selection() const
{
    Statement st(connection(), "SELECT track FROM selection ORDER BY position", QStringLiteral("read the selection"));
    QList<TrackRef> tracks;
    while (st.next())
        tracks.append({st.integer(0), 0, 0});
    return tracks;
}

void MusicLibrary::setSelection(const QList<qint64> &trackIds)
{
    Connection &db = connection();
    const QString purpose = QStringLiteral("set the selection");
    Transaction transaction(db, purpose);
    Statement(db, "DELETE FROM selection", purpose).run();
    qint64 position = 0;
    for (qint64 id : trackIds) {
        Statement insert(db, "INSERT INTO selection (position, track) SELECT ?1, id FROM tracks WHERE id = ?2", purpose);
        insert.bind(1, ++position).bind(2, id).run();
        if (db.changes() == 0)
            throw LibraryError(purpose, QStringLiteral("track %1 does not exist").arg(id));
    }
    transaction.commit();
}

// Raised when a reference no longer leads to its track: tells which link broke.
static void throwGone(sqlite::Database &db, const TrackRef &ref, const QString &purpose)
{
    Statement st(db, "SELECT 1 FROM tracks WHERE id = ?1", purpose);
    st.bind(1, ref.trackId);
    if (st.next() && ref.entryId != 0)
        throw LibraryError(purpose, QStringLiteral("the track is no longer in playlist %1").arg(ref.playlistId));
    throw LibraryError(purpose, QStringLiteral("the track no longer exists"));
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

QList<QVariantHash> MusicLibrary::properties(const QList<TrackRef> &refs, const QStringList &keys) const
{
    const QString purpose = QStringLiteral("read %1 properties of %2 tracks").arg(keys.size()).arg(refs.size());
    QByteArray columns = "t.id, t.location, t.stream";
    QList<const trackcolumns::Column *> wanted;
    for (const QString &key : keys) {
        if (key == QLatin1StringView("location")) {
            wanted.append(nullptr);
            continue;
        }
        wanted.append(&columnFor(key, purpose));
        columns += ", t." + QByteArray(wanted.last()->key);
    }
    // One query for all: the ids travel as one JSON array.
    Statement st(connection(),
                 "SELECT " + columns + " FROM tracks t WHERE t.id IN (SELECT value FROM json_each(?1))", purpose);
    st.bind(1, QString::fromLatin1(idsAsJson(refs)));
    QHash<qint64, QVariantHash> byId;
    byId.reserve(refs.size());
    while (st.next()) {
        QVariantHash values;
        int index = 3;
        for (qsizetype k = 0; k < keys.size(); ++k) {
            if (wanted[k])
                values.insert(keys[k], readColumn(st, index++, wanted[k]->kind));
            else
                values.insert(keys[k], liveLocation(st.text(1), st.integer(2) != 0));
        }
        byId.insert(st.integer(0), values);
    }
    QList<QVariantHash> result;
    result.reserve(refs.size());
    for (const TrackRef &ref : refs) {
        const auto found = byId.constFind(ref.trackId);
        if (found == byId.constEnd())
            throw LibraryError(purpose, QStringLiteral("track %1 no longer exists").arg(ref.trackId));
        result.append(*found);
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
    Statement st(db, QByteArray("UPDATE tracks AS t SET location = ?3 WHERE stream = 0 AND ") + refHolds, purpose);
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

void MusicLibrary::deleteTrack(const TrackRef &ref)
{
    deleteTracks({ref});
}

void MusicLibrary::deleteTracks(const QList<TrackRef> &refs)
{
    Connection &db = connection();
    Transaction transaction(db, QStringLiteral("delete %1 tracks").arg(refs.size()));
    for (const TrackRef &ref : refs) {
        const QString purpose = trackPurpose("delete", ref);
        if (ref.reachedThroughLibrary()) {
            Statement st(db, "DELETE FROM tracks WHERE id = ?1", purpose);
            st.bind(1, ref.trackId).run();
            if (db.changes() == 0)
                throw LibraryError(purpose, QStringLiteral("the track no longer exists"));
            continue;
        }
        if (smartRule(ref.playlistId))
            throw LibraryError(purpose, QStringLiteral("tracks cannot be removed from a smart playlist; its rule "
                                                       "decides what it holds"));
        Statement st(db, "DELETE FROM playlist_entries WHERE id = ?1 AND playlist = ?2 AND track = ?3", purpose);
        st.bind(1, ref.entryId).bind(2, ref.playlistId).bind(3, ref.trackId).run();
        if (db.changes() == 0)
            throwGone(db, ref, purpose);
    }
    transaction.commit();
}

void MusicLibrary::duplicateTo(const TrackRef &ref, qint64 playlistId)
{
    addTracksToPlaylist(playlistId, {ref.trackId}, false);
}

void MusicLibrary::addToPlaylist(qint64 playlistId, const QList<qint64> &trackIds)
{
    addTracksToPlaylist(playlistId, trackIds, false);
}

int MusicLibrary::addTracksToPlaylist(qint64 playlistId, const QList<qint64> &trackIds, bool skipExisting)
{
    Connection &db = connection();
    const QString purpose = QStringLiteral("add %1 tracks to playlist %2").arg(trackIds.size()).arg(playlistId);
    Transaction transaction(db, purpose);
    if (smartRule(playlistId))
        throw LibraryError(purpose, QStringLiteral("tracks cannot be added to a smart playlist; its rule decides "
                                                   "what it holds"));
    QSet<qint64> present;
    if (skipExisting) {
        Statement st(db, "SELECT track FROM playlist_entries WHERE playlist = ?1", purpose);
        st.bind(1, playlistId);
        while (st.next())
            present.insert(st.integer(0));
    }
    qint64 position = 0;
    {
        Statement st(db, "SELECT COALESCE(MAX(position), 0) FROM playlist_entries WHERE playlist = ?1", purpose);
        st.bind(1, playlistId);
        if (st.next())
            position = st.integer(0);
    }
    int added = 0;
    for (qint64 trackId : trackIds) {
        if (skipExisting && present.contains(trackId))
            continue;
        Statement insert(db,
                         "INSERT INTO playlist_entries (playlist, track, position) SELECT ?1, id, ?3 FROM tracks "
                         "WHERE id = ?2",
                         purpose);
        insert.bind(1, playlistId).bind(2, trackId).bind(3, ++position).run();
        if (db.changes() == 0)
            throw LibraryError(purpose, QStringLiteral("track %1 no longer exists").arg(trackId));
        present.insert(trackId);
        ++added;
    }
    transaction.commit();
    return added;
}

// Appends a playlist after the others; a smart one when rule is given.
static qint64 insertPlaylist(sqlite::Database &db, const QString &name, const SmartRule *rule)
{
    const QString purpose = QStringLiteral("create the playlist \"%1\"").arg(name);
    if (name.isEmpty())
        throw LibraryError(purpose, QStringLiteral("a playlist needs a name"));
    if (rule) {
        if (rule->condition < 0 || rule->condition >= condition::Count)
            throw LibraryError(purpose, QStringLiteral("there is no condition %1").arg(rule->condition));
        if (rule->tagKey != QLatin1StringView("location"))
            columnFor(rule->tagKey, purpose);
        if (rule->condition == condition::MatchesRegex && !IcuRegex::compile(rule->operand, false))
            throw LibraryError(purpose, QStringLiteral("the expression \"%1\" is invalid").arg(rule->operand));
    }
    Statement st(db,
                 "INSERT INTO playlists (name, position, smart, ruleTag, ruleCondition, ruleOperand, ruleCaseInsensitive) "
                 "SELECT ?1, COALESCE(MAX(position), 0) + 1, ?2, ?3, ?4, ?5, ?6 FROM playlists",
                 purpose);
    st.bind(1, name).bind(2, qint64(rule != nullptr));
    if (rule)
        st.bind(3, rule->tagKey).bind(4, qint64(rule->condition)).bind(5, rule->operand).bind(6, qint64(rule->caseInsensitive));
    st.run();
    return db.lastInsertId();
}

qint64 MusicLibrary::createPlaylist(const QString &name)
{
    return insertPlaylist(connection(), name, nullptr);
}

qint64 MusicLibrary::createSmartPlaylist(const QString &name, const SmartRule &rule)
{
    return insertPlaylist(connection(), name, &rule);
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

QList<qint64> MusicLibrary::importFiles(const QList<ImportedFile> &files)
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

        qint64 id = 0;
        {
            Statement find(db, "SELECT id FROM tracks WHERE location = ?1 AND stream = 0 ORDER BY id LIMIT 1", purpose);
            find.bind(1, file.location);
            if (find.next())
                id = find.integer(0);
        }
        QByteArray sql;
        if (id) {
            sql = "UPDATE tracks SET ";
            for (qsizetype i = 0; i < columns.size(); ++i)
                sql += (i ? ", " : "") + QByteArray(columns[i]->key) + " = ?" + QByteArray::number(i + 2);
            sql += " WHERE id = ?1";
        } else {
            QByteArray names = "location", placeholders = "?1";
            for (qsizetype i = 0; i < columns.size(); ++i) {
                names += ", " + QByteArray(columns[i]->key);
                placeholders += ", ?" + QByteArray::number(i + 2);
            }
            sql = "INSERT INTO tracks (" + names + ") VALUES (" + placeholders + ")";
        }
        Statement st(db, sql, purpose);
        if (id)
            st.bind(1, id);
        else
            st.bind(1, file.location);
        for (qsizetype i = 0; i < columns.size(); ++i)
            st.bind(int(i + 2), trackcolumns::toStored(*columns[i], file.values.value(columns[i]->key), purpose));
        st.run();
        ids.append(id ? id : db.lastInsertId());
    }
    transaction.commit();
    return ids;
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
    Statement st(connection(), "UPDATE tracks SET location = ?2 WHERE location = ?1 AND stream = 0",
                 QStringLiteral("follow %1 to %2").arg(oldPath, newPath));
    st.bind(1, oldPath).bind(2, newPath).run();
}
