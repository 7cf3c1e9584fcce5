// SPDX-License-Identifier: GPL-3.0-or-later
#include "historyview.h"

#include "runjournal.h"

#include <QFileInfo>

namespace historyview {
namespace {

// "“value”", or "(none)" for an absent one.
QString shownValue(const QVariant &value)
{
    if (!value.isValid() || value.isNull())
        return QStringLiteral("(none)");
    return QStringLiteral("\u201C%1\u201D").arg(value.toString());
}

} // namespace


std::unique_ptr<HistoryStore> openExisting(const QString &libraryPath)
{
    const QString path = HistoryStore::pathBeside(libraryPath);
    if (!QFileInfo::exists(path))
        return nullptr;
    return RunJournal::openSettled(path, MusicLibrary::isRunning(libraryPath)
                                             ? std::make_shared<MusicLibrary>(libraryPath)
                                             : nullptr);
}

QString countedChanges(qint64 count)
{
    return count == 1 ? QStringLiteral("1 change") : QStringLiteral("%1 changes").arg(count);
}

QString shownTime(const HistoryRun &run)
{
    return run.time.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

QStringList changeFields(const HistoryChange &change)
{
    using K = HistoryChange::Kind;
    const QString track = !change.path.isEmpty() ? change.path
                          : change.title.isEmpty() ? QStringLiteral("track %1").arg(change.trackId)
                                                   : QStringLiteral("%1 \u2013 %2").arg(change.artist, change.title);
    switch (change.kind) {
    case K::AddedToPlaylist:
    case K::RemovedFromPlaylist:
    case K::DeadEntryRemoved:
        return {track, QStringLiteral("%1 \u201C%2\u201D at position %3")
                           .arg(historyKindName(change.kind), change.playlist)
                           .arg(change.position)};
    case K::RemovedFromLibrary:
    case K::AddedToLibrary:
        return {track, historyKindName(change.kind)};
    default:
        // Renames, relinks and the Trash carry no key: what happened stands in its place.
        return {track, change.key.isEmpty() ? historyKindName(change.kind) : change.key,
                QStringLiteral("%1 \u2192 %2").arg(shownValue(change.before), shownValue(change.after))};
    }
}

} // namespace historyview
