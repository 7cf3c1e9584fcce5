// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStringList>
#include <QTextStream>

// The exit status of quavertin-cli.
enum class ExitCode : int {
    Success = 0,
    Failed = 1,   // refused, not found, or nothing to do
    BadUsage = 2, // unknown command or option, missing argument
};

// `quavertin-cli library ...`: args are the words after "library" (a leading
// "--library FILE" is accepted there too). libraryPath is the file named by
// the global --library option; empty means MusicLibrary::defaultPath().
// Results go to out, messages and progress to err (progress only when the
// process's standard error is a terminal).
ExitCode runLibraryCommand(const QStringList &args, const QString &libraryPath, QTextStream &out, QTextStream &err);
