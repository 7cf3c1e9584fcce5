// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/numbertracks.h"

#include "model/tagcatalogue.h"
#include "support/fileutils.h"

#include <QHash>

#include <algorithm>
#include <limits>
#include <memory>

namespace tools {

namespace {

const QString locationKey = QStringLiteral("location");
const QString durationKey = QStringLiteral("duration");
const QString albumKey = QStringLiteral("album");
const QString pathKey = QStringLiteral("path");

// One track as the walk met it, kept until every track is seen.
struct Seen {
    MusicTrack track;
    TrackValues values;
    QString path;
};

// Sorting values: numbers as numbers, an absent number first; texts by
// letters, their case aside.
int compareValues(const QVariant &a, const QVariant &b, bool number)
{
    if (number) {
        const qlonglong x = a.toLongLong();
        const qlonglong y = b.toLongLong();
        return x < y ? -1 : x > y ? 1 : 0;
    }
    return QString::compare(tagText(a), tagText(b), Qt::CaseInsensitive);
}

} // namespace

QList<TrackNumbering> numbering(const QList<TrackPlace> &tracks, const NumberTracksOptions &options)
{
    // Each album's folders, in the order they come, are its discs.
    QHash<QString, QStringList> albumFolders;
    if (options.discs)
        for (const TrackPlace &place : tracks) {
            QStringList &folders = albumFolders[place.album];
            if (!folders.contains(place.folder))
                folders << place.folder;
        }
    const auto countOf = [&](const TrackPlace &place) -> QString {
        const QString disc = options.discs ? QLatin1Char('\n') + place.folder : QString();
        switch (options.restart) {
        case RestartPerAlbum:
            return place.album + disc;
        case RestartPerFolder:
            return place.folder;
        default:
            return disc;
        }
    };
    QHash<QString, int> counted;
    QList<TrackNumbering> numbers;
    numbers.reserve(tracks.size());
    for (const TrackPlace &place : tracks) {
        TrackNumbering n;
        int &count = counted[countOf(place)];
        // A start near the top of the range stops there rather than wrapping round.
        n.number = int(std::min<qlonglong>(qlonglong(options.start) + count, std::numeric_limits<qint32>::max()));
        ++count;
        if (options.discs) {
            const QStringList &folders = albumFolders.value(place.album);
            n.disc = int(folders.indexOf(place.folder)) + 1;
            n.discs = int(folders.size());
        }
        numbers << n;
    }
    for (qsizetype i = 0; i < tracks.size(); ++i)
        numbers[i].total = counted.value(countOf(tracks.at(i)));
    return numbers;
}

ToolStart numberTracks(const NumberTracksOptions &options, TrackSource source)
{
    if (options.start < 1)
        return Refusal{QStringLiteral("Invalid Start"),
                       QStringLiteral("Track numbers start at 1 or above; you entered %1.").arg(options.start)};
    const TagCatalogue catalogue = TagCatalogue::build();
    for (const QString &key : options.order)
        if (key != pathKey && (!catalogue.allTags.contains(key) || key == QLatin1String("cover")))
            return Refusal{QStringLiteral("Invalid Order"),
                           QStringLiteral("The tracks cannot be put in order by \"%1\": give tags such as album, "
                                          "discNumber, trackNumber or name, or path.")
                               .arg(key)};

    CollectRun run;
    run.source = std::move(source);
    run.tool = QStringLiteral("Number Tracks");
    run.noChangesMessage = QStringLiteral("The tracks you've selected are numbered that way already.");
    QStringList numberKeys{QStringLiteral("trackNumber")};
    if (options.totals)
        numberKeys << QStringLiteral("trackCount");
    if (options.discs)
        numberKeys << QStringLiteral("discNumber") << QStringLiteral("discCount");
    run.keys = numberKeys + QStringList{albumKey, locationKey, durationKey};
    for (const QString &key : options.order)
        if (key != pathKey && !run.keys.contains(key))
            run.keys << key;

    auto seen = std::make_shared<QList<Seen>>();
    run.step = [seen](const MusicTrack &track, const TrackValues &values, QList<ChangeRecord> &) {
        // TagLib gives the length of every file it can read as audio: one
        // without (a broken file named .mp3) could not take the number.
        if (!track.isLibraryTrack() && !values.value(durationKey).isValid())
            return;
        QString path = values.value(locationKey).toString();
        if (path.isEmpty() && !track.isLibraryTrack())
            path = track.path();
        seen->append({track, values, path});
    };
    run.finish = [seen, options, numberKeys, integers = catalogue.integerTags](QList<ChangeRecord> &records,
                                                                                 ProgressSink &) {
        QList<Seen> &tracks = *seen;
        if (!options.shown.isEmpty())
            std::stable_sort(tracks.begin(), tracks.end(), [&](const Seen &a, const Seen &b) {
                return options.shown.positionOf(a.track) < options.shown.positionOf(b.track);
            });
        if (!options.order.isEmpty())
            std::stable_sort(tracks.begin(), tracks.end(), [&](const Seen &a, const Seen &b) {
                for (const QString &key : options.order) {
                    const int c = key == pathKey ? QString::compare(a.path, b.path)
                                                 : compareValues(a.values.value(key), b.values.value(key),
                                                                 integers.contains(key));
                    if (c != 0)
                        return c < 0;
                }
                return false;
            });
        QList<TrackPlace> places;
        places.reserve(tracks.size());
        for (const Seen &s : tracks)
            places.append({tagText(s.values.value(albumKey)), files::folderOf(s.path)});
        const QList<TrackNumbering> numbers = numbering(places, options);
        for (qsizetype i = 0; i < tracks.size(); ++i) {
            const TrackNumbering &n = numbers.at(i);
            const int wanted[] = {n.number, n.total, n.disc, n.discs};
            const QStringList all{QStringLiteral("trackNumber"), QStringLiteral("trackCount"),
                                  QStringLiteral("discNumber"), QStringLiteral("discCount")};
            for (qsizetype k = 0; k < all.size(); ++k) {
                if (!numberKeys.contains(all.at(k)))
                    continue;
                const QString oldValue = tagText(tracks[i].values.value(all.at(k)));
                const QString newValue = QString::number(wanted[k]);
                if (oldValue == newValue)
                    continue;
                ChangeRecord record =
                    collector::tagRecord(tracks[i].track, tracks[i].values, all.at(k), oldValue, newValue);
                record.file = tracks[i].values.file();
                records << record;
            }
        }
        tracks.clear();
    };
    return run;
}

} // namespace tools
