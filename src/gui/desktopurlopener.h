// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "support/urlopener.h"

#include <functional>

class WindowPort;

// The window's URL opener: hands the address to the desktop's program for
// it (open, QDesktopServices::openUrl unless given). When no program takes
// it, the person is told so and finds the address on the clipboard, instead
// of a click that does nothing, on the port given.
UrlOpener desktopUrlOpener(WindowPort &port, std::function<bool(const QUrl &)> open = {});
