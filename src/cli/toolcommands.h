// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "librarycommands.h"

#include <QList>
#include <QString>

namespace cli {

class ToolContext;
using ToolCommandFunction = ExitCode (*)(ToolContext &);

struct ToolCommand {
    QString name;
    QString summary;
    ToolCommandFunction run = nullptr;
};

// The tool subcommands in the order --help lists them.
const QList<ToolCommand> &toolCommands();

// One function per tool, each in src/cli/<tool>command.cpp.

// Tag search and replace
ExitCode searchReplaceCommand(ToolContext &context);

// Capitalization
ExitCode capitalizationCommand(ToolContext &context);

// Data mover
ExitCode dataMoverCommand(ToolContext &context);

// Numeric tag changer
ExitCode numericCommand(ToolContext &context);

// Encoding conversion
ExitCode encodingCommand(ToolContext &context);

// Playlist manager
ExitCode playlistManagerCommand(ToolContext &context);

// Filename changer
ExitCode renameCommand(ToolContext &context);

// Playlist export
ExitCode exportCommand(ToolContext &context);

// Dead track removal
ExitCode deadTracksCommand(ToolContext &context);

// Size calculator
ExitCode sizeCalculatorCommand(ToolContext &context);

// Dead track relinking
ExitCode relinkCommand(ToolContext &context);

// Every field of the tracks; one value set on them
ExitCode showCommand(ToolContext &context);
ExitCode setCommand(ToolContext &context);

// Cover art
ExitCode coverCommand(ToolContext &context);

// Tags from File Name
ExitCode fromFilenameCommand(ToolContext &context);

// Number Tracks
ExitCode numberTracksCommand(ToolContext &context);

// Organize Files into Folders
ExitCode organizeCommand(ToolContext &context);

// Ratings & Play Counts
ExitCode ratingsCommand(ToolContext &context);

// Undo of a run of the history
ExitCode undoCommand(ToolContext &context);

// Ratings and play counts to and from MPD's stickers
ExitCode mpdCommand(ToolContext &context);

} // namespace cli
