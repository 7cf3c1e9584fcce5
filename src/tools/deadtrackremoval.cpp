// SPDX-License-Identifier: GPL-3.0-or-later
#include "deadtrackremoval.h"

#include "library/musiclibrary.h"
#include "support/alerts.h"

#include <QFileInfo>

namespace tools {

namespace {

QString outermostMissing(const QString &folder)
{
    QString missing = folder;
    for (QString parent = QFileInfo(missing).path(); parent != missing && !QFileInfo(parent).isDir();
         parent = QFileInfo(parent).path())
        missing = parent;
    return missing;
}

// Whether the person wants to review dead tracks although some of their
// folders are missing. Main thread.
bool goOnDespiteMissingFolders(WindowPort *port, const MissingFolderCount &missing, qsizetype dead)
{
    if (missing.tracks() == 0)
        return true;
    const QString message =
        QStringLiteral("%1 of the %2 dead tracks lie in folders that do not exist at all, such as '%3'. The drive "
                       "holding them may not be mounted: their files may well still be there, and removing the "
                       "tracks would lose their play counts and ratings. Cancel to mount the drive first, or "
                       "continue to review the dead tracks.")
            .arg(missing.tracks())
            .arg(dead)
            .arg(missing.example());
    return alertPanel(port, QStringLiteral("Music Drive Not Mounted?"), message, QStringLiteral("Cancel"),
                      QStringLiteral("Continue")) == 0;
}

} // namespace

bool isDeadTrack(const MusicTrack &track, const TrackValues &values)
{
    return track.isLibraryTrack() && tagText(values.value(QStringLiteral("location"))).isEmpty() &&
           track.library()->className(*track.track()) == QLatin1String("ITunesFileTrack");
}

void MissingFolderCount::add(const QString &storedPath)
{
    if (storedPath.isEmpty())
        return;
    const QString folder = QFileInfo(storedPath).path();
    auto it = folderExists_.find(folder);
    if (it == folderExists_.end())
        it = folderExists_.insert(folder, QFileInfo(folder).isDir());
    if (*it)
        return;
    if (tracks_++ == 0)
        example_ = outermostMissing(folder);
}

CollectRun deadTrackRemoval(TrackSource source)
{
    WindowPort *const port = source.port;
    // Written by the walk on the worker, read on the main loop after it.
    auto missing = std::make_shared<MissingFolderCount>();
    auto dead = std::make_shared<qsizetype>(0);

    CollectRun run;
    run.source = std::move(source);
    run.keys = QStringList{QStringLiteral("location")};
    run.step = [missing, dead](const MusicTrack &track, const TrackValues &values, QList<ChangeRecord> &records) {
        if (!isDeadTrack(track, values))
            return;
        missing->add(track.library()->storedLocation(*track.track()));
        ++*dead;
        records.append(collector::membershipRecord(track, values));
    };
    run.beforeReview = [port, missing, dead] {
        return goOnDespiteMissingFolders(port, *missing, *dead);
    };
    run.noChangesTitle = QStringLiteral("No Dead Tracks");
    run.noChangesMessage = QStringLiteral("No dead tracks to remove were found in the selected playlist.");
    run.playlist = true;
    run.remove = 1;
    run.trash = false;
    run.tool = QStringLiteral("Dead Track Removal");
    return run;
}

} // namespace tools
