// SPDX-License-Identifier: GPL-3.0-or-later
// Collecting over a folder with files read several at a time: the list and
// the stop at an error are those of a walk that reads one file after another.
#include "roadfixture.h"

#include "files/filetags.h"
#include "operations/filepool.h"
#include "testfiles.h"
#include "operations/threadcount.h"

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
