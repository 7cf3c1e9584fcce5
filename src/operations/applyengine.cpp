// SPDX-License-Identifier: GPL-3.0-or-later
#include "applyengine.h"

#include "library/musiclibrary.h"
#include "support/alerts.h"
#include "support/namedexception.h"

#include <QDebug>
#include <QFile>
#include <QSet>

namespace applyengine {
namespace {

const QString nameKey = QStringLiteral("name");
const QString artistKey = QStringLiteral("artist");
const QString locationKey = QStringLiteral("location");

// The system log gets the error's description, then where it was caught.
#define LOG_FAILURE(description)                                                                             \
    do {                                                                                                     \
        qWarning().noquote() << (description);                                                               \
        qWarning("failure %s %d", "AppDelegate", __LINE__);                                                  \
    } while (0)

QString describe(const std::exception &e)
{
    if (const auto *named = dynamic_cast<const NamedException *>(&e))
        return named->description();
    return QString::fromUtf8(e.what());
}

// Artist, title and the old value with as few opens of the file as possible.
bool unchanged(const ChangeRecord &record)
{
    const bool isLocation = record.tagToChange == locationKey;
    QStringList keys{artistKey, nameKey};
    if (!isLocation)
        keys << record.tagToChange;
    const QVariantHash now = record.track.valuesForTags(keys);
    if (tagText(now.value(artistKey)) != record.artist || tagText(now.value(nameKey)) != record.title)
        return false;
    const QString current = isLocation ? record.track.location() : tagText(now.value(record.tagToChange));
    return current == record.oldTag;
}

ApplyResult applyTags(const ApplyRun &run)
{
    ApplyResult result;
    const QList<ChangeRecord> &records = run.changes->records;
    const qsizetype total = records.size();
    for (const ChangeRecord &r : records)
        result.enabled += r.enabled ? 1 : 0;

    for (qsizetype i = 0; i < total; ++i) {
        const ChangeRecord &record = records.at(i);
        if (!record.enabled) {
            run.progress(QStringLiteral("%1/%2 ").arg(i + 1).arg(total));
            continue;
        }
        // The recorded title stands in for the track's: whenever the write
        // goes ahead they are equal, and reading it would cost another open.
        run.progress(QStringLiteral("%1/%2 %3").arg(i + 1).arg(total).arg(record.title));
        try {
            if (!unchanged(record)) {
                result.outcome = ApplyResult::Aborted;
                return result;
            }
            record.track.setTag(record.tagToChange, record.newTag);
            ++result.written;
        } catch (const std::exception &e) {
            const QString description = describe(e);
            LOG_FAILURE(description);
            result.outcome = ApplyResult::Failed;
            result.failedTrack = record.title;
            result.error = description;
            return result;
        }
    }
    return result;
}

// The first playlist of that name that can take tracks: names are how the
// menus remember playlists, and a smart namesake never takes any.
std::optional<Playlist> editablePlaylistNamed(const MusicLibrary &library, const QString &name)
{
    for (const Playlist &p : library.userPlaylists())
        if (!p.smart && p.name == name)
            return p;
    return std::nullopt;
}

ApplyResult applyMembership(const ApplyRun &run)
{
    ApplyResult result;
    const ChangeList &list = *run.changes;
    MusicLibrary &library = *run.library;
    QString current; // the track being worked on, for the failure alert
    try {
        std::optional<Playlist> target;
        if (!list.remove) {
            target = editablePlaylistNamed(library, run.targetPlaylist);
            if (!target) {
                result.outcome = ApplyResult::TargetMissing;
                result.playlist = run.targetPlaylist;
                return result;
            }
        }
        run.progress(QStringLiteral("Preparation"));

        // Pass 1: every enabled record is checked before anything is touched,
        // all with one query.
        QList<const ChangeRecord *> work;
        QList<TrackRef> refs;
        for (const ChangeRecord &record : list.records) {
            if (!record.enabled || !record.track.isLibraryTrack())
                continue;
            work << &record;
            refs << *record.track.track();
        }
        result.enabled = static_cast<int>(work.size());
        const QList<QVariantHash> now = library.properties(refs, {artistKey, nameKey});
        for (qsizetype i = 0; i < work.size(); ++i) {
            const QVariantHash values = now.value(i);
            if (tagText(values.value(artistKey)) != work.at(i)->artist ||
                tagText(values.value(nameKey)) != work.at(i)->title) {
                result.outcome = ApplyResult::Aborted;
                return result;
            }
        }

        // Pass 2.
        const qsizetype total = work.size();
        if (list.remove) {
            for (qsizetype i = 0; i < total; ++i) {
                const TrackRef &ref = refs.at(i);
                current = tagText(now.at(i).value(nameKey));
                run.progress(QStringLiteral("%1/%2 - %3").arg(i + 1).arg(total).arg(current));
                if (list.trash && library.className(ref) == QLatin1String("ITunesFileTrack")) {
                    const QString location = library.location(ref);
                    if (!location.isNull() && !QFile::moveToTrash(location))
                        qWarning().noquote() << QStringLiteral("Could not move %1 to the Trash").arg(location);
                }
                library.deleteTrack(ref);
                ++result.written;
            }
        } else {
            // The target's content is read once; what is added is remembered,
            // so a track listed twice is added once.
            QSet<qint64> present;
            for (const TrackRef &ref : library.tracksOf(target->id))
                present.insert(ref.trackId);
            QList<qint64> toAdd;
            for (qsizetype i = 0; i < total; ++i) {
                current = tagText(now.at(i).value(nameKey));
                run.progress(QStringLiteral("%1/%2 - %3").arg(i + 1).arg(total).arg(current));
                if (!present.contains(refs.at(i).trackId)) {
                    present.insert(refs.at(i).trackId);
                    toAdd << refs.at(i).trackId;
                }
            }
            current.clear();
            library.addToPlaylist(target->id, toAdd);
            result.written = static_cast<int>(toAdd.size());
        }
    } catch (const std::exception &e) {
        const QString description = describe(e);
        LOG_FAILURE(description);
        result.outcome = ApplyResult::Failed;
        result.failedTrack = current;
        result.error = description;
    }
    return result;
}

} // namespace

ApplyResult apply(const ApplyRun &run)
{
    if (!run.changes)
        return {};
    if (run.changes->playlist) {
        if (!run.library) {
            ApplyResult result;
            result.outcome = ApplyResult::Failed;
            result.error = QStringLiteral("No music library to change.");
            return result;
        }
        return applyMembership(run);
    }
    return applyTags(run);
}

void report(const ApplyResult &result)
{
    switch (result.outcome) {
    case ApplyResult::Finished:
        return;
    case ApplyResult::Aborted:
        alertPanelApp(outcomeMessage(result));
        return;
    case ApplyResult::Failed:
        alertPanel(QStringLiteral("Changes Not Completed"), outcomeMessage(result));
        return;
    case ApplyResult::TargetMissing:
        alertPanel(QStringLiteral("Playlist Not Found"), outcomeMessage(result));
        return;
    }
}

QString outcomeMessage(const ApplyResult &result)
{
    switch (result.outcome) {
    case ApplyResult::Finished:
        return {};
    case ApplyResult::Aborted:
        return QStringLiteral("Please do not 'touch' iTunes while the operation is running. The operation had to "
                              "be canceled.");
    case ApplyResult::Failed: {
        const QString where = result.failedTrack.isEmpty()
                                  ? QString()
                                  : QStringLiteral(" while working on the track '%1'").arg(result.failedTrack);
        return QStringLiteral("The operation stopped%1: %2\n%3 of %4 checked changes had been made before; the "
                              "rest were left untouched.")
            .arg(where, result.error)
            .arg(result.written)
            .arg(result.enabled);
    }
    case ApplyResult::TargetMissing:
        return QStringLiteral("The playlist '%1' to add the tracks to is no longer in the library. Nothing was "
                              "added.")
            .arg(result.playlist);
    }
    return {};
}

} // namespace applyengine
