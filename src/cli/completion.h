// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "librarycommands.h"

#include <QStringList>
#include <QTextStream>

namespace cli {

// `quavertin-cli completion bash|zsh`: the completion script, read from the
// same help every command prints, so that the two cannot drift apart.
ExitCode runCompletion(const QStringList &args, QTextStream &out, QTextStream &err);

} // namespace cli
