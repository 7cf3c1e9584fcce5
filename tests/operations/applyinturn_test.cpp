// SPDX-License-Identifier: GPL-3.0-or-later
// Applying to a folder with eight threads: files are prepared several at a
// time, yet a record that fails still stops the run exactly there, however
// far the other threads had got.
#include "files/filetags.h"
#include "model/musictrack.h"
#include "operations/applyengine.h"
#include "support/filepool.h"
#include "support/threadcount.h"
#include "readonlyplace.h"
#include "testfiles.h"

#include <QFileInfo>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

QString tagged(const QString &path, const QString &title)
{
    filetags::write(path, "name", title);
    filetags::write(path, "artist", "Band");
    return path;
}

ChangeRecord recordFor(const QString &path, const QString &key, const QString &newValue)
{
    const MusicTrack track = MusicTrack::withPath(path);
    const QVariantHash now = track.valuesForTags({"name", "artist", key});
    return ChangeRecord{track, key, tagText(now.value(key)), newValue, tagText(now.value("name")),
                        tagText(now.value("artist")), true};
}

struct Applied {
    ApplyResult result;
    QStringList details;
};

Applied apply(const QList<ChangeRecord> &records)
{
    auto list = std::make_shared<ChangeList>();
    list->records = records;
    Applied applied;
    ApplyRun run;
    run.changes = list;
    run.progress = [&](const ProgressDetail &detail) { applied.details << detail.toString(); };
    applied.result = applyengine::apply(run);
    return applied;
}

} // namespace

TEST(ApplyInTurn, RecordsAfterTheFailingOneStayUnwrittenWhicheverThreadHadThem)
{
    const ScopedThreadCount eight(8);
    TestFolder folder;
    ReadOnlyPlace locked(folder, "locked");
    if (!locked.available())
        GTEST_SKIP() << "no way to make a file unwritable here";
    const QStringList seeds = seedNames();
    const int n = 36;
    QStringList paths;
    for (int i = 0; i < n; ++i) {
        const QString seed = seeds.at(i % seeds.size());
        paths << tagged(folder.addSeed(seed, QStringLiteral("f%1.%2").arg(i).arg(QFileInfo(seed).suffix())),
                        QStringLiteral("Song %1").arg(i));
    }
    const QString stuck = tagged(locked.addSeed("seed.mp3", "stuck.mp3"), "Stuck");
    ASSERT_TRUE(locked.lock());
    const QString link = folder.filePath("f3-link." + QFileInfo(paths[3]).suffix());
    ASSERT_EQ(::link(QFile::encodeName(paths[3]).constData(), QFile::encodeName(link).constData()), 0);

    // Every file a genre; the first six a comment too, right after it; the
    // second name of file 3 the same genre; the locked file halfway.
    QList<ChangeRecord> records;
    QList<int> fileOf; // beside records: the file each writes, -1 for the others
    for (int i = 0; i < n; ++i) {
        if (i == n / 2) {
            records << recordFor(stuck, "genre", "Never");
            fileOf << -1;
        }
        records << recordFor(paths[i], "genre", QStringLiteral("Genre %1").arg(i));
        fileOf << i;
        if (i < 6) {
            records << recordFor(paths[i], "comment", QStringLiteral("Note %1").arg(i));
            fileOf << i;
        }
        if (i == 3) {
            records << recordFor(link, "genre", "Genre 3");
            fileOf << -1;
        }
    }
    const qsizetype failing = fileOf.indexOf(-1, fileOf.indexOf(n / 2 - 1));
    ASSERT_EQ(records[failing].track.path(), stuck);
    QList<QByteArray> before;
    for (const QString &path : paths)
        before << TestFolder::readAll(path);
    const QByteArray stuckBefore = TestFolder::readAll(stuck);

    const Applied applied = apply(records);
    EXPECT_EQ(applied.result.outcome, ApplyResult::Failed);
    EXPECT_EQ(applied.result.failedTrack, "Stuck");
    EXPECT_FALSE(applied.result.error.isEmpty());
    EXPECT_EQ(applied.result.written, failing) << "every record before the failing one, the second name included";
    EXPECT_EQ(applied.result.enabled, records.size());
    QStringList expectedDetails;
    for (qsizetype i = 0; i <= failing; ++i)
        expectedDetails << QStringLiteral("%1/%2 %3").arg(i + 1).arg(records.size()).arg(records[i].title);
    EXPECT_EQ(applied.details, expectedDetails);

    for (int i = 0; i < n; ++i) {
        const QVariantHash now = filetags::read(paths[i], {"genre", "comment"});
        if (i < n / 2) {
            EXPECT_EQ(now.value("genre").toString(), QStringLiteral("Genre %1").arg(i)) << i;
            if (i < 6) {
                EXPECT_EQ(now.value("comment").toString(), QStringLiteral("Note %1").arg(i)) << i;
            }
        } else {
            EXPECT_EQ(TestFolder::readAll(paths[i]), before[i]) << "file " << i << " was written after the failure";
        }
    }
    EXPECT_EQ(TestFolder::readAll(stuck), stuckBefore);

    // A file changed elsewhere since its record was made stops the rest the
    // same way, as a changed track.
    records.clear();
    for (int i = n / 2; i < n; ++i)
        records << recordFor(paths[i], "genre", QStringLiteral("Later %1").arg(i));
    const int changed = n / 2 + 9;
    filetags::write(paths[changed], "name", "Renamed meanwhile");
    for (int i = changed; i < n; ++i)
        before[i] = TestFolder::readAll(paths[i]);
    const Applied aborted = apply(records);
    EXPECT_EQ(aborted.result.outcome, ApplyResult::Aborted);
    EXPECT_EQ(aborted.result.written, changed - n / 2);
    for (int i = n / 2; i < n; ++i) {
        if (i < changed) {
            EXPECT_EQ(filetags::read(paths[i], {"genre"}).value("genre").toString(), QStringLiteral("Later %1").arg(i));
        } else {
            EXPECT_EQ(TestFolder::readAll(paths[i]), before[i]) << "file " << i << " was written after the change";
        }
    }
}
