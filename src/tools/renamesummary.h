// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "filenamechanger.h"

#include <QList>
#include <QString>

namespace tools {

// One line on what a rename run did, or (preview) would do:
// "7,738 files renamed, 12 kept their names (name taken)"; the reasons a
// file kept its name are counted when they differ ("3 name taken, 1 unchanged").
QString renameSummary(const QList<PlannedRename> &files, bool preview);

} // namespace tools
