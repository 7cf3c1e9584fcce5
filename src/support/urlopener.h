// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QUrl>

#include <functional>

// Opens mail, web and store addresses with the person's default program. The
// core links no GUI library, so the front end installs the real opener at
// start-up (the window: QDesktopServices::openUrl); until then an address is
// only logged. Safe from any thread.
using UrlOpener = std::function<void(const QUrl &)>;

// Installs the opener and returns the one it replaces. An empty function
// brings back the logging default.
UrlOpener setUrlOpener(UrlOpener opener);

void openUrl(const QUrl &url);
