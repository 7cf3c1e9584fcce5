// SPDX-License-Identifier: GPL-3.0-or-later
#include "libraryactions.h"

#include "support/namedexception.h"

#include <QFileInfo>
#include <QSet>

namespace libraryactions {

PlaylistChoice PlaylistChoice::withId(qint64 id)
{
    PlaylistChoice choice{QString()};
    choice.id = id;
    return choice;
}

QString Problem::description() const
{
    return name.isEmpty() ? reason : name + QStringLiteral(": ") + reason;
}

namespace {

Problem refusal(const QString &reason)
{
    return Problem{true, {}, reason};
}

// The chosen playlist, or nothing (and why in *problem) when there is none.
std::optional<Playlist> chosen(const MusicLibrary &library, const PlaylistChoice &choice, std::optional<Problem> *problem)
{
    std::optional<Playlist> found;
    if (choice.id == 0) {
        found = library.playlistNamed(choice.name);
    } else {
        for (const Playlist &playlist : library.userPlaylists())
            if (playlist.id == choice.id)
                found = playlist;
    }
    if (!found)
        *problem = refusal(choice.id == 0 ? QStringLiteral("there is no playlist named \"%1\"").arg(choice.name)
                                          : QStringLiteral("the playlist no longer exists"));
    return found;
}

// Runs work(result), which fills in the value or a refusal; a failure of the
// library or of a file on the way becomes the result's problem.
template <typename Value, typename Work>
Result<Value> attempt(Work work)
{
    Result<Value> result;
    try {
        work(result);
    } catch (const NamedException &error) {
        result.problem = Problem{false, error.name(), error.reason()};
    }
    return result;
}

// Runs change(playlist, result) on the chosen playlist, refused when there is
// none. Look-up and change are one write transaction, so that no other writer
// comes in between; a refusal or failure leaves everything as it was.
template <typename Value, typename Change>
Result<Value> onPlaylist(MusicLibrary &library, const PlaylistChoice &choice, Change change)
{
    return attempt<Value>([&](Result<Value> &result) {
        MusicLibrary::Batch batch(library, QStringLiteral("change a playlist"));
        if (const std::optional<Playlist> playlist = chosen(library, choice, &result.problem))
            change(*playlist, result);
        if (result.ok())
            batch.commit();
    });
}

// The first plain playlist of that name: the one the tools edit.
std::optional<Playlist> editablePlaylist(const MusicLibrary &library, const QString &name)
{
    for (const Playlist &playlist : library.userPlaylists())
        if (!playlist.smart && playlist.name == name)
            return playlist;
    return std::nullopt;
}

// The reason a playlist may not be called name, when there is one; except is
// the playlist being renamed, which may keep its own name.
std::optional<Problem> unusableName(const MusicLibrary &library, const QString &name, qint64 except = 0)
{
    if (name.trimmed().isEmpty())
        return refusal(QStringLiteral("a playlist needs a name"));
    const std::optional<Playlist> namesake = editablePlaylist(library, name);
    if (namesake && namesake->id != except)
        return refusal(QStringLiteral("there is already a playlist named \"%1\"").arg(name));
    return std::nullopt;
}

} // namespace

Result<Playlist> findPlaylist(const MusicLibrary &library, const PlaylistChoice &choice)
{
    return attempt<Playlist>([&](Result<Playlist> &result) {
        if (const std::optional<Playlist> playlist = chosen(library, choice, &result.problem))
            result.value = *playlist;
    });
}

std::optional<Problem> folderRefusal(const QString &folder)
{
    if (QFileInfo(folder).isDir())
        return std::nullopt;
    return refusal(QStringLiteral("%1 is not a folder").arg(folder));
}

Result<libraryimport::FolderListing> listFolder(const QString &folder)
{
    return attempt<libraryimport::FolderListing>([&](Result<libraryimport::FolderListing> &result) {
        if (!(result.problem = folderRefusal(folder)))
            result.value = libraryimport::listFolder(folder);
    });
}

Result<libraryimport::Summary> importListed(MusicLibrary &library, const libraryimport::FolderListing &listing,
                                            const Progress &progress, const QString &ratingProfile)
{
    return attempt<libraryimport::Summary>([&](Result<libraryimport::Summary> &result) {
        result.value = libraryimport::importListed(library, listing, progress, ratingProfile);
    });
}

Result<libraryimport::Summary> importFolder(MusicLibrary &library, const QString &folder, const Progress &progress,
                                            const QString &ratingProfile)
{
    return attempt<libraryimport::Summary>([&](Result<libraryimport::Summary> &result) {
        if (!(result.problem = folderRefusal(folder)))
            result.value = libraryimport::importFolder(library, folder, progress, ratingProfile);
    });
}

Result<playerimport::PlayerLibrary> readPlayer(playerimport::Player player, const QString &path)
{
    return attempt<playerimport::PlayerLibrary>([&](Result<playerimport::PlayerLibrary> &result) {
        result.value = playerimport::read(player, path);
    });
}

Result<playerimport::Summary> importPlayer(MusicLibrary &library, const playerimport::PlayerLibrary &source,
                                           const Progress &progress)
{
    return attempt<playerimport::Summary>([&](Result<playerimport::Summary> &result) {
        result.value = playerimport::importPlayer(library, source, progress);
    });
}

Result<playerimport::Summary> importPlayer(MusicLibrary &library, playerimport::Player player, const QString &path,
                                           const Progress &progress)
{
    const Result<playerimport::PlayerLibrary> read = readPlayer(player, path);
    if (!read.ok())
        return {{}, read.problem};
    return libraryactions::importPlayer(library, read.value, progress);
}

namespace {

Problem nothingToMake(const playlistfiles::ParsedPlaylist &parsed)
{
    return refusal(QStringLiteral("no playlist was made from %1: none of its %2 entries is a music file here")
                       .arg(parsed.file)
                       .arg(parsed.entries));
}

} // namespace

Result<playlistfiles::ParsedPlaylist> readPlaylist(const QString &file, const QString &base)
{
    return attempt<playlistfiles::ParsedPlaylist>([&](Result<playlistfiles::ParsedPlaylist> &result) {
        if (!base.isEmpty() && !QFileInfo(base).isDir()) {
            result.problem = refusal(QStringLiteral("%1 is not a folder").arg(base));
            return;
        }
        result.value = playlistfiles::read(file, base);
        QList<playlistfiles::Notice> notices = result.value.notices;
        if (result.value.entries > 0 && playlistfiles::existingFiles(result.value, notices).isEmpty()) {
            result.value.notices = notices;
            result.problem = nothingToMake(result.value);
        }
    });
}

Result<playlistfiles::ImportSummary> importPlaylist(MusicLibrary &library, const playlistfiles::ParsedPlaylist &parsed,
                                                    const QString &name)
{
    return attempt<playlistfiles::ImportSummary>([&](Result<playlistfiles::ImportSummary> &result) {
        result.value = playlistfiles::importPlaylist(library, parsed, name);
        if (result.value.playlistId == 0)
            result.problem = nothingToMake(parsed);
    });
}

Result<playlistfiles::ImportSummary> importPlaylist(MusicLibrary &library, const QString &file, const QString &name,
                                                    const QString &base)
{
    const Result<playlistfiles::ParsedPlaylist> read = readPlaylist(file, base);
    if (!read.ok()) {
        Result<playlistfiles::ImportSummary> refused{{}, read.problem};
        refused.value.notices = read.value.notices;
        return refused;
    }
    return libraryactions::importPlaylist(library, read.value, name);
}

Result<libraryimport::RefreshSummary> refresh(MusicLibrary &library, const std::optional<PlaylistChoice> &playlist,
                                              const Progress &progress, const QString &ratingProfile)
{
    return attempt<libraryimport::RefreshSummary>([&](Result<libraryimport::RefreshSummary> &result) {
        QList<TrackRef> tracks;
        if (!playlist) {
            tracks = library.allTracks();
        } else if (const std::optional<Playlist> found = chosen(library, *playlist, &result.problem)) {
            tracks = library.tracksOf(found->id);
        } else {
            return;
        }
        result.value = libraryimport::refresh(library, tracks, progress, ratingProfile);
    });
}

Result<Playlist> createPlaylist(MusicLibrary &library, const QString &name)
{
    return attempt<Playlist>([&](Result<Playlist> &result) {
        // The check and the insert are one transaction: a second writer
        // cannot slip the same name in between.
        MusicLibrary::Batch batch(library, QStringLiteral("create the playlist \"%1\"").arg(name));
        if ((result.problem = unusableName(library, name)))
            return;
        result.value = Playlist{library.createPlaylist(name), name, false};
        batch.commit();
    });
}

Result<Playlist> renamePlaylist(MusicLibrary &library, const PlaylistChoice &choice, const QString &newName)
{
    return onPlaylist<Playlist>(library, choice, [&](const Playlist &playlist, Result<Playlist> &result) {
        const std::optional<Problem> unusable = unusableName(library, newName, playlist.id);
        // A smart playlist is never looked up by the tools, so it may share a name.
        if (unusable && (!playlist.smart || newName.trimmed().isEmpty())) {
            result.problem = unusable;
            return;
        }
        library.renamePlaylist(playlist.id, newName);
        result.value = Playlist{playlist.id, newName, playlist.smart};
    });
}

Result<Playlist> deletePlaylist(MusicLibrary &library, const PlaylistChoice &choice)
{
    return onPlaylist<Playlist>(library, choice, [&](const Playlist &playlist, Result<Playlist> &result) {
        library.deletePlaylist(playlist.id);
        result.value = playlist;
    });
}

Result<PlaylistEdit> addToPlaylist(MusicLibrary &library, const PlaylistChoice &choice, const QList<qint64> &trackIds)
{
    return onPlaylist<PlaylistEdit>(library, choice, [&](const Playlist &playlist, Result<PlaylistEdit> &result) {
        result.value = {playlist, library.addTracksToPlaylist(playlist.id, trackIds, false), 0};
    });
}

Result<PlaylistEdit> removeFromPlaylist(MusicLibrary &library, const PlaylistChoice &choice,
                                        const QList<qint64> &trackIds)
{
    return onPlaylist<PlaylistEdit>(library, choice, [&](const Playlist &playlist, Result<PlaylistEdit> &result) {
        if (playlist.smart) {
            result.problem = refusal(QStringLiteral("\"%1\" is a smart playlist; its rule decides what it holds").arg(playlist.name));
            return;
        }
        const QSet<qint64> wanted(trackIds.cbegin(), trackIds.cend());
        QList<TrackRef> entries;
        QSet<qint64> found;
        for (const TrackRef &ref : library.tracksOf(playlist.id))
            if (wanted.contains(ref.trackId)) {
                entries << ref;
                found.insert(ref.trackId);
            }
        library.deleteTracks(entries);
        result.value = {playlist, int(found.size()), int(wanted.size() - found.size())};
    });
}

Result<int> select(MusicLibrary &library, const QList<qint64> &trackIds)
{
    return attempt<int>([&](Result<int> &result) {
        library.setSelection(trackIds);
        result.value = int(trackIds.size());
    });
}

} // namespace libraryactions
