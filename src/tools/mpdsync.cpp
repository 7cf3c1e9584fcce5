// SPDX-License-Identifier: GPL-3.0-or-later
#include "mpdsync.h"

#include "operations/applyengine.h"
#include "support/alerts.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <cmath>

namespace tools {

namespace {

const QString ratingKey = QStringLiteral("rating");
const QString playedCountKey = QStringLiteral("playedCount");
const QString locationKey = QStringLiteral("location");

// What MPD holds, asked once before the walk, and what the walk left out.
// Filled on the worker; read on the main thread once the walk is through.
struct MpdState {
    QSet<QString> songs;
    QHash<QString, QString> ratings;
    QHash<QString, QString> counts;
    int noFile = 0;
    int outside = 0;
    int notInMpd = 0;
    int unreadable = 0;
    QString unreadableExample;
    // A push: the song of each record, by its index.
    QStringList uris;
};

QString tracks(int n)
{
    return n == 1 ? QStringLiteral("1 track") : QStringLiteral("%1 tracks").arg(n);
}

QString remarkOf(const MpdState &state, const QString &musicFolder)
{
    QStringList said;
    if (state.outside)
        said << QStringLiteral("%1 outside MPD's music folder %2.").arg(tracks(state.outside), musicFolder);
    if (state.notInMpd)
        said << QStringLiteral("%1 not in MPD's database (update MPD's database if they should be).")
                    .arg(tracks(state.notInMpd));
    if (state.noFile)
        said << QStringLiteral("%1 whose file is gone.").arg(tracks(state.noFile));
    QString remark;
    if (!said.isEmpty())
        remark = QStringLiteral("Left out: ") + said.join(QLatin1Char(' '));
    if (state.unreadable) {
        if (!remark.isEmpty())
            remark += QLatin1Char(' ');
        remark += QStringLiteral("%1 had a sticker that is no whole number in range (%2) and kept their values.")
                      .arg(tracks(state.unreadable), state.unreadableExample);
    }
    return remark;
}

// The refusal of options that cannot work, or nothing.
std::optional<Refusal> refusalOf(const MpdSyncOptions &options)
{
    if (options.musicFolder.isEmpty())
        return Refusal{QStringLiteral("MPD's Music Folder Unknown"),
                       QStringLiteral("Give the folder that MPD's configuration names as music_directory, as this "
                                      "computer sees it: tracks are matched to MPD's songs by their path under it.")};
    if (!QFileInfo(options.musicFolder).isDir())
        return Refusal{QStringLiteral("MPD's Music Folder Not Found"),
                       QStringLiteral("The folder '%1' does not exist. Give the folder that MPD's configuration "
                                      "names as music_directory, as this computer sees it.")
                           .arg(options.musicFolder)};
    if (options.scale < 1 || options.scale > 100)
        return Refusal{QStringLiteral("Invalid Rating Scale"),
                       QStringLiteral("The highest rating sticker must be a whole number from 1 to 100 (MPD clients "
                                      "commonly use 10).")};
    if (options.address.host.trimmed().isEmpty() || options.address.port < 1 || options.address.port > 65535)
        return Refusal{QStringLiteral("Invalid MPD Address"),
                       QStringLiteral("Give MPD's host and a port from 1 to 65535 (MPD listens on 6600 unless "
                                      "configured otherwise).")};
    return std::nullopt;
}

// The walk shared by pull and push: MPD is asked first, on the worker, and
// each track is matched to its song before `match` sees it.
struct Song {
    QString uri;
    int rating = 0; // the library's
    int count = 0;
};
using Match = std::function<void(MpdState &state, const Song &song, const MusicTrack &track,
                                 const TrackValues &values, QList<ChangeRecord> &records)>;

CollectRun syncRun(const MpdSyncOptions &options, TrackSource source, const std::shared_ptr<MpdState> &state,
                   Match match)
{
    CollectRun run;
    run.keys = QStringList{ratingKey, playedCountKey, locationKey};
    run.listed = [options, source, state]() -> std::optional<QList<MusicTrack>> {
        try {
            MpdClient mpd(options.address);
            state->songs = mpd.songs();
            state->ratings = mpd.stickers(ratingSticker);
            state->counts = mpd.stickers(playCountSticker);
        } catch (const MpdError &e) {
            alertPanel(source.port, e.name(), e.reason());
            return std::nullopt;
        }
        return source.tracks();
    };
    run.source = std::move(source);
    run.step = [state, folder = options.musicFolder, match](const MusicTrack &track, const TrackValues &values,
                                                            QList<ChangeRecord> &records) {
        const QString path = tagText(values.value(locationKey));
        if (path.isEmpty()) {
            ++state->noFile;
            return;
        }
        const std::optional<QString> uri = songUri(folder, path);
        if (!uri) {
            ++state->outside;
            return;
        }
        if (!state->songs.contains(*uri)) {
            ++state->notInMpd;
            return;
        }
        match(*state, Song{*uri, values.value(ratingKey).toInt(), values.value(playedCountKey).toInt()}, track,
              values, records);
    };
    run.remark = [state, folder = options.musicFolder] { return remarkOf(*state, folder); };
    return run;
}

// A sticker that cannot be read is counted and left alone.
template <typename Read>
std::optional<int> readSticker(MpdState &state, const QHash<QString, QString> &stickers, const QString &uri,
                               const QString &name, Read read)
{
    const auto it = stickers.constFind(uri);
    if (it == stickers.constEnd())
        return std::nullopt;
    const std::optional<int> value = read(*it);
    if (!value && state.unreadable++ == 0)
        state.unreadableExample = QStringLiteral("%1 '%2' of %3").arg(name, *it, uri);
    return value;
}

ChangeList::Writer stickerWriter(const MpdAddress &address, std::shared_ptr<MpdState> state)
{
    return [address, state](const ChangeList &list, const std::function<void(const ProgressDetail &)> &progress) {
        ApplyResult result;
        QList<StickerWrite> writes;
        QList<qsizetype> at;
        for (qsizetype i = 0; i < list.records.size(); ++i) {
            const ChangeRecord &r = list.records.at(i);
            if (!r.enabled)
                continue;
            writes << StickerWrite{state->uris.at(i), r.tagToChange == ratingKey ? ratingSticker : playCountSticker,
                                   r.newTag};
            at << i;
        }
        result.enabled = int(writes.size());
        int stored = 0;
        try {
            MpdClient mpd(address);
            mpd.setStickers(writes, stored, [&](int n) {
                if (progress)
                    progress({QStringLiteral("%1/%2 %3"), n, int(writes.size()), list.records.at(at.at(n - 1)).title});
            });
        } catch (const MpdError &e) {
            result.outcome = ApplyResult::Failed;
            result.error = e.description();
            if (stored < at.size())
                result.failedTrack = list.records.at(at.at(stored)).title;
        }
        result.written = stored;
        return result;
    };
}

} // namespace

std::optional<QString> songUri(const QString &musicFolder, const QString &path)
{
    if (musicFolder.isEmpty() || path.isEmpty())
        return std::nullopt;
    const QString file = QDir::cleanPath(path);
    QStringList folders{QDir::cleanPath(musicFolder)};
    // The library may name the files through a link the folder was given by, or the other way round.
    const QString real = QFileInfo(musicFolder).canonicalFilePath();
    if (!real.isEmpty() && !folders.contains(real))
        folders << real;
    for (const QString &folder : folders) {
        const QString prefix = folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
        if (file.startsWith(prefix) && file.size() > prefix.size())
            return file.mid(prefix.size());
    }
    return std::nullopt;
}

int stickerOfRating(int rating, int scale)
{
    return int(std::lround(std::clamp(rating, 0, 100) * double(scale) / 100.0));
}

std::optional<int> ratingOfSticker(const QString &sticker, int scale)
{
    bool ok = false;
    const int value = sticker.trimmed().toInt(&ok);
    if (!ok || value < 0 || value > scale || scale < 1)
        return std::nullopt;
    return int(std::lround(value * 100.0 / scale));
}

std::optional<int> countOfSticker(const QString &sticker)
{
    bool ok = false;
    const int value = sticker.trimmed().toInt(&ok);
    if (!ok || value < 0)
        return std::nullopt;
    return value;
}

ToolStart mpdPush(const MpdSyncOptions &options, TrackSource source)
{
    if (const auto refusal = refusalOf(options))
        return *refusal;
    const int scale = options.scale;
    auto state = std::make_shared<MpdState>();
    const auto push = [scale](MpdState &state, const Song &song, const MusicTrack &track, const TrackValues &values,
                              QList<ChangeRecord> &records) {
        const QString oldRating = state.ratings.value(song.uri);
        const QString oldCount = state.counts.value(song.uri);
        // An unrated track, or one never played here, says nothing against MPD's value.
        if (song.rating > 0) {
            const QString sticker = QString::number(stickerOfRating(song.rating, scale));
            if (oldRating.trimmed() != sticker) {
                records << collector::tagRecord(track, values, ratingKey, oldRating, sticker);
                state.uris << song.uri;
            }
        }
        if (song.count > 0 && oldCount.trimmed() != QString::number(song.count)) {
            records << collector::tagRecord(track, values, playedCountKey, oldCount, QString::number(song.count));
            state.uris << song.uri;
        }
    };
    CollectRun run = syncRun(options, std::move(source), state, push);
    run.writeElsewhere = stickerWriter(options.address, state);
    run.tool = QStringLiteral("MPD Push");
    run.noChangesTitle = QStringLiteral("No Changes");
    run.noChangesMessage = QStringLiteral("MPD's stickers already hold the tracks' ratings and play counts.");
    return run;
}

ToolStart mpdPull(const MpdSyncOptions &options, TrackSource source)
{
    if (const auto refusal = refusalOf(options))
        return *refusal;
    const int scale = options.scale;
    auto state = std::make_shared<MpdState>();
    const auto pull = [scale](MpdState &state, const Song &song, const MusicTrack &track, const TrackValues &values,
                              QList<ChangeRecord> &records) {
        const auto newRating = readSticker(state, state.ratings, song.uri, ratingSticker,
                                           [scale](const QString &s) { return ratingOfSticker(s, scale); });
        // A library rating that MPD's sticker already stands for stays: 75
        // and 80 are both 8 of 10, and a pull must not round the library's.
        if (newRating && stickerOfRating(song.rating, scale) != stickerOfRating(*newRating, scale))
            records << collector::tagRecord(track, values, ratingKey, tagText(values.value(ratingKey)),
                                            QString::number(*newRating));
        const auto newCount = readSticker(state, state.counts, song.uri, playCountSticker, countOfSticker);
        if (newCount && *newCount != song.count)
            records << collector::tagRecord(track, values, playedCountKey, tagText(values.value(playedCountKey)),
                                            QString::number(*newCount));
    };
    CollectRun run = syncRun(options, std::move(source), state, pull);
    run.oneTransaction = true;
    run.tool = QStringLiteral("MPD Pull");
    run.noChangesTitle = QStringLiteral("No Changes");
    run.noChangesMessage = QStringLiteral("The library already holds MPD's ratings and play counts.");
    return run;
}

} // namespace tools
