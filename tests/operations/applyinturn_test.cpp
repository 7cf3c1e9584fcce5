// SPDX-License-Identifier: GPL-3.0-or-later
// Applying to a folder with eight threads: files are prepared several at a
// time, yet a record that fails still stops the run exactly there, however
// far the other threads had got.
#include "files/filetags.h"
#include "library/librarybuilder.h"
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

// A folder run with a library that holds some of its files: those files'
// writes are followed into the library in their turn, the others pass the
// turn on as soon as they are on disk; a failure still stops everything after
// it, files and rows alike, exactly as one thread writing in turn does.
TEST(ApplyInTurn, FilesTheLibraryHoldsAndFilesItDoesNotKeepOneOrder)
{
    QStringList outcome[2];
    const int counts[2] = {1, 8};
    for (int c = 0; c < 2; ++c) {
        const ScopedThreadCount threads(counts[c]);
        LibraryBuilder builder;
        auto library = std::make_shared<MusicLibrary>(builder.libraryPath());
        TestFolder loose;
        ReadOnlyPlace locked(loose, "locked");
        if (!locked.available())
            GTEST_SKIP() << "no way to make a file unwritable here";
        // Every third file is a library track's.
        const int n = 24;
        QStringList paths;
        QHash<int, qint64> trackOf;
        for (int i = 0; i < n; ++i) {
            if (i % 3 == 0) {
                trackOf[i] = builder.addTrack(QStringLiteral("Song %1").arg(i), "Band");
                paths << builder.folder().filePath(QStringLiteral("music/%1.mp3").arg(i / 3 + 1));
            } else {
                paths << loose.addSeed("seed.ogg", QStringLiteral("f%1.ogg").arg(i));
            }
            tagged(paths.last(), QStringLiteral("Song %1").arg(i));
        }
        const QString stuck = tagged(locked.addSeed("seed.mp3", "stuck.mp3"), "Stuck");
        ASSERT_TRUE(locked.lock());
        const int failingAt = 16; // the locked file comes before file 16
        QList<ChangeRecord> records;
        for (int i = 0; i < n; ++i) {
            if (i == failingAt)
                records << recordFor(stuck, "genre", "Never");
            records << recordFor(paths[i], "genre", QStringLiteral("Genre %1").arg(i));
        }

        const auto genreOf = [&](int i) {
            return std::pair{filetags::read(paths[i], {"genre"}).value("genre").toString(),
                             trackOf.contains(i)
                                 ? library->property(LibraryBuilder::throughLibrary(trackOf[i]), "genre").toString()
                                 : QStringLiteral("-")};
        };
        QList<std::pair<QString, QString>> before;
        for (int i = 0; i < n; ++i)
            before << genreOf(i);

        auto list = std::make_shared<ChangeList>();
        list->records = records;
        ApplyRun run;
        run.changes = list;
        run.library = library;
        QStringList details;
        run.progress = [&](const ProgressDetail &detail) { details << detail.toString(); };
        const ApplyResult result = applyengine::apply(run);
        outcome[c] << QStringLiteral("outcome %1, written %2, failed %3")
                          .arg(int(result.outcome))
                          .arg(result.written)
                          .arg(result.failedTrack)
                   << details;
        EXPECT_EQ(result.outcome, ApplyResult::Failed);
        EXPECT_EQ(result.written, failingAt);
        for (int i = 0; i < n; ++i) {
            const auto [genre, row] = genreOf(i);
            outcome[c] << QStringLiteral("%1: file %2, row %3").arg(i).arg(genre, row);
            const QString written = QStringLiteral("Genre %1").arg(i);
            EXPECT_EQ(genre, i < failingAt ? written : before[i].first) << i << " on " << counts[c] << " threads";
            if (trackOf.contains(i)) {
                EXPECT_EQ(row, i < failingAt ? written : before[i].second)
                    << "the row of " << i << " on " << counts[c] << " threads";
            }
        }
    }
    EXPECT_EQ(outcome[0].join('\n').toStdString(), outcome[1].join('\n').toStdString());
}
