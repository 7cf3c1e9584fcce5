// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>

namespace cli {

class ToolContext;
using ToolCommandFunction = int (*)(ToolContext &);

struct ToolCommand {
    QString name;
    QString summary;
    ToolCommandFunction run = nullptr; // null while the tool is not built
};

// The tool subcommands in the order --help lists them.
const QList<ToolCommand> &toolCommands();

// One function per tool, each in src/cli/<tool>command.cpp.

// Tag search and replace
int searchReplaceCommand(ToolContext &context);

// Capitalization
int capitalizationCommand(ToolContext &context);

// Data mover
int dataMoverCommand(ToolContext &context);

// Numeric tag changer
int numericCommand(ToolContext &context);

// Encoding conversion
int encodingCommand(ToolContext &context);

// Playlist manager
int playlistManagerCommand(ToolContext &context);

// Filename changer
int renameCommand(ToolContext &context);

// Playlist export
int exportCommand(ToolContext &context);

// Dead track removal
int deadTracksCommand(ToolContext &context);

// Size calculator
int sizeCalculatorCommand(ToolContext &context);

// Dead track relinking
int relinkCommand(ToolContext &context);

} // namespace cli
