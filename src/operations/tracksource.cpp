// SPDX-License-Identifier: GPL-3.0-or-later
#include "tracksource.h"

#include "files/musicfiles.h"
#include "library/musiclibrary.h"
#include "support/alerts.h"

std::optional<QList<MusicTrack>> TrackSource::tracks() const
{
    std::optional<TrackList> list = tracksWithValues({});
    if (!list)
        return std::nullopt;
    return std::move(list->tracks);
}

std::optional<TrackList> TrackSource::tracksWithValues(const QStringList &keys) const
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
