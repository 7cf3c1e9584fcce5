// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "librarycommands.h"
#include "library/libraryactions.h"

#include <QStringList>
#include <QTextStream>
#include <functional>

class MusicLibrary;

namespace cli {

// Opens the library on first use.
using LibraryOpener = std::function<MusicLibrary &()>;

// Tells on err what stood in the way of a library action: exit status 1.
ExitCode failed(const libraryactions::Problem &problem, QTextStream &err);

extern const char *const importPlayerHelp;
extern const char *const importPlaylistHelp;

// `library import-player KIND [PATH]`
ExitCode runImportPlayer(const LibraryOpener &open, const QStringList &args, QTextStream &out, QTextStream &err);
// `library import-playlist FILE [--name NAME]`
ExitCode runImportPlaylist(const LibraryOpener &open, const QStringList &args, QTextStream &out, QTextStream &err);

} // namespace cli
