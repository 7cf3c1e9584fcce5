// SPDX-License-Identifier: GPL-3.0-or-later
#include "playerimport.h"

#include "playlistfiles.h"
#include "support/namedexception.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <QSettings>
#include <QStandardPaths>
#include <QUrl>
#include <QXmlStreamReader>
#include <algorithm>
#include <cmath>
#include <memory>
#include <optional>
#include <sqlite3.h>
#include <yaml.h>

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

// ---- beets' configuration

// A YAML document as Qt values: mappings as QVariantMap, sequences as
// QVariantList, scalars as QString. Throws FileError when it is no YAML.
QVariant yamlValue(yaml_document_t &document, yaml_node_t *node, int depth = 0)
{
    if (!node || depth > 64)
        return {};
    switch (node->type) {
    case YAML_SCALAR_NODE:
        return QString::fromUtf8(reinterpret_cast<const char *>(node->data.scalar.value), qsizetype(node->data.scalar.length));
    case YAML_SEQUENCE_NODE: {
        QVariantList list;
        for (yaml_node_item_t *item = node->data.sequence.items.start; item < node->data.sequence.items.top; ++item)
            list.append(yamlValue(document, yaml_document_get_node(&document, *item), depth + 1));
        return list;
    }
    case YAML_MAPPING_NODE: {
        QVariantMap map;
        for (yaml_node_pair_t *pair = node->data.mapping.pairs.start; pair < node->data.mapping.pairs.top; ++pair)
            map.insert(yamlValue(document, yaml_document_get_node(&document, pair->key), depth + 1).toString(),
                       yamlValue(document, yaml_document_get_node(&document, pair->value), depth + 1));
        return map;
    }
    default:
        return {};
    }
}

QVariantMap readYaml(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw FileError(path, QStringLiteral("the file cannot be read (%1)").arg(file.errorString()));
    const QByteArray bytes = file.readAll();
    yaml_parser_t parser;
    yaml_document_t document;
    yaml_parser_initialize(&parser);
    yaml_parser_set_input_string(&parser, reinterpret_cast<const unsigned char *>(bytes.constData()), size_t(bytes.size()));
    const bool loaded = yaml_parser_load(&parser, &document) != 0;
    const QString problem = loaded ? QString() : QString::fromUtf8(parser.problem ? parser.problem : "unknown error");
    const qsizetype line = qsizetype(parser.problem_mark.line) + 1;
    yaml_parser_delete(&parser);
    if (!loaded)
        throw FileError(path, QStringLiteral("not a YAML file beets can read (%1, line %2)").arg(problem).arg(line));
    const QVariant root = yamlValue(document, yaml_document_get_root_node(&document));
    yaml_document_delete(&document);
    return root.toMap();
}

// What import-player needs of beets' configuration. Paths are absolute.
struct BeetsConfig {
    QString library;     // the database
    QString directory;   // the music folder, which paths in playlists may be relative to
    QString playlistDir; // the playlist plugin's folder; empty when not set
    QString relativeTo;  // what its playlists' paths are relative to: a folder, or empty for each playlist's own
    QStringList smartPlaylists; // the smartplaylist plugin's file names (beets templates allowed)
};

// beets reads a relative path of its configuration from the configuration's folder.
QString configPath(const QString &folder, const QVariant &value, const QString &fallback)
{
    const QString text = value.toString().trimmed();
    return QDir::cleanPath(QDir(folder).absoluteFilePath(expandHome(text.isEmpty() ? fallback : text)));
}

BeetsConfig beetsConfig(const QString &configFile)
{
    const QString folder = QFileInfo(configFile).absolutePath();
    const QVariantMap config = QFileInfo::exists(configFile) ? readYaml(configFile) : QVariantMap();
    BeetsConfig beets;
    beets.library = configPath(folder, config.value(QStringLiteral("library")), QStringLiteral("library.db"));
    beets.directory = configPath(folder, config.value(QStringLiteral("directory")), QStringLiteral("~/Music"));
    const QVariantMap playlist = config.value(QStringLiteral("playlist")).toMap();
    if (!playlist.value(QStringLiteral("playlist_dir")).toString().trimmed().isEmpty()) {
        beets.playlistDir = configPath(folder, playlist.value(QStringLiteral("playlist_dir")), {});
        // The plugin's default: paths relative to the music folder.
        const QString relative = playlist.value(QStringLiteral("relative_to")).toString().trimmed();
        if (relative.isEmpty() || relative == QLatin1String("library"))
            beets.relativeTo = beets.directory;
        else if (relative != QLatin1String("playlist"))
            beets.relativeTo = configPath(folder, relative, {});
    }
    for (const QVariant &smart : config.value(QStringLiteral("smartplaylist")).toMap().value(QStringLiteral("playlists")).toList()) {
        const QString name = smart.toMap().value(QStringLiteral("name")).toString().trimmed();
        if (!name.isEmpty())
            beets.smartPlaylists.append(name);
    }
    return beets;
}

QString beetsConfigFolder()
{
    const QString beetsDir = qEnvironmentVariable("BEETSDIR");
    return beetsDir.isEmpty() ? configHome() + QLatin1String("/beets") : expandHome(beetsDir);
}

// beets reads its library's path from the top-level "library:" key of its
// configuration.
QString beetsLibraryPath()
{
    try {
        return beetsConfig(beetsConfigFolder() + QLatin1String("/config.yaml")).library;
    } catch (const FileError &) {
        // Reading it then says what is wrong with the configuration.
        return QDir(beetsConfigFolder()).absoluteFilePath(QStringLiteral("library.db"));
    }
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

// The smart playlists Strawberry and Clementine keep in their settings
// file, not in the database: their names, in the settings' order.
QStringList settingsSmartPlaylists(const QString &settingsFile)
{
    QStringList names;
    if (!QFileInfo(settingsFile).isFile())
        return names;
    // Only read: settings are written back only when a value was set.
    QSettings settings(settingsFile, QSettings::IniFormat);
    // Clementine and older Strawberry spell the group one way, Strawberry now the other.
    for (const char *group : {"SerialisedSmartPlaylists", "SerializedSmartPlaylists"}) {
        settings.beginGroup(QLatin1String(group));
        for (const QString &array : settings.childGroups()) {
            const int count = settings.beginReadArray(array);
            for (int i = 0; i < count; ++i) {
                settings.setArrayIndex(i);
                const QString name = settings.value(QStringLiteral("name")).toString();
                if (!name.isEmpty())
                    names.append(name);
            }
            settings.endArray();
        }
        settings.endGroup();
    }
    return names;
}

// The settings file that belongs to the database at path: one beside it, or
// the player's own when the database is the player's own.
QString settingsFileFor(Player player, const QString &path)
{
    const bool strawberry = player == Player::Strawberry;
    const QString name = strawberry ? QStringLiteral("strawberry.conf") : QStringLiteral("Clementine.conf");
    const QString beside = QFileInfo(path).absolutePath() + u'/' + name;
    if (QFileInfo(beside).isFile())
        return beside;
    if (QFileInfo(path).absoluteFilePath() != QFileInfo(defaultPath(player)).absoluteFilePath())
        return {};
    return strawberry ? configHome() + QLatin1String("/strawberry/strawberry.conf")
                      : QDir::homePath() + QLatin1String("/.config/Clementine/Clementine.conf");
}

// Strawberry is a fork of Clementine; their databases differ in the names
// of a few columns, which also tell one's file from the other's.
void checkIsClementineFamily(PlayerDatabase &db, Player player)
{
    const bool strawberry = player == Player::Strawberry;
    const QStringList songs = db.columns("songs");
    const bool looksStrawberry = songs.contains(QLatin1String("url")) && !songs.contains(QLatin1String("filename"));
    const bool looksClementine = songs.contains(QLatin1String("filename")) && !songs.contains(QLatin1String("url"));
    if ((strawberry && looksClementine) || (!strawberry && looksStrawberry)) {
        const Player other = strawberry ? Player::Clementine : Player::Strawberry;
        throw FileError(db.path(), QStringLiteral("this looks like a %1 database, not a %2 one; import it with "
                                                  "\"import-player %3\"")
                                       .arg(playerName(other), playerName(player), playerNames().at(int(other))));
    }
}

PlayerLibrary readClementineFamily(Player player, const QString &path)
{
    const bool strawberry = player == Player::Strawberry;
    const QString what = playerName(player);
    PlayerDatabase db(path);
    checkIsClementineFamily(db, player);
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
        PlayerPlaylist playlist{row.name, {}, {}};
        db.query(QByteArray("SELECT ") + songId + ", " + itemAddress +
                     " FROM playlist_items WHERE playlist = ?1 ORDER BY ROWID",
                 [&](sqlite3_stmt *st) {
                     const qint64 id = sqlite3_column_int64(st, 0);
                     const QString address = PlayerDatabase::text(st, 1);
                     if (sqlite3_column_type(st, 0) != SQLITE_NULL && pathsById.contains(id))
                         playlist.paths.append(pathsById.value(id));
                     else if (const std::optional<QString> file = localPath(address))
                         playlist.paths.append(*file);
                     else
                         playlist.leftOut.append({address, QStringLiteral("not a file of this computer")});
                 },
                 row.id);
        // Both players make an empty "Playlist 1" at their first start and keep it.
        if (row.name == QLatin1String("Playlist 1") && playlist.paths.isEmpty() && playlist.leftOut.isEmpty()) {
            library.skipped.append({row.name, QStringLiteral("%1's first, empty playlist").arg(what)});
            continue;
        }
        library.playlists.append(playlist);
    }
    const QString settings = settingsFileFor(player, path);
    for (const QString &smart : settingsSmartPlaylists(settings))
        library.skipped.append(
            {smart, QStringLiteral("a smart playlist of %1's settings (%2); its search is %1's own").arg(what, settings)});
    return library;
}

// The playlist plugin's .m3u files, their paths read as the plugin reads
// them; the smartplaylist plugin's files (made from beets queries, perhaps in
// the same folder) are named as skipped.
void readBeetsPlaylists(const BeetsConfig &config, PlayerLibrary &library)
{
    QList<QRegularExpression> smartNames;
    for (const QString &name : config.smartPlaylists) {
        // A name may be a beets template ("ReleasedIn$year.m3u"): each field stands for any text.
        QString pattern = QRegularExpression::escape(name);
        static const QRegularExpression field(QStringLiteral(R"re(\\\$(\\\{[^}]*\\\}|[A-Za-z_][A-Za-z0-9_]*))re"));
        pattern.replace(field, QStringLiteral(".*"));
        smartNames.append(QRegularExpression(QRegularExpression::anchoredPattern(pattern)));
        library.skipped.append({QFileInfo(name).completeBaseName(),
                                QStringLiteral("a playlist of beets' smartplaylist plugin; its query is beets' own")});
    }
    if (config.playlistDir.isEmpty())
        return;
    const QDir folder(config.playlistDir);
    if (!folder.exists()) {
        // The tracks still come; what is missing is said where the playlists would be named.
        library.skipped.append({QStringLiteral("(beets' playlists)"),
                                QStringLiteral("the playlist plugin's playlist_dir %1 does not exist").arg(config.playlistDir)});
        return;
    }
    const QStringList files =
        folder.entryList({QStringLiteral("*.m3u"), QStringLiteral("*.m3u8")}, QDir::Files | QDir::Readable, QDir::Name);
    for (const QString &file : files) {
        if (std::any_of(smartNames.cbegin(), smartNames.cend(),
                        [&](const QRegularExpression &smart) { return smart.match(file).hasMatch(); }))
            continue;
        const QString name = QFileInfo(file).completeBaseName();
        try {
            const playlistfiles::ParsedPlaylist parsed = playlistfiles::read(folder.filePath(file), config.relativeTo);
            PlayerPlaylist playlist{name, parsed.paths, {}};
            for (const playlistfiles::Notice &notice : parsed.notices)
                if (notice.skipped)
                    playlist.leftOut.append({notice.entry, notice.reason});
            library.playlists.append(playlist);
        } catch (const FileError &e) {
            library.skipped.append({name, e.reason()});
        }
    }
}

PlayerLibrary readBeets(const QString &path)
{
    PlayerDatabase db(path);
    requireColumns(db, "items", {"id", "path"}, QStringLiteral("beets"));
    PlayerLibrary library;
    // Its plugins set a play count at the first play.
    library.unplayedHasNoCount = true;
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

// What path names for beets: nothing (its own configuration), its
// configuration file or folder, or a database. A database is read with the
// playlists of beets' own configuration only when that names it.
BeetsConfig beetsSource(const QString &path)
{
    if (path.isEmpty())
        return beetsConfig(beetsConfigFolder() + QLatin1String("/config.yaml"));
    const QFileInfo info(path);
    if (info.isDir())
        return beetsConfig(info.absoluteFilePath() + QLatin1String("/config.yaml"));
    const QString suffix = info.suffix().toLower();
    if (suffix == QLatin1String("yaml") || suffix == QLatin1String("yml")) {
        if (!info.isFile())
            throw FileError(path, QStringLiteral("the file does not exist"));
        return beetsConfig(info.absoluteFilePath());
    }
    BeetsConfig own;
    try {
        own = beetsConfig(beetsConfigFolder() + QLatin1String("/config.yaml"));
    } catch (const FileError &) {
        // A broken configuration of its own does not keep a given database from being read.
    }
    if (own.library == info.absoluteFilePath())
        return own;
    BeetsConfig given;
    given.library = info.absoluteFilePath();
    return given;
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
        PlayerPlaylist playlist{name, {}, {}};
        while (xml.readNextStartElement()) {
            if (xml.name() == QLatin1String("location")) {
                const QString location = xml.readElementText();
                if (const std::optional<QString> file = localPath(location))
                    playlist.paths.append(*file);
                else
                    playlist.leftOut.append({location, QStringLiteral("not a file of this computer")});
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
    // Rhythmbox leaves a count of 0 out of its file.
    library.unplayedHasNoCount = true;
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
    PlayerLibrary library;
    const QString source = path.isEmpty() ? defaultPath(player) : path;
    switch (player) {
    case Player::Rhythmbox:
        library = readRhythmbox(source);
        break;
    case Player::Strawberry:
    case Player::Clementine:
        library = readClementineFamily(player, source);
        break;
    case Player::Beets: {
        const BeetsConfig config = beetsSource(path);
        library = readBeets(config.library);
        readBeetsPlaylists(config, library);
        library.source = config.library;
        break;
    }
    }
    library.player = player;
    if (library.source.isEmpty())
        library.source = source;
    return library;
}

int Summary::playlistsWith(ImportedPlaylist::Outcome outcome) const
{
    return int(std::count_if(playlists.cbegin(), playlists.cend(),
                             [outcome](const ImportedPlaylist &playlist) { return playlist.outcome == outcome; }));
}

Summary importPlayer(MusicLibrary &library, Player player, const QString &path,
                     const std::function<void(int done, int total)> &progress)
{
    return importPlayer(library, read(player, path), progress);
}

Summary importPlayer(MusicLibrary &library, const PlayerLibrary &source,
                     const std::function<void(int done, int total)> &progress)
{
    Summary summary;
    summary.source = source.source;
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
    const auto extra = [&byPath, &source](ImportedFile &file) {
        const PlayerTrack *track = byPath.value(file.location);
        if (!track)
            return;
        const QString played = QStringLiteral("playedCount");
        if (track->playCount >= 0)
            file.values.insert(played, track->playCount);
        else if (source.unplayedHasNoCount && !file.onAdd.contains(played))
            // Never played in the player: a new track starts at 0, unless its
            // file counts plays; a track the library has keeps its own count.
            file.onAdd.insert(played, 0);
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
    summary.changed = imported.changed;
    summary.failures += imported.failures;
    QHash<QString, QString> whyLeftOut;
    for (const libraryimport::Failure &failure : summary.failures)
        whyLeftOut.insert(failure.path, failure.reason);

    summary.playlistsSkipped = source.skipped;
    const QString player = playerNames().at(int(source.player));
    for (const PlayerPlaylist &playlist : source.playlists) {
        ImportedPlaylist result{playlist.name, ImportedPlaylist::Outcome::Added, 0, playlist.leftOut};
        QList<qint64> order;
        for (const QString &file : playlist.paths) {
            if (imported.ids.contains(file))
                order.append(imported.ids.value(file));
            else
                result.leftOut.append({file, whyLeftOut.value(file, QStringLiteral("the file cannot be read"))});
        }
        result.tracks = int(order.size());
        const QString origin = player + u':' + playlist.name;
        const auto tracksOf = [&library](qint64 id) {
            QList<qint64> ids;
            for (const TrackRef &ref : library.tracksOf(id))
                ids.append(ref.trackId);
            return ids;
        };
        MusicLibrary::Batch batch(library, QStringLiteral("bring over the playlist %1").arg(playlist.name));
        if (const std::optional<Playlist> earlier = library.playlistFrom(origin)) {
            result.name = earlier->name;
            if (tracksOf(earlier->id) == order) {
                result.outcome = ImportedPlaylist::Outcome::Unchanged;
            } else {
                library.replacePlaylistTracks(earlier->id, order);
                result.outcome = ImportedPlaylist::Outcome::Updated;
            }
        } else if (const std::optional<Playlist> namesake = library.playlistNamed(playlist.name)) {
            if (namesake->smart || tracksOf(namesake->id) != order) {
                summary.playlistsSkipped.append(
                    {playlist.name, QStringLiteral("the library has a playlist of that name with other tracks, "
                                                   "not one brought over from %1")
                                        .arg(playerName(source.player))});
                continue;
            }
            // The same tracks under the same name: this player's playlist,
            // brought over before playlists remembered where they came from.
            library.setPlaylistOrigin(namesake->id, origin);
            result.outcome = ImportedPlaylist::Outcome::Unchanged;
        } else {
            const qint64 id = library.createPlaylist(playlist.name);
            library.addTracksToPlaylist(id, order, false);
            library.setPlaylistOrigin(id, origin);
        }
        batch.commit();
        summary.playlists.append(result);
    }
    return summary;
}

} // namespace playerimport
