// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "operations/collector.h"

#include <QList>
#include <QString>
#include <QVariantHash>

namespace tools {

// The tool's options, read when the person starts it.
struct OrganizeOptions {
    QString root;    // the folder the files go into
    QString pattern; // the filename changer's placeholders, "/" making folders
    bool removeEmptyFolders = false;
    bool takeAlong = false; // the other files of an album's folder go with it
};

// Where one file is to go, or why it stays.
struct PlannedMove {
    QString path;
    QString target; // empty when the file stays
    QString reason; // why it stays; empty when it moves or is where it belongs
};

// The path under root the pattern gives the file at path with these tags
// (keyed as renameTagKeys; the track number gets two digits), or why there is
// none: a placeholder without a value, a value that would make a folder of
// its own or climb out of one, a name over 255 bytes or a path over 4,095.
// Names are cleaned as the filename changer cleans them. The file's extension is kept.
PlannedMove organizeTarget(const QString &path, const QVariantHash &tags, const QString &root,
                           const QString &pattern);

// Two files for one path both stay, and so does a file whose path another
// file has already; each gets its reason.
void settleTargets(QList<PlannedMove> &plan);

// Validates the options, then gives the run that collects the moves of the
// source's files, reviewed as a list of new paths. Main thread.
ToolStart organize(const OrganizeOptions &options, TrackSource source);

} // namespace tools
