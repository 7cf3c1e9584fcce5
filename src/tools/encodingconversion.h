// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <optional>

class AppDelegate;

namespace tools {

// The value turned into bytes with the source encoding (characters it lacks
// become '?') and read back with the target encoding; nothing when the bytes
// are not valid in the target encoding, or when the result, converted the
// opposite way, does not give the value back (text was lost on the way).
// Indexes as in textencodings.h.
std::optional<QString> convertedValue(const QString &value, int fromEncoding, int toEncoding);

// The tool's run button. Main thread.
void performEncoding(AppDelegate &app);

} // namespace tools
