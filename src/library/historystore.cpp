// SPDX-License-Identifier: GPL-3.0-or-later
#include "historystore.h"

#include "libraryerror.h"
#include "sqlitedb.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <algorithm>
#include <mutex>
#include <sqlite3.h>

#include <cerrno>
#include <csignal>
#include <limits>
#include <unistd.h>

using sqlite::Statement;

namespace {

// "QVHS" in the file header tells a journal apart from a library or any other database.
constexpr qint32 applicationId = 0x51564853;

// Appended only, as the library's layouts are: files made with a step exist.
const char *const steps[] = {
    // 0 -> 1
    R"sql(
    CREATE TABLE runs (
        id INTEGER PRIMARY KEY AUTOINCREMENT,
        time TEXT NOT NULL,
        tool TEXT NOT NULL,
        source TEXT NOT NULL,
        count INTEGER NOT NULL DEFAULT 0,
        open INTEGER NOT NULL DEFAULT 1,
        owner INTEGER NOT NULL,
        undoOf INTEGER,
        undoneBy INTEGER
    );
    CREATE INDEX open_runs ON runs(open) WHERE open = 1;
    CREATE TABLE changes (
        run INTEGER NOT NULL,
        position INTEGER NOT NULL,
        pending INTEGER NOT NULL DEFAULT 1,
        kind TEXT NOT NULL,
        track INTEGER,
        path TEXT,
        key TEXT,
        before,
        after,
        playlist INTEGER,
        playlistName TEXT,
        entry INTEGER,
        entryPosition INTEGER,
        title TEXT,
        artist TEXT,
        PRIMARY KEY (run, position)
    ) WITHOUT ROWID;
    )sql",
    // 1 -> 2: what brings back a file from the Trash and a track removed from the library.
    R"sql(
    ALTER TABLE changes ADD COLUMN trashInfo TEXT;
    ALTER TABLE changes ADD COLUMN saved TEXT;
    )sql",
    // 2 -> 3: playlist entries packed many to a row; such a row stands for
    // `count` changes at consecutive positions from its own.
    R"sql(
    ALTER TABLE changes ADD COLUMN count INTEGER NOT NULL DEFAULT 1;
    ALTER TABLE changes ADD COLUMN entries BLOB;
    )sql",
    // 3 -> 4: the bytes of the pictures runs took out of files or put in,
    // once per distinct picture, kept while a run that changed them is.
    R"sql(
    CREATE TABLE pictures (
        hash TEXT PRIMARY KEY,
        bytes BLOB NOT NULL
    );
    CREATE TABLE pictureUses (
        run INTEGER NOT NULL,
        hash TEXT NOT NULL,
        PRIMARY KEY (run, hash)
    ) WITHOUT ROWID;
    CREATE INDEX pictureUsesByHash ON pictureUses(hash);
    )sql",
};
constexpr int stepCount = int(sizeof steps / sizeof steps[0]);

// Entries packed into one row: small enough that a row stays a few pages,
// large enough that a million entries take few rows.
constexpr qint64 blockSize = 2048;

const QByteArray changeColumns = "kind, track, path, key, before, after, playlist, playlistName, entry, entryPosition, "
                                 "title, artist, trashInfo, saved, count, entries, position";

// Playlist entries carry nothing but what a block keeps of them.
bool packable(const HistoryChange &c)
{
    using K = HistoryChange::Kind;
    return (c.kind == K::AddedToPlaylist || c.kind == K::RemovedFromPlaylist || c.kind == K::DeadEntryRemoved) &&
           c.path.isEmpty() && c.key.isEmpty() && !c.before.isValid() && !c.after.isValid() && c.trashInfo.isEmpty() &&
           c.saved.isEmpty();
}

void putNumber(QByteArray &to, quint64 value)
{
    while (value >= 0x80) {
        to.append(char(value | 0x80));
        value >>= 7;
    }
    to.append(char(value));
}

// Differences may be negative: zigzag keeps small ones short either way.
void putDifference(QByteArray &to, qint64 value)
{
    putNumber(to, (quint64(value) << 1) ^ quint64(value >> 63));
}

void putText(QByteArray &to, const QString &text)
{
    // Most tag text is ASCII, which goes in as it is.
    if (std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() < 0x80; })) {
        putNumber(to, quint64(text.size()));
        for (QChar c : text)
            to.append(char(c.unicode()));
        return;
    }
    const QByteArray utf8 = sqlite::utf8Of(text);
    putNumber(to, quint64(utf8.size()));
    to.append(utf8);
}

// Reads what the put functions wrote; ok turns false at the first thing that
// does not fit, and stays false.
struct BlockReader {
    const char *at;
    const char *end;
    bool ok = true;

    quint64 number()
    {
        quint64 value = 0;
        for (int shift = 0; at < end && shift < 64; shift += 7) {
            const auto byte = static_cast<unsigned char>(*at++);
            value |= quint64(byte & 0x7f) << shift;
            if (!(byte & 0x80))
                return value;
        }
        ok = false;
        return 0;
    }
    qint64 difference()
    {
        const quint64 value = number();
        return qint64(value >> 1) ^ -qint64(value & 1);
    }
    QString text()
    {
        const quint64 size = number();
        if (!ok || size > quint64(end - at)) {
            ok = false;
            return {};
        }
        const QString text = sqlite::textOf(at, qsizetype(size));
        at += size;
        return text;
    }
};

const QList<QPair<HistoryChange::Kind, QString>> &kindNames()
{
    using K = HistoryChange::Kind;
    static const QList<QPair<K, QString>> names = {
        {K::Tag, QStringLiteral("tag")},
        {K::AddedToPlaylist, QStringLiteral("added to playlist")},
        {K::RemovedFromPlaylist, QStringLiteral("removed from playlist")},
        {K::RemovedFromLibrary, QStringLiteral("removed from library")},
        {K::Renamed, QStringLiteral("renamed")},
        {K::Relinked, QStringLiteral("relinked")},
        {K::DeadEntryRemoved, QStringLiteral("dead entry removed")},
        {K::MovedToTrash, QStringLiteral("moved to Trash")},
        {K::AddedToLibrary, QStringLiteral("added to library")},
        {K::PutBackFromTrash, QStringLiteral("put back from Trash")},
    };
    return names;
}

// Runs with a HistoryStore of this process still working on them; an open run
// of this process outside the set was left behind as a crash would leave it.
std::mutex liveMutex;
QSet<QString> &liveRuns()
{
    static QSet<QString> runs;
    return runs;
}
QString liveKey(const QString &path, qint64 run)
{
    return QStringLiteral("%1\n%2").arg(run).arg(QFileInfo(path).absoluteFilePath());
}

bool processAlive(qint64 pid)
{
    if (pid <= 0)
        return false;
    return ::kill(pid_t(pid), 0) == 0 || errno == EPERM;
}

qint64 pragmaValue(sqlite::Database &db, const char *sql, const QString &purpose)
{
    Statement st(db, sql, purpose);
    return st.next() ? st.integer(0) : 0;
}

// Reads the header only, so a foreign, damaged or newer file is refused before
// SQLite writes anything to it.
void checkHeader(const QString &path, const QString &purpose)
{
    const std::optional<sqlite::FileHeader> header = sqlite::fileHeader(
        path, purpose, QStringLiteral("it is a folder, not a history file"),
        QStringLiteral("the file is damaged or no history file (it is no SQLite database); it was left untouched"));
    if (!header)
        return;
    if (header->applicationId != applicationId)
        throw LibraryError(purpose, QStringLiteral("the file is an SQLite database of another kind, not a history; "
                                                   "it was left untouched"),
                           SQLITE_NOTADB);
    if (header->userVersion > stepCount)
        throw LibraryError(purpose, QStringLiteral("the history was made by a newer version of Quavertin (layout "
                                                   "%1, this version knows %2); it was left untouched")
                                        .arg(header->userVersion)
                                        .arg(stepCount));
}

HistoryChange changeFrom(const Statement &st)
{
    HistoryChange c;
    c.kind = historyKindNamed(st.text(0)).value_or(HistoryChange::Kind::Tag);
    c.trackId = st.integer(1);
    c.path = st.text(2);
    c.key = st.text(3);
    c.before = st.value(4);
    c.after = st.value(5);
    c.playlistId = st.integer(6);
    c.playlist = st.text(7);
    c.entryId = st.integer(8);
    c.position = st.integer(9);
    c.title = st.text(10);
    c.artist = st.text(11);
    c.trashInfo = st.text(12);
    c.saved = st.text(13).toUtf8();
    return c;
}

HistoryRun runFrom(const Statement &st)
{
    HistoryRun r;
    r.number = st.integer(0);
    r.time = QDateTime::fromString(st.text(1), Qt::ISODateWithMs);
    r.tool = st.text(2);
    r.source = st.text(3);
    r.count = st.integer(4);
    r.undoOf = st.integer(5);
    r.undoneBy = st.integer(6);
    return r;
}

const QByteArray runColumns = "id, time, tool, source, count, undoOf, undoneBy";

// The changes of a row selected with changeColumns: one, or a block's.
void readChanges(const Statement &st, QList<HistoryChange> &into)
{
    const HistoryChange head = changeFrom(st);
    if (st.isNull(15)) {
        into << head;
        return;
    }
    const qsizetype before = into.size();
    if (!PlaylistEntryCode::read(st.blob(15), head, into) || into.size() - before != st.integer(14))
        throw LibraryError(st.purpose(), QStringLiteral("the history is damaged: the playlist entries stored at "
                                                        "position %1 cannot be read")
                                             .arg(st.integer(16)));
}

} // namespace

void PlaylistEntryCode::append(QByteArray &to, const HistoryChange &change)
{
    putDifference(to, change.entryId - entry_);
    putDifference(to, change.trackId - track_);
    putDifference(to, change.position - position_);
    putText(to, change.title);
    putText(to, change.artist);
    entry_ = change.entryId;
    track_ = change.trackId;
    position_ = change.position;
}

bool PlaylistEntryCode::read(const QByteArray &from, const HistoryChange &head, QList<HistoryChange> &into)
{
    BlockReader reader{from.constData(), from.constData() + from.size()};
    HistoryChange change = head;
    change.entryId = change.trackId = change.position = 0;
    while (reader.ok && reader.at < reader.end) {
        change.entryId += reader.difference();
        change.trackId += reader.difference();
        change.position += reader.difference();
        change.title = reader.text();
        change.artist = reader.text();
        if (reader.ok)
            into << change;
    }
    return reader.ok;
}

QString historyKindName(HistoryChange::Kind kind)
{
    for (const auto &[k, name] : kindNames())
        if (k == kind)
            return name;
    return {};
}

std::optional<HistoryChange::Kind> historyKindNamed(const QString &name)
{
    for (const auto &[k, n] : kindNames())
        if (n == name)
            return k;
    return std::nullopt;
}

QString HistoryStore::pathBeside(const QString &libraryPath)
{
    return QFileInfo(libraryPath).absolutePath() + QStringLiteral("/history.sqlite");
}

HistoryStore::HistoryStore(QString path) : path_(std::move(path))
{
    const QString purpose = QStringLiteral("open the history %1").arg(path_);
    checkHeader(path_, purpose);
    const QString folder = QFileInfo(path_).absolutePath();
    if (!QDir().mkpath(folder))
        throw LibraryError(purpose, QStringLiteral("the folder %1 cannot be made").arg(folder));
    db_ = std::make_unique<sqlite::Database>(path_, sqlite::Database::Mode::Create);
    db_->setBusyTimeout(5000);
    // Only the pending changes must reach the disk before the files are
    // written (intend waits for that); a confirmation lost to a power cut is
    // settled like a crash's, so the other commits need not wait.
    db_->execute("PRAGMA synchronous = NORMAL", purpose);
    const qint64 tables = pragmaValue(*db_, "SELECT count(*) FROM sqlite_schema", purpose);
    if (pragmaValue(*db_, "PRAGMA application_id", purpose) != applicationId) {
        if (tables != 0)
            throw LibraryError(purpose, QStringLiteral("the file is an SQLite database of another kind, not a "
                                                       "history; it was left untouched"));
        db_->execute(QByteArray("PRAGMA application_id = " + QByteArray::number(applicationId)).constData(), purpose);
    }
    const qint64 version = pragmaValue(*db_, "PRAGMA user_version", purpose);
    if (version > stepCount)
        throw LibraryError(purpose, QStringLiteral("the history was made by a newer version of Quavertin; it was "
                                                   "left untouched"));
    for (int step = int(version); step < stepCount; ++step) {
        sqlite::Transaction transaction(*db_, purpose);
        db_->execute(steps[step], purpose);
        db_->execute(QByteArray("PRAGMA user_version = " + QByteArray::number(step + 1)).constData(), purpose);
        transaction.commit();
    }
    bool logging = false;
    {
        Statement mode(*db_, "PRAGMA journal_mode", purpose);
        logging = mode.next() && mode.text(0) == QLatin1StringView("wal");
    }
    if (!logging)
        db_->execute("PRAGMA journal_mode = WAL", purpose);
}

HistoryStore::~HistoryStore()
{
    // Runs this object began and did not finish are left as a crash leaves them.
    std::lock_guard lock(liveMutex);
    for (qint64 run : begun_)
        liveRuns().remove(liveKey(path_, run));
}

qint64 HistoryStore::beginRun(const QString &tool, const QString &source, qint64 undoOf)
{
    const QString purpose = QStringLiteral("begin a run in the history %1").arg(path_);
    Statement st(*db_, "INSERT INTO runs (time, tool, source, owner, undoOf) VALUES (?1, ?2, ?3, ?4, ?5)", purpose);
    // An unnamed tool or source is kept as the empty text, not as nothing.
    const auto text = [](const QString &s) { return s.isNull() ? QStringLiteral("") : s; };
    st.bind(1, QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs))
        .bind(2, text(tool))
        .bind(3, text(source))
        .bind(4, qint64(::getpid()));
    if (undoOf > 0)
        st.bind(5, undoOf);
    else
        st.bindNull(5);
    st.run();
    const qint64 run = db_->lastInsertId();
    std::lock_guard lock(liveMutex);
    liveRuns().insert(liveKey(path_, run));
    begun_ << run;
    return run;
}

HistoryStore::Intent::Intent(HistoryStore &store, qint64 run)
    : store_(store), run_(run), purpose_(QStringLiteral("record changes in the history %1").arg(store.path_))
{
    store_.db_->execute("PRAGMA synchronous = FULL", purpose_);
    transaction_ = std::make_unique<sqlite::Transaction>(*store_.db_, purpose_);
}

HistoryStore::Intent::~Intent()
{
    transaction_.reset();
    try {
        store_.db_->execute("PRAGMA synchronous = NORMAL", purpose_);
    } catch (const std::exception &) {
        // Only the speed of later confirmations depends on it.
    }
}

void HistoryStore::Intent::add(qint64 position, const HistoryChange &change)
{
    const bool packs = packable(change);
    if (count_ > 0 && !(packs && change.kind == block_.kind && change.playlistId == block_.playlistId &&
                        change.playlist == block_.playlist && position == last_ + 1 && count_ < blockSize))
        flush();
    if (packs) {
        if (count_ == 0) {
            block_ = change;
            first_ = position;
            code_ = {};
            entries_.clear();
        }
        code_.append(entries_, change);
        last_ = position;
        ++count_;
        return;
    }
    writeRow(position, change);
}

void HistoryStore::Intent::writeRow(qint64 position, const HistoryChange &change)
{
    Statement st(*store_.db_,
                 "INSERT INTO changes (run, position, kind, track, path, key, before, after, playlist, "
                 "playlistName, entry, entryPosition, title, artist, trashInfo, saved) "
                 "VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, ?14, ?15, ?16)",
                 purpose_);
    const auto orNull = [&](int index, qint64 value) {
        if (value != 0)
            st.bind(index, value);
        else
            st.bindNull(index);
    };
    st.bind(1, run_).bind(2, position).bind(3, historyKindName(change.kind));
    orNull(4, change.trackId);
    st.bind(5, change.path).bind(6, change.key).bind(7, change.before).bind(8, change.after);
    orNull(9, change.playlistId);
    st.bind(10, change.playlist);
    orNull(11, change.entryId);
    st.bind(12, change.position).bind(13, change.title).bind(14, change.artist);
    if (change.trashInfo.isEmpty())
        st.bindNull(15);
    else
        st.bind(15, change.trashInfo);
    if (change.saved.isEmpty())
        st.bindNull(16);
    else
        st.bind(16, QString::fromUtf8(change.saved));
    st.run();
}

void HistoryStore::Intent::flush()
{
    const qint64 count = std::exchange(count_, 0);
    if (count == 0)
        return;
    if (count == 1) {
        // A lone entry keeps the plain form.
        writeRow(first_, block_);
        return;
    }
    Statement st(*store_.db_,
                 "INSERT INTO changes (run, position, kind, playlist, playlistName, count, entries) "
                 "VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7)",
                 purpose_);
    st.bind(1, run_).bind(2, first_).bind(3, historyKindName(block_.kind));
    if (block_.playlistId != 0)
        st.bind(4, block_.playlistId);
    else
        st.bindNull(4);
    st.bind(5, block_.playlist).bind(6, count).bindBlob(7, entries_);
    st.run();
}

void HistoryStore::Intent::commit()
{
    flush();
    transaction_->commit();
}

void HistoryStore::intend(qint64 run, const QList<qint64> &positions, const QList<HistoryChange> &changes)
{
    if (changes.isEmpty())
        return;
    Intent intent(*this, run);
    for (qsizetype i = 0; i < changes.size(); ++i)
        intent.add(positions.at(i), changes.at(i));
    intent.commit();
}

void HistoryStore::finishRun(qint64 run, const QList<qint64> &applied, const Limits &limits)
{
    const QString purpose = QStringLiteral("record a run in the history %1").arg(path_);
    sqlite::Transaction transaction(*db_, purpose);
    Statement confirm(*db_, "UPDATE changes SET pending = 0 WHERE run = ?1 AND position = ?2", purpose);
    for (qint64 position : applied) {
        confirm.bind(1, run).bind(2, position).run();
        confirm.reset();
    }
    close(run, purpose);
    transaction.commit();
    forget(run, limits);
}

void HistoryStore::finishRunAll(qint64 run, const Limits &limits)
{
    const QString purpose = QStringLiteral("record a run in the history %1").arg(path_);
    sqlite::Transaction transaction(*db_, purpose);
    Statement(*db_, "UPDATE changes SET pending = 0 WHERE run = ?1", purpose).bind(1, run).run();
    close(run, purpose);
    transaction.commit();
    forget(run, limits);
}

// Inside the transaction that confirmed the run's changes.
void HistoryStore::close(qint64 run, const QString &purpose)
{
    Statement(*db_, "DELETE FROM changes WHERE run = ?1 AND pending = 1", purpose).bind(1, run).run();
    Statement(*db_,
              "UPDATE runs SET open = 0, count = (SELECT coalesce(sum(count), 0) FROM changes WHERE run = ?1) "
              "WHERE id = ?1",
              purpose)
        .bind(1, run)
        .run();
    Statement(*db_, "DELETE FROM runs WHERE id = ?1 AND count = 0", purpose).bind(1, run).run();
    // An undo that changed something takes the run it undid out of the
    // undoable ones, in the same step that records it.
    Statement(*db_, "UPDATE runs SET undoneBy = ?1 WHERE id = (SELECT undoOf FROM runs WHERE id = ?1 AND count > 0)",
              purpose)
        .bind(1, run)
        .run();
}

// After the run was closed: no longer this object's, and the oldest runs beyond the limits go.
void HistoryStore::forget(qint64 run, const Limits &limits)
{
    {
        std::lock_guard lock(liveMutex);
        liveRuns().remove(liveKey(path_, run));
        begun_.removeAll(run);
    }
    prune(run, limits);
}

void HistoryStore::prune(qint64 keep, const Limits &limits)
{
    const QString purpose = QStringLiteral("drop the oldest runs from the history %1").arg(path_);
    // The newest runs that fit both limits stay; the run just made stays whatever its size.
    qint64 firstKept = 0;
    {
        Statement st(*db_, "SELECT id, count FROM runs WHERE open = 0 ORDER BY id DESC", purpose);
        int runs = 0;
        qint64 changes = 0;
        while (st.next()) {
            const qint64 id = st.integer(0);
            ++runs;
            changes += st.integer(1);
            if (id != keep && (runs > limits.runs || changes > limits.changes))
                break;
            firstKept = id;
        }
    }
    sqlite::Transaction transaction(*db_, purpose);
    if (firstKept != 0) {
        Statement(*db_, "DELETE FROM changes WHERE run IN (SELECT id FROM runs WHERE open = 0 AND id < ?1)", purpose)
            .bind(1, firstKept)
            .run();
        Statement(*db_, "DELETE FROM runs WHERE open = 0 AND id < ?1", purpose).bind(1, firstKept).run();
    }
    // A picture goes with the last run that changed it (a run that made no change is gone too).
    Statement(*db_, "DELETE FROM pictureUses WHERE run NOT IN (SELECT id FROM runs)", purpose).run();
    Statement(*db_, "DELETE FROM pictures WHERE hash NOT IN (SELECT hash FROM pictureUses)", purpose).run();
    transaction.commit();
}

void HistoryStore::keepPictures(qint64 run, const QHash<QString, QByteArray> &pictures)
{
    if (pictures.isEmpty())
        return;
    const QString purpose = QStringLiteral("keep pictures in the history %1").arg(path_);
    sqlite::Transaction transaction(*db_, purpose);
    Statement use(*db_, "INSERT OR IGNORE INTO pictureUses (run, hash) VALUES (?1, ?2)", purpose);
    Statement known(*db_, "SELECT 1 FROM pictures WHERE hash = ?1", purpose);
    Statement keep(*db_, "INSERT OR IGNORE INTO pictures (hash, bytes) VALUES (?1, ?2)", purpose);
    for (auto it = pictures.cbegin(); it != pictures.cend(); ++it) {
        use.bind(1, run).bind(2, it.key()).run();
        use.reset();
        known.bind(1, it.key());
        const bool there = known.next();
        known.reset();
        if (!there) {
            keep.bind(1, it.key()).bindBlob(2, it.value()).run();
            keep.reset();
        }
    }
    transaction.commit();
}

std::optional<QByteArray> HistoryStore::picture(const QString &hash) const
{
    const QString purpose = QStringLiteral("read a picture from the history %1").arg(path_);
    Statement st(*db_, "SELECT bytes FROM pictures WHERE hash = ?1", purpose);
    st.bind(1, hash);
    return st.next() ? std::optional<QByteArray>(st.blob(0)) : std::nullopt;
}

int HistoryStore::resolveAbandoned(const Resolver &resolver)
{
    const QString purpose = QStringLiteral("settle the unfinished runs of the history %1").arg(path_);
    QList<qint64> abandoned;
    {
        Statement st(*db_, "SELECT id, owner FROM runs WHERE open = 1", purpose);
        std::lock_guard lock(liveMutex);
        while (st.next()) {
            const qint64 id = st.integer(0);
            const qint64 owner = st.integer(1);
            const bool mine = owner == ::getpid();
            if (mine ? !liveRuns().contains(liveKey(path_, id)) : !processAlive(owner))
                abandoned << id;
        }
    }
    for (qint64 run : abandoned) {
        QList<qint64> kept;
        // Blocks some of whose entries were not made keep only the others;
        // written once the reading is done.
        QList<std::pair<qint64, QList<HistoryChange>>> narrowed;
        {
            Statement st(*db_, "SELECT " + changeColumns + " FROM changes WHERE run = ?1 AND pending = 1 ORDER BY position",
                         purpose);
            st.bind(1, run);
            while (st.next()) {
                QList<HistoryChange> changes;
                readChanges(st, changes);
                QList<HistoryChange> made;
                for (const HistoryChange &change : changes)
                    if (resolver(change) != Resolution::NotApplied)
                        made << change;
                if (made.isEmpty())
                    continue;
                kept << st.integer(16);
                if (made.size() != changes.size())
                    narrowed.append({st.integer(16), made});
            }
        }
        if (!narrowed.isEmpty()) {
            Intent rewrite(*this, run);
            for (const auto &[position, made] : narrowed) {
                Statement(*db_, "DELETE FROM changes WHERE run = ?1 AND position = ?2", purpose)
                    .bind(1, run)
                    .bind(2, position)
                    .run();
                // Fewer entries from the same first position: the block still
                // falls between the rows around it.
                for (qsizetype i = 0; i < made.size(); ++i)
                    rewrite.add(position + i, made.at(i));
            }
            rewrite.commit();
        }
        finishRun(run, kept, {std::numeric_limits<int>::max(), std::numeric_limits<qint64>::max()});
    }
    return int(abandoned.size());
}

QList<HistoryRun> HistoryStore::runs() const
{
    QList<HistoryRun> list;
    Statement st(*db_, "SELECT " + runColumns + " FROM runs WHERE open = 0 ORDER BY id DESC",
                 QStringLiteral("list the runs of the history %1").arg(path_));
    while (st.next())
        list << runFrom(st);
    return list;
}

std::optional<HistoryRun> HistoryStore::run(qint64 number) const
{
    Statement st(*db_, "SELECT " + runColumns + " FROM runs WHERE open = 0 AND id = ?1",
                 QStringLiteral("read run %1 of the history %2").arg(number).arg(path_));
    st.bind(1, number);
    if (!st.next())
        return std::nullopt;
    return runFrom(st);
}

QList<HistoryChange> HistoryStore::changes(qint64 run) const
{
    QList<HistoryChange> list;
    Statement st(*db_, "SELECT " + changeColumns + " FROM changes WHERE run = ?1 AND pending = 0 ORDER BY position",
                 QStringLiteral("read the changes of run %1 of the history %2").arg(run).arg(path_));
    st.bind(1, run);
    while (st.next())
        readChanges(st, list);
    return list;
}

QList<HistoryChange> HistoryStore::movesAfter(qint64 run) const
{
    QList<HistoryChange> list;
    Statement st(*db_,
                 "SELECT " + changeColumns +
                     " FROM changes WHERE run > ?1 AND pending = 0 AND kind IN (?2, ?3) ORDER BY run, position",
                 QStringLiteral("read the files moved after run %1 in the history %2").arg(run).arg(path_));
    st.bind(1, run)
        .bind(2, historyKindName(HistoryChange::Kind::Renamed))
        .bind(3, historyKindName(HistoryChange::Kind::Relinked));
    while (st.next())
        readChanges(st, list);
    return list;
}

bool HistoryStore::isUndone(const HistoryRun &run) const
{
    // Its undo counts only while that undo stands itself; a chain of undos
    // and redos is short, and a pruned undo cannot outlive the run it undid.
    if (run.undoneBy == 0)
        return false;
    const std::optional<HistoryRun> undo = this->run(run.undoneBy);
    return undo && !isUndone(*undo);
}

std::optional<HistoryRun> HistoryStore::lastUndoable() const
{
    for (const HistoryRun &r : runs())
        if (r.undoOf == 0 && !isUndone(r))
            return r;
    return std::nullopt;
}
