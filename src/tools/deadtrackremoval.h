// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/trackvalues.h"
#include "operations/collector.h"

#include <QHash>
#include <QString>

class MusicTrack;

namespace tools {

// Whether a track is dead: a file-backed library track whose file is gone.
// values hold the track's "location", as a collecting run read it.
bool isDeadTrack(const MusicTrack &track, const TrackValues &values);

// Counts dead tracks whose folder is gone altogether. That is what a music
// drive that is not mounted looks like: every track on it seems dead at once,
// and removing them would lose their play counts and ratings.
class MissingFolderCount {
public:
    // Takes the path stored for one dead track; each distinct folder is looked at once.
    void add(const QString &storedPath);

    int tracks() const { return tracks_; }
    // The outermost missing folder of the first such track (for a drive
    // mounted at /media/me/Music that is /media/me/Music when it is gone).
    const QString &example() const { return example_; }

private:
    QHash<QString, bool> folderExists_;
    int tracks_ = 0;
    QString example_;
};

// Proposes to remove every dead track (a file-backed library track whose file
// is gone) of the source's playlist. When some lie in folders that do not
// exist, the person is asked first whether to go on. Main thread only.
CollectRun deadTrackRemoval(TrackSource source);

} // namespace tools
