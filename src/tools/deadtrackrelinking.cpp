// SPDX-License-Identifier: GPL-3.0-or-later
#include "deadtrackrelinking.h"

#include "deadtrackremoval.h"
#include "files/musicfiles.h"
#include "library/musiclibrary.h"
#include "relinkindex.h"
#include "support/alerts.h"

#include <QDebug>
#include <QFileInfo>

namespace tools {

namespace {

const QString albumKey = QStringLiteral("album");
const QString artistKey = QStringLiteral("artist");
const QString locationKey = QStringLiteral("location");
const QString nameKey = QStringLiteral("name");

struct DeadTrack {
    MusicTrack track;
    TrackValues values;
};

RelinkKey keyOf(const TrackValues &values)
{
    return RelinkKey{tagText(values.value(artistKey)), tagText(values.value(nameKey)),
                     tagText(values.value(albumKey))};
}

// The search each dead track stands for, in the words of the diagnostics
// people compare with their own searches.
void logSearch(const RelinkKey &key)
{
    qWarning().noquote() << QStringLiteral("(kMDItemContentTypeTree == 'public.audio') && (kMDItemAuthors == %1) && "
                                           "(kMDItemTitle == %2) && (kMDItemAlbum == %3)")
                                .arg(key.artist, key.title, key.album);
}

void logAmbiguous(const QList<IndexedFile> &found)
{
    for (qsizetype k = 0; k < found.size(); ++k) {
        const IndexedFile &file = found[k];
        qWarning().noquote() << QStringLiteral("result at %1 - %2  | %3   |   %4  |   %5  %6 ")
                                    .arg(k)
                                    .arg(file.path, QFileInfo(file.path).fileName(), file.key.album, file.key.title,
                                         file.key.artist);
    }
}

} // namespace

std::optional<QString> askRelinkFolder(WindowPort *port)
{
    alertPanel(port, QStringLiteral("Music Folder Needed"),
               QStringLiteral("You need to select a folder containing the music your broken tracks should be "
                              "re-linked to. This can also be the folder containing all your music."));
    return port->chooseFolder(QStringLiteral("Choose the folder to search for the missing files"));
}

CollectRun deadTrackRelinking(const QString &folder, TrackSource source)
{

    // Filled by the walk on the worker, then used by the search on the same worker.
    auto dead = std::make_shared<QList<DeadTrack>>();

    CollectRun run;
    run.source = std::move(source);
    run.keys = QStringList{albumKey, locationKey};
    run.progressFormat = QStringLiteral("%1/%2 (1/2) - %3");
    run.step = [dead](const MusicTrack &track, const TrackValues &values, QList<ChangeRecord> &) {
        if (!isDeadTrack(track, values))
            return;
        logSearch(keyOf(values));
        dead->append(DeadTrack{track, values});
    };
    run.finish = [dead, folder](QList<ChangeRecord> &records, ProgressSink &progress) {
        if (dead->isEmpty())
            return;
        QList<files::Skipped> skipped;
        const RelinkIndex index = RelinkIndex::scan(
            folder,
            [&progress](int i, int n, const QString &path) {
                progress.setProgress(QStringLiteral("%1/%2 (2/2) - %3").arg(i + 1).arg(n).arg(QFileInfo(path).fileName()));
            },
            &skipped);
        // A file the search cannot reach under its exact name could be a missing one.
        if (!skipped.isEmpty())
            alertPanel(progress.port(), QStringLiteral("Files Skipped"), musicfiles::skippedMessage(skipped));
        for (qsizetype i = 0; i < dead->size(); ++i) {
            const DeadTrack &d = dead->at(i);
            progress.setProgress(QStringLiteral("%1 [%2 left]").arg(tagText(d.values.value(nameKey))).arg(dead->size() - i));
            const QList<IndexedFile> found = index.matches(keyOf(d.values));
            if (found.size() == 1)
                records.append(collector::tagRecord(d.track, d.values, locationKey, QString(""), found.first().path));
            else if (found.size() > 1)
                logAmbiguous(found);
        }
    };
    run.noChangesTitle = QStringLiteral("No Fixed Tracks");
    run.noChangesMessage = QStringLiteral("The selected playlist either does not contain dead tracks or the selected "
                                          "folder doesn't contain any missing original files. Also note that the "
                                          "selected folder has to have 'Spotlight' enabled.");
    run.playlist = false;
    run.tool = QStringLiteral("Dead Track Relinking");
    return run;
}

} // namespace tools
