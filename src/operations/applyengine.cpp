// SPDX-License-Identifier: GPL-3.0-or-later
#include "applyengine.h"

#include "changesmodel.h"
#include "comebacks.h"
#include "files/committurn.h"
#include "files/filetags.h"
#include "library/musiclibrary.h"
#include "runjournal.h"
#include "support/alerts.h"
#include "support/filepool.h"
#include "support/fileutils.h"
#include "support/safemove.h"
#include "support/trash.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <limits>
#include <memory>
#include <mutex>
#include <optional>

#include <sys/stat.h>

namespace applyengine {
namespace {

const QString nameKey = QStringLiteral("name");
const QString artistKey = QStringLiteral("artist");
const QString locationKey = QStringLiteral("location");

// The system log gets the error's description, then where it was caught.
#define LOG_FAILURE(description)                                                                             \
    do {                                                                                                     \
        qWarning().noquote() << (description);                                                               \
        qWarning("failure %s %d", "AppDelegate", __LINE__);                                                  \
    } while (0)

// A NamedException's what() is its description, so one form serves every error.
QString describe(const std::exception &e)
{
    return QString::fromUtf8(e.what());
}

// Which track a record writes: a file by its path, a library track by its id.
QString trackIdentity(const MusicTrack &track)
{
    return track.isLibraryTrack() ? QString::number(track.track()->trackId) : track.path();
}

using changefiles::fileWrite;

// The library rows a tag run changes go in a few transactions instead of one
// per track, each of which would wait for the disk. A row is written only
// after its file, and the open transaction is committed whenever the run
// ends, so the rows of the files written stay written.
class RowBatches {
public:
    explicit RowBatches(MusicLibrary *library) : library_(library) {}

    // Before a write that may touch a row.
    void before()
    {
        if (library_ && !batch_)
            batch_ = std::make_unique<MusicLibrary::Batch>(*library_, QStringLiteral("apply tag changes"));
    }
    // After a write: a long run commits now and then, so that other programs
    // are not kept from the library for its whole length.
    void after()
    {
        if (batch_ && ++pending_ >= commitEvery)
            commit();
    }
    void commit()
    {
        pending_ = 0;
        if (!batch_)
            return;
        // Gone even when the commit fails: its destructor then undoes the rest.
        const std::unique_ptr<MusicLibrary::Batch> batch = std::move(batch_);
        batch->commit();
    }

private:
    static constexpr int commitEvery = 500;
    MusicLibrary *library_;
    std::unique_ptr<MusicLibrary::Batch> batch_;
    int pending_ = 0;
};

// The library a tag run keeps in step: its tracks' own, else the one whose
// tracks may stand at the folder's files.
MusicLibrary *libraryOf(const ApplyRun &run)
{
    for (const ChangeRecord &r : run.changes->records)
        if (r.enabled && r.track.isLibraryTrack())
            return r.track.library().get();
    return run.library.get();
}

// The files of a folder run that library tracks stand at, found with one
// query: only their writes are followed into the library, so that a run over
// files the library does not hold costs no lookup per write.
QSet<QString> followedFiles(const ApplyRun &run)
{
    if (!run.library)
        return {};
    QStringList paths;
    for (const ChangeRecord &r : run.changes->records)
        if (r.enabled && !r.track.isLibraryTrack())
            paths << r.track.path();
    const QHash<QString, qint64> tracks = run.library->fileTracksAt(paths);
    return QSet<QString>(tracks.keyBegin(), tracks.keyEnd());
}

// After a file of a folder source was written: library tracks of that file
// take the value too, as a later refresh would give it.
void followFileWrite(MusicLibrary &library, const ChangeRecord &record, const QString &stampBefore,
                     const QString &stampAfter)
{
    const QString key = record.tagToChange == QLatin1String("title") ? QStringLiteral("name") : record.tagToChange;
    if (!MusicTrack::rowKeeps(key))
        return;
    const QString path = record.track.path();
    library.fileWritten(path, key, MusicLibrary::storedValue(key, record.newTag), stampBefore, stampAfter);
}

// The verified write of one record. A later record of the same track (the
// second half of a swap) finds the values this run wrote, not the collected
// ones, and must not take its own run's writes for someone else's. False,
// writing nothing, when the track changed elsewhere. With rowLater, a library
// track's rows are left there for the run's thread to store.
bool writeRecord(const ChangeRecord &record, QHash<QString, QHash<QString, QVariant>> &writtenByRun,
                 std::optional<MusicTrack::RowWrite> *rowLater = nullptr)
{
    // Artist, then title, then the old value; read and written with one open of a file.
    TagExpectations expected{{artistKey, record.artist}, {nameKey, record.title}, {record.tagToChange, record.oldTag}};
    QHash<QString, QVariant> &written = writtenByRun[trackIdentity(record.track)];
    for (auto &[key, value] : expected)
        if (const auto it = written.constFind(key); it != written.constEnd())
            value = *it;
    if (rowLater && record.track.isLibraryTrack()) {
        *rowLater = record.track.writeFileIfUnchanged(record.tagToChange, record.newTag, expected);
        if (!*rowLater)
            return false;
    } else if (!record.track.setTagIfUnchanged(record.tagToChange, record.newTag, expected)) {
        return false;
    }
    written.insert(record.tagToChange, record.newTag);
    return true;
}

// What writing records one by one on the run's thread keeps between them.
struct InOrder {
    // What this run has written so far, per track.
    QHash<QString, QHash<QString, QVariant>> writtenByRun;
    QSet<changefiles::FileWrite> writtenFiles;
    // The files of the folder's records whose writes library tracks follow.
    QSet<QString> followed;
};

// Writes the records [from, to) one after another on this thread. False when
// the run ended there; result says how.
bool writeInOrder(const ApplyRun &run, qsizetype from, qsizetype to, InOrder &state, RowBatches &rows,
                  ApplyResult &result)
{
    const QList<ChangeRecord> &records = run.changes->records;
    const qsizetype total = records.size();
    for (qsizetype i = from; i < to; ++i) {
        const ChangeRecord &record = records.at(i);
        if (!record.enabled) {
            run.progress(QStringLiteral("%1/%2 ").arg(i + 1).arg(total));
            continue;
        }
        // The recorded title stands in for the track's: whenever the write
        // goes ahead they are equal, and reading it would cost another open.
        run.progress({QStringLiteral("%1/%2 %3"), int(i + 1), int(total), record.title});
        // Two names of one file (hard links) get one write: the second name's
        // record would find the first one's change and stop the run.
        const changefiles::FileWrite write = fileWrite(record);
        if (write.file.known() && state.writtenFiles.contains(write)) {
            qInfo().noquote() << QStringLiteral("%1 is the same file as one already written").arg(record.track.path());
            ++result.written;
            continue;
        }
        try {
            rows.before();
            const bool follow = !record.track.isLibraryTrack() && state.followed.contains(record.track.path());
            const QString stampBefore = follow ? files::stamp(record.track.path()) : QString();
            if (!writeRecord(record, state.writtenByRun)) {
                result.outcome = ApplyResult::Aborted;
                return false;
            }
            ++result.written;
            if (run.journal)
                run.journal->applied(i);
            if (write.file.known())
                state.writtenFiles.insert(write);
            if (follow)
                followFileWrite(*run.library, record, stampBefore, files::stamp(record.track.path()));
            rows.after();
        } catch (const std::exception &e) {
            const QString description = describe(e);
            LOG_FAILURE(description);
            result.outcome = ApplyResult::Failed;
            result.failedTrack = record.title;
            result.error = description;
            return false;
        }
    }
    return true;
}

// Files are written several at a time unless a record's key would be
// refused: the refusal would otherwise be shown from a pool thread. A library
// track's file is written there too, its rows on the worker, whose
// connection holds the run's transaction.
bool writesInTurn(const ApplyRun &run)
{
    if (filepool::threadCount() == 1)
        return false;
    for (const ChangeRecord &r : run.changes->records) {
        if (!r.enabled)
            continue;
        if (r.track.isLibraryTrack() ? r.tagToChange == QLatin1String("cover")
                                     : !filetags::canWrite(r.tagToChange) || !filetags::canRead(r.tagToChange))
            return false;
    }
    return true;
}

// The file a record writes, the same for every name of it; its path when it
// cannot be examined. A library track without a file is its own.
QString fileIdentity(const ChangeRecord &record)
{
    QString path = record.track.path();
    if (record.track.isLibraryTrack()) {
        try {
            path = record.track.library()->fileLink(*record.track.track()).path;
        } catch (const std::exception &) {
            // The record's own write meets the error again, in its turn.
        }
        if (path.isNull())
            return QStringLiteral("track %1").arg(record.track.track()->trackId);
    }
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return path;
    return QStringLiteral("%1:%2").arg(st.st_dev).arg(st.st_ino);
}

// The records in pieces that one task each writes, in order: every record of
// a file falls in one piece, so a file is never prepared from bytes that an
// earlier record is still changing. Pieces are runs of the list; where two
// files' records interleave, their pieces are one.
QList<std::pair<qsizetype, qsizetype>> piecesOf(const QList<ChangeRecord> &records)
{
    QHash<QString, qsizetype> last;
    QList<QString> identity(records.size());
    for (qsizetype i = 0; i < records.size(); ++i) {
        if (records[i].enabled) {
            identity[i] = fileIdentity(records[i]);
            last[identity[i]] = i;
        }
    }
    QList<std::pair<qsizetype, qsizetype>> pieces;
    for (qsizetype first = 0; first < records.size();) {
        qsizetype end = first;
        for (qsizetype i = first; i <= end; ++i)
            if (!identity[i].isNull())
                end = std::max(end, last.value(identity[i]));
        pieces.append({first, end + 1});
        first = end + 1;
    }
    return pieces;
}

// Which pieces may change their files: each in its turn, once every piece
// before it was written and followed in the library, and none after a piece
// that stopped the run.
class Turns {
public:
    // Waits for piece's turn; false when the run stopped before it.
    bool await(int piece)
    {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return done_ >= piece || stoppedAt_ < piece; });
        return done_ >= piece;
    }
    void done(int piece)
    {
        const std::lock_guard lock(mutex_);
        done_ = std::max(done_, piece + 1);
        changed_.notify_all();
    }
    void stop(int piece)
    {
        const std::lock_guard lock(mutex_);
        stoppedAt_ = std::min(stoppedAt_, piece);
        changed_.notify_all();
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    int done_ = 0;
    int stoppedAt_ = std::numeric_limits<int>::max();
};

// What became of each record of a piece.
struct PieceWrite {
    enum Status { Unchecked, Written, SameFile, Changed, Failed, NotReached };
    struct Record {
        Status status = NotReached;
        QString stampBefore, stampAfter, error;
        std::optional<MusicTrack::RowWrite> row; // a library track's, to store
    };
    QList<Record> records;
    // Left for the worker to write in its turn, as if there were no pool.
    bool onWorker = false;
};

// Pieces whose records the worker writes itself: where a library track's
// record is one of several on a file, a later record must find the rows of
// the earlier ones, which only the worker's connection sees before they are
// committed.
QList<bool> piecesOnWorker(const QList<ChangeRecord> &records, const QList<std::pair<qsizetype, qsizetype>> &pieces)
{
    QList<bool> onWorker;
    for (const auto &[first, end] : pieces) {
        int enabled = 0;
        bool library = false;
        for (qsizetype i = first; i < end; ++i) {
            enabled += records[i].enabled ? 1 : 0;
            library = library || (records[i].enabled && records[i].track.isLibraryTrack());
        }
        onWorker.append(library && enabled > 1);
    }
    return onWorker;
}

// The run's end, once the piece that ended it was reported.
struct Stopped {};

void writeTagsInTurn(const ApplyRun &run, RowBatches &rows, ApplyResult &result)
{
    const QList<ChangeRecord> &records = run.changes->records;
    const qsizetype total = records.size();
    const QList<std::pair<qsizetype, qsizetype>> pieces = piecesOf(records);
    const QList<bool> onWorker = piecesOnWorker(records, pieces);
    const QSet<QString> followed = followedFiles(run);
    const auto isFollowed = [&followed](const ChangeRecord &r) {
        return !r.track.isLibraryTrack() && followed.contains(r.track.path());
    };
    // A piece whose report only counts and logs (no library row to store or
    // to follow its files) cannot stop the run once its files are on disk:
    // the next piece's turn then comes from the thread that wrote it, not
    // from the worker taking it in, which would cost two thread wake-ups in
    // a row per file. When every piece is so, the worker writes files too.
    QList<bool> quiet;
    for (qsizetype p = 0; p < pieces.size(); ++p) {
        bool q = !onWorker[p];
        for (qsizetype i = pieces[p].first; q && i < pieces[p].second; ++i)
            q = !records[i].enabled || !(records[i].track.isLibraryTrack() || isFollowed(records[i]));
        quiet.append(q);
    }
    const bool allQuiet = !quiet.contains(false);
    Turns turns;

    // A pool thread reads, changes and checks a piece's files in memory; only
    // the step onto the disk waits for the piece's turn.
    const std::function<PieceWrite(int)> write = [&](int piece) {
        PieceWrite outcome;
        if (onWorker[piece]) {
            outcome.onWorker = true;
            return outcome;
        }
        const committurn::Scope turn([&turns, piece] { return turns.await(piece); });
        QHash<QString, QHash<QString, QVariant>> writtenByRun;
        QSet<changefiles::FileWrite> writtenFiles;
        for (qsizetype i = pieces[piece].first; i < pieces[piece].second; ++i) {
            const ChangeRecord &record = records.at(i);
            PieceWrite::Record &done = outcome.records.emplace_back();
            if (!record.enabled) {
                done.status = PieceWrite::Unchecked;
                continue;
            }
            try {
                const changefiles::FileWrite file = fileWrite(record);
                if (file.file.known() && writtenFiles.contains(file)) {
                    done.status = PieceWrite::SameFile;
                    continue;
                }
                const bool followedRecord = isFollowed(record);
                done.stampBefore = followedRecord ? files::stamp(record.track.path()) : QString();
                if (!writeRecord(record, writtenByRun, &done.row)) {
                    done.status = PieceWrite::Changed;
                    break;
                }
                done.status = PieceWrite::Written;
                done.stampAfter = followedRecord ? files::stamp(record.track.path()) : QString();
                if (file.file.known())
                    writtenFiles.insert(file);
            } catch (const committurn::Refused &) {
                done.status = PieceWrite::NotReached;
                break;
            } catch (const std::exception &e) {
                done.status = PieceWrite::Failed;
                done.error = describe(e);
                break;
            }
        }
        if (quiet[piece]) {
            const bool stops = std::any_of(outcome.records.cbegin(), outcome.records.cend(), [](const auto &r) {
                return r.status == PieceWrite::Changed || r.status == PieceWrite::Failed ||
                       r.status == PieceWrite::NotReached;
            });
            if (stops)
                turns.stop(piece);
            else if (turns.await(piece))
                turns.done(piece);
        }
        return outcome;
    };

    // The worker takes the pieces in order: progress, the log, the count and
    // the library rows, as if it had written them itself.
    const auto report = [&](int piece, PieceWrite &&outcome) {
        try {
            if (outcome.onWorker) {
                InOrder state;
                for (qsizetype i = pieces[piece].first; i < pieces[piece].second; ++i)
                    if (isFollowed(records[i]))
                        state.followed.insert(records[i].track.path());
                if (!writeInOrder(run, pieces[piece].first, pieces[piece].second, state, rows, result))
                    throw Stopped();
            }
            for (qsizetype k = 0; k < outcome.records.size(); ++k) {
                const qsizetype i = pieces[piece].first + k;
                const ChangeRecord &record = records.at(i);
                const PieceWrite::Record &done = outcome.records.at(k);
                if (done.status == PieceWrite::Unchecked) {
                    run.progress(QStringLiteral("%1/%2 ").arg(i + 1).arg(total));
                    continue;
                }
                run.progress({QStringLiteral("%1/%2 %3"), int(i + 1), int(total), record.title});
                switch (done.status) {
                case PieceWrite::SameFile:
                    qInfo().noquote() << QStringLiteral("%1 is the same file as one already written").arg(record.track.path());
                    ++result.written;
                    continue;
                case PieceWrite::Written: {
                    const bool followedRecord = isFollowed(record);
                    const bool rowsTouched = done.row || followedRecord;
                    if (rowsTouched)
                        rows.before();
                    try {
                        if (done.row)
                            record.track.storeRow(*done.row);
                        ++result.written;
                        if (run.journal)
                            run.journal->applied(i);
                        if (followedRecord)
                            followFileWrite(*run.library, record, done.stampBefore, done.stampAfter);
                        if (rowsTouched)
                            rows.after();
                    } catch (const std::exception &e) {
                        LOG_FAILURE(describe(e));
                        result.outcome = ApplyResult::Failed;
                        result.failedTrack = record.title;
                        result.error = describe(e);
                        throw Stopped();
                    }
                    continue;
                }
                case PieceWrite::Changed:
                    result.outcome = ApplyResult::Aborted;
                    throw Stopped();
                case PieceWrite::Failed:
                case PieceWrite::NotReached:
                case PieceWrite::Unchecked:
                    LOG_FAILURE(done.error);
                    result.outcome = ApplyResult::Failed;
                    result.failedTrack = record.title;
                    result.error = done.error;
                    throw Stopped();
                }
            }
        } catch (...) {
            // The pieces waiting for their turn are told before anything else.
            turns.stop(piece);
            throw;
        }
        turns.done(piece);
    };
    try {
        filepool::ordered<PieceWrite>(int(pieces.size()), write, report,
                                      allQuiet ? filepool::Caller::Works : filepool::Caller::OnlyDelivers);
    } catch (const Stopped &) {
    }
}

void writeTags(const ApplyRun &run, RowBatches &rows, ApplyResult &result)
{
    if (writesInTurn(run)) {
        writeTagsInTurn(run, rows, result);
        return;
    }
    InOrder state;
    state.followed = followedFiles(run);
    writeInOrder(run, 0, run.changes->records.size(), state, rows, result);
}

ApplyResult applyTags(const ApplyRun &run)
{
    ApplyResult result;
    for (const ChangeRecord &r : run.changes->records)
        result.enabled += r.enabled ? 1 : 0;
    if (run.journal)
        run.journal->intendTags(run.changes->records);
    try {
        RowBatches rows(libraryOf(run));
        writeTags(run, rows, result);
        rows.commit();
    } catch (const std::exception &e) {
        // The library refused a transaction: the files written are, their rows not.
        const QString description = describe(e);
        LOG_FAILURE(description);
        result.outcome = ApplyResult::Failed;
        result.error = description;
    }
    return result;
}

// Library-only values (ratings, play counts brought from another program)
// are stored all in one transaction: a run that stops at a changed track or
// an error leaves every row as it was, and the history confirms the run only
// once the rows are committed.
ApplyResult applyInOneTransaction(const ApplyRun &run)
{
    ApplyResult result;
    for (const ChangeRecord &r : run.changes->records)
        result.enabled += r.enabled ? 1 : 0;
    MusicLibrary *library = libraryOf(run);
    if (run.journal)
        run.journal->intendTags(run.changes->records);
    try {
        std::optional<MusicLibrary::Batch> batch;
        if (library)
            batch.emplace(*library, QStringLiteral("apply %1 library changes").arg(result.enabled));
        ApplyRun quiet = run;
        quiet.journal = nullptr;
        InOrder state;
        RowBatches joined(nullptr); // the rows join the batch above
        if (writeInOrder(quiet, 0, run.changes->records.size(), state, joined, result)) {
            if (batch)
                batch->commit();
            if (run.journal)
                run.journal->appliedAll();
        } else {
            result.written = 0;
        }
    } catch (const std::exception &e) {
        const QString description = describe(e);
        LOG_FAILURE(description);
        result.outcome = ApplyResult::Failed;
        result.error = description;
        result.written = 0;
    }
    return result;
}

// The first playlist of that name that can take tracks: names are how the
// menus remember playlists, and a smart namesake never takes any.
std::optional<Playlist> editablePlaylistNamed(const MusicLibrary &library, const QString &name)
{
    for (const Playlist &p : library.userPlaylists())
        if (!p.smart && p.name == name)
            return p;
    return std::nullopt;
}

// Claims a name in the Trash for each file once, however many tracks it
// backs. Returns the locations that cannot go; the result lists each with the reason.
QSet<QString> claimTrash(QStringList locations, QList<trash::Moved> &claims, ApplyResult &result)
{
    locations.removeDuplicates();
    QSet<QString> kept;
    for (const QString &location : locations) {
        if (location.isEmpty())
            continue;
        const trash::Outcome outcome = trash::claim(location);
        if (outcome.moved) {
            claims << outcome.where;
        } else {
            kept << location;
            result.notTrashed << QStringLiteral("%1: %2").arg(location, outcome.error);
        }
    }
    return kept;
}

ApplyResult applyMembership(const ApplyRun &run)
{
    ApplyResult result;
    QList<trash::Moved> trashed;
    QList<qint64> trashedAt; // their positions in the history
    // The history positions of the changes made, when not every intended one was.
    std::optional<QList<qint64>> made;
    const ChangeList &list = *run.changes;
    MusicLibrary &library = *run.library;
    QString current; // the track being worked on, for the failure alert
    try {
        std::optional<Playlist> target;
        if (!list.remove && !list.restore) {
            target = editablePlaylistNamed(library, run.targetPlaylist);
            if (!target) {
                result.outcome = ApplyResult::TargetMissing;
                result.playlist = run.targetPlaylist;
                return result;
            }
        }
        run.progress(QStringLiteral("Preparation"));

        // The check and the changes it allows are one transaction, so no
        // other program can change a track in between; an error leaves the
        // playlists as they were.
        MusicLibrary::Batch batch(library, QStringLiteral("apply %1 playlist changes").arg(list.records.size()));

        // Pass 1: every enabled record is checked before anything is touched,
        // a chunk of tracks per query, so that a long list holds few values at
        // once. When files go to the Trash, their locations come with the check:
        // only a track backed by a file that is there has one.
        QList<const ChangeRecord *> work;
        for (const ChangeRecord &record : list.records) {
            if (!record.enabled || !record.track.isLibraryTrack())
                continue;
            // A track to re-create is not there to check.
            if (!list.comebacks.isEmpty() && list.comebacks.value(&record - list.records.constData()).saved)
                continue;
            work << &record;
        }
        const auto ref = [&work](qsizetype i) -> const TrackRef & { return *work.at(i)->track.track(); };
        result.enabled = static_cast<int>(work.size());
        const bool trashing = list.remove && list.trash;
        const QStringList keys = trashing ? QStringList{artistKey, nameKey, locationKey} : QStringList{artistKey, nameKey};
        QStringList locations; // beside work; empty for a track without a file
        constexpr qsizetype chunkSize = 1024;
        QList<TrackRef> chunk;
        for (qsizetype first = 0; first < work.size(); first += chunkSize) {
            chunk.clear();
            for (qsizetype i = first; i < std::min(first + chunkSize, work.size()); ++i)
                chunk << ref(i);
            const QList<QVariantList> now = library.propertyRows(chunk, keys);
            for (qsizetype k = 0; k < now.size(); ++k) {
                const ChangeRecord &record = *work.at(first + k);
                if (tagText(now[k].value(0)) != record.artist || tagText(now[k].value(1)) != record.title) {
                    result.outcome = ApplyResult::Aborted;
                    return result;
                }
                if (trashing)
                    locations << now[k].value(2).toString();
            }
        }

        // Pass 2. The recorded titles are the tracks' own: pass 1 found them unchanged.
        const qsizetype total = work.size();
        QList<qint64> ids;
        for (qsizetype i = 0; i < total; ++i) {
            current = work.at(i)->title;
            run.progress({QStringLiteral("%1/%2 - %3"), int(i + 1), int(total), current});
            if (!list.remove && !list.restore)
                ids << ref(i).trackId;
        }
        current.clear();
        int written = 0;
        if (list.restore) {
            made.emplace();
            written = comebacks::restore(run, library, work, result, *made);
        } else if (list.remove) {
            // Files go first: a track whose file stays out of the Trash keeps its
            // entry, so the library never points at a file it no longer lists.
            // Their names in the Trash are in the history before they move.
            QList<trash::Moved> claims;
            QSet<QString> kept = trashing ? claimTrash(locations, claims, result) : QSet<QString>();
            QList<TrackRef> removed;
            QStringList files;
            for (qsizetype i = 0; i < work.size(); ++i)
                if (!trashing || locations.at(i).isEmpty() || !kept.contains(locations.at(i))) {
                    removed << ref(i);
                    files << (trashing ? locations.at(i) : QString());
                }
            if (run.journal)
                run.journal->intendRemovals(library, removed, list, files, claims);
            made.emplace();
            for (qsizetype k = 0; k < claims.size(); ++k) {
                const trash::Moved &claim = claims.at(k);
                if (trash::moveClaimed(claim)) {
                    trashed << claim;
                    trashedAt << removed.size() + k;
                } else {
                    const QString location = QFile::decodeName(claim.originalPath);
                    kept << location;
                    result.notTrashed << QStringLiteral("%1: %2").arg(location, QString::fromLocal8Bit(std::strerror(errno)));
                }
            }
            QList<TrackRef> leaving;
            for (qsizetype i = 0; i < removed.size(); ++i)
                if (files.at(i).isEmpty() || !kept.contains(files.at(i))) {
                    leaving << removed.at(i);
                    *made << i;
                }
            *made << trashedAt;
            if (made->size() == removed.size() + claims.size())
                made.reset(); // every change the history was told of was made
            library.deleteTracks(leaving);
            written = static_cast<int>(leaving.size());
        } else {
            // A track already in the target, or listed twice, is added once.
            const qint64 before = run.journal ? run.journal->beforeAdding(library) : 0;
            written = library.addTracksToPlaylist(target->id, ids, true);
            if (run.journal)
                run.journal->intendAdditions(library, target->id, before, list);
        }
        batch.commit();
        if (run.journal && made)
            for (qint64 position : *made)
                run.journal->applied(position);
        else if (run.journal)
            run.journal->appliedAll();
        // Counted only now: a commit that fails has made none of the changes.
        result.written = written;
    } catch (const std::exception &e) {
        const QString description = describe(e);
        LOG_FAILURE(description);
        result.outcome = ApplyResult::Failed;
        result.failedTrack = current;
        result.error = description;
        result.written = 0;
        // The removal was rolled back, so the files come back out of the Trash.
        QStringList stranded;
        for (qsizetype k = 0; k < trashed.size(); ++k)
            if (!trash::putBack(trashed.at(k))) {
                stranded << QFile::decodeName(trashed.at(k).originalPath);
                // Still in the Trash: the history keeps where, so an undo can bring it back.
                if (run.journal)
                    run.journal->applied(trashedAt.at(k));
            }
        if (!stranded.isEmpty())
            result.error += QStringLiteral("; these files could not be put back from the Trash: %1")
                                .arg(stranded.join(QStringLiteral(", ")));
    }
    return result;
}


// The folders the moved files left, and those above them that held nothing
// else, below the folder all of them shared: that one, and anything above
// it, the run did not empty.
void removeEmptiedFolders(const QStringList &moved)
{
    if (moved.isEmpty())
        return;
    QString common = files::folderOf(moved.constFirst());
    for (const QString &path : moved)
        while (common != QLatin1String("/") && !path.startsWith(common + QLatin1Char('/')))
            common = files::folderOf(common);
    QStringList folders;
    for (const QString &path : moved)
        if (!folders.contains(files::folderOf(path)))
            folders << files::folderOf(path);
    // rmdir removes only a folder that is empty.
    for (QString folder : folders)
        while (folder.startsWith(common + QLatin1Char('/')) && QDir().rmdir(folder))
            folder = files::folderOf(folder);
}

// Each file gets its new name only while it still has the old one and the
// title and artist recorded, and never over another file; the folders of a
// new name are made, and a name on another file system is reached by a
// verified copy. The library follows.
ApplyResult applyRenames(const ApplyRun &run)
{
    ApplyResult result;
    const QList<ChangeRecord> &records = run.changes->records;
    QList<HistoryChange> changes;
    QList<qint64> positions;
    for (qsizetype i = 0; i < records.size(); ++i) {
        if (!records[i].enabled)
            continue;
        ++result.enabled;
        HistoryChange change;
        change.kind = HistoryChange::Kind::Renamed;
        change.path = records[i].oldTag;
        change.before = records[i].oldTag;
        change.after = records[i].newTag;
        change.title = records[i].title;
        change.artist = records[i].artist;
        changes << change;
        positions << i;
    }
    if (run.journal)
        run.journal->intendChanges(changes, positions);
    const qsizetype total = records.size();
    QStringList moved;
    // Moved files wait here until the library has followed them, a few
    // hundred in one transaction: one each cost a long run more than its moves.
    constexpr qsizetype followBatch = 256;
    QList<qsizetype> waiting;
    const auto follow = [&] {
        if (waiting.isEmpty())
            return true;
        QList<QPair<QString, QString>> moves;
        for (qsizetype i : waiting)
            moves.append({records.at(i).oldTag, records.at(i).newTag});
        try {
            if (run.library)
                run.library->filesMoved(moves);
        } catch (const std::exception &e) {
            // The library could not follow: the files keep the names the library knows.
            for (auto it = waiting.crbegin(); it != waiting.crend(); ++it)
                safemove::moveMakingFolders(records.at(*it).newTag, records.at(*it).oldTag);
            result.written -= int(waiting.size());
            LOG_FAILURE(describe(e));
            result.outcome = ApplyResult::Failed;
            result.failedTrack = records.at(waiting.constFirst()).title;
            result.error = describe(e);
            waiting.clear();
            return false;
        }
        for (qsizetype i : waiting) {
            moved << records.at(i).oldTag;
            if (run.journal)
                run.journal->applied(i);
        }
        waiting.clear();
        return true;
    };
    for (qsizetype i = 0; i < total; ++i) {
        const ChangeRecord &record = records.at(i);
        if (!record.enabled)
            continue;
        run.progress({QStringLiteral("%1/%2 %3"), int(i + 1), int(total), record.title});
        try {
            if (!QFileInfo::exists(record.oldTag)) {
                result.outcome = ApplyResult::Aborted;
                break;
            }
            const QVariantHash now = MusicTrack::withPath(record.oldTag).valuesForTags({artistKey, nameKey});
            if (tagText(now.value(artistKey)) != record.artist || tagText(now.value(nameKey)) != record.title) {
                result.outcome = ApplyResult::Aborted;
                break;
            }
            if (!safemove::moveMakingFolders(record.oldTag, record.newTag))
                throw FileError(record.oldTag, QFileInfo::exists(record.newTag) || QFileInfo(record.newTag).isSymLink()
                                                   ? QStringLiteral("another file has the name %1").arg(record.newTag)
                                                   : QStringLiteral("the file could not be given the name %1")
                                                         .arg(record.newTag));
            ++result.written;
            waiting << i;
            if (waiting.size() >= followBatch && !follow())
                break;
        } catch (const std::exception &e) {
            LOG_FAILURE(describe(e));
            result.outcome = ApplyResult::Failed;
            result.failedTrack = record.title;
            result.error = describe(e);
            break;
        }
    }
    // What moved before a run stopped is followed too; a failure here outranks the stop.
    follow();
    if (run.changes->removeEmptyFolders)
        removeEmptiedFolders(moved);
    return result;
}

ApplyResult applyList(const ApplyRun &run)
{
    if (!run.changes)
        return {};
    if (run.changes->writeElsewhere)
        return run.changes->writeElsewhere(*run.changes, run.progress);
    if (run.changes->oneTransaction)
        return applyInOneTransaction(run);
    if (run.changes->rename)
        return applyRenames(run);
    if (run.changes->playlist) {
        if (!run.library) {
            ApplyResult result;
            for (const ChangeRecord &r : run.changes->records)
                result.enabled += r.enabled ? 1 : 0;
            if (result.enabled > 0) {
                result.outcome = ApplyResult::Failed;
                result.error = QStringLiteral("the music library cannot be opened");
            }
            return result;
        }
        return applyMembership(run);
    }
    return applyTags(run);
}

} // namespace

ApplyResult apply(const ApplyRun &run)
{
    ApplyResult result = applyList(run);
    if (run.journal)
        result.notRecorded = run.journal->finish();
    return result;
}

void report(WindowPort *port, const ApplyResult &result)
{
    if (!result.notTrashed.isEmpty())
        alertPanel(port, QStringLiteral("Not Moved to the Trash"), notTrashedMessage(result));
    if (!result.notRestored.isEmpty())
        alertPanel(port, QStringLiteral("Not Put Back from the Trash"), notRestoredMessage(result));
    switch (result.outcome) {
    case ApplyResult::Finished:
        return;
    case ApplyResult::Aborted:
        alertPanelApp(port, outcomeMessage(result));
        return;
    case ApplyResult::Failed:
        alertPanel(port, QStringLiteral("Changes Not Completed"), outcomeMessage(result));
        return;
    case ApplyResult::TargetMissing:
        alertPanel(port, QStringLiteral("Playlist Not Found"), outcomeMessage(result));
        return;
    }
}

QString notTrashedMessage(const ApplyResult &result)
{
    return QStringLiteral("%1 of the files could not be moved to the Trash, so their tracks were left in the "
                          "library:\n%2")
        .arg(result.notTrashed.size())
        .arg(result.notTrashed.join(QLatin1Char('\n')));
}

QString notRestoredMessage(const ApplyResult &result)
{
    return QStringLiteral("%1 of the files could not be put back from the Trash, so their tracks were not "
                          "restored:\n%2")
        .arg(result.notRestored.size())
        .arg(result.notRestored.join(QLatin1Char('\n')));
}

QString outcomeMessage(const ApplyResult &result)
{
    switch (result.outcome) {
    case ApplyResult::Finished:
        return {};
    case ApplyResult::Aborted:
        return QStringLiteral("Please do not 'touch' iTunes while the operation is running. The operation had to "
                              "be canceled.");
    case ApplyResult::Failed: {
        const QString where = result.failedTrack.isEmpty()
                                  ? QString()
                                  : QStringLiteral(" while working on the track '%1'").arg(result.failedTrack);
        return QStringLiteral("The operation stopped%1: %2\n%3 of %4 checked changes had been made before; the "
                              "rest were left untouched.")
            .arg(where, result.error)
            .arg(result.written)
            .arg(result.enabled);
    }
    case ApplyResult::TargetMissing:
        return QStringLiteral("The playlist '%1' to add the tracks to is no longer in the library. Nothing was "
                              "added.")
            .arg(result.playlist);
    }
    return {};
}

} // namespace applyengine
