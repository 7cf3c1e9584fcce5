// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

class AppDelegate;
class IcuRegex;

namespace tools {

// The value with every match replaced: by the regular expression and its
// template when one is given, else every literal occurrence of search (letter
// case ignored when asked). A bad template throws NamedException.
QString searchReplaceValue(const QString &value, const QString &search, const QString &replace,
                           bool caseInsensitive, const IcuRegex *regex);

// The tool's run button: validates the options, then collects the changes of
// the chosen tag on the worker and hands them to the review. Main thread.
void performSearchReplace(AppDelegate &app);

// Fills the search and replacement fields with the ready-made pair of the
// pop-up's item (1-5) and switches regular expressions on, for any item.
void presetClicked(AppDelegate &app, int index);

} // namespace tools
