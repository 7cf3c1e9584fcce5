// SPDX-License-Identifier: GPL-3.0-or-later
#include "tracksource.h"

#include "files/musicfiles.h"
#include "library/musiclibrary.h"
#include "changelist.h"
#include "support/alerts.h"

#include <algorithm>

std::optional<QList<MusicTrack>> TrackSource::tracks() const
{
    std::optional<TrackList> list = tracksWithValues({});
    if (!list)
        return std::nullopt;
    return std::move(list->tracks);
}

std::optional<TrackList> TrackSource::tracksWithValues(const QStringList &keys) const
{
    if (!scope)
        return allTracks(keys);
    // A library reads what the matches need in the same query.
    QStringList wanted = keys;
    for (const QString &key : scope->matchKeys())
        if (!wanted.contains(key))
            wanted << key;
    std::optional<TrackList> list = allTracks(wanted);
    if (!list)
        return list;
    const qsizetype before = list->tracks.size();
    scope->narrow(*list);
    // Told here, or the run would say the tracks already hold what was asked.
    if (before > 0 && list->tracks.isEmpty()) {
        alertPanel(port, QStringLiteral("No Tracks"),
                   QStringLiteral("None of the source's %1 tracks is among the chosen ones.").arg(before));
        return std::nullopt;
    }
    return list;
}

qsizetype TrackOrder::positionOf(const MusicTrack &track) const
{
    const qsizetype past = trackIds.size() + paths.size();
    if (const TrackRef *ref = track.track())
        return trackIds.value(ref->trackId, past);
    return paths.value(track.path(), past);
}

bool TrackScope::isNamed(const MusicTrack &track) const
{
    if (const TrackRef *ref = track.track())
        return trackIds.contains(ref->trackId);
    return paths.contains(track.path());
}

bool TrackScope::atPosition(qsizetype position) const
{
    if (positions.isEmpty())
        return true;
    return std::any_of(positions.cbegin(), positions.cend(),
                       [position](const auto &range) { return position >= range.first && position <= range.second; });
}

QStringList TrackScope::matchKeys() const
{
    QStringList keys;
    for (const Match &match : matches)
        if (!keys.contains(match.key))
            keys << match.key;
    return keys;
}

void TrackScope::narrow(TrackList &list, QList<qsizetype> *positions) const
{
    const bool withValues = !list.values.isEmpty() && list.values.size() == list.tracks.size();
    QList<bool> keep(list.tracks.size());
    QList<MusicTrack> toMatch;
    for (qsizetype i = 0; i < list.tracks.size(); ++i) {
        keep[i] = atPosition(i) && (!byName || isNamed(list.tracks.at(i)));
        if (keep[i] && !matches.isEmpty() && !withValues)
            toMatch << list.tracks.at(i);
    }
    if (!matches.isEmpty()) {
        const QStringList keys = matchKeys();
        const QList<TrackValues> read = withValues ? QList<TrackValues>() : MusicTrack::valuesForTracks(toMatch, keys);
        qsizetype next = 0;
        for (qsizetype i = 0; i < list.tracks.size(); ++i) {
            if (!keep[i])
                continue;
            const TrackValues &values = withValues ? list.values.at(i) : read.at(next++);
            keep[i] = std::all_of(matches.cbegin(), matches.cend(), [&values](const Match &match) {
                return match.pattern.findsMatch(tagText(values.value(match.key)));
            });
        }
    }
    qsizetype kept = 0;
    for (qsizetype i = 0; i < list.tracks.size(); ++i) {
        if (!keep.at(i))
            continue;
        if (positions)
            positions->append(i);
        if (kept != i) {
            list.tracks[kept] = std::move(list.tracks[i]);
            if (withValues)
                list.values[kept] = std::move(list.values[i]);
        }
        ++kept;
    }
    list.tracks.resize(kept);
    if (withValues)
        list.values.resize(kept);
}

std::optional<TrackList> TrackSource::allTracks(const QStringList &keys) const
{
    switch (method) {
    case choices::PlaylistSource:
        return playlistTracks(keys);
    case choices::FolderSource: {
        std::optional<QList<MusicTrack>> files = folderTracks();
        if (!files)
            return std::nullopt;
        return TrackList{std::move(*files), {}};
    }
    default:
        return MusicTrack::selectedTracks(library(), keys, port);
    }
}

namespace {

// The alert text for a source playlist that is no longer in the library.
QString missingPlaylistMessage(const QString &name)
{
    if (name.isEmpty())
        return QStringLiteral("You didn't select a playlist to operate on.");
    return QStringLiteral("The playlist '%1' is no longer in the library. Please choose another one.").arg(name);
}

} // namespace

std::optional<qint64> TrackSource::playlistId(MusicLibrary &library) const
{
    const std::optional<Playlist> found = playlist.isNull() ? std::nullopt : library.playlistNamed(playlist);
    if (!found) {
        alertPanel(port, QStringLiteral("No Playlist"), missingPlaylistMessage(playlist));
        return std::nullopt;
    }
    return found->id;
}

std::optional<TrackList> TrackSource::playlistTracks(const QStringList &keys) const
{
    auto lib = library();
    const std::optional<qint64> id = playlistId(*lib);
    if (!id)
        return std::nullopt;
    return MusicTrack::playlistTracks(lib, *id, keys, port);
}

std::optional<TrackPages> TrackSource::pages(const QStringList &keys) const
{
    // A chosen few are read whole: what is chosen was shown, so it fits in memory.
    if (scope) {
        std::optional<TrackList> list = tracksWithValues(keys);
        if (!list)
            return std::nullopt;
        return TrackPages(std::move(*list));
    }
    switch (method) {
    case choices::PlaylistSource: {
        auto lib = library();
        const std::optional<qint64> id = playlistId(*lib);
        if (!id)
            return std::nullopt;
        return TrackPages(LibraryTrackPages(lib, *id, keys, port, true));
    }
    case choices::FolderSource: {
        std::optional<QList<MusicTrack>> files = folderTracks();
        if (!files)
            return std::nullopt;
        return TrackPages(std::move(*files));
    }
    default:
        return TrackPages(LibraryTrackPages(library(), 0, keys, port, true));
    }
}

TrackList TrackPages::next(qsizetype count)
{
    if (library_)
        return library_->next(count);
    TrackList page;
    page.tracks = tracks_.mid(given_, count);
    if (!values_.isEmpty())
        page.values = values_.mid(given_, count);
    given_ += page.tracks.size();
    return page;
}

std::optional<QList<MusicTrack>> TrackSource::folderTracks() const
{
    if (folder.isEmpty()) {
        alertPanel(port, QStringLiteral("No Folder"),
                   QStringLiteral("You didn't select a folder with music files to operate on."));
        return std::nullopt;
    }
    if (const QString vanished = musicfiles::vanishedFolderMessage(folder); !vanished.isEmpty()) {
        alertPanel(port, QStringLiteral("No Folder"), vanished);
        return std::nullopt;
    }
    QList<files::Skipped> skipped;
    const QStringList paths = musicfiles::musicFilesBelow(folder, &skipped);
    if (!skipped.isEmpty())
        alertPanel(port, QStringLiteral("Files Skipped"), musicfiles::skippedMessage(skipped));
    if (paths.isEmpty()) {
        alertPanel(port, QStringLiteral("No Files"),
                   QStringLiteral("The folder you have selected doesn't seem to contain music files."));
        return std::nullopt;
    }
    QList<MusicTrack> list;
    list.reserve(paths.size());
    for (const QString &path : paths)
        list.append(MusicTrack::listedFile(path, port));
    return list;
}
