// SPDX-License-Identifier: GPL-3.0-or-later
#include "playerimport.h"

#include "support/namedexception.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>
#include <QUrl>
#include <QXmlStreamReader>
#include <cmath>
#include <memory>
#include <optional>
#include <sqlite3.h>

namespace playerimport {

namespace {

// The layouts whose columns and meaning are known here. A newer player may
// have moved things; its file is refused rather than misread.
constexpr int strawberryOldest = 10, strawberryNewest = 22;
constexpr int clementineOldest = 29, clementineNewest = 70;

QString dataHome()
{
    const QString xdg = qEnvironmentVariable("XDG_DATA_HOME");
    return xdg.isEmpty() ? QDir::homePath() + QLatin1String("/.local/share") : xdg;
}

QString configHome()
{
    const QString xdg = qEnvironmentVariable("XDG_CONFIG_HOME");
    return xdg.isEmpty() ? QDir::homePath() + QLatin1String("/.config") : xdg;
}

QString expandHome(QString path)
{
    if (path == QLatin1String("~") || path.startsWith(QLatin1String("~/")))
        path = QDir::homePath() + path.mid(1);
    return path;
}

// beets reads its library's path from the top-level "library:" key of its
// configuration (relative paths are taken from the configuration's folder).
QString beetsLibraryPath()
{
    const QString beetsDir = qEnvironmentVariable("BEETSDIR");
    const QString folder = beetsDir.isEmpty() ? configHome() + QLatin1String("/beets") : expandHome(beetsDir);
    QString library = QStringLiteral("library.db");
    QFile config(folder + QLatin1String("/config.yaml"));
    if (config.open(QIODevice::ReadOnly)) {
        static const QRegularExpression key(QStringLiteral("^library:\\s*(.*?)\\s*(#.*)?$"));
        while (!config.atEnd()) {
            const QString line = QString::fromUtf8(config.readLine()).trimmed();
            const QRegularExpressionMatch m = key.match(line);
            if (m.hasMatch() && !m.captured(1).isEmpty()) {
                QString value = m.captured(1);
                if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') && value.back() == value.front())
                    value = value.mid(1, value.size() - 2);
                library = expandHome(value);
            }
        }
    }
    return QDir(folder).absoluteFilePath(library);
}

// A player's stored address: a file:// URL (percent-encoded) or a plain path.
std::optional<QString> localPath(const QString &stored)
{
    if (stored.startsWith(QLatin1String("file:"), Qt::CaseInsensitive)) {
        const QUrl url(stored);
        if (!url.isLocalFile())
            return std::nullopt;
        return QDir::cleanPath(url.toLocalFile());
    }
    if (stored.startsWith(u'/'))
        return QDir::cleanPath(stored);
    return std::nullopt;
}

// A fraction from 0 to 1 (Strawberry, Clementine, beets) on the 0-100 scale.
int fromFraction(double value)
{
    if (!std::isfinite(value) || value < 0)
        return -1;
    return int(std::lround(std::min(value, 1.0) * 100));
}

// ---- SQLite files, read-only

// Opened by a read-only URI: SQLite then never writes the database or its
// write-ahead log, and never checkpoints or deletes the log on closing. It
// still reads what the log holds, so a player that is running is seen as it
// is now. ("immutable=1" would skip the lock file but would also ignore the
// log, and so miss the player's latest changes; it is not used.)
class PlayerDatabase {
public:
    explicit PlayerDatabase(const QString &path)
        : path_(path)
    {
        const QFileInfo info(path);
        if (!info.exists())
            throw FileError(path, QStringLiteral("the file does not exist"));
        if (!info.isFile())
            throw FileError(path, QStringLiteral("not a regular file"));
        const QByteArray uri = "file:" + QUrl::toPercentEncoding(info.absoluteFilePath(), "/") + "?mode=ro";
        const int rc = sqlite3_open_v2(uri.constData(), &db_, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI | SQLITE_OPEN_NOMUTEX,
                                       nullptr);
        // SQLite hands out a connection even when opening fails, and no
        // destructor runs for an object whose constructor throws: a refused
        // file must close it here, or every refusal keeps a connection open.
        try {
            if (rc != SQLITE_OK)
                fail(rc);
            sqlite3_busy_timeout(db_, 5000);
            // Opening reads nothing; the first query finds out what the file is.
            query("SELECT count(*) FROM sqlite_master", [](sqlite3_stmt *) {});
        } catch (...) {
            sqlite3_close_v2(db_);
            throw;
        }
    }
    ~PlayerDatabase() { sqlite3_close_v2(db_); }
    PlayerDatabase(const PlayerDatabase &) = delete;
    PlayerDatabase &operator=(const PlayerDatabase &) = delete;

    template <typename Row>
    void query(const QByteArray &sql, Row &&row, std::optional<qint64> bound = std::nullopt)
    {
        sqlite3_stmt *raw = nullptr;
        int rc = sqlite3_prepare_v2(db_, sql.constData(), int(sql.size()), &raw, nullptr);
        // Finalized however the walk ends, also when a row throws.
        const std::unique_ptr<sqlite3_stmt, decltype(&sqlite3_finalize)> stmt(raw, &sqlite3_finalize);
        if (rc != SQLITE_OK)
            fail(rc);
        if (bound)
            sqlite3_bind_int64(stmt.get(), 1, *bound);
        while ((rc = sqlite3_step(stmt.get())) == SQLITE_ROW)
            row(stmt.get());
        if (rc != SQLITE_DONE)
            fail(rc);
    }

    QStringList columns(const char *table)
    {
        QStringList names;
        query(QByteArray("SELECT name FROM pragma_table_info('") + table + "')",
              [&](sqlite3_stmt *st) { names.append(text(st, 0)); });
        return names;
    }

    static QString text(sqlite3_stmt *st, int column)
    {
        return QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st, column)),
                                 sqlite3_column_bytes(st, column));
    }

    [[noreturn]] void fail(int rc) const
    {
        const QString detail = db_ ? QString::fromUtf8(sqlite3_errmsg(db_)) : QString::fromUtf8(sqlite3_errstr(rc));
        switch (rc & 0xff) {
        case SQLITE_NOTADB:
        case SQLITE_CORRUPT:
            throw FileError(path_, QStringLiteral("the database is damaged or not a database (%1)").arg(detail));
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
            throw FileError(path_, QStringLiteral("the player holds the database locked; try again (%1)").arg(detail));
        case SQLITE_CANTOPEN:
            throw FileError(path_, QStringLiteral("the database cannot be opened for reading (%1)").arg(detail));
        default:
            throw FileError(path_, detail);
        }
    }

    const QString &path() const { return path_; }

private:
    QString path_;
    sqlite3 *db_ = nullptr;
};

void requireColumns(PlayerDatabase &db, const char *table, const QStringList &wanted, const QString &what)
{
    const QStringList present = db.columns(table);
    for (const QString &column : wanted)
        if (!present.contains(column))
            throw FileError(db.path(), QStringLiteral("not a %1 database of a known layout (the table \"%2\" has no "
                                                      "column \"%3\")")
                                           .arg(what, QLatin1String(table), column));
}

int schemaVersion(PlayerDatabase &db, const QString &what)
{
    if (db.columns("schema_version").isEmpty())
        throw FileError(db.path(), QStringLiteral("not a %1 database (it has no schema version)").arg(what));
    int version = -1;
    db.query("SELECT version FROM schema_version", [&](sqlite3_stmt *st) { version = sqlite3_column_int(st, 0); });
    return version;
}

// Strawberry is a fork of Clementine; their databases differ in the names
// of a few columns.
PlayerLibrary readClementineFamily(Player player, const QString &path)
{
    const bool strawberry = player == Player::Strawberry;
    const QString what = playerName(player);
    PlayerDatabase db(path);
    const int version = schemaVersion(db, what);
    const int oldest = strawberry ? strawberryOldest : clementineOldest;
    const int newest = strawberry ? strawberryNewest : clementineNewest;
    if (version < oldest || version > newest)
        throw FileError(path, QStringLiteral("a %1 database of schema version %2, which this program does not know "
                                             "(it reads versions %3 to %4)")
                                  .arg(what)
                                  .arg(version)
                                  .arg(oldest)
                                  .arg(newest));
    const char *location = strawberry ? "url" : "filename";
    const char *songId = strawberry ? "collection_id" : "library_id";
    requireColumns(db, "songs", {location, "playcount", "skipcount", "rating"}, what);
    requireColumns(db, "playlists", {"name", "dynamic_playlist_type"}, what);
    requireColumns(db, "playlist_items", {"playlist", songId}, what);

    PlayerLibrary library;
    QHash<qint64, QString> pathsById;
    db.query(QByteArray("SELECT ROWID, ") + location + ", playcount, skipcount, rating FROM songs ORDER BY ROWID",
             [&](sqlite3_stmt *st) {
                 const std::optional<QString> file = localPath(PlayerDatabase::text(st, 1));
                 if (!file)
                     return; // a stream or a device's song
                 pathsById.insert(sqlite3_column_int64(st, 0), *file);
                 PlayerTrack track{*file, std::max(0, sqlite3_column_int(st, 2)), std::max(0, sqlite3_column_int(st, 3)),
                                   sqlite3_column_type(st, 4) == SQLITE_NULL ? -1
                                                                               : fromFraction(sqlite3_column_double(st, 4))};
                 library.tracks.append(track);
             });

    const QStringList playlistColumns = db.columns("playlists");
    const QStringList itemColumns = db.columns("playlist_items");
    // Items of files that were not in the collection carry their own address.
    QByteArray itemAddress = "NULL";
    for (const char *column : {"url", "filename"})
        if (itemColumns.contains(QLatin1String(column)))
            itemAddress = QByteArray("COALESCE(NULLIF(") + column + ", ''), " + itemAddress + ")";
    const QByteArray order = playlistColumns.contains(QLatin1String("ui_order")) ? "ui_order, ROWID" : "ROWID";
    struct Row {
        qint64 id;
        QString name;
        bool dynamic;
    };
    QList<Row> rows;
    db.query("SELECT ROWID, name, COALESCE(dynamic_playlist_type, 0) FROM playlists ORDER BY " + order,
             [&](sqlite3_stmt *st) {
                 rows.append({sqlite3_column_int64(st, 0), PlayerDatabase::text(st, 1), sqlite3_column_int(st, 2) != 0});
             });
    for (const Row &row : rows) {
        if (row.dynamic) {
            library.skipped.append({row.name, QStringLiteral("a dynamic (smart) playlist; its rules are %1's own").arg(what)});
            continue;
        }
        PlayerPlaylist playlist{row.name, {}};
        db.query(QByteArray("SELECT ") + songId + ", " + itemAddress +
                     " FROM playlist_items WHERE playlist = ?1 ORDER BY ROWID",
                 [&](sqlite3_stmt *st) {
                     const qint64 id = sqlite3_column_int64(st, 0);
                     if (sqlite3_column_type(st, 0) != SQLITE_NULL && pathsById.contains(id)) {
                         playlist.paths.append(pathsById.value(id));
                     } else if (const std::optional<QString> file = localPath(PlayerDatabase::text(st, 1))) {
                         playlist.paths.append(*file);
                     }
                 },
                 row.id);
        library.playlists.append(playlist);
    }
    return library;
}

PlayerLibrary readBeets(const QString &path)
{
    PlayerDatabase db(path);
    requireColumns(db, "items", {"id", "path"}, QStringLiteral("beets"));
    PlayerLibrary library;
    QHash<qint64, qsizetype> rowOf;
    db.query("SELECT id, path FROM items ORDER BY id", [&](sqlite3_stmt *st) {
        // beets keeps paths as the file system's bytes.
        const QByteArray bytes(static_cast<const char *>(sqlite3_column_blob(st, 1)), sqlite3_column_bytes(st, 1));
        if (bytes.isEmpty())
            return;
        rowOf.insert(sqlite3_column_int64(st, 0), library.tracks.size());
        library.tracks.append({QDir::cleanPath(QFile::decodeName(bytes))});
    });
    // Counts and ratings are flexible attributes, set by its plugins
    // (mpdstats keeps all three, lastimport the play count).
    if (!db.columns("item_attributes").isEmpty()) {
        requireColumns(db, "item_attributes", {"entity_id", "key", "value"}, QStringLiteral("beets"));
        db.query("SELECT entity_id, key, value FROM item_attributes "
                 "WHERE key IN ('play_count', 'skip_count', 'rating')",
                 [&](sqlite3_stmt *st) {
                     const auto row = rowOf.constFind(sqlite3_column_int64(st, 0));
                     if (row == rowOf.cend())
                         return;
                     PlayerTrack &track = library.tracks[*row];
                     const QString key = PlayerDatabase::text(st, 1);
                     const QString value = PlayerDatabase::text(st, 2);
                     bool ok = false;
                     const double number = value.toDouble(&ok);
                     if (!ok)
                         return;
                     if (key == QLatin1String("rating"))
                         track.rating = fromFraction(number);
                     else if (number >= 0)
                         (key == QLatin1String("play_count") ? track.playCount : track.skipCount) = int(number);
                 });
    }
    return library;
}

// ---- Rhythmbox's XML files

[[noreturn]] void damaged(const QString &path, const QXmlStreamReader &xml)
{
    throw FileError(path, QStringLiteral("the file is damaged (%1, line %2)").arg(xml.errorString()).arg(xml.lineNumber()));
}

QByteArray readXmlFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw FileError(path, QFileInfo::exists(path) ? QStringLiteral("the file cannot be read (%1)").arg(file.errorString())
                                                      : QStringLiteral("the file does not exist"));
    return file.readAll();
}

void readRhythmdb(const QString &path, PlayerLibrary &library)
{
    const QByteArray bytes = readXmlFile(path);
    QXmlStreamReader xml(bytes);
    if (!xml.readNextStartElement())
        damaged(path, xml);
    if (xml.name() != QLatin1String("rhythmdb"))
        throw FileError(path, QStringLiteral("not a Rhythmbox library (the document is a <%1>)").arg(xml.name()));
    const QString version = xml.attributes().value(QLatin1String("version")).toString();
    static const QRegularExpression known(QStringLiteral("^(1\\.[0-9]|2\\.0)$"));
    if (!known.match(version).hasMatch())
        throw FileError(path, QStringLiteral("a Rhythmbox library of version \"%1\", which this program does not know "
                                             "(it reads 1.0 to 2.0)")
                                  .arg(version));
    while (xml.readNextStartElement()) {
        if (xml.name() != QLatin1String("entry") || xml.attributes().value(QLatin1String("type")) != QLatin1String("song")) {
            xml.skipCurrentElement();
            continue;
        }
        PlayerTrack track;
        QString location;
        while (xml.readNextStartElement()) {
            const QString name = xml.name().toString();
            const QString value = xml.readElementText();
            if (name == QLatin1String("location"))
                location = value;
            else if (name == QLatin1String("play-count"))
                track.playCount = value.toInt();
            else if (name == QLatin1String("rating"))
                // Stars from 0 to 5.
                track.rating = int(std::lround(std::clamp(value.toDouble(), 0.0, 5.0) * 20));
        }
        if (const std::optional<QString> file = localPath(location)) {
            track.path = *file;
            library.tracks.append(track);
        }
    }
    if (xml.hasError())
        damaged(path, xml);
}

void readRhythmboxPlaylists(const QString &path, PlayerLibrary &library)
{
    if (!QFileInfo::exists(path))
        return; // no playlists made yet
    const QByteArray bytes = readXmlFile(path);
    QXmlStreamReader xml(bytes);
    if (!xml.readNextStartElement())
        damaged(path, xml);
    if (xml.name() != QLatin1String("rhythmdb-playlists"))
        throw FileError(path, QStringLiteral("not a Rhythmbox playlist file (the document is a <%1>)").arg(xml.name()));
    while (xml.readNextStartElement()) {
        if (xml.name() != QLatin1String("playlist")) {
            xml.skipCurrentElement();
            continue;
        }
        const QString name = xml.attributes().value(QLatin1String("name")).toString();
        const QString type = xml.attributes().value(QLatin1String("type")).toString();
        if (type != QLatin1String("static")) {
            library.skipped.append({name.isEmpty() ? QStringLiteral("(the play queue)") : name,
                                    type == QLatin1String("automatic")
                                        ? QStringLiteral("an automatic playlist; its rules are Rhythmbox's own")
                                        : QStringLiteral("a playlist of the kind \"%1\", not a static one").arg(type)});
            xml.skipCurrentElement();
            continue;
        }
        PlayerPlaylist playlist{name, {}};
        while (xml.readNextStartElement()) {
            if (xml.name() == QLatin1String("location")) {
                if (const std::optional<QString> file = localPath(xml.readElementText()))
                    playlist.paths.append(*file);
            } else {
                xml.skipCurrentElement();
            }
        }
        library.playlists.append(playlist);
    }
    if (xml.hasError())
        damaged(path, xml);
}

PlayerLibrary readRhythmbox(const QString &path)
{
    const QFileInfo info(path);
    const QString folder = info.isDir() ? info.absoluteFilePath() : info.absolutePath();
    const QString database = info.isDir() ? folder + QLatin1String("/rhythmdb.xml") : info.absoluteFilePath();
    PlayerLibrary library;
    readRhythmdb(database, library);
    readRhythmboxPlaylists(folder + QLatin1String("/playlists.xml"), library);
    return library;
}

} // namespace

QStringList playerNames()
{
    return {QStringLiteral("rhythmbox"), QStringLiteral("strawberry"), QStringLiteral("clementine"),
            QStringLiteral("beets")};
}

std::optional<Player> playerNamed(const QString &name)
{
    const qsizetype index = playerNames().indexOf(name.toLower());
    if (index < 0)
        return std::nullopt;
    return Player(index);
}

QString playerName(Player player)
{
    static const char *const names[] = {"Rhythmbox", "Strawberry", "Clementine", "beets"};
    return QLatin1String(names[int(player)]);
}

QString defaultPath(Player player)
{
    switch (player) {
    case Player::Rhythmbox:
        return dataHome() + QLatin1String("/rhythmbox");
    case Player::Strawberry:
        return dataHome() + QLatin1String("/strawberry/strawberry/strawberry.db");
    case Player::Clementine:
        return QDir::homePath() + QLatin1String("/.config/Clementine/clementine.db");
    case Player::Beets:
        return beetsLibraryPath();
    }
    return {};
}

PlayerLibrary read(Player player, const QString &path)
{
    const QString source = path.isEmpty() ? defaultPath(player) : path;
    switch (player) {
    case Player::Rhythmbox:
        return readRhythmbox(source);
    case Player::Strawberry:
    case Player::Clementine:
        return readClementineFamily(player, source);
    case Player::Beets:
        return readBeets(source);
    }
    return {};
}

Summary importPlayer(MusicLibrary &library, Player player, const QString &path,
                     const std::function<void(int done, int total)> &progress)
{
    Summary summary;
    summary.source = path.isEmpty() ? defaultPath(player) : path;
    const PlayerLibrary source = read(player, summary.source);
    summary.tracks = int(source.tracks.size());

    // Every file the player names, its tracks first and then those only its
    // playlists name, each once.
    QStringList paths;
    QSet<QString> seen;
    // Counts are looked up when a file has been read rather than held as
    // values for every track, which for a large library would cost far more memory.
    QHash<QString, const PlayerTrack *> byPath;
    const auto take = [&](const QString &file) {
        if (seen.contains(file))
            return false;
        seen.insert(file);
        if (!QFileInfo(file).isFile()) {
            summary.failures.append({file, QStringLiteral("the file does not exist")});
            return false;
        }
        paths.append(file);
        return true;
    };
    for (const PlayerTrack &track : source.tracks)
        if (take(track.path))
            byPath.insert(track.path, &track);
    const auto extra = [&byPath](ImportedFile &file) {
        const PlayerTrack *track = byPath.value(file.location);
        if (!track)
            return;
        if (track->playCount >= 0)
            file.values.insert(QStringLiteral("playedCount"), track->playCount);
        if (track->skipCount >= 0)
            file.values.insert(QStringLiteral("skippedCount"), track->skipCount);
        if (track->rating >= 0)
            file.values.insert(QStringLiteral("rating"), track->rating);
    };
    for (const PlayerPlaylist &playlist : source.playlists)
        for (const QString &file : playlist.paths)
            take(file);

    const libraryimport::Summary imported = libraryimport::importPaths(library, paths, extra, progress);
    summary.added = imported.added;
    summary.updated = imported.updated;
    summary.failures += imported.failures;

    summary.playlistsSkipped = source.skipped;
    for (const PlayerPlaylist &playlist : source.playlists) {
        QList<qint64> order;
        for (const QString &file : playlist.paths)
            if (imported.ids.contains(file))
                order.append(imported.ids.value(file));
        if (const std::optional<Playlist> existing = library.playlistNamed(playlist.name)) {
            QList<qint64> present;
            if (!existing->smart)
                for (const TrackRef &ref : library.tracksOf(existing->id))
                    present.append(ref.trackId);
            if (!existing->smart && present == order)
                summary.playlistsUnchanged.append(playlist.name);
            else
                summary.playlistsSkipped.append(
                    {playlist.name, QStringLiteral("the library has a playlist of that name with other tracks")});
            continue;
        }
        MusicLibrary::Batch batch(library, QStringLiteral("make the playlist %1").arg(playlist.name));
        library.addTracksToPlaylist(library.createPlaylist(playlist.name), order, false);
        batch.commit();
        summary.playlistsAdded.append(playlist.name);
    }
    return summary;
}

} // namespace playerimport
