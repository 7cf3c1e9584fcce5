// SPDX-License-Identifier: GPL-3.0-or-later
// The tag cache as the command line uses it: shared by processes running at
// once, never the reason for a wrong review, and off without a place to live.
#include "library/tagcache.h"
#include "files/filetags.h"
#include "cliprocess.h"
#include "readonlyplace.h"
#include "testfiles.h"
#include "userlocations.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QThread>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <memory>
#include <sys/stat.h>

namespace {

std::unique_ptr<QProcess> startCli(const QStringList &args, const ScopedUserLocations &locations,
                                   const QString &cacheHome, bool cacheOff = false,
                                   const QString &failingFile = QString())
{
    auto process = std::make_unique<QProcess>();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_DATA_HOME", locations.dataHome());
    env.insert("XDG_STATE_HOME", locations.stateHome());
    env.insert("XDG_CONFIG_HOME", locations.settingsHome());
    env.insert("XDG_CACHE_HOME", cacheHome);
    env.remove("QUAVERTIN_LIBRARY");
    // The cache's log lines are read from standard error, not the system log.
    env.insert("QT_FORCE_STDERR_LOGGING", "1");
    if (cacheOff)
        env.insert("QUAVERTIN_CACHE", "0");
    if (!failingFile.isEmpty()) {
        env.insert("LD_PRELOAD", QStringLiteral(FAILING_READS));
        env.insert("FAILREADS_NAME", "/" + failingFile);
        // Under the sanitizers the preloaded disk comes before their runtime.
        env.insert("ASAN_OPTIONS", env.value("ASAN_OPTIONS") + ":verify_asan_link_order=0");
    }
    process->setProcessEnvironment(env);
    process->start(QStringLiteral(QUAVERTIN_CLI), args);
    process->closeWriteChannel();
    return process;
}

CliResult finished(QProcess &process)
{
    if (!process.waitForFinished(60000))
        return {};
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

QStringList dryRun(const QString &folder)
{
    return {"--folder", folder, "search-replace", "--tag", "name", "--search", "Song", "--replace", "Tune",
            "--dry-run"};
}

// A folder of mp3 files titled "Song 00" ... whose last change is old enough
// for the cache to trust what it reads of them.
QStringList songs(TestFolder &folder, const QString &sub, int count)
{
    QStringList paths;
    for (int i = 0; i < count; ++i) {
        const QString path = folder.addSeed("seed.mp3", QStringLiteral("%1/%2.mp3").arg(sub).arg(i));
        filetags::write(path, "name", QStringLiteral("Song %1").arg(i, 2, 10, QLatin1Char('0')));
        paths << path;
    }
    QThread::msleep(120);
    return paths;
}

int linesWith(const QString &text, const QString &part)
{
    return int(text.split('\n').filter(part).size());
}

} // namespace

TEST(TagCacheCli, ProcessesFillOneCacheAtOnceAndAnEditOutsideReachesTheReview)
{
    ScopedUserLocations locations;
    TestFolder folder;
    const QString cacheHome = folder.filePath("cache");
    const QStringList first = songs(folder, "one", 30);
    const QStringList second = songs(folder, "two", 30);

    // Two processes make the cache file and write their entries at the same time.
    const auto a = startCli(dryRun(folder.filePath("one")), locations, cacheHome);
    const auto b = startCli(dryRun(folder.filePath("two")), locations, cacheHome);
    const CliResult resultA = finished(*a);
    const CliResult resultB = finished(*b);
    EXPECT_EQ(resultA.status, 0) << resultA.err.toStdString();
    EXPECT_EQ(resultB.status, 0) << resultB.err.toStdString();
    EXPECT_EQ(linesWith(resultA.err + resultB.err, "tag cache"), 0) << (resultA.err + resultB.err).toStdString();
    {
        TagCache cache(cacheHome + "/Quavertin/tags.sqlite");
        ASSERT_TRUE(cache.usable());
        for (const QString &path : first + second) {
            const std::optional<CacheKey> key = CacheKey::of(path);
            ASSERT_TRUE(key);
            const std::optional<QVariantList> values = cache.find(*key, {"name"});
            ASSERT_TRUE(values) << path.toStdString();
            EXPECT_EQ(values->value(0).toString(), "Song " + QFileInfo(path).baseName().rightJustified(2, '0'));
        }
    }

    // Another program changes a title to one of the same length and puts the
    // modification time back; the next review shows the file's value, and the
    // apply writes from it.
    struct stat st {};
    ::stat(QFile::encodeName(first[3]).constData(), &st);
    filetags::write(first[3], "name", "Song ZZ");
    const timespec times[2] = {{0, UTIME_OMIT}, st.st_mtim};
    ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(first[3]).constData(), times, 0), 0);
    ASSERT_EQ(QFileInfo(first[3]).size(), st.st_size);
    const CliResult review = finished(*startCli(dryRun(folder.filePath("one")), locations, cacheHome));
    EXPECT_EQ(review.status, 0);
    EXPECT_TRUE(review.out.contains("Song ZZ")) << review.out.toStdString();
    EXPECT_TRUE(review.out.contains("Tune ZZ"));
    EXPECT_FALSE(review.out.contains("Song 03"));
    QStringList apply = dryRun(folder.filePath("one"));
    apply.replace(apply.indexOf("--dry-run"), "--yes");
    const CliResult applied = finished(*startCli(apply, locations, cacheHome));
    EXPECT_EQ(applied.status, 0) << applied.err.toStdString();
    EXPECT_EQ(filetags::read(first[3], {"name"}).value("name").toString(), "Tune ZZ");
    EXPECT_EQ(filetags::read(first[4], {"name"}).value("name").toString(), "Tune 04");
    // The written files read anew: the review after the apply has nothing left.
    const CliResult after = finished(*startCli(dryRun(folder.filePath("one")), locations, cacheHome));
    EXPECT_EQ(after.status, 1);
    EXPECT_FALSE(after.out.contains("Song"));
}

// A file the disk gives up on part way reads as having no tags; that is what
// the run shows, and nothing the next run may take for the file.
TEST(TagCacheCli, AFileReadOnlyInPartIsReadAgainNextTime)
{
    ScopedUserLocations locations;
    TestFolder folder;
    const QString cacheHome = folder.filePath("cache");
    const QStringList paths = songs(folder, "music", 4);

    const CliResult failing =
        finished(*startCli(dryRun(folder.filePath("music")), locations, cacheHome, false, "2.mp3"));
    EXPECT_EQ(failing.status, 0) << failing.err.toStdString();
    EXPECT_TRUE(failing.out.contains("Tune 01")) << failing.out.toStdString();
    EXPECT_TRUE(failing.out.contains("Tune 03"));
    EXPECT_FALSE(failing.out.contains("Tune 02"));
    {
        TagCache cache(cacheHome + "/Quavertin/tags.sqlite");
        ASSERT_TRUE(cache.usable());
        const std::optional<CacheKey> key = CacheKey::of(paths[2]);
        ASSERT_TRUE(key);
        EXPECT_FALSE(cache.find(*key, {"name"}));
        EXPECT_TRUE(cache.find(*CacheKey::of(paths[1]), {"name"}));
    }

    // The disk reads again: so does the file, untouched since.
    const CliResult again = finished(*startCli(dryRun(folder.filePath("music")), locations, cacheHome));
    EXPECT_EQ(again.status, 0) << again.err.toStdString();
    EXPECT_TRUE(again.out.contains("Tune 02")) << again.out.toStdString();
    EXPECT_TRUE(again.out.contains("Tune 03"));
}

TEST(TagCacheCli, WorksUncachedOnAReadOnlyHomeAndWhenTurnedOff)
{
    ScopedUserLocations locations;
    TestFolder folder;
    songs(folder, "music", 5);
    ReadOnlyPlace home(folder, "home");
    if (!home.available() || !home.lock())
        GTEST_SKIP() << "no read-only place can be made here";

    const CliResult readOnly =
        finished(*startCli(dryRun(folder.filePath("music")), locations, folder.filePath("home/.cache")));
    EXPECT_EQ(readOnly.status, 0) << readOnly.err.toStdString();
    EXPECT_TRUE(readOnly.out.contains("Tune 04"));
    // Said once for the run, not once per file.
    EXPECT_EQ(linesWith(readOnly.err, "The tag cache "), 1) << readOnly.err.toStdString();
    EXPECT_EQ(linesWith(readOnly.err, "music files are read without it"), 1);

    const QString unused = folder.filePath("unused");
    const CliResult off = finished(*startCli(dryRun(folder.filePath("music")), locations, unused, true));
    EXPECT_EQ(off.status, 0);
    EXPECT_TRUE(off.out.contains("Tune 04"));
    EXPECT_FALSE(off.err.contains("tag cache"));
    EXPECT_FALSE(QFileInfo::exists(unused));
}
