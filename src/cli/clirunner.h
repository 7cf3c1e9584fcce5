// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "librarycommands.h"

#include <QStringList>
#include <QTextStream>
#include <cstdio>

namespace cli {

// The whole command line after the program name:
//   [--library FILE] [--playlist NAME | --folder DIR | --selection] TOOL [options]
//   [--library FILE] library COMMAND ...
// Needs the application object; returns the exit status. Questions are read
// from in and asked only when interactive is set.
ExitCode runMain(const QStringList &args, QTextStream &out, QTextStream &err, FILE *in, bool interactive,
            bool showProgress);

} // namespace cli
