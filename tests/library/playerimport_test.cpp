// SPDX-License-Identifier: GPL-3.0-or-later
#include "library/playerimport.h"
#include "librarybuilder.h"
#include "support/namedexception.h"
#include "userlocations.h"

#include <QCryptographicHash>
#include <QUrl>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>

namespace {

using playerimport::Player;

// A player's music: files with a space and non-ASCII letters in their paths,
// and one the player still lists although it is gone.
struct PlayerMusic {
    TestFolder &folder;
    QString first, second, third, gone;
    explicit PlayerMusic(TestFolder &f)
        : folder(f),
          first(f.addSeed("seed.mp3", "My Music/Björk Ünïcode/01 Jóga.mp3")),
          second(f.addSeed("seed.flac", "My Music/second track.flac")),
          third(f.addSeed("seed.ogg", "My Music/third.ogg")),
          gone(f.filePath("My Music/gone away.mp3"))
    {
    }
};

QString uri(const QString &path)
{
    return QString::fromLatin1(QUrl::fromLocalFile(path).toEncoded());
}

QByteArray fingerprint(const QString &path)
{
    return QCryptographicHash::hash(TestFolder::readAll(path), QCryptographicHash::Sha256);
}

// For a file this process has an SQLite connection to, which must not be
// opened and closed behind the connection's back (that drops its locks):
// any write changes the modification time. (Not the change time: SQLite
// running as root gives the log its database's owner on every open.)
QByteArray statePrint(const QString &path)
{
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return {};
    return QByteArray::number(qint64(st.st_size)) + ' ' + QByteArray::number(qint64(st.st_mtim.tv_sec)) + '.' +
           QByteArray::number(qint64(st.st_mtim.tv_nsec));
}

qint64 trackAt(MusicLibrary &library, const QString &path)
{
    return library.fileTracksAt({path}).value(path);
}

QVariant value(MusicLibrary &library, const QString &path, const char *key)
{
    return library.property(LibraryBuilder::throughLibrary(trackAt(library, path)), key);
}

QList<qint64> playlistTracks(MusicLibrary &library, const QString &name)
{
    QList<qint64> ids;
    const std::optional<Playlist> playlist = library.playlistNamed(name);
    if (playlist)
        for (const TrackRef &ref : library.tracksOf(playlist->id))
            ids.append(ref.trackId);
    return ids;
}

void exec(sqlite3 *db, const QString &sql)
{
    char *error = nullptr;
    ASSERT_EQ(sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, &error), SQLITE_OK) << error;
}

// A Strawberry or Clementine database with the players' own column names
// (only those read here, plus a few others a real file has), in WAL mode.
// The returned connection stays open, as the running player's would: the
// newest rows are still in the -wal file beside the database.
sqlite3 *clementineFamilyDatabase(const QString &path, Player player, const PlayerMusic &music, int version)
{
    const bool strawberry = player == Player::Strawberry;
    const QString location = strawberry ? "url" : "filename";
    const QString songId = strawberry ? "collection_id" : "library_id";
    sqlite3 *db = nullptr;
    EXPECT_EQ(sqlite3_open(path.toUtf8().constData(), &db), SQLITE_OK);
    exec(db, "PRAGMA journal_mode=WAL; PRAGMA wal_autocheckpoint=0;");
    exec(db, QStringLiteral("CREATE TABLE schema_version (version INTEGER NOT NULL);"
                            "INSERT INTO schema_version (version) VALUES (%1);"
                            "CREATE TABLE songs (title TEXT, artist TEXT, album TEXT, length INTEGER, %2 TEXT NOT NULL, "
                            "  playcount INTEGER NOT NULL DEFAULT 0, skipcount INTEGER NOT NULL DEFAULT 0, "
                            "  lastplayed INTEGER, rating INTEGER DEFAULT -1, unavailable INTEGER DEFAULT 0);"
                            "CREATE TABLE playlists (name TEXT NOT NULL, last_played INTEGER, ui_order INTEGER NOT NULL "
                            "  DEFAULT 0, special_type TEXT, dynamic_playlist_type INTEGER, dynamic_playlist_data BLOB);"
                            "CREATE TABLE playlist_items (playlist INTEGER NOT NULL, type INTEGER NOT NULL DEFAULT 0, "
                            "  %3 INTEGER, url TEXT, title TEXT, artist TEXT);")
                 .arg(version)
                 .arg(location, songId));
    const auto song = [&](const QString &path, int plays, int skips, const QString &rating) {
        exec(db, QStringLiteral("INSERT INTO songs (title, %1, playcount, skipcount, rating) VALUES ('t', '%2', %3, %4, %5)")
                     .arg(location, QString(uri(path)).replace("'", "''"))
                     .arg(plays)
                     .arg(skips)
                     .arg(rating));
    };
    song(music.first, 12, 3, "0.8");
    song(music.second, 0, 0, "-1");
    song(music.gone, 4, 1, "0.4");
    exec(db, "INSERT INTO songs (title, " + location + ") VALUES ('radio', 'http://radio.example/stream')");
    exec(db, "INSERT INTO playlists (ROWID, name, ui_order) VALUES (1, 'Road Trip', 1), (2, 'Évening', 0);"
             "INSERT INTO playlists (ROWID, name, ui_order, dynamic_playlist_type) VALUES (3, 'Most played', 2, 1);");
    // Road Trip: the second song, a file outside the collection, the first song, the gone one.
    exec(db, QStringLiteral("INSERT INTO playlist_items (playlist, %1, url) VALUES (1, 2, ''), (1, NULL, '%2'), "
                            "(1, 1, ''), (1, 3, ''); INSERT INTO playlist_items (playlist, %1, url) VALUES (2, 1, '');")
                 .arg(songId, uri(music.third)));
    return db;
}

} // namespace

TEST(PlayerImport, RhythmboxLibraryComesOverWithCountsRatingsAndStaticPlaylistsInOrder)
{
    LibraryBuilder builder;
    MusicLibrary &library = builder.library();
    PlayerMusic music(builder.folder());
    const QString db = builder.folder().addFile(
        "rhythmbox/rhythmdb.xml",
        QStringLiteral("<?xml version=\"1.0\" standalone=\"yes\"?>\n<rhythmdb version=\"2.0\">\n"
                       "<entry type=\"song\"><title>Jóga</title><location>%1</location><play-count>7</play-count>"
                       "<rating>3</rating></entry>\n"
                       "<entry type=\"song\"><title>second</title><location>%2</location></entry>\n"
                       "<entry type=\"iradio\"><title>radio</title><location>http://radio.example/</location></entry>\n"
                       "<entry type=\"song\"><title>gone</title><location>%3</location><play-count>2</play-count>"
                       "</entry>\n<entry type=\"ignore\"><location>%4</location></entry>\n</rhythmdb>\n")
            .arg(uri(music.first), uri(music.second), uri(music.gone), uri(music.third))
            .toUtf8());
    const QString playlists = builder.folder().addFile(
        "rhythmbox/playlists.xml",
        QStringLiteral("<?xml version=\"1.0\"?>\n<rhythmdb-playlists>\n"
                       "<playlist name=\"Party &amp; Co\" show-browser=\"true\" browser-position=\"180\" "
                       "search-type=\"search-match\" type=\"static\"><location>%2</location><location>%1</location>"
                       "<location>%3</location><location>%2</location></playlist>\n"
                       "<playlist name=\"Top rated\" type=\"automatic\" limit-count=\"0\"><conjunction><equals "
                       "prop=\"rating\">5</equals></conjunction></playlist>\n"
                       "<playlist name=\"Calm\" type=\"static\"><location>%4</location></playlist>\n"
                       "<playlist name=\"\" type=\"queue\"><location>%1</location></playlist>\n</rhythmdb-playlists>\n")
            .arg(uri(music.first), uri(music.second), uri(music.gone), uri(music.third))
            .toUtf8());
    const QByteArray dbBefore = fingerprint(db), playlistsBefore = fingerprint(playlists);

    const playerimport::Summary summary =
        playerimport::importPlayer(library, Player::Rhythmbox, builder.folder().filePath("rhythmbox"));
    EXPECT_EQ(summary.tracks, 3);
    EXPECT_EQ(summary.added, 3); // two of its tracks and the file only a playlist names
    EXPECT_EQ(summary.updated, 0);
    ASSERT_EQ(summary.failures.size(), 1);
    EXPECT_EQ(summary.failures[0].path, music.gone);
    EXPECT_EQ(summary.playlistsAdded, (QStringList{"Party & Co", "Calm"}));
    ASSERT_EQ(summary.playlistsSkipped.size(), 2);
    EXPECT_EQ(summary.playlistsSkipped[0].name, "Top rated");
    EXPECT_TRUE(summary.playlistsSkipped[0].reason.contains("automatic"));

    EXPECT_EQ(library.trackCount(), 3);
    EXPECT_EQ(value(library, music.first, "playedCount").toInt(), 7);
    EXPECT_EQ(value(library, music.first, "rating").toInt(), 60); // 3 of 5 stars
    EXPECT_FALSE(value(library, music.first, "skippedCount").isValid());
    EXPECT_FALSE(value(library, music.second, "rating").isValid());
    // Tags come from the file, as a folder import reads them.
    EXPECT_FALSE(value(library, music.second, "duration").isNull());
    const qint64 first = trackAt(library, music.first), second = trackAt(library, music.second);
    EXPECT_EQ(playlistTracks(library, "Party & Co"), (QList<qint64>{second, first, second}));
    EXPECT_EQ(playlistTracks(library, "Calm"), (QList<qint64>{trackAt(library, music.third)}));

    // Twice: nothing new, and the player's files are as they were.
    const playerimport::Summary again =
        playerimport::importPlayer(library, Player::Rhythmbox, builder.folder().filePath("rhythmbox/rhythmdb.xml"));
    EXPECT_EQ(again.added, 0);
    EXPECT_EQ(again.updated, 3);
    EXPECT_TRUE(again.playlistsAdded.isEmpty());
    EXPECT_EQ(again.playlistsUnchanged, (QStringList{"Party & Co", "Calm"}));
    EXPECT_EQ(library.trackCount(), 3);
    EXPECT_EQ(library.userPlaylists().size(), 2);
    EXPECT_EQ(fingerprint(db), dbBefore);
    EXPECT_EQ(fingerprint(playlists), playlistsBefore);
}

TEST(PlayerImport, StrawberryAndClementineAreReadWhileRunningWithoutTouchingTheDatabaseOrItsLog)
{
    for (const Player player : {Player::Strawberry, Player::Clementine}) {
        SCOPED_TRACE(playerimport::playerName(player).toStdString());
        LibraryBuilder builder;
        MusicLibrary &library = builder.library();
        PlayerMusic music(builder.folder());
        // A track the library has already, with counts of its own.
        const qint64 known = library.importFile({music.second, {{"name", "old"}, {"playedCount", 99}}});
        const QString path = builder.folder().filePath("player/music library.db");
        QDir().mkpath(QFileInfo(path).absolutePath());
        sqlite3 *player_db = clementineFamilyDatabase(path, player, music, player == Player::Strawberry ? 16 : 45);
        ASSERT_TRUE(QFileInfo::exists(path + "-wal"));
        ASSERT_GT(QFileInfo(path + "-wal").size(), 0);
        const QByteArray dbBefore = statePrint(path), walBefore = statePrint(path + "-wal");

        const playerimport::Summary summary = playerimport::importPlayer(library, player, path);
        EXPECT_EQ(summary.tracks, 3); // the stream is not a track of a file
        EXPECT_EQ(summary.added, 2);  // the first song and the file only a playlist names
        EXPECT_EQ(summary.updated, 1);
        ASSERT_EQ(summary.failures.size(), 1);
        EXPECT_EQ(summary.failures[0].path, music.gone);
        // Playlists in the player's order (ui_order), the dynamic one skipped.
        EXPECT_EQ(summary.playlistsAdded, (QStringList{"Évening", "Road Trip"}));
        ASSERT_EQ(summary.playlistsSkipped.size(), 1);
        EXPECT_EQ(summary.playlistsSkipped[0].name, "Most played");

        EXPECT_EQ(value(library, music.first, "playedCount").toInt(), 12);
        EXPECT_EQ(value(library, music.first, "skippedCount").toInt(), 3);
        EXPECT_EQ(value(library, music.first, "rating").toInt(), 80);
        EXPECT_EQ(trackAt(library, music.second), known); // updated, not duplicated
        EXPECT_EQ(value(library, music.second, "playedCount").toInt(), 0);
        EXPECT_FALSE(value(library, music.second, "rating").isValid());
        EXPECT_EQ(playlistTracks(library, "Road Trip"),
                  (QList<qint64>{known, trackAt(library, music.third), trackAt(library, music.first)}));

        const playerimport::Summary again = playerimport::importPlayer(library, player, path);
        EXPECT_EQ(again.added, 0);
        EXPECT_EQ(again.playlistsUnchanged.size(), 2);
        EXPECT_EQ(library.trackCount(), 3);

        EXPECT_EQ(statePrint(path), dbBefore);
        EXPECT_EQ(statePrint(path + "-wal"), walBefore);
        sqlite3_close(player_db);
    }
}

TEST(PlayerImport, BeetsCountsAndRatingsComeFromItsFlexibleAttributesAndItsConfigNamesTheLibrary)
{
    ScopedUserLocations home;
    LibraryBuilder builder;
    MusicLibrary &library = builder.library();
    PlayerMusic music(builder.folder());
    const QString config = builder.folder().filePath("beets");
    qputenv("BEETSDIR", config.toUtf8());
    builder.folder().addFile("beets/config.yaml", "directory: ~/Music\nlibrary: \"my library.db\"  # the catalogue\n"
                                                  "plugins: mpdstats\n");
    const QString path = config + "/my library.db";
    ASSERT_EQ(playerimport::defaultPath(Player::Beets), path);
    sqlite3 *db = nullptr;
    ASSERT_EQ(sqlite3_open(path.toUtf8().constData(), &db), SQLITE_OK);
    exec(db, "CREATE TABLE items (id INTEGER PRIMARY KEY, path BLOB, title TEXT, artist TEXT);"
             "CREATE TABLE item_attributes (id INTEGER PRIMARY KEY, entity_id INTEGER, key TEXT, value TEXT, "
             "UNIQUE(entity_id, key) ON CONFLICT REPLACE);");
    sqlite3_stmt *insert = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO items (id, path) VALUES (?1, ?2)", -1, &insert, nullptr);
    int id = 0;
    for (const QString &file : {music.first, music.gone, music.third}) {
        const QByteArray bytes = QFile::encodeName(file);
        sqlite3_bind_int(insert, 1, ++id);
        sqlite3_bind_blob(insert, 2, bytes.constData(), int(bytes.size()), SQLITE_TRANSIENT);
        ASSERT_EQ(sqlite3_step(insert), SQLITE_DONE);
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    exec(db, "INSERT INTO item_attributes (entity_id, key, value) VALUES (1, 'play_count', '5'), "
             "(1, 'skip_count', '2'), (1, 'rating', '0.25'), (3, 'rating', 'not a number'), (3, 'mood', 'calm');");
    sqlite3_close(db);
    const QByteArray before = fingerprint(path);

    const playerimport::Summary summary = playerimport::importPlayer(library, Player::Beets);
    EXPECT_EQ(summary.source, path);
    EXPECT_EQ(summary.added, 2);
    ASSERT_EQ(summary.failures.size(), 1);
    EXPECT_EQ(value(library, music.first, "playedCount").toInt(), 5);
    EXPECT_EQ(value(library, music.first, "skippedCount").toInt(), 2);
    EXPECT_EQ(value(library, music.first, "rating").toInt(), 25);
    EXPECT_FALSE(value(library, music.third, "rating").isValid());
    EXPECT_EQ(fingerprint(path), before);
    EXPECT_FALSE(QFileInfo::exists(path + "-wal"));
    EXPECT_FALSE(QFileInfo::exists(path + "-journal"));
    qunsetenv("BEETSDIR");
}

TEST(PlayerImport, UnknownLayoutsDamagedAndMissingFilesAreRefusedAndTheLibraryKeepsWhatItHad)
{
    LibraryBuilder builder;
    MusicLibrary &library = builder.library();
    PlayerMusic music(builder.folder());
    const auto refusal = [&](Player player, const QString &path) -> QString {
        try {
            playerimport::importPlayer(library, player, path);
        } catch (const FileError &e) {
            return e.reason();
        }
        return "accepted";
    };
    const QString newer = builder.folder().filePath("newer.db");
    sqlite3_close(clementineFamilyDatabase(newer, Player::Strawberry, music, 99));
    EXPECT_TRUE(refusal(Player::Strawberry, newer).contains("schema version 99")) << refusal(Player::Strawberry, newer).toStdString();
    // A Strawberry file given as Clementine's: its songs have no "filename".
    const QString strawberry = builder.folder().filePath("strawberry.db");
    sqlite3_close(clementineFamilyDatabase(strawberry, Player::Strawberry, music, 45));
    EXPECT_TRUE(refusal(Player::Clementine, strawberry).contains("\"filename\""));
    const QString garbage = builder.folder().addFile("garbage.db", QByteArray(4096, 'x'));
    EXPECT_TRUE(refusal(Player::Clementine, garbage).contains("damaged"));
    EXPECT_TRUE(refusal(Player::Beets, garbage).contains("damaged"));
    EXPECT_TRUE(refusal(Player::Strawberry, builder.folder().filePath("nothing.db")).contains("does not exist"));
    builder.folder().addFile("rb3/rhythmdb.xml", "<?xml version=\"1.0\"?><rhythmdb version=\"3.0\"></rhythmdb>");
    EXPECT_TRUE(refusal(Player::Rhythmbox, builder.folder().filePath("rb3")).contains("version \"3.0\""));
    builder.folder().addFile("rbbad/rhythmdb.xml", "<?xml version=\"1.0\"?><rhythmdb version=\"2.0\"><entry type=");
    EXPECT_TRUE(refusal(Player::Rhythmbox, builder.folder().filePath("rbbad")).contains("damaged"));
    builder.folder().addFile("rbpl/rhythmdb.xml", "<rhythmdb version=\"2.0\"/>");
    builder.folder().addFile("rbpl/playlists.xml", "<html></html>");
    EXPECT_TRUE(refusal(Player::Rhythmbox, builder.folder().filePath("rbpl")).contains("not a Rhythmbox playlist"));
    EXPECT_EQ(library.trackCount(), 0);
    EXPECT_TRUE(library.userPlaylists().isEmpty());
    EXPECT_EQ(TestFolder::readAll(garbage), QByteArray(4096, 'x'));
}
