// SPDX-License-Identifier: GPL-3.0-or-later
#include "librarytoolfixture.h"
#include "mpdserver.h"
#include "readonlyplace.h"

#include "library/mpdclient.h"
#include "operations/choices.h"
#include "tools/mpdsync.h"

namespace {

class MpdSync : public LibraryToolTest {
protected:
    QString musicFolder() const { return folder_.filePath(QStringLiteral("music")); }
    QVariant value(qint64 id, const char *key) { return library().property({id}, QLatin1String(key)); }

    void pointAt(AppDelegate &app, int port, const QString &password = {})
    {
        app.setMpdHost(QStringLiteral("127.0.0.1"));
        app.setMpdPort(port);
        app.setMpdPassword(password);
        app.setMpdMusicFolder(musicFolder());
        app.setMpdRatingScale(10);
        app.setSelectedMethod(choices::SelectionSource);
    }
    static MpdAddress address(int port, const QString &password = {})
    {
        return MpdAddress{QStringLiteral("127.0.0.1"), port, password, 5000};
    }
    QStringList changes(const AppDelegate &app) const
    {
        QStringList lines;
        if (app.changes())
            for (const ChangeRecord &r : app.changes()->records)
                lines << QStringLiteral("%1 %2: '%3' -> '%4'").arg(r.title, r.tagToChange, r.oldTag, r.newTag);
        return lines;
    }
};

} // namespace

// The whole road: the library's values pushed as MPD's stickers (a track
// outside MPD's music folder and one MPD does not know are left out and
// counted), read back with the protocol, pulled into a fresh library in
// one reviewed run, and that run undone.
TEST_F(MpdSync, PushReadBackPullIntoAFreshLibraryAndUndo)
{
    const qint64 rated = addTrack("rated", "Band", {{"rating", 80}, {"playedCount", 3}});
    const qint64 half = addTrack("half", "Band", {{"rating", 75}});
    const qint64 unrated = addTrack("unrated");
    const QString outsidePath = folder_.addSeed(QStringLiteral("seed.mp3"), QStringLiteral("elsewhere/odd 'name'.mp3"));
    const qint64 outside = library().importFile({outsidePath, {{"name", "outside"}, {"rating", 20}}});

    MpdServer server(musicFolder());
    REQUIRE_MPD(server);
    MpdClient(address(server.port())).updateDatabase(20000);
    // Known to the library, not yet to MPD's database.
    const qint64 late = addTrack("late", "Band", {{"rating", 40}});
    // MPD already holds a rating for "half" that stands for the library's 75: no change.
    int stored = 0;
    MpdClient(address(server.port())).setStickers({{"2.mp3", "rating", "8"}, {"1.mp3", "rating", "2"}}, stored);
    ASSERT_EQ(stored, 2);
    library().setSelection({rated, half, unrated, outside, late});
    pointAt(app_, server.port());

    runAndWait([this] { app_.performMpdPush(); });
    EXPECT_EQ(changes(app_), (QStringList{"rated rating: '2' -> '8'", "rated playedCount: '' -> '3'"}));
    ASSERT_EQ(port_->alerts.size(), 1) << port_->alertTitles().join(", ").toStdString();
    EXPECT_EQ(port_->alerts[0].title, QStringLiteral("Tracks Left Out"));
    EXPECT_TRUE(port_->alerts[0].message.contains(QStringLiteral("1 track outside MPD's music folder")));
    EXPECT_TRUE(port_->alerts[0].message.contains(QStringLiteral("1 track not in MPD's database")));
    apply();
    ASSERT_EQ(app_.lastRun()->outcome().kind, RunOutcome::Applied);
    EXPECT_EQ(app_.lastRun()->outcome().applied.written, 2);
    {
        MpdClient mpd(address(server.port()));
        EXPECT_EQ(mpd.sticker("1.mp3", "rating"), QStringLiteral("8"));
        EXPECT_EQ(mpd.sticker("1.mp3", "playCount"), QStringLiteral("3"));
        EXPECT_EQ(mpd.sticker("2.mp3", "rating"), QStringLiteral("8"));
        EXPECT_TRUE(mpd.sticker("3.mp3", "rating").isNull());
        // A sticker no MPD client would write stays where it is and is said.
        mpd.setStickers({{"3.mp3", "rating", "lots"}}, stored);
    }
    // Pushing again finds nothing left to do.
    port_->alerts.clear();
    runAndWait([this] { app_.performMpdPush(); });
    EXPECT_EQ(app_.lastRun()->outcome().kind, RunOutcome::NothingToDo);

    // A fresh library of the same files, nothing rated.
    AppDelegate fresh{*port_};
    fresh.setLibraryPath(folder_.addFolder(QStringLiteral("fresh")) + QStringLiteral("/library.sqlite"));
    fresh.applicationDidFinishLaunching();
    EXPECT_EQ(fresh.mpdMusicFolder(), musicFolder()) << "the music folder is remembered";
    QList<qint64> ids;
    for (int n = 1; n <= 3; ++n)
        ids << fresh.library()->importFile({musicFolder() + QStringLiteral("/%1.mp3").arg(n), {{"name", QString::number(n)}}});
    fresh.library()->setSelection(ids);
    pointAt(fresh, server.port());
    port_->alerts.clear();
    fresh.performMpdPull();
    awaitLastRun(fresh);
    EXPECT_EQ(changes(fresh), (QStringList{"1 rating: '0' -> '80'", "1 playedCount: '0' -> '3'", "2 rating: '0' -> '80'"}));
    ASSERT_EQ(port_->alertTitles(), QStringList{"Tracks Left Out"});
    EXPECT_TRUE(port_->alerts[0].message.contains(QStringLiteral("rating 'lots' of 3.mp3"))) << port_->alerts[0].message.toStdString();
    fresh.applyChanges();
    awaitLastRun(fresh);
    const auto freshValue = [&](int i, const char *key) { return fresh.library()->property({ids[i]}, QLatin1String(key)).toInt(); };
    EXPECT_EQ(freshValue(0, "rating"), 80);
    EXPECT_EQ(freshValue(0, "playedCount"), 3);
    EXPECT_EQ(freshValue(1, "rating"), 80);
    EXPECT_EQ(freshValue(2, "rating"), 0);

    fresh.performUndo();
    awaitLastRun(fresh);
    ASSERT_TRUE(fresh.changes());
    EXPECT_EQ(fresh.changes()->records.size(), 3);
    fresh.applyChanges();
    awaitLastRun(fresh);
    EXPECT_EQ(freshValue(0, "rating"), 0);
    EXPECT_EQ(freshValue(0, "playedCount"), 0);
    EXPECT_EQ(freshValue(1, "rating"), 0);
    // The first library was never touched by the pull.
    EXPECT_EQ(value(half, "rating").toInt(), 75);
}

// MPD out of reach or refusing, and a pull that meets a changed track: clear
// alerts, and nothing half-written in MPD or the library.
TEST_F(MpdSync, UnreachableRefusedAndStoppedRunsChangeNothing)
{
    const qint64 first = addTrack("first", "Band", {{"rating", 60}});
    const qint64 second = addTrack("second", "Band", {{"rating", 60}});
    library().setSelection({first, second});

    pointAt(app_, MpdServer::freePort());
    runAndWait([this] { app_.performMpdPull(); });
    EXPECT_EQ(app_.lastRun()->outcome().kind, RunOutcome::Refused);
    EXPECT_EQ(port_->alertTitles(), QStringList{"MPD Unreachable"});

    app_.setMpdMusicFolder({});
    port_->alerts.clear();
    runAndWait([this] { app_.performMpdPush(); });
    EXPECT_EQ(port_->alertTitles(), QStringList{"MPD's Music Folder Unknown"});

    MpdServer guarded(musicFolder(), QStringLiteral("s3cret"));
    REQUIRE_MPD(guarded);
    for (const QString &password : {QStringLiteral("wrong"), QString()}) {
        pointAt(app_, guarded.port(), password);
        port_->alerts.clear();
        runAndWait([this] { app_.performMpdPush(); });
        EXPECT_EQ(app_.lastRun()->outcome().kind, RunOutcome::Refused);
        EXPECT_EQ(port_->alertTitles(), QStringList{"MPD Refused the Password"}) << password.toStdString();
    }
    MpdClient(address(guarded.port(), QStringLiteral("s3cret"))).updateDatabase(20000);
    int stored = 0;
    MpdClient(address(guarded.port(), QStringLiteral("s3cret")))
        .setStickers({{"1.mp3", "rating", "10"}, {"2.mp3", "rating", "10"}}, stored);

    // The second track changes between the review and the apply: the first's row goes back too.
    pointAt(app_, guarded.port(), QStringLiteral("s3cret"));
    port_->alerts.clear();
    runAndWait([this] { app_.performMpdPull(); });
    ASSERT_EQ(changes(app_).size(), 2);
    library().setProperty({second}, QStringLiteral("rating"), 20);
    apply();
    EXPECT_NE(app_.lastRun()->outcome().applied.outcome, ApplyResult::Finished);
    EXPECT_EQ(value(first, "rating").toInt(), 60);
    EXPECT_EQ(value(second, "rating").toInt(), 20);

    // A song MPD loses between the review and the push: MPD stops at it and the alert names it.
    runAndWait([this] { app_.performMpdPush(); });
    ASSERT_EQ(changes(app_), (QStringList{"first rating: '10' -> '6'", "second rating: '10' -> '2'"}));
    ASSERT_TRUE(QFile::remove(musicFolder() + QStringLiteral("/1.mp3")));
    MpdClient(address(guarded.port(), QStringLiteral("s3cret"))).updateDatabase(20000);
    port_->alerts.clear();
    apply();
    EXPECT_EQ(app_.lastRun()->outcome().applied.written, 0);
    ASSERT_EQ(port_->alertTitles(), QStringList{"Changes Not Completed"});
    EXPECT_TRUE(port_->alerts[0].message.contains(QStringLiteral("holds no song '1.mp3'")))
        << port_->alerts[0].message.toStdString();
    EXPECT_EQ(MpdClient(address(guarded.port(), QStringLiteral("s3cret"))).sticker("2.mp3", "rating"), "10");

    // An MPD that keeps no stickers says so.
    MpdServer plain(musicFolder(), {}, false);
    REQUIRE_MPD(plain);
    pointAt(app_, plain.port());
    port_->alerts.clear();
    runAndWait([this] { app_.performMpdPush(); });
    ASSERT_EQ(port_->alertTitles(), QStringList{"MPD Error"});
    EXPECT_TRUE(port_->alerts[0].message.contains(QStringLiteral("keeps no stickers"))) << port_->alerts[0].message.toStdString();
}

// A sticker database MPD can no longer write: the push stops with MPD's words
// and what to look at.
TEST_F(MpdSync, AReadOnlyStickerDatabaseIsSaid)
{
    const qint64 id = addTrack("first", "Band", {{"rating", 60}});
    library().setSelection({id});
    ReadOnlyPlace place(folder_, QStringLiteral("stickers"));
    if (!place.available())
        GTEST_SKIP() << "no way to make a folder read-only here";
    const MpdServer::Config config{musicFolder(), {}, true, folder_.filePath(QStringLiteral("stickers"))};
    {
        // The first mpd makes the sticker database; the second finds it read-only.
        MpdServer maker(config);
        REQUIRE_MPD(maker);
        int stored = 0;
        MpdClient mpd(address(maker.port()));
        mpd.updateDatabase(20000);
        mpd.setStickers({{"1.mp3", "rating", "1"}}, stored);
    }
    ASSERT_TRUE(place.lock());
    MpdServer server(config);
    REQUIRE_MPD(server);
    MpdClient(address(server.port())).updateDatabase(20000);
    pointAt(app_, server.port());
    runAndWait([this] { app_.performMpdPush(); });
    ASSERT_EQ(changes(app_), QStringList{"first rating: '1' -> '6'"});
    apply();
    ASSERT_EQ(port_->alertTitles(), QStringList{"Changes Not Completed"});
    EXPECT_TRUE(port_->alerts[0].message.contains(QStringLiteral("sticker database cannot be written")))
        << port_->alerts[0].message.toStdString();
    EXPECT_EQ(MpdClient(address(server.port())).sticker("1.mp3", "rating"), "1");
}
