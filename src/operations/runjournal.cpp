// SPDX-License-Identifier: GPL-3.0-or-later
#include "runjournal.h"

#include "files/embeddedpictures.h"

#include "support/fileutils.h"

#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QHash>

#include <algorithm>

namespace {

const QString locationKey = QStringLiteral("location");
const QString picturesKey = QStringLiteral("pictures");
// The history's name for runs of the dead track removal.
const QString deadTrackTool = QStringLiteral("Dead Track Removal");

// Entries are read and recorded this many at a time, so that a list of a
// million holds no more than a page of them beside the change list.
constexpr int pageSize = 4096;

// The enabled library records of a list, each found by walking on from the
// last one found: asked in the list's order, the walk goes through it once.
class RecordWalk {
public:
    explicit RecordWalk(const ChangeList &list) : records_(list.records) {}

    template <typename Match>
    const ChangeRecord *find(Match match)
    {
        for (qsizetype tried = 0; tried < records_.size(); ++tried) {
            const ChangeRecord &record = records_.at(next_);
            next_ = (next_ + 1) % records_.size();
            if (record.enabled && record.track.isLibraryTrack() && match(*record.track.track()))
                return &record;
        }
        return nullptr;
    }

private:
    const QList<ChangeRecord> &records_;
    qsizetype next_ = 0;
};

void takeNames(HistoryChange &change, const ChangeRecord *record)
{
    if (record) {
        change.title = record->title;
        change.artist = record->artist;
    }
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
        intended_ += positions;
    } catch (const std::exception &e) {
        fail(e);
    }
}

QString RunJournal::playlistName(const MusicLibrary &library, qint64 playlistId)
{
    for (const Playlist &p : library.userPlaylists())
        if (p.id == playlistId)
            return p.name;
    return {};
}

void RunJournal::intendChanges(const QList<HistoryChange> &changes, const QList<qint64> &positions)
{
    intend(changes, positions);
}

void RunJournal::intendTags(const QList<ChangeRecord> &records)
{
    QList<HistoryChange> changes;
    QList<qint64> positions;
    // The pictures on either side of a change, so that an undo, and an undo of
    // that, can put them back byte for byte.
    QHash<QString, QByteArray> pictures;
    for (qsizetype i = 0; i < records.size(); ++i) {
        const ChangeRecord &record = records.at(i);
        if (!record.enabled)
            continue;
        if (record.tagToChange == picturesKey) {
            for (const QString &hash : embeddedpictures::hashesOf(record.oldTag) + embeddedpictures::hashesOf(record.newTag))
                if (!pictures.contains(hash))
                    if (std::optional<QByteArray> bytes = embeddedpictures::kept(hash))
                        pictures.insert(hash, *std::move(bytes));
        }
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
    if (!pictures.isEmpty() && open()) {
        try {
            store_->keepPictures(number_, pictures);
        } catch (const std::exception &e) {
            fail(e);
        }
    }
    intend(changes, positions);
}

void RunJournal::intendRemovals(MusicLibrary &library, const QList<TrackRef> &removed, const ChangeList &list,
                                const QStringList &files, const QList<trash::Moved> &claims)
{
    if ((removed.isEmpty() && claims.isEmpty()) || !open())
        return;
    try {
        QHash<qint64, QString> names;
        RecordWalk walk(list);
        intendedElsewhere_ = true;
        HistoryStore::Intent intent(*store_, number_);
        QHash<QString, const ChangeRecord *> recordOfFile;
        for (qsizetype first = 0; first < removed.size(); first += pageSize) {
            const QList<TrackRef> page = removed.mid(first, pageSize);
            const QList<qint64> positions = library.entryPositions(page);
            QList<qint64> leaving; // tracks that leave the library, kept whole
            for (const TrackRef &ref : page)
                if (ref.reachedThroughLibrary())
                    leaving << ref.trackId;
            QHash<qint64, QByteArray> saved;
            if (!leaving.isEmpty())
                for (const SavedTrack &track : library.savedTracks(leaving))
                    saved.insert(track.trackId, track.toJson());
            for (qsizetype k = 0; k < page.size(); ++k) {
                const TrackRef &ref = page.at(k);
                const QString file = files.value(first + k);
                HistoryChange change;
                change.trackId = ref.trackId;
                change.path = file;
                if (ref.reachedThroughLibrary()) {
                    change.kind = HistoryChange::Kind::RemovedFromLibrary;
                    if (change.path.isEmpty())
                        change.path = library.storedLocation(ref);
                    change.saved = saved.value(ref.trackId);
                } else {
                    // Dead entries are told apart: what comes back is an entry whose file is still missing.
                    change.kind = list.tool == deadTrackTool ? HistoryChange::Kind::DeadEntryRemoved
                                                             : HistoryChange::Kind::RemovedFromPlaylist;
                    if (!names.contains(ref.playlistId))
                        names.insert(ref.playlistId, playlistName(library, ref.playlistId));
                    change.playlistId = ref.playlistId;
                    change.playlist = names.value(ref.playlistId);
                    change.entryId = ref.entryId;
                    change.position = positions.at(k);
                }
                const ChangeRecord *record = walk.find([&ref](const TrackRef &r) {
                    return r.playlistId == ref.playlistId &&
                           (ref.playlistId ? r.entryId == ref.entryId : r.trackId == ref.trackId);
                });
                takeNames(change, record);
                if (record && !file.isEmpty() && !recordOfFile.contains(file))
                    recordOfFile.insert(file, record);
                intent.add(first + k, change);
            }
        }
        for (qsizetype j = 0; j < claims.size(); ++j) {
            const trash::Moved &claim = claims.at(j);
            HistoryChange change;
            change.kind = HistoryChange::Kind::MovedToTrash;
            change.path = QFile::decodeName(claim.originalPath);
            change.before = change.path;
            change.after = QFile::decodeName(claim.trashedPath);
            change.trashInfo = QFile::decodeName(claim.infoPath);
            takeNames(change, recordOfFile.value(change.path));
            intent.add(removed.size() + j, change);
        }
        intent.commit();
    } catch (const std::exception &e) {
        fail(e);
    }
}

qint64 RunJournal::beforeAdding(MusicLibrary &library)
{
    // Opened now: what a crashed run left pending is judged before this run
    // adds entries that could be taken for its.
    open();
    return library.lastEntryId();
}

void RunJournal::intendAdditions(MusicLibrary &library, qint64 playlistId, qint64 lastEntryBefore,
                                 const ChangeList &list)
{
    if (!open())
        return;
    try {
        const QString name = playlistName(library, playlistId);
        RecordWalk walk(list);
        intendedElsewhere_ = true;
        HistoryStore::Intent intent(*store_, number_);
        qint64 position = 0;
        for (qint64 after = lastEntryBefore;;) {
            const QList<PlaylistEntry> page = library.entriesAfter(playlistId, after, pageSize);
            for (const PlaylistEntry &entry : page) {
                HistoryChange change;
                change.kind = HistoryChange::Kind::AddedToPlaylist;
                change.trackId = entry.trackId;
                change.playlistId = playlistId;
                change.playlist = name;
                change.entryId = entry.entryId;
                change.position = entry.position;
                takeNames(change, walk.find([&entry](const TrackRef &r) { return r.trackId == entry.trackId; }));
                intent.add(position++, change);
            }
            if (page.size() < pageSize)
                break;
            after = page.last().entryId;
        }
        intent.commit();
    } catch (const std::exception &e) {
        fail(e);
    }
}

void RunJournal::intendRestores(MusicLibrary &library, const QList<QPair<qint64, PlaylistEntry>> &entries,
                                const QList<const ChangeRecord *> &records)
{
    if (entries.isEmpty() || !open())
        return;
    try {
        QHash<qint64, QString> names;
        intendedElsewhere_ = true;
        HistoryStore::Intent intent(*store_, number_);
        for (qsizetype i = 0; i < entries.size(); ++i) {
            const auto &[playlistId, entry] = entries.at(i);
            if (!names.contains(playlistId))
                names.insert(playlistId, playlistName(library, playlistId));
            HistoryChange change;
            change.kind = HistoryChange::Kind::AddedToPlaylist;
            change.trackId = entry.trackId;
            change.playlistId = playlistId;
            change.playlist = names.value(playlistId);
            change.entryId = entry.entryId;
            change.position = entry.position;
            takeNames(change, records.at(i));
            intent.add(i, change);
        }
        intent.commit();
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
    appliedAll_ = true;
}

QString RunJournal::finish()
{
    if (store_ && number_ > 0) {
        try {
            std::lock_guard lock(mutex_);
            // A run that made every change it intended is confirmed whole in
            // one statement: a look-up and an update a change cost a long run
            // nearly as much as writing the changes did. Membership lists
            // write their pending entries themselves and are confirmed as they say.
            std::sort(applied_.begin(), applied_.end());
            applied_.erase(std::unique(applied_.begin(), applied_.end()), applied_.end());
            std::sort(intended_.begin(), intended_.end());
            if (appliedAll_ || (!intendedElsewhere_ && !intended_.isEmpty() && applied_ == intended_))
                store_->finishRunAll(number_, run_.limits);
            else
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
            // A run ended between the rename and its rows' following leaves
            // them at a name no file has: they follow now (a no-op when they did).
            if (atNew && !atOld && library)
                library->fileMoved(change.before.toString(), change.after.toString());
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
