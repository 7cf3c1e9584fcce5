// SPDX-License-Identifier: GPL-3.0-or-later
// The tool buttons. Each tool lives in src/tools/; its action here is one
// line that calls into it. A tool not yet built says so when pressed.
#include "appdelegate.h"

// ---- Tag search and replace
void AppDelegate::performSearchReplace() { toolMissing(); }
void AppDelegate::presetClicked(int) { toolMissing(); }

// ---- Capitalization
void AppDelegate::performCapitalization() { toolMissing(); }

// ---- Data mover
void AppDelegate::performMove() { toolMissing(); }

// ---- Numeric tag changer
void AppDelegate::performNumeric() { toolMissing(); }
void AppDelegate::performNumbering() { toolMissing(); }

// ---- Encoding conversion
void AppDelegate::performEncoding() { toolMissing(); }

// ---- Playlist manager
void AppDelegate::performPlaylist() { toolMissing(); }

// ---- Filename changer
void AppDelegate::performRename() { toolMissing(); }

// ---- Playlist export
void AppDelegate::performExport() { toolMissing(); }

// ---- Dead track removal
void AppDelegate::performDead() { toolMissing(); }

// ---- Size calculator
void AppDelegate::performCalculate() { toolMissing(); }

// ---- Dead track relinking
void AppDelegate::performFix() { toolMissing(); }
