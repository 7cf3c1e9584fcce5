// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// Folder listings and the user defaults. Nothing here logs or throws: a
// failure is an absent or zero result.
namespace files {

// The names of the entries directly inside the folder, dot-files included, in
// the order the file system gives them. Absent when the path is no readable folder.
std::optional<QStringList> dirContents(const QString &folder);

// Every entry at any depth below the folder, files and folders alike, as full
// paths (folder + "/" + relative path), in the order the file system gives
// them, each folder followed by its contents. Dot-files are included. A
// symbolic link is listed but never entered, so link cycles cannot trap the
// walk; a sub-folder that cannot be read is listed and passed over. Absent only
// when the folder itself cannot be read.
std::optional<QStringList> dirContentsRecursive(const QString &folder);

// The file's modification time (in nanoseconds) and size as one text, which
// changes whenever the file is written; null when there is no such file.
QString stamp(const QString &path);

// The integer stored in the user defaults under key; 0 when absent.
int defaultInt(const QString &key);
void setDefaultInt(const QString &key, int value);

// Where the user defaults are kept on disk.
QString userDefaultsPath();

} // namespace files
