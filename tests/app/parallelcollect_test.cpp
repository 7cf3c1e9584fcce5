// SPDX-License-Identifier: GPL-3.0-or-later
// File work several files at a time: collecting over a folder or over the
// files of library tracks, and writing library edits through to their files.
// The list, the files and rows written, and the stop at an error are those of
// a run that handles one file after another.
#include "roadfixture.h"

#include "files/filetags.h"
#include "support/filepool.h"
#include "support/threadcount.h"
#include "testfiles.h"

#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>
#include <stdexcept>

TEST(ParallelCollect, FolderWalkKeepsTheSourcesOrderAndStopsWhereTheErrorIs)
{
    const ScopedThreadCount eight(8);
    Road road;
    TestFolder music;
    // Every format, so that slow and quick reads interleave; each file's
    // title tells where it stands in the source.
    const QStringList seeds = seedNames();
    QList<MusicTrack> tracks;
    const int n = 60;
    for (int i = 0; i < n; ++i) {
        const QString seed = seeds.at(i % seeds.size());
        const QString path = music.addSeed(seed, QStringLiteral("f%1.%2").arg(i).arg(QFileInfo(seed).suffix()));
        filetags::write(path, "name", QStringLiteral("Song %1").arg(i));
        tracks << MusicTrack::withPath(path);
    }

    int failAt = -1;
    QStringList stepped;
    CollectRun run;
    run.keys = {"name", "genre"};
    run.listed = [&] { return std::optional<QList<MusicTrack>>(tracks); };
    run.step = [&](const MusicTrack &track, const TrackValues &values, QList<ChangeRecord> &records) {
        const QString title = values.value("name").toString();
        stepped << title;
        if (stepped.size() - 1 == failAt)
            throw std::runtime_error("the share went away");
        records << collector::tagRecord(track, values, "genre", tagText(values.value("genre")), title);
    };

    road.app.collect(run);
    road.finishRun();
    EXPECT_TRUE(road.port->alerts.isEmpty());
    ASSERT_TRUE(road.app.changes());
    const QList<ChangeRecord> &all = road.app.changes()->records;
    ASSERT_EQ(all.size(), n);
    for (int i = 0; i < n; ++i) {
        EXPECT_EQ(all[i].track.path(), tracks[i].path()) << i;
        EXPECT_EQ(all[i].title, QStringLiteral("Song %1").arg(i));
        EXPECT_EQ(all[i].newTag, all[i].title);
    }
    road.app.cancelChanges(true);

    // An error in the middle: what came before it is handed over, in order,
    // the track it happened at is named, and no later track reached a step.
    failAt = 37;
    stepped.clear();
    road.app.collect(run);
    road.finishRun();
    ASSERT_EQ(road.port->alerts.size(), 1);
    EXPECT_EQ(road.port->alerts[0].title, "Collecting Stopped");
    EXPECT_TRUE(road.port->alerts[0].message.contains("'Song 37'")) << road.port->alerts[0].message.toStdString();
    EXPECT_TRUE(road.port->alerts[0].message.contains("the share went away"));
    EXPECT_EQ(stepped.size(), failAt + 1);
    ASSERT_TRUE(road.app.changes());
    const QList<ChangeRecord> &before = road.app.changes()->records;
    ASSERT_EQ(before.size(), failAt);
    for (int i = 0; i < failAt; ++i)
        EXPECT_EQ(before[i].title, QStringLiteral("Song %1").arg(i));
}

namespace {

// A playlist "All" of n library tracks "Song 1".."Song n"; every third
// track's file holds a picture, and the tenth track is dead.
QList<qint64> picturedPlaylist(Road &road, int n)
{
    QList<qint64> ids;
    for (int i = 1; i <= n; ++i) {
        ids << road.builder.addTrack(QStringLiteral("Song %1").arg(i), "Band", {}, i == 10);
        if (i % 3 == 0)
            road.builder.folder().addFile(QStringLiteral("music/%1.mp3").arg(i),
                                          TestFolder::readAll(TestFolder::seedPath("seed.mp3")) + "APIC image/jpeg");
    }
    road.other().addToPlaylist(road.other().createPlaylist("All"), ids);
    road.app.applicationDidFinishLaunching();
    road.app.setSelectedPlaylist(road.app.playlists().indexOf("All"));
    return ids;
}

} // namespace

TEST(ParallelCollect, LibraryCoversAreReadOnEveryThreadInThePlaylistsOrder)
{
    const int n = 45;
    QStringList seen[2];
    const int counts[2] = {1, 8};
    for (int c = 0; c < 2; ++c) {
        const ScopedThreadCount threads(counts[c]);
        Road road;
        picturedPlaylist(road, n);
        int failAt = -1;
        QStringList stepped;
        CollectRun run;
        run.keys = {"cover"};
        run.step = [&](const MusicTrack &track, const TrackValues &values, QList<ChangeRecord> &records) {
            stepped << tagText(values.value("name"));
            if (stepped.size() - 1 == failAt)
                throw std::runtime_error("the file went away");
            records << collector::tagRecord(track, values, "comment", "", tagText(values.value("cover")));
        };
        road.app.collect(run);
        road.finishRun();
        EXPECT_TRUE(road.port->alerts.isEmpty());
        ASSERT_TRUE(road.app.changes());
        for (const ChangeRecord &record : road.app.changes()->records)
            seen[c] << record.title + "=" + record.newTag;
        road.app.cancelChanges(true);

        // A failing step stops the walk there, whatever files were read ahead.
        failAt = 31;
        stepped.clear();
        road.app.collect(run);
        road.finishRun();
        ASSERT_EQ(road.port->alerts.size(), 1);
        EXPECT_TRUE(road.port->alerts[0].message.contains("'Song 32'")) << road.port->alerts[0].message.toStdString();
        EXPECT_EQ(stepped.size(), failAt + 1);
        ASSERT_TRUE(road.app.changes());
        EXPECT_EQ(road.app.changes()->records.size(), failAt);
    }
    QStringList expected;
    for (int i = 1; i <= n; ++i)
        expected << QStringLiteral("Song %1=%2").arg(i).arg(i % 3 == 0 && i != 10 ? "cover" : "");
    EXPECT_EQ(seen[0], expected);
    EXPECT_EQ(seen[1], expected);
}

TEST(ParallelApply, LibraryEditsReachTheFilesInOrderAndStopAtAFileThatFails)
{
    const int n = 30;
    const int broken = 20; // the track whose file is no audio any more
    QStringList outcome[2];
    const int counts[2] = {1, 8};
    for (int c = 0; c < 2; ++c) {
        const ScopedThreadCount threads(counts[c]);
        Road road;
        const QList<qint64> ids = road.startOnPlaylist("All", n);
        // Track 5 gets two records, which must see each other's writes.
        CollectRun run;
        run.keys = {"name", "comment"};
        run.step = [](const MusicTrack &track, const TrackValues &values, QList<ChangeRecord> &records) {
            const QString title = tagText(values.value("name"));
            records << collector::tagRecord(track, values, "name", title, title + " *");
            if (title == "Song 5")
                records << collector::tagRecord(track, values, "comment", tagText(values.value("comment")), "five");
        };
        road.app.collect(run);
        road.finishRun();
        ASSERT_TRUE(road.app.changes());
        ASSERT_EQ(road.app.changes()->records.size(), n + 1);
        const QString brokenFile = road.builder.folder().filePath(QStringLiteral("music/%1.mp3").arg(broken));
        road.builder.folder().addFile(QStringLiteral("music/%1.mp3").arg(broken), QByteArray(4096, 'x'));
        const QByteArray brokenBytes = TestFolder::readAll(brokenFile);
        const auto fileOf = [&](int i) {
            return road.builder.folder().filePath(QStringLiteral("music/%1.mp3").arg(i));
        };
        const QString untouched = filetags::read(fileOf(n), {"name"}).value("name").toString();
        road.apply();

        ASSERT_EQ(road.port->alerts.size(), 1);
        outcome[c] << road.port->alerts[0].title + ": " +
                          QString(road.port->alerts[0].message).replace(road.builder.folder().filePath(""), "");
        EXPECT_TRUE(road.port->alerts[0].message.contains(QStringLiteral("Song %1").arg(broken)))
            << road.port->alerts[0].message.toStdString();
        EXPECT_EQ(TestFolder::readAll(brokenFile), brokenBytes);
        for (int i = 1; i <= n; ++i) {
            const QVariantHash tags = filetags::read(fileOf(i), {"name", "comment"});
            const QString row = road.stored(ids[i - 1], "name").toString();
            outcome[c] << QStringLiteral("%1: file %2 / %3, row %4")
                              .arg(i)
                              .arg(tags.value("name").toString(), tags.value("comment").toString(), row);
            // Written before the failing file, file and row alike; after it, neither.
            EXPECT_EQ(row, QStringLiteral("Song %1").arg(i) + (i < broken ? " *" : "")) << i;
            if (i != broken) {
                EXPECT_EQ(tags.value("name").toString(), i < broken ? row : untouched) << i;
            }
        }
        EXPECT_EQ(road.stored(ids[4], "comment").toString(), "five");
        EXPECT_EQ(filetags::read(fileOf(5), {"comment"}).value("comment").toString(), "five");
    }
    EXPECT_EQ(outcome[0].join('\n').toStdString(), outcome[1].join('\n').toStdString());
}
