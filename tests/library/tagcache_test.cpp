// SPDX-License-Identifier: GPL-3.0-or-later
#include "library/sqlitedb.h"
#include "library/tagcache.h"
#include "files/filetags.h"
#include "testfiles.h"

#include <QDir>
#include <QFile>
#include <QThread>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#include <sys/stat.h>

namespace {

const QStringList titleKeys = {QStringLiteral("name"), QStringLiteral("artist")};

QString titleOf(const QString &path)
{
    return tagcache::readInOrder(path, titleKeys).value(0).toString();
}

// Lets the file's last change fall out of the window in which the cache
// distrusts what it reads (50 ms on local file systems).
void outOfRacyWindow()
{
    QThread::msleep(120);
}

// The file's modification time put back, as a program that hides its edit would.
void setModified(const QString &path, const timespec &modified)
{
    const timespec times[2] = {{0, UTIME_OMIT}, modified};
    ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0), 0);
}

timespec modifiedOf(const QString &path)
{
    struct stat st {};
    ::stat(QFile::encodeName(path).constData(), &st);
    return st.st_mtim;
}

struct Messages {
    static inline QStringList lines;
    static void handler(QtMsgType, const QMessageLogContext &, const QString &text) { lines << text; }
};

} // namespace

// Each test process has a cache of its own under a temporary XDG_CACHE_HOME
// (tests/common's main), so the process's cache is the one looked at here.
TEST(TagCache, ServesAnUnchangedFileAndSeesEveryChangeOfIt)
{
    TagCache *cache = TagCache::shared();
    ASSERT_NE(cache, nullptr);
    TestFolder folder;
    const QString path = folder.addSeed("seed.mp3", "a.mp3");
    filetags::write(path, "name", "Morning");
    const timespec modified = modifiedOf(path);
    outOfRacyWindow();

    // The first read fills the entry, the second is served from it.
    EXPECT_EQ(titleOf(path), "Morning");
    cache->flush();
    const TagCache::Counts before = cache->counts();
    FileIdentity opened;
    const QVariantList values = tagcache::readInOrder(path, {"location", "name"}, &opened);
    EXPECT_EQ(values.value(0).toString(), path);
    EXPECT_EQ(values.value(1).toString(), "Morning");
    EXPECT_TRUE(opened.known());
    EXPECT_EQ(cache->counts().hits, before.hits + 1);
    // A key the entry lacks is read from the file, and joins the entry.
    const QVariant album = filetags::read(path, {"album"}).value("album");
    EXPECT_EQ(tagcache::readInOrder(path, {"album"}).value(0), album);
    EXPECT_EQ(cache->counts().misses, before.misses + 1);
    cache->flush();
    EXPECT_EQ(tagcache::readInOrder(path, {"album", "name"}), (QVariantList{album, "Morning"}));
    EXPECT_EQ(cache->counts().hits, before.hits + 2);

    // Another program writes a value of the same length and puts the time back:
    // size and modification time are as they were, the status-change time is not.
    filetags::write(path, "name", "Evening");
    setModified(path, modified);
    EXPECT_EQ(titleOf(path), "Evening");
    cache->flush();
    outOfRacyWindow();
    EXPECT_EQ(titleOf(path), "Evening");
    cache->flush();

    // An edit right after the read, within the same tick of the file's times:
    // the entry the read made is not trusted.
    EXPECT_EQ(titleOf(path), "Evening");
    filetags::write(path, "name", "Midday!");
    setModified(path, modified);
    cache->flush();
    EXPECT_EQ(titleOf(path), "Midday!");
    cache->flush();

    // Another file of the same size and times renamed over it: another inode.
    const QString other = folder.addSeed("seed.mp3", "other.mp3");
    filetags::write(other, "name", "Dusk!!!");
    setModified(other, modified);
    ASSERT_EQ(QFileInfo(other).size(), QFileInfo(path).size());
    outOfRacyWindow();
    EXPECT_EQ(titleOf(path), "Midday!");
    cache->flush();
    ASSERT_EQ(::rename(QFile::encodeName(other).constData(), QFile::encodeName(path).constData()), 0);
    EXPECT_EQ(titleOf(path), "Dusk!!!");

    // The listing the track table shows has entries of its own, just as strict.
    cache->flush();
    outOfRacyWindow();
    EXPECT_EQ(tagcache::readListing(path).value("name").toString(), "Dusk!!!");
    cache->flush();
    EXPECT_EQ(tagcache::readListing(path).value("name").toString(), "Dusk!!!");
    filetags::write(path, "name", "Dawn!!!");
    setModified(path, modified);
    EXPECT_EQ(tagcache::readListing(path).value("name").toString(), "Dawn!!!");
    EXPECT_EQ(titleOf(path), "Dawn!!!");
}

// The rule itself, with keys made by hand: a look within the file system's
// granularity of the file's last change cannot vouch for the file, whatever
// the clock did in the test.
TEST(TagCache, DistrustsAnEntryLookedAtWithinTheTickOfItsChange)
{
    TestFolder folder;
    TagCache cache(folder.filePath("cache/tags.sqlite"));
    ASSERT_TRUE(cache.usable());
    const QString path = folder.addSeed("seed.mp3", "a.mp3");
    std::optional<CacheKey> racy = CacheKey::of(path);
    ASSERT_TRUE(racy);
    racy->lookedNs = std::max(racy->modifiedNs, racy->changedNs) + racy->slackNs - 1;
    EXPECT_FALSE(racy->trusted());
    CacheKey later = *racy;
    later.lookedNs += 2;
    EXPECT_TRUE(later.trusted());

    cache.store(*racy, {{"name", "Stored"}});
    cache.flush();
    EXPECT_FALSE(cache.find(later, {"name"}));
    cache.store(later, {{"name", "Stored"}});
    cache.flush();
    EXPECT_EQ(cache.find(later, {"name"}).value_or(QVariantList{}).value(0).toString(), "Stored");
    // Absent values are kept as absent, not as missing keys.
    cache.store(later, {{"name", "Stored"}, {"album", QVariant()}});
    cache.flush();
    const std::optional<QVariantList> withAbsent = cache.find(later, {"album", "name"});
    ASSERT_TRUE(withAbsent);
    EXPECT_FALSE(withAbsent->value(0).isValid());
    // Any part of the key that differs finds nothing.
    for (qint64 CacheKey::*part : {&CacheKey::size, &CacheKey::modifiedNs, &CacheKey::changedNs}) {
        CacheKey changed = later;
        changed.*part += 1;
        EXPECT_FALSE(cache.find(changed, {"name"}));
    }
    CacheKey inode = later;
    inode.file.inode += 1;
    EXPECT_FALSE(cache.find(inode, {"name"}));
}

// A file that is no tag cache, damaged or another program's, is set aside
// with one line in the log and the cache made anew; a place that cannot be
// written leaves the cache off with one line, and reads still work.
TEST(TagCache, SetsAsideADamagedOrForeignFileAndWorksWithoutAPlace)
{
    TestFolder folder;
    const QString path = folder.addSeed("seed.mp3", "a.mp3");
    std::optional<CacheKey> key = CacheKey::of(path);
    ASSERT_TRUE(key);
    key->lookedNs += 10LL * 1000 * 1000 * 1000;
    const QtMessageHandler previous = qInstallMessageHandler(&Messages::handler);

    const QString damaged = folder.addFile("damaged/tags.sqlite", QByteArray(4096, 'x'));
    Messages::lines.clear();
    {
        TagCache cache(damaged);
        EXPECT_TRUE(cache.usable());
        cache.store(*key, {{"name", "Kept"}});
        cache.flush();
        EXPECT_TRUE(cache.find(*key, {"name"}));
    }
    EXPECT_EQ(Messages::lines.size(), 1) << Messages::lines.join("\n").toStdString();
    EXPECT_TRUE(Messages::lines.value(0).contains("set aside as " + damaged + ".damaged"));
    EXPECT_EQ(TestFolder::readAll(damaged + ".damaged"), QByteArray(4096, 'x'));
    {
        // Made anew, it is used as any cache.
        TagCache again(damaged);
        EXPECT_EQ(again.find(*key, {"name"}).value_or(QVariantList{}).value(0).toString(), "Kept");
    }

    const QString foreign = folder.filePath("foreign/tags.sqlite");
    QDir().mkpath(QFileInfo(foreign).absolutePath());
    {
        sqlite::Database other(foreign, sqlite::Database::Mode::Create);
        other.execute("CREATE TABLE songs (title TEXT)", "make another program's file");
    }
    Messages::lines.clear();
    {
        TagCache cache(foreign);
        EXPECT_TRUE(cache.usable());
    }
    EXPECT_EQ(Messages::lines.size(), 1);
    EXPECT_TRUE(QFileInfo::exists(foreign + ".damaged"));

    // The same file while another process uses the cache there (it holds the
    // shared lock): nothing is renamed or deleted under it; this process goes
    // without the cache, and the first to come alone sets the file aside.
    const QString inUse = folder.filePath("inuse/tags.sqlite");
    QDir().mkpath(QFileInfo(inUse).absolutePath());
    {
        sqlite::Database other(inUse, sqlite::Database::Mode::Create);
        other.execute("CREATE TABLE songs (title TEXT)", "make another program's file");
    }
    const int otherProcess = ::open(QFile::encodeName(inUse + ".lock").constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    ASSERT_GE(otherProcess, 0);
    ASSERT_EQ(::flock(otherProcess, LOCK_SH), 0);
    Messages::lines.clear();
    {
        TagCache cache(inUse);
        EXPECT_FALSE(cache.usable());
        EXPECT_FALSE(cache.find(*key, {"name"}));
    }
    EXPECT_EQ(Messages::lines.size(), 1) << Messages::lines.join("\n").toStdString();
    EXPECT_TRUE(Messages::lines.value(0).contains("another process is using it"));
    EXPECT_FALSE(QFileInfo::exists(inUse + ".damaged"));
    {
        sqlite::Database still(inUse, sqlite::Database::Mode::ReadOnly);
        sqlite::Statement count(still, "SELECT count(*) FROM songs", "read another program's file");
        EXPECT_TRUE(count.next());
    }
    ::close(otherProcess);
    {
        TagCache cache(inUse);
        EXPECT_TRUE(cache.usable());
    }
    EXPECT_TRUE(QFileInfo::exists(inUse + ".damaged"));

    // A folder where the cache's folder cannot be made.
    const QString blocked = folder.addFile("blocked", "a file, not a folder");
    Messages::lines.clear();
    {
        TagCache cache(blocked + "/Quavertin/tags.sqlite");
        EXPECT_FALSE(cache.usable());
        cache.store(*key, {{"name", "Lost"}});
        cache.flush();
        EXPECT_FALSE(cache.find(*key, {"name"}));
    }
    EXPECT_EQ(Messages::lines.size(), 1);
    EXPECT_TRUE(Messages::lines.value(0).contains("music files are read without it"));
    qInstallMessageHandler(previous);
}
