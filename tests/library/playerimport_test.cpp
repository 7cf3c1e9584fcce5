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

using Outcome = playerimport::ImportedPlaylist::Outcome;

QStringList playlistsWith(const playerimport::Summary &summary, Outcome outcome)
{
    QStringList names;
    for (const playerimport::ImportedPlaylist &playlist : summary.playlists)
        if (playlist.outcome == outcome)
            names.append(playlist.name);
    return names;
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
    EXPECT_EQ(playlistsWith(summary, Outcome::Added), (QStringList{"Party & Co", "Calm"}));
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
    // A playlist that came shortened names what it lacks; Rhythmbox leaves a
    // play count of 0 out, and the track is never played, not unknown.
    ASSERT_EQ(summary.playlists.size(), 2);
    EXPECT_EQ(summary.playlists[0].tracks, 3);
    ASSERT_EQ(summary.playlists[0].leftOut.size(), 1);
    EXPECT_EQ(summary.playlists[0].leftOut[0].path, music.gone);
    EXPECT_EQ(summary.playlists[0].leftOut[0].reason, "the file does not exist");
    EXPECT_TRUE(summary.playlists[1].leftOut.isEmpty());
    EXPECT_EQ(value(library, music.second, "playedCount").toInt(), 0);
    EXPECT_TRUE(value(library, music.second, "playedCount").isValid());

    // Twice: nothing new, and the player's files are as they were.
    const playerimport::Summary again =
        playerimport::importPlayer(library, Player::Rhythmbox, builder.folder().filePath("rhythmbox/rhythmdb.xml"));
    EXPECT_EQ(again.added, 0);
    EXPECT_EQ(again.updated, 3);
    EXPECT_TRUE(playlistsWith(again, Outcome::Added).isEmpty());
    EXPECT_EQ(playlistsWith(again, Outcome::Unchanged), (QStringList{"Party & Co", "Calm"}));
    EXPECT_EQ(again.changed, 0);
    EXPECT_EQ(library.trackCount(), 3);
    EXPECT_EQ(library.userPlaylists().size(), 2);
    EXPECT_EQ(fingerprint(db), dbBefore);
    EXPECT_EQ(fingerprint(playlists), playlistsBefore);

    // The missing file is back, the person renamed the imported playlist and
    // made one of their own under the name of another of Rhythmbox's: the
    // import repairs the first where it stands and leaves the person's alone.
    builder.folder().addSeed("seed.mp3", "My Music/gone away.mp3");
    library.renamePlaylist(library.playlistNamed("Party & Co")->id, "Party");
    const qint64 mine = library.createPlaylist("Mine");
    library.addToPlaylist(mine, {first});
    builder.folder().addFile(
        "rhythmbox/playlists.xml",
        (QString::fromUtf8(TestFolder::readAll(playlists)).replace(
             "</rhythmdb-playlists>", QStringLiteral("<playlist name=\"Mine\" type=\"static\"><location>%1</location>"
                                                     "</playlist></rhythmdb-playlists>")
                                          .arg(uri(music.second))))
            .toUtf8());
    const playerimport::Summary repaired =
        playerimport::importPlayer(library, Player::Rhythmbox, builder.folder().filePath("rhythmbox"));
    EXPECT_EQ(repaired.added, 1);
    EXPECT_EQ(repaired.changed, 0);
    EXPECT_EQ(playlistsWith(repaired, Outcome::Updated), QStringList{"Party"});
    EXPECT_EQ(playlistsWith(repaired, Outcome::Unchanged), QStringList{"Calm"});
    EXPECT_TRUE(repaired.playlists[0].leftOut.isEmpty());
    EXPECT_EQ(playlistTracks(library, "Party"), (QList<qint64>{second, first, trackAt(library, music.gone), second}));
    EXPECT_FALSE(library.playlistNamed("Party & Co"));
    ASSERT_EQ(repaired.playlistsSkipped.size(), 3); // with the automatic one and the play queue
    EXPECT_EQ(repaired.playlistsSkipped[2].name, "Mine");
    EXPECT_EQ(repaired.playlistsSkipped[2].reason,
              "the library has a playlist of that name with other tracks, not one brought over from Rhythmbox");
    EXPECT_EQ(playlistTracks(library, "Mine"), QList<qint64>{first});
    EXPECT_EQ(library.userPlaylists().size(), 3);
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
        // The empty "Playlist 1" both players make at their first start, and a
        // playlist holding a stream besides a file.
        exec(player_db, "INSERT INTO playlists (ROWID, name, ui_order) VALUES (4, 'Playlist 1', 3), (5, 'Radio', 4);"
                        "INSERT INTO playlist_items (playlist, url) VALUES (5, 'http://radio.example/stream');");
        exec(player_db, QStringLiteral("INSERT INTO playlist_items (playlist, %1) VALUES (5, 1)")
                            .arg(player == Player::Strawberry ? "collection_id" : "library_id"));
        // Their smart playlists live in the settings file beside, as QSettings writes it.
        const bool strawberry = player == Player::Strawberry;
        const QString settings = builder.folder().addFile(
            strawberry ? "player/strawberry.conf" : "player/Clementine.conf",
            QByteArray("[General]\nstartupbehaviour=1\n\n[") +
                (strawberry ? "SerializedSmartPlaylists" : "SerialisedSmartPlaylists") +
                "]\nsongs\\1\\data=@ByteArray(\\0\\0\\0\\x1)\nsongs\\1\\name=Newest tracks\nsongs\\1\\type=1\n"
                "songs\\2\\name=Ever played\nsongs\\2\\type=1\nsongs\\size=2\nsongs_version=4\n");
        const QByteArray settingsBefore = fingerprint(settings);
        ASSERT_TRUE(QFileInfo::exists(path + "-wal"));
        ASSERT_GT(QFileInfo(path + "-wal").size(), 0);
        const QByteArray dbBefore = statePrint(path), walBefore = statePrint(path + "-wal");

        const playerimport::Summary summary = playerimport::importPlayer(library, player, path);
        EXPECT_EQ(summary.tracks, 3); // the stream is not a track of a file
        EXPECT_EQ(summary.added, 2);  // the first song and the file only a playlist names
        EXPECT_EQ(summary.updated, 1);
        ASSERT_EQ(summary.failures.size(), 1);
        EXPECT_EQ(summary.failures[0].path, music.gone);
        // Playlists in the player's order (ui_order); the dynamic one, the
        // empty first one and those of the settings skipped, each named.
        EXPECT_EQ(playlistsWith(summary, Outcome::Added), (QStringList{"Évening", "Road Trip", "Radio"}));
        QStringList skipped;
        for (const playerimport::SkippedPlaylist &playlist : summary.playlistsSkipped)
            skipped.append(playlist.name + ": " + playlist.reason);
        const QString name = playerimport::playerName(player);
        EXPECT_EQ(skipped, (QStringList{"Most played: a dynamic (smart) playlist; its rules are " + name + "'s own",
                                        "Playlist 1: " + name + "'s first, empty playlist",
                                        "Newest tracks: a smart playlist of " + name + "'s settings (" + settings +
                                            "); its search is " + name + "'s own",
                                        "Ever played: a smart playlist of " + name + "'s settings (" + settings +
                                            "); its search is " + name + "'s own"}));
        ASSERT_EQ(summary.playlists.size(), 3);
        EXPECT_EQ(summary.playlists[2].tracks, 1);
        ASSERT_EQ(summary.playlists[2].leftOut.size(), 1);
        EXPECT_EQ(summary.playlists[2].leftOut[0].path, "http://radio.example/stream");
        EXPECT_EQ(summary.playlists[2].leftOut[0].reason, "not a file of this computer");
        ASSERT_EQ(summary.playlists[1].leftOut.size(), 1); // Road Trip's gone song
        EXPECT_EQ(summary.playlists[1].leftOut[0].path, music.gone);

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
        EXPECT_EQ(again.changed, 0);
        EXPECT_EQ(playlistsWith(again, Outcome::Unchanged).size(), 3);
        EXPECT_EQ(library.trackCount(), 3);

        EXPECT_EQ(fingerprint(settings), settingsBefore);
        EXPECT_FALSE(QFileInfo::exists(settings + ".lock"));
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
    // The playlist plugin's files hold paths relative to the music folder; the
    // smartplaylist plugin writes its own into the same folder.
    builder.folder().addFile("beets/config.yaml",
                             QStringLiteral("directory: %1\nlibrary: \"my library.db\"  # the catalogue\n"
                                            "plugins: [mpdstats, playlist, smartplaylist]\n"
                                            "playlist:\n    auto: no\n    playlist_dir: lists\n"
                                            "smartplaylist:\n    playlist_dir: lists\n    playlists:\n"
                                            "        - name: all.m3u\n          query: ''\n"
                                            "        - name: 'ReleasedIn$year.m3u'\n          query: 'year::201(0|1)'\n")
                                 .arg(builder.folder().filePath("My Music"))
                                 .toUtf8());
    builder.folder().addFile("beets/lists/road trip.m3u",
                             "Björk Ünïcode/01 Jóga.mp3\nthird.ogg\ngone away.mp3\nhttp://radio.example/\n");
    builder.folder().addFile("beets/lists/all.m3u", QFile::encodeName(music.first) + "\n");
    builder.folder().addFile("beets/lists/ReleasedIn2011.m3u", QFile::encodeName(music.third) + "\n");
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
    EXPECT_EQ(value(library, music.third, "playedCount").toInt(), 0); // never played, as beets knows
    EXPECT_TRUE(value(library, music.third, "playedCount").isValid());
    ASSERT_EQ(summary.playlists.size(), 1);
    EXPECT_EQ(summary.playlists[0].name, "road trip");
    EXPECT_EQ(playlistTracks(library, "road trip"),
              (QList<qint64>{trackAt(library, music.first), trackAt(library, music.third)}));
    ASSERT_EQ(summary.playlists[0].leftOut.size(), 2);
    EXPECT_EQ(summary.playlists[0].leftOut[0].path, "http://radio.example/");
    EXPECT_EQ(summary.playlists[0].leftOut[1].path, music.gone);
    ASSERT_EQ(summary.playlistsSkipped.size(), 2);
    EXPECT_EQ(summary.playlistsSkipped[0].name, "all");
    EXPECT_EQ(summary.playlistsSkipped[1].name, "ReleasedIn$year");
    EXPECT_EQ(summary.playlistsSkipped[1].reason, "a playlist of beets' smartplaylist plugin; its query is beets' own");
    EXPECT_FALSE(library.playlistNamed("all"));
    EXPECT_FALSE(library.playlistNamed("ReleasedIn2011"));

    // Its configuration file, or the folder that holds it, finds the same library.
    qunsetenv("BEETSDIR");
    for (const QString &given : {config + "/config.yaml", config}) {
        const playerimport::Summary again = playerimport::importPlayer(library, Player::Beets, given);
        EXPECT_EQ(again.source, path);
        EXPECT_EQ(again.added, 0);
        EXPECT_EQ(again.changed, 0);
        EXPECT_EQ(playlistsWith(again, Outcome::Unchanged), QStringList{"road trip"});
    }
    EXPECT_EQ(fingerprint(path), before);
    EXPECT_FALSE(QFileInfo::exists(path + "-wal"));
    EXPECT_FALSE(QFileInfo::exists(path + "-journal"));
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
    // A Strawberry file given as Clementine's, and the reverse, say whose they
    // look like, whatever their schema numbers.
    for (const auto &[file, given, looksLike] : {std::tuple{Player::Strawberry, Player::Clementine, "Strawberry"},
                                                  std::tuple{Player::Clementine, Player::Strawberry, "Clementine"}}) {
        const QString path = builder.folder().filePath(QString(looksLike) + ".db");
        sqlite3_close(clementineFamilyDatabase(path, file, music, file == Player::Strawberry ? 16 : 45));
        const QString expected = QStringLiteral("this looks like a %1 database, not a %2 one; import it with "
                                                "\"import-player %3\"")
                                     .arg(looksLike, playerimport::playerName(given), QString(looksLike).toLower());
        EXPECT_TRUE(refusal(given, path).startsWith(expected)) << refusal(given, path).toStdString();
    }
    const QString garbage = builder.folder().addFile("garbage.db", QByteArray(4096, 'x'));
    EXPECT_TRUE(refusal(Player::Clementine, garbage).contains("damaged"));
    EXPECT_TRUE(refusal(Player::Beets, garbage).contains("damaged"));
    EXPECT_TRUE(refusal(Player::Strawberry, builder.folder().filePath("nothing.db")).contains("does not exist"));
    builder.folder().addFile("beets-broken/config.yaml", "library: [unclosed\n");
    EXPECT_TRUE(refusal(Player::Beets, builder.folder().filePath("beets-broken")).contains("not a YAML file beets can read"))
        << refusal(Player::Beets, builder.folder().filePath("beets-broken")).toStdString();
    EXPECT_TRUE(refusal(Player::Beets, builder.folder().filePath("beets-none/config.yaml")).contains("does not exist"));
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
