// SPDX-License-Identifier: GPL-3.0-or-later
// The tool buttons. Each tool lives in src/tools/; its action here is one
// line that calls into it.
#include "appdelegate.h"

#include "operations/runnews.h"
#include "tools/capitalization.h"
#include "tools/datamover.h"
#include "tools/deadtrackrelinking.h"
#include "tools/deadtrackremoval.h"
#include "tools/encodingconversion.h"
#include "tools/filenamechanger.h"
#include "tools/numerictagchanger.h"
#include "tools/playlistexport.h"
#include "tools/playlistmanager.h"
#include "tools/renamesummary.h"
#include "tools/searchreplace.h"
#include "tools/sizecalculator.h"

// ---- Tag search and replace
void AppDelegate::performSearchReplace() { tools::performSearchReplace(*this); }
void AppDelegate::presetClicked(int index) { tools::presetClicked(*this, index); }

// ---- Capitalization
void AppDelegate::performCapitalization() { tools::performCapitalization(*this); }

// ---- Data mover
void AppDelegate::performMove() { tools::performMove(*this); }

// ---- Numeric tag changer
void AppDelegate::performNumeric() { tools::performNumeric(*this); }
void AppDelegate::performNumbering() { tools::performNumbering(*this); }

// ---- Encoding conversion
void AppDelegate::performEncoding() { tools::performEncoding(*this); }

// ---- Playlist manager
void AppDelegate::performPlaylist() { tools::performPlaylist(*this); }

// ---- Filename changer
void AppDelegate::performRename()
{
    tools::performRename(*this, [](const tools::RenameReport &report) {
        RunNews::instance().announce(tools::renameSummary(report.files, false), true);
    });
}

// ---- Playlist export
void AppDelegate::performExport(int tag) { tools::performExport(*this, tag); }

// ---- Dead track removal
void AppDelegate::performDead() { tools::performDead(*this); }

// ---- Size calculator
void AppDelegate::performCalculate() { tools::performCalculate(*this); }

// ---- Dead track relinking
void AppDelegate::performFix() { tools::performFix(*this); }
