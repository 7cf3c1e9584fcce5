// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QUrl>

#include <functional>

// Opens mail, web and store addresses with the person's default program. The
// core links no GUI library, so the front end hands the real opener to the
// controller it makes (the window: QDesktopServices::openUrl). Safe from any
// thread.
using UrlOpener = std::function<void(const QUrl &)>;
