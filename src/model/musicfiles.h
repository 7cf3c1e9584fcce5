// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

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
// cannot be read.
QStringList musicFilesBelow(const QString &folder);

// musicFilesBelow, less the symbolic links that resolve to a file outside
// the folder: writing or renaming through them would change a file the
// person did not choose. Those links are appended to linkedOutside.
QStringList musicFilesBelow(const QString &folder, QStringList &linkedOutside);

} // namespace musicfiles
