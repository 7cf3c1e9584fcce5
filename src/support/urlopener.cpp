// SPDX-License-Identifier: GPL-3.0-or-later
#include "urlopener.h"

#include <QDebug>

#include <mutex>

namespace {
std::mutex openerMutex;
UrlOpener currentOpener;
} // namespace

UrlOpener setUrlOpener(UrlOpener opener)
{
    std::lock_guard lock(openerMutex);
    std::swap(currentOpener, opener);
    return opener;
}

void openUrl(const QUrl &url)
{
    UrlOpener opener;
    {
        std::lock_guard lock(openerMutex);
        opener = currentOpener;
    }
    if (opener)
        opener(url);
    else
        qWarning().noquote() << "No program is set up to open" << url.toString(QUrl::FullyEncoded);
}
