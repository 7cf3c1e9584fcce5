// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace text {

// The text printf makes of format and its arguments, in the C locale whatever
// the person's: numbers round as C rounds them (to the nearest, exact halves
// of the binary value to even), which Qt's own formatting does not.
QString cFormat(const char *format, ...) __attribute__((format(printf, 1, 2)));

} // namespace text
