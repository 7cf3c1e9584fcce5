// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// Folder listings and the user defaults. Nothing here logs or throws: a
// failure is an absent or zero result.
namespace files {

// An entry a listing leaves out because no path the program can hold names
// it exactly: a name that is not valid UTF-8 (converted, it would name another
// file or none), or a path longer than the system takes.
struct Skipped {
    QString shown;  // the path, bytes that are not UTF-8 as "\xFF", controls escaped
    QString reason; // for the person
    bool folder = false;
};

// The names of the entries directly inside the folder, dot-files included, in
// the order the file system gives them. Absent when the path is no readable
// folder. Entries whose names are not valid UTF-8 are left out (and listed in
// skipped when given).
std::optional<QStringList> dirContents(const QString &folder, QList<Skipped> *skipped = nullptr);

// Every entry at any depth below the folder, files and folders alike, as full
// paths (folder + "/" + relative path), in the order the file system gives
// them, each folder followed by its contents. Dot-files are included. A
// symbolic link is listed but never entered, so link cycles cannot trap the
// walk; a sub-folder that cannot be read is listed and passed over. Absent only
// when the folder itself cannot be read. An entry whose name is not valid
// UTF-8 or whose path is too long is left out, with everything inside it, and
// listed in skipped when given. regular, when given, gets for each path
// whether the listing named it a regular file (not a link): a walk over
// thousands of files then needs no look at each of them to know.
std::optional<QStringList> dirContentsRecursive(const QString &folder, QList<Skipped> *skipped = nullptr,
                                                QList<bool> *regular = nullptr);

// A path given as the file system's bytes, for the person: UTF-8 decoded, any
// other byte as "\xFF", control and bidi characters escaped.
QString shownPath(const QByteArray &bytes);

// The file's modification time (in nanoseconds) and size as one text, which
// changes whenever the file is written; null when there is no such file.
QString stamp(const QString &path);

// The integer stored in the user defaults under key; 0 when absent.
int defaultInt(const QString &key);
void setDefaultInt(const QString &key, int value);
// Any value stored there (a size, a list of widths); invalid when absent.
QVariant defaultValue(const QString &key);
void setDefaultValue(const QString &key, const QVariant &value);

// Where the user defaults are kept on disk.
QString userDefaultsPath();

// The folder part of an absolute path, as QFileInfo::path gives it, without
// asking the file system.
QString folderOf(const QString &path);

// A path below the home folder as the person knows it, "~/Music/..."; any
// other path as it is.
QString homeShortened(const QString &path);

} // namespace files
