// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "librarycommands.h"

namespace cli {

// `quavertin-cli history [--json]` and `quavertin-cli history show N [--json]`:
// the runs the history beside the library keeps (libraryPath empty: the
// default library), and the changes of one.
ExitCode runHistoryCommand(const QStringList &args, const QString &libraryPath, QTextStream &out, QTextStream &err);

} // namespace cli
