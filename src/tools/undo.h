// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "library/historystore.h"
#include "operations/collector.h"

#include <QString>
#include <optional>

namespace tools {

// What undo starts from, read when the person starts it.
struct UndoOptions {
    QString historyPath; // the history beside the library
    qint64 run = 0;      // the run to take back; 0: the newest that is no undo and was not undone
};

// The run an undo with these options would take back, or why there is none
// (the text of the refusal). Reads the history; main thread. For menus that
// name the run before it is chosen ("Undo “Search & Replace” (12 changes)").
struct UndoTarget {
    std::optional<HistoryRun> run;
    QString title;   // when there is none: the alert's title
    QString message; // and its text
};
UndoTarget undoTarget(const UndoOptions &options);

// The tool: validates on the main thread (the run must be in the history and
// not undone already, unless its undo was undone), then builds on the worker
// the change list that puts every value the run changed back, for the same
// review and verified apply as every tool. A value changed since the run is
// proposed unchecked with a note, and the apply refuses it even when checked.
// The list names the run it undoes, so that its apply is recorded as its undo.
ToolStart undoRun(const UndoOptions &options, TrackSource source);

} // namespace tools
