// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "library/historystore.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

// The history as the window and the command line show it to the person.
namespace historyview {

// The history beside this library file, with what crashed runs left pending
// settled; null when there is no history file yet (reading makes none).
// Throws LibraryError as HistoryStore does for a damaged or newer file.
std::unique_ptr<HistoryStore> openExisting(const QString &libraryPath);

// "1 change", "12 changes".
QString countedChanges(qint64 count);
// A run's time in local time, "yyyy-MM-dd HH:mm:ss".
QString shownTime(const HistoryRun &run);
// What a change was made to (the file, else the track's artist and title),
// what changed (the key, or what happened to the entry or file) and, where
// there are values, "before → after". Texts are not escaped.
QStringList changeFields(const HistoryChange &change);

} // namespace historyview
