// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "operations/collector.h"

#include <QString>
#include <optional>

namespace tools {

// The value turned into bytes with the source encoding (characters it lacks
// become '?') and read back with the target encoding; nothing when the bytes
// are not valid in the target encoding, or when the result, converted the
// opposite way, does not give the value back (text was lost on the way).
// Indexes as in textencodings.h.
std::optional<QString> convertedValue(const QString &value, int fromEncoding, int toEncoding);

// The tool's options, read when the person starts it.
struct EncodingOptions {
    std::optional<QString> tag; // the text tag; nothing when the pop-up points beyond the text tags
    int from = 0;
    int to = 0;
};

ToolStart convertEncoding(const EncodingOptions &options, TrackSource source);

} // namespace tools
