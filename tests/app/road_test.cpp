// SPDX-License-Identifier: GPL-3.0-or-later
// One tool run from collecting to applying, with a stand-in collecting step
// over real files and a real library.
#include "roadfixture.h"

#include "library/musiclibrary.h"
#include "operations/changesmodel.h"
#include "testfiles.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <gtest/gtest.h>
#include <sqlite3.h>

namespace {

const QString abortText =
    QStringLiteral("Please do not 'touch' iTunes while the operation is running. The operation had to be canceled.");

QStringList detailsDuring(AppDelegate &app, const std::function<void()> &run)
{
    QStringList details;
    auto connection = QObject::connect(&app, &AppDelegate::currentProgressDetailChanged,
                                       [&] { details << app.currentProgressDetail(); });
    run();
    QObject::disconnect(connection);
    return details;
}

// Progress details coalesce on their way to the main loop, so the ones seen
// are some of those sent, in the order sent, always ending with the last.
void expectDetailsFrom(const QStringList &seen, const QStringList &sent)
{
    ASSERT_FALSE(seen.isEmpty());
    EXPECT_EQ(seen.last(), sent.last());
    qsizetype at = 0;
    for (const QString &detail : seen) {
        while (at < sent.size() && sent[at] != detail)
            ++at;
        ASSERT_LT(at, sent.size()) << "unexpected or out of order: " << detail.toStdString();
    }
}

} // namespace

TEST(Road, TagListOverFolderFilesIsReviewedAndWritten)
{
    Road road;
    TestFolder music;
    const QStringList paths = {music.addSeed("seed.mp3", "a.mp3"), music.addSeed("seed.flac", "sub/b.FLAC"),
                               music.addSeed("seed.ogg", "c.ogg")};
    music.addFile("notes.txt", "not music");
    QMap<QString, QString> before;
    for (const QString &p : paths)
        before[p] = MusicTrack::withPath(p).title();

    road.app.applicationDidFinishLaunching();
    road.app.pathSelected(music.path());
    QStringList collecting;
    const QStringList details = detailsDuring(road.app, [&] {
        QObject::connect(&road.app, &AppDelegate::currentProgressTitleChanged,
                         [&] { collecting << road.app.currentProgressTitle(); });
        road.collectAppending("name", " (live)");
    });
    EXPECT_EQ(collecting.value(0), QStringLiteral("Collecting changes…"));
    ASSERT_EQ(road.port->reviewsBegun, 1);
    ASSERT_TRUE(road.app.changes());
    EXPECT_EQ(road.app.changes()->records.size(), 3);
    EXPECT_FALSE(road.app.changes()->playlist);
    EXPECT_EQ(road.app.changeInfo(), "Checked tracks of these 3 tracks will get their tag 'Title' changed:");
    QStringList sent{""};
    for (int i = 0; i < 3; ++i)
        sent << QStringLiteral("%1/3 - %2").arg(i + 1).arg(road.app.changes()->records[i].title);
    expectDetailsFrom(details, sent);

    road.apply();
    EXPECT_EQ(road.app.currentProgressTitle(), QStringLiteral("Applying changes…"));
    EXPECT_TRUE(road.port->alerts.isEmpty());
    EXPECT_FALSE(road.app.changes());
    EXPECT_EQ(road.app.changesModel()->rowCount(), 0);
    EXPECT_EQ(road.port->progressBegun, 2);
    EXPECT_EQ(road.port->progressEnded, 2);
    for (const QString &p : paths)
        EXPECT_EQ(MusicTrack::withPath(p).title(), before[p] + " (live)") << p.toStdString();
}

TEST(Road, TagListOverALibraryPlaylistWritesTheLibrary)
{
    Road road;
    const QList<qint64> ids = road.startOnPlaylist("Mix", 3);
    road.collectAppending("genre", "Jazz");
    ASSERT_EQ(road.port->reviewsBegun, 1);
    EXPECT_EQ(road.app.changeInfo(), "Checked tracks of these 3 tracks will get their tag 'Genre' changed:");

    const QStringList details = detailsDuring(road.app, [&] { road.apply(); });
    expectDetailsFrom(details, {"", "1/3 Song 1", "2/3 Song 2", "3/3 Song 3"});
    for (qint64 id : ids)
        EXPECT_EQ(road.stored(id, "genre").toString(), "Jazz");
    EXPECT_TRUE(road.port->alerts.isEmpty());
}

TEST(Road, EveryRowUncheckedWritesNothingButRunsToTheEnd)
{
    Road road;
    TestFolder music;
    const QStringList paths = {music.addSeed("seed.mp3", "a.mp3"), music.addSeed("seed.flac", "b.flac")};
    QList<QByteArray> bytes;
    for (const QString &p : paths)
        bytes << TestFolder::readAll(p);

    road.app.applicationDidFinishLaunching();
    road.app.pathSelected(music.path());
    road.collectAppending("comment", "x");
    ASSERT_TRUE(road.app.changes());
    road.app.checkSelected({0, 1}, 0);
    EXPECT_EQ(road.app.changesModel()->enabledCount(), 0);

    const QStringList details = detailsDuring(road.app, [&] { road.apply(); });
    expectDetailsFrom(details, {"", "1/2 ", "2/2 "});
    EXPECT_FALSE(road.app.changes());
    EXPECT_TRUE(road.port->alerts.isEmpty());
    for (int i = 0; i < paths.size(); ++i)
        EXPECT_EQ(TestFolder::readAll(paths[i]), bytes[i]);
}

TEST(Road, TitleChangedElsewhereAbortsAfterTheRecordsBeforeIt)
{
    Road road;
    const QList<qint64> ids = road.startOnPlaylist("Mix", 5);
    road.collectAppending("genre", "Jazz");
    ASSERT_EQ(road.app.changes()->records.size(), 5);

    road.other().setProperty(LibraryBuilder::throughLibrary(ids[2]), "name", "Renamed meanwhile");
    road.apply();

    EXPECT_EQ(road.stored(ids[0], "genre").toString(), "Jazz");
    EXPECT_EQ(road.stored(ids[1], "genre").toString(), "Jazz");
    for (int i = 2; i < 5; ++i)
        EXPECT_FALSE(road.stored(ids[i], "genre").isValid()) << i;
    ASSERT_EQ(road.port->alerts.size(), 1);
    EXPECT_EQ(road.port->alerts[0].title, "Quavertin");
    EXPECT_EQ(road.port->alerts[0].message, abortText);
    EXPECT_EQ(road.port->alerts[0].buttons, QStringList{"OK"});
    EXPECT_FALSE(road.app.changes());
    EXPECT_EQ(road.port->progressEnded, road.port->progressBegun);
}

TEST(Road, LibraryErrorMidRunIsLoggedAndToldWithWhatWasWritten)
{
    Road road;
    const QList<qint64> ids = road.startOnPlaylist("Mix", 5);
    road.collectAppending("genre", "Jazz");
    ASSERT_EQ(road.app.changes()->records.size(), 5);

    // The third track leaves the library through another connection.
    road.other().deleteTrack(LibraryBuilder::throughLibrary(ids[2]));
    ScopedLog log;
    road.apply();

    EXPECT_EQ(road.stored(ids[0], "genre").toString(), "Jazz");
    EXPECT_EQ(road.stored(ids[1], "genre").toString(), "Jazz");
    EXPECT_FALSE(road.stored(ids[3], "genre").isValid());
    EXPECT_FALSE(road.stored(ids[4], "genre").isValid());
    const QStringList lines = log.lines();
    const qsizetype failure = lines.indexOf(QRegularExpression("^failure AppDelegate \\d+$"));
    ASSERT_GT(failure, 0) << lines.join('\n').toStdString();
    EXPECT_TRUE(lines[failure - 1].contains("no longer exists")) << lines[failure - 1].toStdString();
    ASSERT_EQ(road.port->alerts.size(), 1);
    const auto &alert = road.port->alerts[0];
    EXPECT_EQ(alert.title, "Changes Not Completed");
    EXPECT_TRUE(alert.message.contains("'Song 3'")) << alert.message.toStdString();
    EXPECT_TRUE(alert.message.contains("2 of 5 checked changes had been made")) << alert.message.toStdString();
    EXPECT_FALSE(road.app.changes());
    EXPECT_EQ(road.port->progressEnded, road.port->progressBegun);
}

namespace {

// A membership list over the tracks of a playlist, as the playlist tools make it.
std::shared_ptr<ChangeList> membership(Road &road, const QString &playlist, int remove, bool trash)
{
    auto lib = road.app.library();
    auto list = std::make_shared<ChangeList>();
    list->playlist = true;
    list->remove = remove;
    list->trash = trash;
    const QList<TrackRef> refs = lib->tracksOf(lib->playlistNamed(playlist)->id);
    const QStringList keys{"name", "artist"};
    const QList<QVariantList> rows = lib->propertyRows(refs, keys);
    for (int i = 0; i < refs.size(); ++i)
        list->records << collector::membershipRecord(MusicTrack::withTrack(lib, refs[i]), TrackValues(keys, rows[i]));
    return list;
}

QList<qint64> idsIn(MusicLibrary &lib, const QString &playlist)
{
    QList<qint64> ids;
    for (const TrackRef &ref : lib.tracksOf(lib.playlistNamed(playlist)->id))
        ids << ref.trackId;
    return ids;
}

} // namespace

TEST(Road, AddingToAPlaylistSkipsTracksAlreadyThereAndDuplicates)
{
    Road road;
    const QList<qint64> ids = road.playlistOf("Source", 3);
    const qint64 target = road.other().createPlaylist("Target");
    road.other().addToPlaylist(target, {ids[1]});
    road.app.applicationDidFinishLaunching();
    road.app.setSelectedPlaylistActionPlaylist(road.app.editablePlaylists().indexOf("Target"));

    auto list = membership(road, "Source", 0, false);
    list->records << list->records[0]; // the same track twice
    road.app.setChanges(list);
    road.app.beginChanges();
    EXPECT_EQ(road.app.changeInfo(), "Checked tracks of these 4 tracks will added to the playlist 'Target':");
    EXPECT_FALSE(road.app.changesModel()->isColumnVisible(ChangesModel::OldColumn));

    const QStringList details = detailsDuring(road.app, [&] { road.apply(); });
    expectDetailsFrom(details, {"Preparation", "1/4 - Song 1", "2/4 - Song 2", "3/4 - Song 3", "4/4 - Song 1"});
    EXPECT_EQ(idsIn(road.other(), "Target"), (QList<qint64>{ids[1], ids[0], ids[2]}));
    EXPECT_TRUE(road.port->alerts.isEmpty());
}

TEST(Road, MembershipListWhoseLastTrackChangedTouchesNothing)
{
    for (int remove : {0, 1}) {
        Road road;
        const QList<qint64> ids = road.playlistOf("Source", 3);
        road.other().createPlaylist("Target");
        road.app.applicationDidFinishLaunching();
        road.app.setSelectedPlaylist(road.app.playlists().indexOf("Source"));
        road.app.setSelectedPlaylistActionPlaylist(road.app.editablePlaylists().indexOf("Target"));
        road.app.setChanges(membership(road, "Source", remove, false));
        road.app.beginChanges();

        road.other().setProperty(LibraryBuilder::throughLibrary(ids[2]), "artist", "Someone Else");
        road.apply();

        EXPECT_TRUE(idsIn(road.other(), "Target").isEmpty()) << remove;
        EXPECT_EQ(idsIn(road.other(), "Source"), ids) << remove;
        ASSERT_EQ(road.port->alerts.size(), 1);
        EXPECT_EQ(road.port->alerts[0].message, abortText);
        EXPECT_FALSE(road.app.changes());
    }
}

TEST(Road, RemovingWithTrashMovesOnlyFileBackedTracksFiles)
{
    Road road;
    const qint64 kept = road.builder.addTrack("Kept", "Band");
    const qint64 gone = road.builder.addTrack("Gone", "Band");
    const qint64 dead = road.builder.addTrack("Dead", "Band", {}, /*dead=*/true);
    const qint64 stream = road.other().addStreamTrack("http://radio.example/stream", {{"name", "Radio"}, {"artist", "Band"}});
    const qint64 source = road.other().createPlaylist("Source");
    road.other().addToPlaylist(source, {kept, gone, dead, stream, gone}); // "Gone" stands twice
    const QString keptFile = road.other().location(LibraryBuilder::throughLibrary(kept));
    const QString goneFile = road.other().location(LibraryBuilder::throughLibrary(gone));
    ASSERT_TRUE(QFileInfo::exists(goneFile));
    // The Trash of the home the files live under.
    const QByteArray home = qgetenv("HOME");
    qputenv("HOME", QFileInfo(road.locations.dataHome()).path().toLocal8Bit());
    struct RestoreHome {
        QByteArray home;
        ~RestoreHome() { qputenv("HOME", home); }
    } restoreHome{home};

    road.app.applicationDidFinishLaunching();
    road.app.setSelectedPlaylist(road.app.playlists().indexOf("Source"));
    auto list = membership(road, "Source", 1, true);
    list->records[0].enabled = false; // "Kept"
    road.app.setChanges(list);
    road.app.beginChanges();
    EXPECT_EQ(road.app.changeInfo(), "Checked tracks of these 5 tracks will removed from the playlist 'Source':");
    ScopedLog log;
    road.apply();

    EXPECT_TRUE(road.port->alerts.isEmpty()) << road.port->alerts.value(0).message.toStdString();
    EXPECT_FALSE(log.lines().join("\n").contains("Trash")) << "its file goes to the Trash once: "
                                                             << log.lines().join("\n").toStdString();
    EXPECT_EQ(idsIn(road.other(), "Source"), QList<qint64>{kept});
    // Removed from the playlist only: the tracks stay in the library.
    EXPECT_EQ(road.other().trackCount(), 4);
    EXPECT_TRUE(QFileInfo::exists(keptFile));
    EXPECT_FALSE(QFileInfo::exists(goneFile));
    const QDir trash(road.locations.dataHome() + "/Trash/files");
    EXPECT_EQ(trash.entryList(QDir::Files), QStringList{QFileInfo(goneFile).fileName()});
}

TEST(Road, RemovingWithTrashEndsForAnyNameAndKeepsTracksWhoseFilesStay)
{
    Road road;
    TestFolder &folder = road.builder.folder();
    // 255 bytes, the longest name there is: its .trashinfo must be shortened.
    const QString longName = "b" + QString(125, QChar(0xe9)) + ".mp3";
    const QStringList names{longName, "50% off\nnew.mp3", "stuck.mp3"};
    QList<qint64> ids;
    QStringList files;
    for (const QString &name : names) {
        files << folder.addSeed("seed.mp3", "odd/" + name);
        ids << road.other().importFile({files.last(), {{"name", name.left(8)}, {"artist", "Band"}}});
    }
    const qint64 source = road.other().createPlaylist("Source");
    road.other().addToPlaylist(source, ids.mid(0, 2));
    const qint64 later = road.other().createPlaylist("Later");
    road.other().addToPlaylist(later, {ids[2]});

    road.app.applicationDidFinishLaunching();
    road.app.setSelectedPlaylist(road.app.playlists().indexOf("Source"));
    road.app.setChanges(membership(road, "Source", 1, true));
    road.app.beginChanges();
    road.apply();
    EXPECT_TRUE(road.port->alerts.isEmpty()) << road.port->alerts.value(0).message.toStdString();
    EXPECT_TRUE(idsIn(road.other(), "Source").isEmpty());
    const QString trash = road.locations.dataHome() + "/Trash";
    for (const QString &file : files.mid(0, 2))
        EXPECT_FALSE(QFileInfo::exists(file)) << file.toStdString();
    EXPECT_EQ(QDir(trash + "/files").entryList(QDir::Files).size(), 2);
    for (const QString &info : QDir(trash + "/info").entryList(QDir::Files)) {
        EXPECT_LE(info.toUtf8().size(), 255);
        const QByteArray text = TestFolder::readAll(trash + "/info/" + info);
        EXPECT_EQ(text.count('\n'), 3) << text.toStdString();
    }

    // A Trash that cannot take the file: the file and its track both stay, and the person is told.
    ASSERT_TRUE(QDir(trash + "/info").removeRecursively());
    QFile blocker(trash + "/info");
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const QByteArray stuckBytes = TestFolder::readAll(files[2]);
    road.app.setSelectedPlaylist(road.app.playlists().indexOf("Later"));
    road.app.setChanges(membership(road, "Later", 1, true));
    road.app.beginChanges();
    road.apply();
    ASSERT_EQ(road.port->alerts.size(), 1);
    EXPECT_EQ(road.port->alerts[0].title, "Not Moved to the Trash");
    EXPECT_TRUE(road.port->alerts[0].message.startsWith(
        "1 of the files could not be moved to the Trash, so their tracks were left in the library:\n" + files[2] +
        ": the Trash folder "))
        << road.port->alerts[0].message.toStdString();
    EXPECT_EQ(idsIn(road.other(), "Later"), QList<qint64>{ids[2]});
    EXPECT_EQ(TestFolder::readAll(files[2]), stuckBytes);
}

TEST(Road, RemovalRefusedByTheLibraryIsToldAndRemovesNothing)
{
    Road road;
    const QList<qint64> ids = road.playlistOf("Plain", 3);
    road.other().createSmartPlaylist("Smart", SmartRule{"artist", 0, "Band", true});
    road.app.applicationDidFinishLaunching();
    road.app.setSelectedPlaylist(road.app.playlists().indexOf("Smart"));
    auto list = membership(road, "Smart", 1, true);
    ASSERT_EQ(list->records.size(), 3);
    road.app.setChanges(list);
    ScopedLog log;
    road.apply();

    ASSERT_EQ(road.port->alerts.size(), 1);
    EXPECT_EQ(road.port->alerts[0].title, "Changes Not Completed");
    EXPECT_TRUE(road.port->alerts[0].message.contains("0 of 3")) << road.port->alerts[0].message.toStdString();
    EXPECT_TRUE(log.lines().filter(QRegularExpression("^failure AppDelegate \\d+$")).size() == 1);
    EXPECT_EQ(road.other().tracksOf(road.other().playlistNamed("Smart")->id).size(), 3);
    for (qint64 id : ids)
        EXPECT_TRUE(QFileInfo::exists(road.other().location(LibraryBuilder::throughLibrary(id))));
    EXPECT_FALSE(road.app.changes());
}

TEST(Road, MissingTargetPlaylistIsToldAndNothingIsAdded)
{
    Road road;
    road.playlistOf("Source", 2);
    road.other().createPlaylist("Target");
    road.app.applicationDidFinishLaunching();
    road.app.setSelectedPlaylistActionPlaylist(road.app.editablePlaylists().indexOf("Target"));
    road.app.setChanges(membership(road, "Source", 0, false));
    // The menu still offers the playlist; the library no longer has it.
    sqlite3 *db = nullptr;
    ASSERT_EQ(sqlite3_open(road.builder.libraryPath().toUtf8().constData(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, "DELETE FROM playlists WHERE name = 'Target'", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
    road.apply();

    ASSERT_EQ(road.port->alerts.size(), 1);
    EXPECT_EQ(road.port->alerts[0].title, "Playlist Not Found");
    EXPECT_EQ(road.port->alerts[0].message,
              "The playlist 'Target' to add the tracks to is no longer in the library. Nothing was added.");
    EXPECT_EQ(road.other().userPlaylists().size(), 1);
    EXPECT_EQ(idsIn(road.other(), "Source").size(), 2);
    EXPECT_FALSE(road.app.changes());
}

TEST(Road, NothingToChangeShowsTheToolsAlertUnlessTheSourceHadNoTracks)
{
    Road road;
    road.other().createPlaylist("Empty");
    road.app.applicationDidFinishLaunching();
    road.app.setSelectedPlaylist(road.app.playlists().indexOf("Empty"));
    road.collectAppending("name", "x");
    ASSERT_EQ(road.port->alerts.size(), 1);
    EXPECT_EQ(road.port->alerts[0].title, "No Changes");
    EXPECT_EQ(road.port->alerts[0].message, "Nothing to append to.");
    EXPECT_EQ(road.port->reviewsBegun, 0);

    road.port->alerts.clear();
    road.app.setSelectedMethod(1); // no folder chosen
    road.collectAppending("name", "x");
    EXPECT_EQ(road.port->alertTitles(), QStringList{"No Folder"});
    EXPECT_EQ(road.port->progressEnded, road.port->progressBegun);
}

TEST(Road, ErrorWhileCollectingHandsOnWhatWasFoundAndSaysWhy)
{
    Road road;
    const QList<qint64> ids = road.startOnPlaylist("Mix", 4);
    CollectRun run;
    run.keys = {"name"};
    int seen = 0;
    run.step = [&](const MusicTrack &track, const TrackValues &values, QList<ChangeRecord> &records) {
        if (++seen == 3)
            throw LibraryError("read", "the disk went away");
        records << collector::tagRecord(track, values, "name", values.value("name").toString(), "new");
    };
    road.app.collect(run);
    road.finishRun();
    ASSERT_EQ(road.port->alerts.size(), 1);
    EXPECT_EQ(road.port->alerts[0].title, "Collecting Stopped");
    EXPECT_TRUE(road.port->alerts[0].message.contains("the disk went away"));
    EXPECT_TRUE(road.port->alerts[0].message.contains("'Song 3'"));
    ASSERT_TRUE(road.app.changes());
    EXPECT_EQ(road.app.changes()->records.size(), 2);
    EXPECT_EQ(road.port->reviewsBegun, 1);

    // A refusal of the track model has shown its own alert: nothing more is said.
    road.app.cancelChanges(true);
    road.port->alerts.clear();
    seen = 0;
    run.step = [&](const MusicTrack &, const TrackValues &, QList<ChangeRecord> &) {
        throw NamedException("Unsupported Tag", "refused");
    };
    road.app.collect(run);
    road.finishRun();
    EXPECT_EQ(road.port->alertTitles(), QStringList{"No Changes"});
    EXPECT_FALSE(road.app.changes());
}

TEST(Road, UnreadableLibraryIsToldWhenCollectingAndNothingIsTouched)
{
    Road road;
    TestFolder elsewhere;
    const QString foreign = elsewhere.addFile("foreign.sqlite", QByteArray("not a database at all"));
    road.app.setLibraryPath(foreign);
    road.app.applicationDidFinishLaunching();
    road.app.setSelectedMethod(2);
    road.collectAppending("name", "x");
    ASSERT_EQ(road.port->alerts.size(), 1);
    EXPECT_EQ(road.port->alerts[0].title, "Collecting Stopped");
    EXPECT_TRUE(road.port->alerts[0].message.contains(foreign)) << road.port->alerts[0].message.toStdString();
    EXPECT_FALSE(road.app.changes());
    EXPECT_EQ(TestFolder::readAll(foreign), QByteArray("not a database at all"));
}

TEST(Road, ControllerGoingAwayMidRunLetsTheRunFinishFirst)
{
    ScopedUserLocations locations;
    ScopedFakePort port;
    TestFolder music;
    QStringList paths;
    for (int i = 0; i < 20; ++i)
        paths << music.addSeed("seed.mp3", QStringLiteral("%1.mp3").arg(i));
    {
        AppDelegate app{*port};
        app.setLibraryPath(music.filePath("library.sqlite"));
        app.applicationDidFinishLaunching();
        app.pathSelected(music.path());
        CollectRun run;
        run.keys = {"name"};
        run.step = [](const MusicTrack &track, const TrackValues &values, QList<ChangeRecord> &records) {
            records << collector::tagRecord(track, values, "name", tagText(values.value("name")), "changed");
        };
        app.collect(run);
    }
    // The run ended before the controller went: its sheet closed, its review opened.
    EXPECT_EQ(port->progressEnded, 1);
    EXPECT_EQ(port->reviewsBegun, 1);
    QCoreApplication::processEvents();
    EXPECT_NE(MusicTrack::withPath(paths[0]).title(), "changed");
}
