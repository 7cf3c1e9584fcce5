// SPDX-License-Identifier: GPL-3.0-or-later
#include "comebacks.h"

#include "library/musiclibrary.h"
#include "runjournal.h"
#include "support/trash.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>

namespace comebacks {
namespace {

bool taken(const QString &path)
{
    return QFileInfo::exists(path) || QFileInfo(path).isSymLink();
}

// Why a file did not come back, for the person.
QString whyNotBack(const Comeback &comeback)
{
    if (taken(comeback.originalPath))
        return QStringLiteral("another file has its old name");
    if (!taken(comeback.trashedPath))
        return QStringLiteral("it is no longer in the Trash");
    return QStringLiteral("it could not be moved back");
}

} // namespace

int restore(const ApplyRun &run, MusicLibrary &library, const QList<const ChangeRecord *> &work, ApplyResult &result,
            QList<qint64> &made)
{
    const ChangeList &list = *run.changes;
    const QList<ChangeRecord> &records = list.records;
    // History positions: entries first, then files, then re-created tracks;
    // each kind in its own range so that the order within the run holds.
    const qint64 filesFrom = records.size();
    const qint64 tracksFrom = 2 * filesFrom;

    // Files first, each in the history before it moves.
    QHash<QString, bool> back; // by the name in the Trash: whether it came back
    QList<Comeback> files;
    QList<HistoryChange> fileChanges;
    QList<qint64> filePositions;
    for (auto it = list.comebacks.cbegin(); it != list.comebacks.cend(); ++it) {
        const ChangeRecord &record = records.at(it.key());
        if (!record.enabled || it->trashedPath.isEmpty() || back.contains(it->trashedPath))
            continue;
        back.insert(it->trashedPath, false);
        files << *it;
        HistoryChange change;
        change.kind = HistoryChange::Kind::PutBackFromTrash;
        change.path = it->originalPath;
        change.before = it->trashedPath;
        change.after = it->originalPath;
        change.trashInfo = it->trashInfo;
        change.title = record.title;
        change.artist = record.artist;
        fileChanges << change;
        filePositions << filesFrom + filePositions.size();
    }
    if (run.journal)
        run.journal->intendChanges(fileChanges, filePositions);
    for (qsizetype k = 0; k < files.size(); ++k) {
        const Comeback &file = files.at(k);
        const trash::Moved moved{QFile::encodeName(file.trashedPath), QFile::encodeName(file.trashInfo),
                                 QFile::encodeName(file.originalPath)};
        if (trash::putBack(moved)) {
            back[file.trashedPath] = true;
            if (run.journal)
                run.journal->applied(filePositions.at(k));
        } else {
            result.notRestored << QStringLiteral("%1: %2").arg(file.originalPath, whyNotBack(file));
        }
    }

    // Then the library: a record whose file stayed in the Trash is left out whole.
    const auto fileBack = [&](qsizetype index) {
        const Comeback comeback = list.comebacks.value(index);
        return comeback.trashedPath.isEmpty() || back.value(comeback.trashedPath);
    };
    QList<QPair<qint64, PlaylistEntry>> entries;
    QList<const ChangeRecord *> entryRecords;
    for (const ChangeRecord *record : work) {
        if (!fileBack(record - records.constData()))
            continue;
        const TrackRef &ref = *record->track.track();
        entries.append({ref.playlistId, PlaylistEntry{ref.entryId, ref.trackId, record->newTag.toLongLong()}});
        entryRecords << record;
    }
    if (run.journal)
        run.journal->intendRestores(library, entries, entryRecords);
    library.restoreEntries(entries);
    for (qsizetype i = 0; i < entries.size(); ++i)
        made << i;
    int written = static_cast<int>(entries.size());

    // Tracks that left the library come back whole, and files that no entry holds.
    QList<HistoryChange> trackChanges;
    QList<qint64> trackPositions;
    for (auto it = list.comebacks.cbegin(); it != list.comebacks.cend(); ++it) {
        const ChangeRecord &record = records.at(it.key());
        if (!record.enabled)
            continue;
        if (it->saved) {
            ++result.enabled;
            if (!fileBack(it.key()))
                continue;
            HistoryChange change;
            change.kind = HistoryChange::Kind::AddedToLibrary;
            change.trackId = library.restoreTrack(*it->saved);
            change.path = it->originalPath;
            change.title = record.title;
            change.artist = record.artist;
            trackChanges << change;
            trackPositions << tracksFrom + trackPositions.size();
            ++written;
        } else if (!record.track.isLibraryTrack()) {
            ++result.enabled;
            written += fileBack(it.key()) ? 1 : 0;
        }
    }
    if (run.journal)
        run.journal->intendChanges(trackChanges, trackPositions);
    made << trackPositions;
    return written;
}

} // namespace comebacks
