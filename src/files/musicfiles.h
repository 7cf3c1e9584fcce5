// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

#include "support/fileutils.h"

// Which files are music files: the folder source, the library import, the
// filename changer and relinking all decide it the same way.
namespace musicfiles {

// The extensions of music files, lower case; a file matches whatever the case of its extension.
const QStringList &musicExtensions();
bool isMusicFile(const QString &path);

// The extension of the file's name, lower case; empty when the name has none.
QString extensionOf(const QString &path);

// Every regular music file at any depth below the folder, in the order the
// file system lists them (hidden entries included). Empty when the folder
// cannot be read. Music files and folders that cannot be reached under their
// exact names (see files::dirContentsRecursive) go to skipped when given, as
// do symbolic links that resolve to a file outside the folder: writing or
// renaming through them would change a file the person did not choose.
QStringList musicFilesBelow(const QString &folder, QList<files::Skipped> *skipped = nullptr);

// The skipped entries that are music files or folders.
QList<files::Skipped> concerningMusic(const QList<files::Skipped> &skipped);

// What the person reads about files a folder source left out: one line each,
// the first few of a long list.
QString skippedMessage(const QList<files::Skipped> &skipped);

// "The folder … no longer exists." when a chosen folder is gone (or is no
// folder now); empty while it is there.
QString vanishedFolderMessage(const QString &folder);

} // namespace musicfiles
