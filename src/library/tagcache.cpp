// SPDX-License-Identifier: GPL-3.0-or-later
#include "tagcache.h"

#include "libraryerror.h"
#include "sqlitedb.h"
#include "files/filetags.h"
#include "support/fileutils.h"

#include <QDataStream>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QIODevice>
#include <QStandardPaths>

#include <sqlite3.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <chrono>
#include <cstring>
#include <ctime>
#include <thread>
#include <unistd.h>

namespace {

using sqlite::Statement;

// "Qtag" in the header: a file with another id is no tag cache of ours.
constexpr qint32 applicationId = 0x51746167;
constexpr int schemaVersion = 1;
// Pending entries are written once this many have gathered.
constexpr size_t batchSize = 1024;
constexpr qint64 nsPerDay = 86400LL * 1000 * 1000 * 1000;
// A read transaction held open keeps other processes' writes from being
// folded into the file; it ends after this many lookups, or this long.
constexpr int readsPerTransaction = 1024;
constexpr qint64 readingLimitNs = 100LL * 1000 * 1000;

const QString listingMark = QStringLiteral("listing/");
// Why a save would refuse the file, kept with its values: the empty text when
// it would not. Its layout changes only with its bytes, which change its key.
const QString refusalMark = QStringLiteral("refusal/");

qint64 nowNs()
{
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
}

qint64 today()
{
    return nowNs() / nsPerDay;
}

// How far apart two changes of a file can be and still leave it the same
// times. Local file systems keep nanoseconds but take them from a clock that
// moves once a scheduler tick (at most 10 ms); network shares, FAT and FUSE
// may keep whole seconds, or two, and a server's clock of its own.
qint64 slackOf(const QByteArray &path, quint64 device)
{
    static std::mutex mutex;
    static QHash<quint64, qint64> known;
    std::lock_guard lock(mutex);
    if (const auto found = known.constFind(device); found != known.cend())
        return *found;
    qint64 slack = 2000LL * 1000 * 1000;
    struct statfs fs {};
    if (::statfs(path.constData(), &fs) == 0) {
        switch (static_cast<unsigned long>(fs.f_type)) {
        case 0xEF53:     // ext2, ext3, ext4
        case 0x58465342: // XFS
        case 0x9123683E: // Btrfs
        case 0x01021994: // tmpfs
        case 0xF2F52010: // F2FS
        case 0x2FC12FC1: // ZFS
        case 0x794C7630: // overlayfs
        case 0xCA451A4E: // bcachefs
            slack = 50LL * 1000 * 1000;
            break;
        default:
            break;
        }
    }
    known.insert(device, slack);
    return slack;
}

QByteArray encode(const QVariantHash &values)
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out << quint32(values.size());
    for (auto it = values.cbegin(); it != values.cend(); ++it)
        out << it.key() << it.value();
    return bytes;
}

// Nothing for bytes that do not decode: such an entry serves nobody.
std::optional<QVariantHash> decode(const QByteArray &bytes)
{
    QDataStream in(bytes);
    quint32 count = 0;
    in >> count;
    QVariantHash values;
    for (quint32 i = 0; i < count && in.status() == QDataStream::Ok; ++i) {
        QString key;
        QVariant value;
        in >> key >> value;
        values.insert(key, value);
    }
    if (in.status() != QDataStream::Ok)
        return std::nullopt;
    return values;
}

qint64 integerOf(sqlite::Database &db, const char *sql, const QString &purpose)
{
    Statement st(db, sql, purpose);
    return st.next() ? st.integer(0) : 0;
}

} // namespace

std::optional<CacheKey> CacheKey::of(const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    CacheKey key;
    // Taken before the look, so that the look is never thought later than it was.
    key.lookedNs = nowNs();
    struct stat st {};
    if (::stat(name.constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;
    key.file = {static_cast<quint64>(st.st_dev), static_cast<quint64>(st.st_ino)};
    key.size = st.st_size;
    key.modifiedNs = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    key.changedNs = qint64(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
    key.slackNs = slackOf(name, key.file.device);
    return key;
}

TagCache::TagCache(QString path, qint64 limitBytes) : path_(std::move(path)), limitBytes_(limitBytes)
{
    std::lock_guard lock(mutex_);
    open();
}

TagCache::~TagCache()
{
    flush();
    std::lock_guard lock(mutex_);
    reading_.reset();
    db_.reset();
    if (lockFd_ >= 0)
        ::close(lockFd_);
}

QString TagCache::defaultPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
           QStringLiteral("/Quavertin/tags.sqlite");
}

TagCache *TagCache::shared()
{
    static std::once_flag once;
    static std::unique_ptr<TagCache> cache;
    std::call_once(once, [] {
        if (qgetenv("QUAVERTIN_CACHE") == "0")
            return;
        const int megabytes = files::defaultInt(QStringLiteral("TagCacheSize"));
        cache = std::make_unique<TagCache>(defaultPath(),
                                           megabytes > 0 ? qint64(megabytes) * 1024 * 1024 : defaultLimitBytes);
    });
    return cache && cache->usable() ? cache.get() : nullptr;
}

bool TagCache::usable() const
{
    std::lock_guard lock(mutex_);
    return db_ != nullptr;
}

bool TagCache::lockShared()
{
    if (lockFd_ < 0) {
        const QByteArray name = QFile::encodeName(path_ + QStringLiteral(".lock"));
        do
            lockFd_ = ::open(name.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOCTTY, 0644);
        while (lockFd_ < 0 && errno == EINTR);
        if (lockFd_ < 0)
            return false;
    }
    // Held alone only for the moments a damaged cache is set aside.
    int done;
    do
        done = ::flock(lockFd_, LOCK_SH);
    while (done != 0 && errno == EINTR);
    return done == 0;
}

void TagCache::open()
{
    const QString purpose = QStringLiteral("open the tag cache %1").arg(path_);
    const QString folder = QFileInfo(path_).absolutePath();
    if (!QDir().mkpath(folder)) {
        turnOff(QStringLiteral("the folder %1 cannot be made").arg(folder));
        return;
    }
    if (!lockShared()) {
        turnOff(QStringLiteral("its lock file cannot be made: %1").arg(QString::fromLocal8Bit(std::strerror(errno))));
        return;
    }
    try {
        db_ = std::make_unique<sqlite::Database>(path_, sqlite::Database::Mode::Create);
        // Under the shared lock the path keeps naming this file.
        struct stat st {};
        if (::stat(QFile::encodeName(path_).constData(), &st) == 0)
            opened_ = {static_cast<quint64>(st.st_dev), static_cast<quint64>(st.st_ino)};
        // Nothing waits for the disk: a cache a power cut damages is set aside
        // and read again, and a wait for a busy disk, when the cache is made or
        // at the end of every walk, cost the first collect as much as its reads.
        db_->execute("PRAGMA synchronous = OFF", purpose);
        db_->setBusyTimeout(2000);
        const qint64 tables = integerOf(*db_, "SELECT count(*) FROM sqlite_schema", purpose);
        if (sqlite3_db_readonly(db_->handle(), "main") == 1) {
            turnOff(QStringLiteral("the file cannot be written"));
            return;
        }
        if (integerOf(*db_, "PRAGMA application_id", purpose) != applicationId) {
            if (tables != 0)
                throw LibraryError(purpose, QStringLiteral("the file is not a tag cache"), SQLITE_NOTADB);
            db_->execute(QByteArray("PRAGMA application_id = " + QByteArray::number(applicationId)).constData(),
                         purpose);
        }
        const qint64 version = integerOf(*db_, "PRAGMA user_version", purpose);
        if (version > schemaVersion) {
            // Another version's cache is left to it.
            turnOff(QStringLiteral("it was made by a newer version of Quavertin"));
            return;
        }
        if (version < schemaVersion) {
            // Set before the first table, so that pruned entries give their pages back.
            db_->execute("PRAGMA auto_vacuum = INCREMENTAL", purpose);
            // Another process may make the tables at the same moment; the
            // transaction takes turns, and the second finds them made.
            sqlite::Transaction transaction(*db_, purpose);
            db_->execute("CREATE TABLE IF NOT EXISTS entries (device INTEGER NOT NULL, inode INTEGER NOT NULL, "
                         "size INTEGER NOT NULL, modified INTEGER NOT NULL, changed INTEGER NOT NULL, "
                         "looked INTEGER NOT NULL, seen INTEGER NOT NULL, tags BLOB NOT NULL, "
                         "PRIMARY KEY (device, inode)) WITHOUT ROWID",
                         purpose);
            db_->execute("CREATE TABLE IF NOT EXISTS pruned (day INTEGER NOT NULL)", purpose);
            db_->execute("PRAGMA user_version = 1", purpose);
            transaction.commit();
        }
        Statement mode(*db_, "PRAGMA journal_mode = WAL", purpose);
        mode.next();
        // The log and its index stay when the last process closes the cache:
        // deleting them is how SQLite ends its last connection, and a command
        // that ends while another starts would otherwise make them anew, or
        // be caught holding ones it has just deleted. Kept, the log is cut
        // back to a megabyte.
        int persist = 1;
        sqlite3_file_control(db_->handle(), "main", SQLITE_FCNTL_PERSIST_WAL, &persist);
        db_->execute("PRAGMA journal_size_limit = 1048576", purpose);
    } catch (const LibraryError &e) {
        const int code = e.sqliteCode() & 0xff;
        // Two processes making the cache at once: SQLite answers busy at once,
        // without waiting, where waiting could deadlock (a read lock promoted
        // to a write while the other holds the write lock), as when both turn
        // on its log. The other is done within moments; then this one opens it.
        if (code == SQLITE_BUSY && busyTries_ < 100) {
            ++busyTries_;
            db_.reset();
            std::this_thread::sleep_for(std::chrono::milliseconds(10 + 7 * (::getpid() % 5)));
            open();
            return;
        }
        if ((code == SQLITE_NOTADB || code == SQLITE_CORRUPT) && !recovered_) {
            if (setAside(e.reason()))
                open();
            return;
        }
        turnOff(e.reason());
    }
}

void TagCache::turnOff(const QString &reason)
{
    reading_.reset();
    if (db_)
        db_->close();
    db_.reset();
    // Not in the way of a process that would mend the cache.
    if (lockFd_ >= 0)
        ::close(lockFd_);
    lockFd_ = -1;
    pending_.clear();
    seen_.clear();
    qWarning().noquote() << QStringLiteral("The tag cache %1 cannot be used (%2); music files are read without it.")
                                .arg(path_, reason);
}

bool TagCache::setAside(const QString &reason)
{
    recovered_ = true;
    reading_.reset();
    if (db_)
        db_->close();
    db_.reset();
    pending_.clear();
    seen_.clear();
    const QByteArray from = QFile::encodeName(path_);
    const auto replaced = [&] {
        struct stat st {};
        return ::stat(from.constData(), &st) == 0 &&
               FileIdentity{static_cast<quint64>(st.st_dev), static_cast<quint64>(st.st_ino)} != opened_;
    };
    // Another process starting at the same moment may hold the shared lock
    // for a few moments; one that keeps the cache open keeps it.
    bool alone = false;
    for (int attempt = 0; attempt < 10 && !alone; ++attempt) {
        alone = ::flock(lockFd_, LOCK_EX | LOCK_NB) == 0;
        if (!alone)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (alone && !replaced()) {
        // Renamed, never opened: the file, its log and its index stay
        // SQLite's, and no other process has them open.
        const QString aside = path_ + QStringLiteral(".damaged");
        const QByteArray to = QFile::encodeName(aside);
        ::rename(from.constData(), to.constData());
        ::rename((from + "-wal").constData(), (to + "-wal").constData());
        ::unlink((from + "-shm").constData());
        qWarning().noquote()
            << QStringLiteral("The tag cache %1 was damaged or no tag cache (%2); it was set aside as %3 and is made anew.")
                   .arg(path_, reason, aside);
        return true;
    }
    // A failed change of the lock may have dropped the shared one.
    if (alone || replaced())
        return true; // another process has made it anew already
    turnOff(QStringLiteral("%1, and another process is using it").arg(reason));
    return false;
}

void TagCache::failed(const std::exception &error)
{
    const auto *library = dynamic_cast<const LibraryError *>(&error);
    const int code = library ? library->sqliteCode() & 0xff : 0;
    reading_.reset();
    pending_.clear();
    seen_.clear();
    if (code == SQLITE_CORRUPT || code == SQLITE_NOTADB) {
        if (recovered_) {
            turnOff(library->reason());
            return;
        }
        if (setAside(library->reason()))
            open();
    }
    // Anything else (another process holding the lock too long, a full disk)
    // costs only the entries of this batch.
}

std::optional<QVariantList> TagCache::find(const CacheKey &key, const QStringList &keys, QVariantHash *partial)
{
    std::lock_guard lock(mutex_);
    if (!db_)
        return std::nullopt;
    std::optional<QVariantHash> stored;
    qint64 seen = 0;
    try {
        const QString purpose = QStringLiteral("look up a file in the tag cache %1").arg(path_);
        const qint64 now = nowNs();
        if (reading_ && (readsInTransaction_ >= readsPerTransaction || now - readingSinceNs_ > readingLimitNs))
            reading_.reset();
        if (!reading_) {
            reading_ = std::make_unique<sqlite::ReadTransaction>(*db_, purpose);
            readsInTransaction_ = 0;
            readingSinceNs_ = now;
        }
        ++readsInTransaction_;
        Statement st(*db_, "SELECT size, modified, changed, looked, seen, tags FROM entries "
                           "WHERE device = ?1 AND inode = ?2",
                     purpose);
        st.bind(1, qint64(key.file.device)).bind(2, qint64(key.file.inode));
        if (st.next()) {
            CacheKey entry = key;
            entry.size = st.integer(0);
            entry.modifiedNs = st.integer(1);
            entry.changedNs = st.integer(2);
            entry.lookedNs = st.integer(3);
            seen = st.integer(4);
            if (entry.sameFile(key) && entry.trusted())
                stored = decode(st.blob(5));
        }
    } catch (const std::exception &e) {
        failed(e);
        return std::nullopt;
    }
    if (!stored) {
        ++misses_;
        return std::nullopt;
    }
    QVariantList values;
    values.reserve(keys.size());
    for (const QString &k : keys) {
        const auto found = stored->constFind(k);
        if (found == stored->cend())
            break;
        values.append(*found);
    }
    if (partial)
        *partial = std::move(*stored);
    if (values.size() < keys.size()) {
        ++misses_;
        return std::nullopt;
    }
    ++hits_;
    if (seen < today())
        seen_.push_back(key);
    return values;
}

void TagCache::store(const CacheKey &key, const QVariantHash &values)
{
    Pending entry{key, encode(values)};
    std::lock_guard lock(mutex_);
    if (!db_)
        return;
    pending_.push_back(std::move(entry));
    if (pending_.size() >= batchSize)
        writePending(pending_, seen_);
}

void TagCache::flush()
{
    std::lock_guard lock(mutex_);
    reading_.reset();
    if (db_ && (!pending_.empty() || !seen_.empty()))
        writePending(pending_, seen_);
}

void TagCache::writePending(std::vector<Pending> &pending, std::vector<CacheKey> &seen)
{
    const QString purpose = QStringLiteral("write the tag cache %1").arg(path_);
    const qint64 day = today();
    reading_.reset();
    try {
        sqlite::Transaction transaction(*db_, purpose);
        for (const Pending &entry : pending) {
            Statement st(*db_, "INSERT OR REPLACE INTO entries (device, inode, size, modified, changed, looked, "
                               "seen, tags) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8)",
                         purpose);
            st.bind(1, qint64(entry.key.file.device))
                .bind(2, qint64(entry.key.file.inode))
                .bind(3, entry.key.size)
                .bind(4, entry.key.modifiedNs)
                .bind(5, entry.key.changedNs)
                .bind(6, entry.key.lookedNs)
                .bind(7, day)
                .bindBlob(8, entry.bytes);
            st.run();
        }
        for (const CacheKey &key : seen) {
            Statement st(*db_, "UPDATE entries SET seen = ?3 WHERE device = ?1 AND inode = ?2", purpose);
            st.bind(1, qint64(key.file.device)).bind(2, qint64(key.file.inode)).bind(3, day);
            st.run();
        }
        transaction.commit();
        pending.clear();
        seen.clear();
        prune();
    } catch (const std::exception &e) {
        failed(e);
    }
}

void TagCache::prune()
{
    const QString purpose = QStringLiteral("keep the tag cache %1 within its bounds").arg(path_);
    const qint64 day = today();
    sqlite::Transaction transaction(*db_, purpose);
    bool dropped = false;
    if (!pruned_ && integerOf(*db_, "SELECT coalesce(max(day), 0) FROM pruned", purpose) < day) {
        Statement old(*db_, "DELETE FROM entries WHERE seen < ?1", purpose);
        old.bind(1, day - keptDays);
        old.run();
        dropped = db_->changes() > 0;
        db_->execute("DELETE FROM pruned", purpose);
        Statement mark(*db_, "INSERT INTO pruned (day) VALUES (?1)", purpose);
        mark.bind(1, day);
        mark.run();
    }
    pruned_ = true;
    const qint64 used = (integerOf(*db_, "PRAGMA page_count", purpose) - integerOf(*db_, "PRAGMA freelist_count", purpose)) *
                        integerOf(*db_, "PRAGMA page_size", purpose);
    if (used > limitBytes_) {
        // The entries seen longest ago go, until a tenth of the limit is free.
        const qint64 count = integerOf(*db_, "SELECT count(*) FROM entries", purpose);
        const qint64 keep = qint64(double(count) * 0.9 * double(limitBytes_) / double(used));
        Statement over(*db_, "DELETE FROM entries WHERE (device, inode) IN "
                             "(SELECT device, inode FROM entries ORDER BY seen LIMIT ?1)",
                       purpose);
        over.bind(1, std::max<qint64>(1, count - keep));
        over.run();
        dropped = true;
    }
    transaction.commit();
    if (dropped) {
        Statement vacuum(*db_, "PRAGMA incremental_vacuum", purpose);
        while (vacuum.next()) {
        }
    }
}

namespace tagcache {
namespace {

bool needsFile(const QStringList &keys)
{
    for (const QString &key : keys)
        if (key != QLatin1String("location"))
            return true;
    return false;
}

} // namespace

QVariantList readInOrder(const QString &path, const QStringList &keys, FileIdentity *opened, bool listed,
                         QString *saveRefusal)
{
    // Pictures are never cached: their bytes must come with their value.
    TagCache *cache = (needsFile(keys) || saveRefusal) && !keys.contains(QLatin1String("pictures")) ? TagCache::shared() : nullptr;
    const std::optional<CacheKey> key = cache ? CacheKey::of(path) : std::nullopt;
    if (!key)
        return filetags::readInOrder(path, keys, opened, listed, saveRefusal);
    // The location is the path's, never the entry's: a hard link names the file too.
    const QString location = QStringLiteral("location");
    QStringList stored = keys;
    stored.removeAll(location);
    if (saveRefusal)
        stored.append(refusalMark);
    QVariantHash entry;
    if (const std::optional<QVariantList> found = cache->find(*key, stored, &entry)) {
        QVariantList values;
        values.reserve(keys.size());
        for (const QString &k : keys)
            values.append(k == location ? QVariant(path) : entry.value(k));
        if (saveRefusal)
            *saveRefusal = entry.value(refusalMark).toString();
        if (opened)
            *opened = key->file;
        return values;
    }
    FileIdentity read;
    bool whole = false;
    QVariantList values = filetags::readInOrder(path, keys, &read, listed, saveRefusal, &whole);
    if (opened)
        *opened = read;
    // A path that named another file by the time it was opened keeps its
    // entry as it was; so does a file that could not be read whole, which
    // reads as having fewer tags than it has.
    if (read == key->file && whole) {
        for (qsizetype i = 0; i < keys.size(); ++i)
            if (keys[i] != location)
                entry.insert(keys[i], values[i]);
        if (saveRefusal)
            entry.insert(refusalMark, *saveRefusal);
        cache->store(*key, entry);
    }
    return values;
}

QVariantHash readListing(const QString &path)
{
    TagCache *cache = TagCache::shared();
    const std::optional<CacheKey> key = cache ? CacheKey::of(path) : std::nullopt;
    if (!key)
        return filetags::readListing(path);
    QVariantHash entry;
    if (cache->find(*key, {listingMark}, &entry)) {
        QVariantHash values;
        for (auto it = entry.cbegin(); it != entry.cend(); ++it)
            if (it.key().startsWith(listingMark) && it.key().size() > listingMark.size())
                values.insert(it.key().mid(listingMark.size()), it.value());
        return values;
    }
    FileIdentity read;
    bool whole = false;
    const QVariantHash values = filetags::readListing(path, &read, &whole);
    if (read != key->file || !whole)
        return values;
    entry.insert(listingMark, true);
    for (auto it = values.cbegin(); it != values.cend(); ++it)
        entry.insert(listingMark + it.key(), it.value());
    cache->store(*key, entry);
    return values;
}

void flush()
{
    if (TagCache *cache = TagCache::shared())
        cache->flush();
}

} // namespace tagcache
