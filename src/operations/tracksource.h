// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

namespace tracksource {

// The alert text for a source playlist that is no longer in the library.
QString missingPlaylistMessage(const QString &name);

} // namespace tracksource
