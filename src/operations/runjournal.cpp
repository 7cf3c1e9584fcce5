// SPDX-License-Identifier: GPL-3.0-or-later
#include "runjournal.h"

#include "support/fileutils.h"

#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QHash>

namespace {

const QString locationKey = QStringLiteral("location");
// The history's name for runs of the dead track removal.
const QString deadTrackTool = QStringLiteral("Dead Track Removal");

// The track a membership record names, with the record, by entry (or by track
// for tracks reached through the library).
QHash<QPair<qint64, qint64>, const ChangeRecord *> recordsByEntry(const ChangeList &list)
{
    QHash<QPair<qint64, qint64>, const ChangeRecord *> found;
    for (const ChangeRecord &record : list.records)
        if (record.enabled && record.track.isLibraryTrack()) {
            const TrackRef &ref = *record.track.track();
            found.insert({ref.playlistId, ref.playlistId ? ref.entryId : ref.trackId}, &record);
        }
    return found;
}

QHash<qint64, QString> playlistNames(const MusicLibrary &library)
{
    QHash<qint64, QString> names;
    for (const Playlist &p : library.userPlaylists())
        names.insert(p.id, p.name);
    return names;
}

} // namespace

RunJournal::RunJournal(Run run) : run_(std::move(run)) {}

RunJournal::~RunJournal() = default;

HistoryStore::Limits RunJournal::limitsFromSettings()
{
    HistoryStore::Limits limits;
    if (const int runs = files::defaultInt(QStringLiteral("HistoryRuns")); runs > 0)
        limits.runs = runs;
    if (const int changes = files::defaultInt(QStringLiteral("HistoryChanges")); changes > 0)
        limits.changes = changes;
    return limits;
}

void RunJournal::fail(const std::exception &e)
{
    problem_ = QString::fromUtf8(e.what());
    qWarning().noquote() << problem_;
    store_.reset();
}

// Opens the history on first use, on the thread that writes it, and settles
// what crashed runs left behind before this run adds its own.
bool RunJournal::open()
{
    if (store_)
        return true;
    if (!problem_.isEmpty())
        return false;
    try {
        store_ = openSettled(run_.historyPath, run_.library);
        number_ = store_->beginRun(run_.tool, run_.source, run_.undoOf);
        return true;
    } catch (const std::exception &e) {
        fail(e);
        return false;
    }
}

std::unique_ptr<HistoryStore> RunJournal::openSettled(const QString &path,
                                                     const std::shared_ptr<MusicLibrary> &library)
{
    auto store = std::make_unique<HistoryStore>(path);
    store->resolveAbandoned([&library](const HistoryChange &change) { return resolve(change, library); });
    return store;
}

void RunJournal::intend(const QList<HistoryChange> &changes, const QList<qint64> &positions)
{
    if (changes.isEmpty() || !open())
        return;
    try {
        store_->intend(number_, positions, changes);
        std::lock_guard lock(mutex_);
        intended_ << positions;
    } catch (const std::exception &e) {
        fail(e);
    }
}

void RunJournal::intendChanges(const QList<HistoryChange> &changes, const QList<qint64> &positions)
{
    intend(changes, positions);
}

void RunJournal::intendTags(const QList<ChangeRecord> &records)
{
    QList<HistoryChange> changes;
    QList<qint64> positions;
    for (qsizetype i = 0; i < records.size(); ++i) {
        const ChangeRecord &record = records.at(i);
        if (!record.enabled)
            continue;
        HistoryChange change;
        const bool relink = record.tagToChange == locationKey;
        change.kind = relink ? HistoryChange::Kind::Relinked : HistoryChange::Kind::Tag;
        if (record.track.isLibraryTrack())
            change.trackId = record.track.track()->trackId;
        else
            change.path = record.track.path();
        change.key = record.tagToChange;
        // The empty text stands for an absent value in a record.
        if (!record.oldTag.isEmpty())
            change.before = record.oldTag;
        // A dead track reads as having no location; an undo needs the one it had.
        if (relink && record.track.isLibraryTrack() && record.track.library()) {
            try {
                if (const QString stored = record.track.library()->storedLocation(*record.track.track());
                    !stored.isEmpty())
                    change.before = stored;
            } catch (const std::exception &e) {
                qWarning().noquote() << QString::fromUtf8(e.what());
            }
        }
        if (!record.newTag.isEmpty())
            change.after = record.newTag;
        change.title = record.title;
        change.artist = record.artist;
        changes << change;
        positions << i;
    }
    intend(changes, positions);
}

void RunJournal::intendRemovals(MusicLibrary &library, const QList<TrackRef> &removed, const ChangeList &list,
                                const QStringList &files, const QList<trash::Moved> &claims)
{
    if (removed.isEmpty() && claims.isEmpty())
        return;
    try {
        const auto records = recordsByEntry(list);
        const QHash<qint64, QString> names = playlistNames(library);
        QHash<qint64, QHash<qint64, qint64>> positions; // playlist -> entry -> position
        QList<qint64> leaving;                          // tracks that leave the library
        for (const TrackRef &ref : removed)
            if (ref.reachedThroughLibrary())
                leaving << ref.trackId;
        QHash<qint64, QByteArray> saved;
        for (const SavedTrack &track : library.savedTracks(leaving))
            saved.insert(track.trackId, track.toJson());
        QList<HistoryChange> changes;
        QHash<QString, const ChangeRecord *> recordOfFile;
        for (qsizetype i = 0; i < removed.size(); ++i) {
            const TrackRef &ref = removed.at(i);
            HistoryChange change;
            change.trackId = ref.trackId;
            change.path = files.value(i);
            if (ref.reachedThroughLibrary()) {
                change.kind = HistoryChange::Kind::RemovedFromLibrary;
                if (change.path.isEmpty())
                    change.path = library.storedLocation(ref);
                change.saved = saved.value(ref.trackId);
            } else {
                // Dead entries are told apart: what comes back is an entry whose file is still missing.
                change.kind = list.tool == deadTrackTool ? HistoryChange::Kind::DeadEntryRemoved
                                                         : HistoryChange::Kind::RemovedFromPlaylist;
                if (!positions.contains(ref.playlistId))
                    for (const PlaylistEntry &entry : library.entriesOf(ref.playlistId))
                        positions[ref.playlistId].insert(entry.entryId, entry.position);
                change.playlistId = ref.playlistId;
                change.playlist = names.value(ref.playlistId);
                change.entryId = ref.entryId;
                change.position = positions[ref.playlistId].value(ref.entryId);
            }
            if (const ChangeRecord *record =
                    records.value({ref.playlistId, ref.playlistId ? ref.entryId : ref.trackId})) {
                change.title = record->title;
                change.artist = record->artist;
                if (!files.value(i).isEmpty() && !recordOfFile.contains(files.value(i)))
                    recordOfFile.insert(files.value(i), record);
            }
            changes << change;
        }
        for (const trash::Moved &claim : claims) {
            HistoryChange change;
            change.kind = HistoryChange::Kind::MovedToTrash;
            change.path = QFile::decodeName(claim.originalPath);
            change.before = change.path;
            change.after = QFile::decodeName(claim.trashedPath);
            change.trashInfo = QFile::decodeName(claim.infoPath);
            if (const ChangeRecord *record = recordOfFile.value(change.path)) {
                change.title = record->title;
                change.artist = record->artist;
            }
            changes << change;
        }
        QList<qint64> order;
        for (qsizetype i = 0; i < changes.size(); ++i)
            order << i;
        intend(changes, order);
    } catch (const std::exception &e) {
        fail(e);
    }
}

QList<PlaylistEntry> RunJournal::beforeAdding(MusicLibrary &library, qint64 playlistId)
{
    // Opened now: what a crashed run left pending is judged before this run
    // adds entries that could be taken for its.
    open();
    return library.entriesOf(playlistId);
}

void RunJournal::intendAdditions(MusicLibrary &library, qint64 playlistId, const QList<PlaylistEntry> &before,
                                 const ChangeList &list)
{
    try {
        QSet<qint64> old;
        for (const PlaylistEntry &entry : before)
            old.insert(entry.entryId);
        QHash<qint64, const ChangeRecord *> records;
        for (const ChangeRecord &record : list.records)
            if (record.enabled && record.track.isLibraryTrack() && !records.contains(record.track.track()->trackId))
                records.insert(record.track.track()->trackId, &record);
        const QString name = playlistNames(library).value(playlistId);
        QList<HistoryChange> changes;
        QList<qint64> order;
        for (const PlaylistEntry &entry : library.entriesOf(playlistId)) {
            if (old.contains(entry.entryId))
                continue;
            HistoryChange change;
            change.kind = HistoryChange::Kind::AddedToPlaylist;
            change.trackId = entry.trackId;
            change.playlistId = playlistId;
            change.playlist = name;
            change.entryId = entry.entryId;
            change.position = entry.position;
            if (const ChangeRecord *record = records.value(entry.trackId)) {
                change.title = record->title;
                change.artist = record->artist;
            }
            order << changes.size();
            changes << change;
        }
        intend(changes, order);
    } catch (const std::exception &e) {
        fail(e);
    }
}

void RunJournal::intendRestores(MusicLibrary &library, const QList<QPair<qint64, PlaylistEntry>> &entries,
                                const QList<const ChangeRecord *> &records)
{
    try {
        const QHash<qint64, QString> names = playlistNames(library);
        QList<HistoryChange> changes;
        QList<qint64> order;
        for (qsizetype i = 0; i < entries.size(); ++i) {
            const auto &[playlistId, entry] = entries.at(i);
            HistoryChange change;
            change.kind = HistoryChange::Kind::AddedToPlaylist;
            change.trackId = entry.trackId;
            change.playlistId = playlistId;
            change.playlist = names.value(playlistId);
            change.entryId = entry.entryId;
            change.position = entry.position;
            change.title = records.at(i)->title;
            change.artist = records.at(i)->artist;
            order << i;
            changes << change;
        }
        intend(changes, order);
    } catch (const std::exception &e) {
        fail(e);
    }
}

void RunJournal::applied(qint64 position)
{
    std::lock_guard lock(mutex_);
    applied_ << position;
}

void RunJournal::appliedAll()
{
    std::lock_guard lock(mutex_);
    applied_ = intended_;
}

QString RunJournal::finish()
{
    if (store_ && number_ > 0) {
        try {
            std::lock_guard lock(mutex_);
            store_->finishRun(number_, applied_, run_.limits);
        } catch (const std::exception &e) {
            fail(e);
        }
    }
    store_.reset();
    return problem_;
}

HistoryStore::Resolution RunJournal::resolve(const HistoryChange &change, const std::shared_ptr<MusicLibrary> &library)
{
    using R = HistoryStore::Resolution;
    using K = HistoryChange::Kind;
    const TrackRef ref{change.trackId};
    try {
        switch (change.kind) {
        case K::Tag:
        case K::Relinked: {
            if (change.trackId != 0 && !library)
                return R::Unknown;
            const MusicTrack track = change.trackId != 0
                                         ? MusicTrack::withTrack(library, ref)
                                         : MusicTrack::withPath(change.path);
            const QVariant now = change.kind == K::Relinked ? QVariant(library->storedLocation(ref))
                                                              : track.valueForTag(change.key);
            return tagText(now) == tagText(change.after) ? R::Applied : R::NotApplied;
        }
        case K::AddedToPlaylist:
        case K::RemovedFromPlaylist:
        case K::DeadEntryRemoved: {
            if (!library)
                return R::Unknown;
            const bool present = library->hasEntry(change.playlistId, {change.entryId, change.trackId, 0});
            return present == (change.kind == K::AddedToPlaylist) ? R::Applied : R::NotApplied;
        }
        case K::RemovedFromLibrary:
        case K::AddedToLibrary:
            if (!library)
                return R::Unknown;
            try {
                library->className(ref);
                return change.kind == K::AddedToLibrary ? R::Applied : R::NotApplied;
            } catch (const LibraryError &e) {
                // Code 0: the track is gone, not the library unreadable.
                if (e.sqliteCode() == 0)
                    return change.kind == K::AddedToLibrary ? R::NotApplied : R::Applied;
                throw;
            }
        case K::Renamed: {
            // Judged by where the file is: at the new name and not the old one.
            const bool atNew = QFileInfo::exists(change.after.toString());
            const bool atOld = QFileInfo::exists(change.before.toString());
            if (atNew != atOld)
                return atNew ? R::Applied : R::NotApplied;
            break;
        }
        case K::MovedToTrash:
        case K::PutBackFromTrash: {
            const QString trashed = change.kind == K::MovedToTrash ? change.after.toString() : change.before.toString();
            const bool inTrash = QFileInfo::exists(trashed) || QFileInfo(trashed).isSymLink();
            const bool atOld = QFileInfo::exists(change.path) || QFileInfo(change.path).isSymLink();
            if (inTrash == atOld)
                break;
            if (change.kind == K::MovedToTrash && !inTrash && !change.trashInfo.isEmpty())
                // The name was claimed and the file never went: its .trashinfo
                // would show the Trash a file it does not hold.
                QFile::remove(change.trashInfo);
            return inTrash == (change.kind == K::MovedToTrash) ? R::Applied : R::NotApplied;
        }
        }
    } catch (const std::exception &e) {
        // A track or file that cannot be read now may still have been changed:
        // kept, since an undo checks every value before it writes.
        qWarning().noquote() << QString::fromUtf8(e.what());
    }
    return R::Unknown;
}
