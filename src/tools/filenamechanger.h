// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "support/fileutils.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <QVariantHash>

#include <array>
#include <functional>
#include <memory>
#include <optional>

class MusicLibrary;
class ProgressSink;
class Run;

namespace tools {

// A placeholder of a name pattern and the tag it stands for ("#n" for
// "number", the track number as a file's basic tag holds it).
struct NamePlaceholder {
    QString text;
    QString key;
};
const std::array<NamePlaceholder, 6> &namePlaceholders();

// NAME_MAX of the file systems the program meets, in bytes of the encoded name.
constexpr qsizetype maxFileNameBytes = 255;

// Whether a track number or year is one a name shows: a whole number from 1
// to 2^31-1 (a negative one read back as 4294967295 is no number at all).
bool isPlaceableNumber(const QString &text);

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

// What becomes of one file of a run.
enum class RenameOutcome {
    Renamed,            // it gets (or got) the new name
    Unchanged,          // the new name is the name it has
    NoPattern,          // the pattern is empty
    Unreadable,         // its tags could not be read at all
    PlaceholderMissing, // a placeholder stayed unfilled and such files are skipped
    LeavesFolder,       // the new name would put it in another folder or be no name
    NameTooLong,        // the new name is longer than a file name may be
    NameTaken,          // another file has, or takes earlier in the run, the new name
    MoveFailed,         // the file system refused the move
};

// A few words for the outcome ("name taken"), as the person reads it.
QString renameOutcomeText(RenameOutcome outcome);

// Whether a file with this outcome was meant to get a new name and did not.
bool renameFellShort(RenameOutcome outcome);

// One file of a rename plan: its path, and its new path when it is to be
// renamed (outcome Renamed), or a null target and the reason it keeps its name.
struct PlannedRename {
    QString path;
    QString target;
    RenameOutcome outcome = RenameOutcome::Unchanged;
};

// The new path and outcome for the file at path with these tags, the name
// taken or not left aside: the extension is kept as it was.
PlannedRename plannedRename(const QString &path, const QVariantHash &tags, const RenameOptions &options,
                            int filesInFolder);

// The path the file at path is to be renamed to, or a null QString when it
// keeps its name (see plannedRename).
QString renameTarget(const QString &path, const QVariantHash &tags, const RenameOptions &options,
                     int filesInFolder);

// The music files a run over the folder visits, in the order the file system
// lists them. Music files (and, recursive, folders) that cannot be reached
// under their exact names are left out and go to skipped when given.
QStringList renameRunFiles(const QString &folder, bool recursive, QList<files::Skipped> *skipped = nullptr);

// Called before each file's tags are read: its position from 0, the count, its path.
using RenameProgress = std::function<void(int index, int count, const QString &path)>;

// What a run over these files would do, without renaming anything: reads
// every file's tags and plays the renames through in order, so that a name
// that an existing file has, or that an earlier file of the run takes, is
// found taken, and a name that an earlier file gives up is free again.
QList<PlannedRename> renamePlan(const QStringList &files, const RenameOptions &options,
                                const RenameProgress &progress = {});

// How a run ended: every file's final outcome, and why it stopped early, if it did.
struct RenameReport {
    QList<PlannedRename> files;
    std::optional<QString> stopped;
    QString notRecorded; // why the history could not record the run; empty when it did
};

// What a rename run starts from, read when the person starts it.
struct RenameStart {
    bool libraryRunning = false; // the library file exists, so renamed files can be followed there
    QString folder;
    bool recursive = false;
    RenameOptions options;
    // Opens the music library; may throw NamedException.
    std::function<std::shared_ptr<MusicLibrary>()> library;
};

// The tool: validates on the main thread, then renames the music files of the
// chosen folder on the worker under the progress. When the run has ended,
// finished gets its report on the main thread (not when the tool refused to
// start). The outcome is Applied (`stopped` telling why a run ended early),
// Refused or Declined.
std::shared_ptr<Run> renameFiles(const RenameStart &start, ProgressSink &progress,
                                 std::function<void(const RenameReport &)> finished = {});

} // namespace tools
