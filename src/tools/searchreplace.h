// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "operations/collector.h"

#include <QString>
#include <optional>
#include <utility>

class IcuRegex;

namespace tools {

// The value with every match replaced: by the regular expression and its
// template when one is given, else every literal occurrence of search (letter
// case ignored when asked). A bad template throws NamedException.
QString searchReplaceValue(const QString &value, const QString &search, const QString &replace,
                           bool caseInsensitive, const IcuRegex *regex);

// The tool's options, read when the person starts it.
struct SearchReplaceOptions {
    std::optional<QString> tag; // the text tag; nothing when the pop-up points beyond the text tags
    QString search;
    QString replace; // a null text (no replacement) deletes every match
    bool caseInsensitive = false;
    bool useRegular = false;
};

// Validates the options, then gives the run that collects the changes of the
// chosen tag over the source. Main thread.
ToolStart searchReplace(const SearchReplaceOptions &options, TrackSource source);

// The ready-made search and replacement of the presets pop-up's item (1-5);
// nothing for any other item.
std::optional<std::pair<QString, QString>> searchReplacePreset(int index);

} // namespace tools
