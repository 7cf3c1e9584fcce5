// SPDX-License-Identifier: GPL-3.0-or-later
#include "undo.h"

#include "files/embeddedpictures.h"
#include "library/libraryerror.h"
#include "library/musiclibrary.h"

#include <QDebug>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <algorithm>

namespace tools {
namespace {

using Kind = HistoryChange::Kind;

const QString nameKey = QStringLiteral("name");
const QString artistKey = QStringLiteral("artist");
const QString locationKey = QStringLiteral("location");

// How a run's changes are taken back: every run changes one kind of thing.
enum class Way { Tags, TakeOut, PutBack, Rename, None };

Way wayOf(Kind kind)
{
    switch (kind) {
    case Kind::Tag:
    case Kind::Relinked:
        return Way::Tags;
    case Kind::AddedToPlaylist:
    case Kind::AddedToLibrary:
    case Kind::PutBackFromTrash:
        return Way::TakeOut;
    case Kind::RemovedFromPlaylist:
    case Kind::DeadEntryRemoved:
    case Kind::RemovedFromLibrary:
    case Kind::MovedToTrash:
        return Way::PutBack;
    case Kind::Renamed:
        return Way::Rename;
    }
    return Way::None;
}

QString shown(const QString &value)
{
    return value.isEmpty() ? QStringLiteral("empty") : QStringLiteral("“%1”").arg(value);
}

// The track a change was made to, and its values now: title, artist and the
// keys asked for. A track that cannot be read gets the reason instead.
struct TrackNow {
    MusicTrack track;
    QVariantHash values;
    QString stored; // a library track's stored location, dead or not
    QString unreadable;
};

bool taken(const QString &path)
{
    return QFileInfo::exists(path) || QFileInfo(path).isSymLink();
}

// Where the file that was at path is now: a file that is gone is followed
// through the renames and relinks of the runs after (moves, in their order).
QString followed(const QString &path, const QList<HistoryChange> &moves)
{
    if (taken(path))
        return path;
    QString now = path;
    for (const HistoryChange &move : moves)
        if (move.before.toString() == now)
            now = move.after.toString();
    return now;
}

class Tracks {
public:
    Tracks(std::shared_ptr<MusicLibrary> library, QList<HistoryChange> moves)
        : library_(std::move(library)), moves_(std::move(moves))
    {
    }

    TrackNow &of(const HistoryChange &change, const QStringList &keys)
    {
        const QString id = change.trackId != 0 ? QString::number(change.trackId) : change.path;
        if (auto it = tracks_.find(id); it != tracks_.end())
            return *it;
        TrackNow now;
        try {
            if (change.trackId != 0) {
                if (!library_)
                    throw LibraryError(QStringLiteral("read track %1").arg(change.trackId),
                                       QStringLiteral("the music library cannot be opened"));
                const TrackRef ref{change.trackId, change.playlistId, change.entryId};
                now.track = MusicTrack::withTrack(library_, ref);
                now.values = now.track.valuesForTags(keys);
                if (keys.contains(locationKey))
                    now.stored = library_->storedLocation(ref);
            } else {
                const QString path = followed(change.path, moves_);
                now.track = MusicTrack::withPath(path);
                if (!QFileInfo::exists(path))
                    now.unreadable = QStringLiteral("the file is gone");
                else
                    now.values = now.track.valuesForTags(keys);
            }
        } catch (const std::exception &e) {
            now.unreadable = QString::fromUtf8(e.what());
        }
        return *tracks_.insert(id, now);
    }

private:
    std::shared_ptr<MusicLibrary> library_;
    QList<HistoryChange> moves_;
    QHash<QString, TrackNow> tracks_;
};

ChangeRecord recordFor(const TrackNow &now, const HistoryChange &change)
{
    ChangeRecord record;
    record.track = now.track;
    record.title = now.unreadable.isEmpty() ? tagText(now.values.value(nameKey)) : change.title;
    record.artist = now.unreadable.isEmpty() ? tagText(now.values.value(artistKey)) : change.artist;
    if (!now.unreadable.isEmpty()) {
        record.enabled = false;
        record.note = QStringLiteral("cannot be read now: %1").arg(now.unreadable);
    }
    return record;
}

// Every value back from "after" to "before", the last change first: a key a
// run wrote twice goes back through its middle value. A value that is no
// longer the run's "after" was changed since; its record stays unchecked.
void tagRecords(const QList<HistoryChange> &changes, const QList<HistoryChange> &moves,
                const std::shared_ptr<MusicLibrary> &library, QList<ChangeRecord> &records)
{
    QHash<QString, QStringList> keysOf; // per track, all read with one open
    const auto idOf = [](const HistoryChange &c) { return c.trackId != 0 ? QString::number(c.trackId) : c.path; };
    for (const HistoryChange &c : changes) {
        QStringList &keys = keysOf[idOf(c)];
        if (keys.isEmpty())
            keys << nameKey << artistKey;
        if (!keys.contains(c.key))
            keys << c.key;
    }
    Tracks tracks(library, moves);
    QHash<QString, QString> expected; // track and key -> the value the next record finds
    for (qsizetype i = changes.size() - 1; i >= 0; --i) {
        const HistoryChange &change = changes.at(i);
        TrackNow &now = tracks.of(change, keysOf.value(idOf(change)));
        ChangeRecord record = recordFor(now, change);
        const bool relink = change.kind == Kind::Relinked;
        record.tagToChange = relink ? locationKey : change.key;
        record.newTag = tagText(change.before);
        const QString slot = idOf(change) + QLatin1Char('\n') + record.tagToChange;
        if (!expected.contains(slot))
            expected.insert(slot, relink ? now.stored : tagText(now.values.value(record.tagToChange)));
        // The apply compares with the value as a track reads it; a dead
        // track's location reads as none, whatever the library stores.
        record.oldTag = relink ? tagText(now.values.value(locationKey)) : tagText(change.after);
        if (now.unreadable.isEmpty()) {
            const QString value = expected.value(slot);
            if (value != tagText(change.after)) {
                record.enabled = false;
                record.note = QStringLiteral("changed since the run: now %1").arg(shown(value));
            } else {
                expected.insert(slot, record.newTag);
            }
        }
        records << record;
    }
}

// Files get their old names back, the last renamed first, so that a name a
// later rename took over is free again when an earlier file wants it back.
void renameRecords(const QList<HistoryChange> &changes, const QList<HistoryChange> &moves,
                   QList<ChangeRecord> &records)
{
    Tracks tracks(nullptr, moves);
    QSet<QString> freed; // old names that an earlier record of this undo gives up
    for (qsizetype i = changes.size() - 1; i >= 0; --i) {
        HistoryChange atNew = changes.at(i);
        atNew.path = atNew.after.toString();
        const TrackNow &now = tracks.of(atNew, {nameKey, artistKey});
        ChangeRecord record = recordFor(now, changes.at(i));
        record.tagToChange = QStringLiteral("path");
        record.oldTag = now.track.path();
        record.newTag = changes.at(i).before.toString();
        if (record.enabled && !freed.contains(record.newTag) && taken(record.newTag)) {
            record.enabled = false;
            record.note = QStringLiteral("changed since the run: another file has the old name");
        }
        if (record.enabled)
            freed.insert(record.oldTag);
        records << record;
    }
}

// A file the run moved to the Trash comes back to its old name only while it
// is still in the Trash and nothing else took that name.
QString fileNote(const HistoryChange &moved)
{
    if (!taken(moved.after.toString()))
        return QStringLiteral("cannot be put back: the file is no longer in the Trash");
    if (taken(moved.path))
        return QStringLiteral("changed since the run: another file has the old name");
    return {};
}

// Membership: entries the run added come out again (tracks it brought back
// leave the library, their files go to the Trash again); entries it removed
// go back where they stood, tracks it removed from the library come back
// whole, and their files out of the Trash. An entry that is already as the
// undo would leave it is shown unchecked.
void entryRecords(const QList<HistoryChange> &changes, Way way, const std::shared_ptr<MusicLibrary> &library,
                  QList<ChangeRecord> &records, QHash<qsizetype, Comeback> &comebacks)
{
    if (!library)
        throw LibraryError(QStringLiteral("undo playlist changes"), QStringLiteral("the music library cannot be opened"));
    QHash<qint64, Playlist> playlists;
    for (const Playlist &p : library->userPlaylists())
        playlists.insert(p.id, p);
    QHash<QString, const HistoryChange *> trashed; // files the run moved to the Trash, by their old path
    for (const HistoryChange &change : changes)
        if (change.kind == Kind::MovedToTrash)
            trashed.insert(change.path, &change);
    QSet<QString> claimed; // of those, the ones a track brings back
    Tracks tracks(library, {});
    for (qsizetype i = changes.size() - 1; i >= 0; --i) {
        const HistoryChange &change = changes.at(i);
        if (change.kind == Kind::MovedToTrash || change.kind == Kind::PutBackFromTrash)
            continue;
        Comeback comeback;
        ChangeRecord record;
        if (change.kind == Kind::RemovedFromLibrary) {
            // Gone from the library: nothing to read, the history tells what it was.
            record.track = MusicTrack::withTrack(library, TrackRef{change.trackId});
            record.title = change.title;
            record.artist = change.artist;
            if (std::optional<SavedTrack> saved = SavedTrack::fromJson(change.saved)) {
                comeback.saved = std::make_shared<const SavedTrack>(std::move(*saved));
            } else {
                record.enabled = false;
                record.note = QStringLiteral("cannot be put back: the history did not keep the track");
            }
        } else {
            // One track may stand in several entries: each is its own record.
            TrackNow now = tracks.of(change, {nameKey, artistKey});
            now.track = MusicTrack::withTrack(library, TrackRef{change.trackId, change.playlistId, change.entryId});
            record = recordFor(now, change);
        }
        if (way == Way::PutBack)
            record.newTag = QString::number(change.position);
        if (record.enabled && change.kind == Kind::AddedToLibrary) {
            if (!library->trackExists(change.trackId)) {
                record.enabled = false;
                record.note = QStringLiteral("changed since the run: no longer in the library");
            }
        } else if (record.enabled && change.kind != Kind::RemovedFromLibrary) {
            const bool present = library->hasEntry(change.playlistId, {change.entryId, change.trackId, 0});
            const QString name = playlists.contains(change.playlistId) ? playlists.value(change.playlistId).name
                                                                       : change.playlist;
            if (!playlists.contains(change.playlistId)) {
                record.enabled = false;
                record.note = QStringLiteral("changed since the run: the playlist %1 is gone").arg(shown(name));
            } else if (way == Way::TakeOut && !present) {
                record.enabled = false;
                record.note = QStringLiteral("changed since the run: no longer in the playlist %1").arg(shown(name));
            } else if (way == Way::PutBack && present) {
                record.enabled = false;
                record.note = QStringLiteral("changed since the run: back in the playlist %1").arg(shown(name));
            }
        }
        if (const HistoryChange *moved = way == Way::PutBack ? trashed.value(change.path) : nullptr) {
            claimed.insert(change.path);
            comeback.originalPath = moved->path;
            comeback.trashedPath = moved->after.toString();
            comeback.trashInfo = moved->trashInfo;
            if (const QString note = fileNote(*moved); record.enabled && !note.isEmpty()) {
                record.enabled = false;
                record.note = note;
            }
        }
        if (comeback.saved || !comeback.trashedPath.isEmpty())
            comebacks.insert(records.size(), comeback);
        records << record;
    }
    // A file whose track stayed (the run stopped before its removal) comes back on its own.
    for (qsizetype i = changes.size() - 1; way == Way::PutBack && i >= 0; --i) {
        const HistoryChange &moved = changes.at(i);
        if (moved.kind != Kind::MovedToTrash || claimed.contains(moved.path))
            continue;
        ChangeRecord record;
        record.track = MusicTrack::withPath(moved.path);
        record.title = moved.title;
        record.artist = moved.artist;
        record.note = fileNote(moved);
        record.enabled = record.note.isEmpty();
        comebacks.insert(records.size(), Comeback{moved.path, moved.after.toString(), moved.trashInfo, nullptr});
        records << record;
    }
}

} // namespace

UndoTarget undoTarget(const UndoOptions &options)
{
    UndoTarget target;
    target.title = QStringLiteral("Nothing to Undo");
    if (!QFileInfo::exists(options.historyPath)) {
        target.message = QStringLiteral("The history holds no runs yet.");
        return target;
    }
    try {
        const HistoryStore store(options.historyPath);
        if (options.run == 0) {
            target.run = store.lastUndoable();
            if (!target.run)
                target.message = QStringLiteral("Every run in the history was undone already.");
            return target;
        }
        const std::optional<HistoryRun> run = store.run(options.run);
        if (!run) {
            target.message = QStringLiteral("The history holds no run %1.").arg(options.run);
            return target;
        }
        if (store.isUndone(*run)) {
            target.title = QStringLiteral("Undone Already");
            target.message = QStringLiteral("Run %1 (%2) was undone by run %3. Undo run %3 to make its changes again.")
                                 .arg(run->number)
                                 .arg(run->tool)
                                 .arg(run->undoneBy);
            return target;
        }
        target.run = run;
    } catch (const std::exception &e) {
        target.title = QStringLiteral("History Not Readable");
        target.message = QString::fromUtf8(e.what());
    }
    return target;
}

ToolStart undoRun(const UndoOptions &options, TrackSource source)
{
    const UndoTarget target = undoTarget(options);
    if (!target.run)
        return Refusal{target.title, target.message};
    const HistoryRun run = *target.run;

    QList<HistoryChange> changes;
    QList<HistoryChange> moves;
    try {
        const HistoryStore store(options.historyPath);
        changes = store.changes(run.number);
        moves = store.movesAfter(run.number);
        // The pictures the run took out come back from the history's bytes.
        for (const HistoryChange &change : changes) {
            if (change.kind != Kind::Tag || change.key != QLatin1String("pictures"))
                continue;
            for (const QString &hash : embeddedpictures::hashesOf(change.before.toString()))
                if (!embeddedpictures::kept(hash))
                    if (const std::optional<QByteArray> bytes = store.picture(hash))
                        embeddedpictures::keep(*bytes);
        }
    } catch (const std::exception &e) {
        return Refusal{QStringLiteral("History Not Readable"), QString::fromUtf8(e.what())};
    }
    Way way = Way::None;
    QList<HistoryChange> undoable;
    for (const HistoryChange &change : changes) {
        const Way own = wayOf(change.kind);
        if (own == Way::None)
            continue;
        if (way == Way::None)
            way = own;
        if (own == way)
            undoable << change;
        else
            qWarning().noquote() << QStringLiteral("run %1 mixes kinds of changes; its %2 changes are left")
                                        .arg(run.number)
                                        .arg(historyKindName(change.kind));
    }
    if (undoable.isEmpty())
        return Refusal{QStringLiteral("Cannot Undo"),
                       QStringLiteral("Run %1 (%2) made no change that an undo can take back.")
                           .arg(run.number)
                           .arg(run.tool)};

    CollectRun collect;
    collect.source = std::move(source);
    collect.tool = QStringLiteral("Undo");
    collect.historySource = QStringLiteral("run %1 (%2)").arg(run.number).arg(run.tool);
    collect.undoOf = run.number;
    collect.playlist = way == Way::TakeOut || way == Way::PutBack;
    collect.rename = way == Way::Rename;
    // Files that went into folders of their own leave those folders empty behind them.
    collect.removeEmptyFolders = way == Way::Rename;
    collect.remove = way == Way::TakeOut ? 1 : 0;
    collect.restore = way == Way::PutBack;
    // Files the undone undo took out of the Trash go back there.
    collect.trash = way == Way::TakeOut && std::any_of(undoable.cbegin(), undoable.cend(), [](const HistoryChange &c) {
                        return c.kind == Kind::PutBackFromTrash;
                    });
    collect.comebacks = std::make_shared<QHash<qsizetype, Comeback>>();
    collect.noChangesMessage = QStringLiteral("Run %1 holds nothing to undo.").arg(run.number);
    // Nothing is walked: the history names the tracks.
    collect.listed = [] { return std::optional<QList<MusicTrack>>(QList<MusicTrack>()); };
    collect.step = [](const MusicTrack &, const TrackValues &, QList<ChangeRecord> &) {};
    collect.finish = [undoable, moves, way, library = collect.source.library,
                      comebacks = collect.comebacks](QList<ChangeRecord> &records, ProgressSink &) {
        std::shared_ptr<MusicLibrary> opened;
        const bool needsLibrary = way == Way::TakeOut || way == Way::PutBack || std::any_of(undoable.cbegin(), undoable.cend(),
                                                                   [](const HistoryChange &c) { return c.trackId != 0; });
        if (needsLibrary && library)
            opened = library();
        if (way == Way::Tags)
            tagRecords(undoable, moves, opened, records);
        else if (way == Way::Rename)
            renameRecords(undoable, moves, records);
        else
            entryRecords(undoable, way, opened, records, *comebacks);
    };
    return collect;
}

} // namespace tools
