// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <QVariantHash>

class AppDelegate;

namespace tools {

// The tag keys that fill a name pattern, read together with one open of the file.
QStringList renameTagKeys();

// The track number as it goes into a name. selectedTrailingZeroes: 0 pads a
// one-digit number when its folder holds ten or more files of the run, 2
// always pads it, anything else never does. A null number stays null.
QString paddedTrackNumber(const QString &number, int selectedTrailingZeroes, int filesInFolder);

// The pattern with "#a", "#t", "#g", "#l", "#y" and "#n" replaced by the
// values of tags (keyed as renameTagKeys, the number already padded), all at
// once: text that one value brings in is never taken for a placeholder. A
// placeholder whose value is absent stays in the name as it stands.
QString nameFromPattern(const QString &pattern, const QVariantHash &tags);

// Whether any of the six placeholders is left in the name.
bool containsPlaceholder(const QString &name);

// Whether the name, given to a file, keeps it in its folder: not empty, not
// "." or "..", and without a path separator or a NUL.
bool isPlainFileName(const QString &name);

// How many of the files lie directly in each folder.
QHash<QString, int> filesPerFolder(const QStringList &paths);

struct RenameOptions {
    QString pattern;
    int selectedTrailingZeroes = 0;
    bool skipMissing = false;
};

// The path the file at path is to be renamed to, with its extension kept as
// it was, or a null QString when it keeps its name: the new name equals the
// old one, a placeholder stayed unfilled and skipMissing is on, the pattern
// is empty, or the new name would not stay in the file's folder.
QString renameTarget(const QString &path, const QVariantHash &tags, const RenameOptions &options,
                     int filesInFolder);

// The tool's action: validates on the main thread, then renames the music
// files of the chosen folder on the worker under the progress sheet.
void performRename(AppDelegate &app);

} // namespace tools
