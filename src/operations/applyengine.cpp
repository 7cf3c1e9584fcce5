// SPDX-License-Identifier: GPL-3.0-or-later
#include "applyengine.h"

#include "changesmodel.h"
#include "library/musiclibrary.h"
#include "support/alerts.h"
#include "support/fileutils.h"
#include "support/trash.h"

#include <QDebug>
#include <QFile>
#include <QSet>
#include <memory>

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
void followFileWrite(MusicLibrary &library, const ChangeRecord &record, const QString &stampBefore)
{
    const QString key = record.tagToChange == QLatin1String("title") ? QStringLiteral("name") : record.tagToChange;
    if (!MusicTrack::fileHolds(key))
        return;
    const QString path = record.track.path();
    library.fileWritten(path, key, MusicLibrary::storedValue(key, record.newTag), stampBefore, files::stamp(path));
}

void writeTags(const ApplyRun &run, RowBatches &rows, ApplyResult &result)
{
    // What this run has written so far, per track: a later record of the same
    // track (the second half of a swap) finds those values, not the collected
    // ones, and must not take its own run's writes for someone else's.
    QHash<QString, QHash<QString, QVariant>> writtenByRun;
    const QList<ChangeRecord> &records = run.changes->records;
    const qsizetype total = records.size();
    QSet<QString> writtenFiles;
    const QSet<QString> followed = followedFiles(run);
    for (qsizetype i = 0; i < total; ++i) {
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
        const QString write = fileWrite(record);
        if (!write.isEmpty() && writtenFiles.contains(write)) {
            qInfo().noquote() << QStringLiteral("%1 is the same file as one already written").arg(record.track.path());
            ++result.written;
            continue;
        }
        try {
            // Artist, then title, then the old value; read and written with one open of a file.
            TagExpectations expected{
                {artistKey, record.artist}, {nameKey, record.title}, {record.tagToChange, record.oldTag}};
            rows.before();
            const bool follow = !record.track.isLibraryTrack() && followed.contains(record.track.path());
            const QString stampBefore = follow ? files::stamp(record.track.path()) : QString();
            QHash<QString, QVariant> &written = writtenByRun[trackIdentity(record.track)];
            for (auto &[key, value] : expected)
                if (const auto it = written.constFind(key); it != written.constEnd())
                    value = *it;
            if (!record.track.setTagIfUnchanged(record.tagToChange, record.newTag, expected)) {
                result.outcome = ApplyResult::Aborted;
                return;
            }
            written.insert(record.tagToChange, record.newTag);
            ++result.written;
            if (!write.isEmpty())
                writtenFiles.insert(write);
            if (follow)
                followFileWrite(*run.library, record, stampBefore);
            rows.after();
        } catch (const std::exception &e) {
            const QString description = describe(e);
            LOG_FAILURE(description);
            result.outcome = ApplyResult::Failed;
            result.failedTrack = record.title;
            result.error = description;
            return;
        }
    }
}

ApplyResult applyTags(const ApplyRun &run)
{
    ApplyResult result;
    for (const ChangeRecord &r : run.changes->records)
        result.enabled += r.enabled ? 1 : 0;
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

// The first playlist of that name that can take tracks: names are how the
// menus remember playlists, and a smart namesake never takes any.
std::optional<Playlist> editablePlaylistNamed(const MusicLibrary &library, const QString &name)
{
    for (const Playlist &p : library.userPlaylists())
        if (!p.smart && p.name == name)
            return p;
    return std::nullopt;
}

// Moves each file to the Trash once, however many tracks it backs. Returns the
// locations left in place; the result lists each with the reason.
QStringList moveFilesToTrash(QStringList locations, QList<trash::Moved> &trashed, ApplyResult &result)
{
    locations.removeDuplicates();
    QStringList kept;
    for (const QString &location : locations) {
        if (location.isEmpty())
            continue;
        const trash::Outcome outcome = trash::moveToTrash(location);
        if (outcome.moved) {
            trashed << outcome.where;
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
    const ChangeList &list = *run.changes;
    MusicLibrary &library = *run.library;
    QString current; // the track being worked on, for the failure alert
    try {
        std::optional<Playlist> target;
        if (!list.remove) {
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
        QList<TrackRef> refs;
        for (const ChangeRecord &record : list.records) {
            if (!record.enabled || !record.track.isLibraryTrack())
                continue;
            work << &record;
            refs << *record.track.track();
        }
        result.enabled = static_cast<int>(work.size());
        const bool trashing = list.remove && list.trash;
        const QStringList keys = trashing ? QStringList{artistKey, nameKey, locationKey} : QStringList{artistKey, nameKey};
        QStringList locations; // beside refs; empty for a track without a file
        constexpr qsizetype chunkSize = 1024;
        for (qsizetype first = 0; first < refs.size(); first += chunkSize) {
            const QList<QVariantList> now = library.propertyRows(refs.mid(first, chunkSize), keys);
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
            if (!list.remove)
                ids << refs.at(i).trackId;
        }
        current.clear();
        int written = 0;
        if (list.remove) {
            // Files go first: a track whose file stays out of the Trash keeps its
            // entry, so the library never points at a file it no longer lists.
            const QStringList kept = trashing ? moveFilesToTrash(locations, trashed, result) : QStringList();
            QList<TrackRef> removed;
            for (qsizetype i = 0; i < refs.size(); ++i)
                if (!trashing || locations.at(i).isEmpty() || !kept.contains(locations.at(i)))
                    removed << refs.at(i);
            library.deleteTracks(removed);
            written = static_cast<int>(removed.size());
        } else {
            // A track already in the target, or listed twice, is added once.
            written = library.addTracksToPlaylist(target->id, ids, true);
        }
        batch.commit();
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
        for (const trash::Moved &moved : trashed)
            if (!trash::putBack(moved))
                stranded << QFile::decodeName(moved.originalPath);
        if (!stranded.isEmpty())
            result.error += QStringLiteral("; these files could not be put back from the Trash: %1")
                                .arg(stranded.join(QStringLiteral(", ")));
    }
    return result;
}

} // namespace

ApplyResult apply(const ApplyRun &run)
{
    if (!run.changes)
        return {};
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

void report(const ApplyResult &result)
{
    if (!result.notTrashed.isEmpty())
        alertPanel(QStringLiteral("Not Moved to the Trash"), notTrashedMessage(result));
    switch (result.outcome) {
    case ApplyResult::Finished:
        return;
    case ApplyResult::Aborted:
        alertPanelApp(outcomeMessage(result));
        return;
    case ApplyResult::Failed:
        alertPanel(QStringLiteral("Changes Not Completed"), outcomeMessage(result));
        return;
    case ApplyResult::TargetMissing:
        alertPanel(QStringLiteral("Playlist Not Found"), outcomeMessage(result));
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
