// SPDX-License-Identifier: GPL-3.0-or-later
#include "tracksource.h"

namespace tracksource {

QString missingPlaylistMessage(const QString &name)
{
    if (name.isEmpty())
        return QStringLiteral("You didn't select a playlist to operate on.");
    return QStringLiteral("The playlist '%1' is no longer in the library. Please choose another one.").arg(name);
}

} // namespace tracksource
