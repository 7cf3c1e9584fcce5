// SPDX-License-Identifier: GPL-3.0-or-later
// Apply runs over file tracks that include damaged files and files with
// several names.
#include "model/musictrack.h"
#include "operations/applyengine.h"
#include "operations/changesmodel.h"
#include "testfiles.h"

#include <QFile>
#include <gtest/gtest.h>

#include <unistd.h>

namespace {

ChangeRecord titleChange(const QString &path, const QString &newTitle)
{
    return ChangeRecord{MusicTrack::withPath(path), "name", "Seed Title", newTitle, "Seed Title", "Seed Artist", true};
}

ApplyResult applyAll(const QList<ChangeRecord> &records)
{
    auto list = std::make_shared<ChangeList>();
    list->records = records;
    ApplyRun run;
    run.changes = list;
    run.progress = [](const ProgressDetail &) {};
    return applyengine::apply(run);
}

} // namespace

TEST(HostileApply, TwoNamesOfOneFileAreWrittenOnceAndTheRunGoesOn)
{
    TestFolder folder;
    const QString first = folder.addSeed("seed.mp3", "first.mp3");
    const QString second = folder.filePath("second.mp3");
    ASSERT_EQ(::link(QFile::encodeName(first).constData(), QFile::encodeName(second).constData()), 0);
    const QString other = folder.addSeed("seed.flac", "other.flac");

    const QList<ChangeRecord> records{titleChange(first, "New"), titleChange(second, "New"), titleChange(other, "New")};
    // The review shows the second name as the file of the first change.
    ChangesModel review;
    auto list = std::make_shared<ChangeList>();
    list->records = records;
    review.setChangeList(list);
    EXPECT_EQ(review.sameFileAs(0), -1);
    EXPECT_EQ(review.sameFileAs(1), 0);
    EXPECT_EQ(review.sameFileAs(2), -1);
    EXPECT_EQ(review.data(review.index(1, ChangesModel::TitleColumn)).toString(),
              "Seed Title (same file as change 1)");
    EXPECT_EQ(review.data(review.index(1, ChangesModel::TitleColumn), Qt::EditRole).toString(), "Seed Title");
    EXPECT_EQ(review.data(review.index(0, ChangesModel::TitleColumn)).toString(), "Seed Title");
    {
        // A long review: each second name points at the first row of its
        // file, and a file that is gone is nobody's second name.
        auto many = std::make_shared<ChangeList>();
        for (int i = 0; i < 30; ++i)
            many->records << titleChange(folder.addSeed("seed.mp3", QStringLiteral("many%1.mp3").arg(i)), "New");
        for (int i = 29; i >= 0; --i) {
            const QString link = folder.filePath(QStringLiteral("link%1.mp3").arg(i));
            ASSERT_EQ(::link(QFile::encodeName(many->records.at(i).track.path()).constData(),
                             QFile::encodeName(link).constData()),
                      0);
            many->records << titleChange(link, "New");
        }
        many->records << titleChange(folder.filePath("missing.mp3"), "New");
        review.setChangeList(many);
        for (int row = 0; row < 30; ++row)
            EXPECT_EQ(review.sameFileAs(row), -1) << row;
        for (int row = 30; row < 60; ++row)
            EXPECT_EQ(review.sameFileAs(row), 59 - row) << row;
        EXPECT_EQ(review.sameFileAs(60), -1);
        review.setChangeList(list);
    }

    const ApplyResult result = applyAll(records);
    EXPECT_EQ(result.outcome, ApplyResult::Finished);
    EXPECT_EQ(result.written, 3);
    EXPECT_EQ(result.enabled, 3);
    for (const QString &path : {first, second, other})
        EXPECT_EQ(MusicTrack::withPath(path).title(), "New") << path.toStdString();
    EXPECT_EQ(MusicTrack::withPath(second).album(), "Seed Album");
}

TEST(HostileApply, AFileNotUnderstoodStopsTheRunNamingItAndIsLeftAlone)
{
    TestFolder folder;
    const QString before = folder.addSeed("seed.mp3", "before.mp3");
    // A tag whose declared size takes in 200 bytes of the audio.
    QByteArray bytes = TestFolder::readAll(TestFolder::seedPath("seed.mp3"));
    const quint32 size = 179 + 200;
    bytes[6] = char((size >> 21) & 0x7f);
    bytes[7] = char((size >> 14) & 0x7f);
    bytes[8] = char((size >> 7) & 0x7f);
    bytes[9] = char(size & 0x7f);
    const QString damaged = folder.addFile("damaged.mp3", bytes);
    const QString after = folder.addSeed("seed.ogg", "after.ogg");
    const QByteArray afterBytes = TestFolder::readAll(after);

    const ApplyResult result =
        applyAll({titleChange(before, "New"), titleChange(damaged, "New"), titleChange(after, "New")});
    EXPECT_EQ(result.outcome, ApplyResult::Failed);
    EXPECT_EQ(result.written, 1);
    EXPECT_TRUE(result.error.contains(damaged)) << result.error.toStdString();
    EXPECT_TRUE(result.error.contains("its tag size runs into the audio")) << result.error.toStdString();
    const QString told = applyengine::outcomeMessage(result);
    EXPECT_TRUE(told.contains("1 of 3 checked changes had been made")) << told.toStdString();
    EXPECT_EQ(MusicTrack::withPath(before).title(), "New");
    EXPECT_EQ(TestFolder::readAll(damaged), bytes);
    EXPECT_EQ(TestFolder::readAll(after), afterBytes);
}
