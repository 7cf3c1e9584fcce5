// SPDX-License-Identifier: GPL-3.0-or-later
#include "runnews.h"

void RunNews::announce(const QString &message, bool tracksChanged)
{
    message_ = message;
    emit announced(message);
    if (tracksChanged)
        emit this->tracksChanged();
}
