// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "files/fileidentity.h"

#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantHash>

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace sqlite {
class Database;
class ReadTransaction;
}

// What a file is as far as the cache can tell without opening it: its
// identity, size and times, and when that was looked at. Any write to the
// file, a rename or a change of its times moves the status-change time, so a
// file with an unchanged key has unchanged bytes, except for a change made
// within the same tick of the clock as the file's own times (see trusts).
struct CacheKey {
    FileIdentity file;
    qint64 size = 0;
    qint64 modifiedNs = 0;
    qint64 changedNs = 0;
    qint64 lookedNs = 0; // the wall clock when the file was looked at
    qint64 slackNs = 0;  // the file system's timestamp granularity, with the clock's lag

    bool sameFile(const CacheKey &other) const
    {
        return file == other.file && size == other.size && modifiedNs == other.modifiedNs &&
               changedNs == other.changedNs;
    }
    // Whether values read after this look can stand for the file until its key
    // changes: a change within the granularity of its last change could keep
    // every part of the key (git's "racy" entries).
    bool trusted() const { return lookedNs - std::max(modifiedNs, changedNs) >= slackNs; }

    // The key of the file a path names (links followed); nothing for
    // anything but a regular file that can be looked at.
    static std::optional<CacheKey> of(const QString &path);
};

// The tags read from files, kept in one SQLite file shared by every process
// ($XDG_CACHE_HOME/Quavertin/tags.sqlite), so that an unchanged file need not
// be opened again. Only readers that show or plan use it; a write always reads
// its file itself first, so a wrong entry can never cause a wrong write.
//
// The cache never fails its caller: a file it cannot make or write, from a
// read-only home, leaves it off with one line in the log; a damaged or
// foreign file is set aside (renamed with ".damaged") and made anew, with one
// line in the log. Thread-safe: lookups come from the file pool's threads.
//
// Every process using the cache holds a shared lock on a file beside it
// ("tags.sqlite.lock", never one of SQLite's); only a process that gets it
// alone sets the cache aside, so no process ever has its cache renamed or its
// index deleted under it. A process that finds the cache damaged while others
// use it goes on without it, and the next one to start alone mends it.
class TagCache {
public:
    // Entries of files not looked at for this many days are dropped.
    static constexpr int keptDays = 90;
    static constexpr qint64 defaultLimitBytes = 200LL * 1024 * 1024;

    TagCache(QString path, qint64 limitBytes = defaultLimitBytes);
    ~TagCache();
    TagCache(const TagCache &) = delete;
    TagCache &operator=(const TagCache &) = delete;

    // The process's cache, made on first use; nullptr with QUAVERTIN_CACHE=0
    // or when it cannot be used.
    static TagCache *shared();
    // Where the process's cache lives.
    static QString defaultPath();

    bool usable() const;
    const QString &path() const { return path_; }

    // The values of keys stored for the file, when its entry matches key, is
    // trusted and holds every one of them. partial gets all that a trusted
    // matching entry holds, for a later store to add to.
    std::optional<QVariantList> find(const CacheKey &key, const QStringList &keys, QVariantHash *partial = nullptr);
    // Keeps values for the file as key saw it. Written to the file in batches
    // (flush), so that a walk costs one transaction per many files.
    void store(const CacheKey &key, const QVariantHash &values);
    // Writes what was stored since the last flush; never throws.
    void flush();

    struct Counts {
        qint64 hits = 0;
        qint64 misses = 0;
    };
    Counts counts() const { return {hits_.load(), misses_.load()}; }

private:
    struct Pending {
        CacheKey key;
        QByteArray bytes;
    };
    void open();
    bool lockShared();
    // False when the cache stays off: others are using the damaged file.
    bool setAside(const QString &reason);
    void turnOff(const QString &reason);
    void writePending(std::vector<Pending> &pending, std::vector<CacheKey> &seen);
    void prune();
    // Handles an SQLite failure inside find or flush: a damaged file is set
    // aside and made anew, anything else (busy, a full disk) costs the batch.
    void failed(const std::exception &error);

    QString path_;
    qint64 limitBytes_;
    mutable std::mutex mutex_;
    std::unique_ptr<sqlite::Database> db_;
    // Lookups share one read transaction, a few at a time: each of its own
    // cost more locking than reading.
    std::unique_ptr<sqlite::ReadTransaction> reading_;
    int readsInTransaction_ = 0;
    qint64 readingSinceNs_ = 0;
    int lockFd_ = -1;
    FileIdentity opened_; // the cache file db_ has open
    std::vector<Pending> pending_;
    std::vector<CacheKey> seen_; // hits whose entries were last seen on an earlier day
    bool pruned_ = false;
    bool recovered_ = false;
    // Opens tried again after another process held the cache while making it.
    int busyTries_ = 0;
    std::atomic<qint64> hits_{0}, misses_{0};
};

// The reads of filetags through the process's cache: the same values and
// refusals, the file opened only when its entry cannot serve.
namespace tagcache {

QVariantList readInOrder(const QString &path, const QStringList &keys, FileIdentity *opened = nullptr,
                         bool listed = false, QString *saveRefusal = nullptr);
QVariantHash readListing(const QString &path);
// Writes the process's pending entries (the end of a walk).
void flush();

} // namespace tagcache
