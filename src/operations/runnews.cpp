// SPDX-License-Identifier: GPL-3.0-or-later
#include "runnews.h"

RunNews &RunNews::instance()
{
    static RunNews news;
    return news;
}

void RunNews::announce(const QString &message, bool tracksChanged)
{
    message_ = message;
    emit announced(message);
    if (tracksChanged)
        emit this->tracksChanged();
}
