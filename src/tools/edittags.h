// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "operations/collector.h"

#include <QList>
#include <QString>
#include <optional>

namespace tools {

// One value typed in for some tracks: the window's edit of a cell, the
// command line's set.
struct TagEdit {
    QString key;   // a catalogue key
    QString value; // the empty text removes the field
    // The tracks it is for; nothing: every track of the source.
    std::optional<TrackScope> tracks;
};

struct EditTagsOptions {
    // In the order typed: a later edit of the same key of a track wins.
    QList<TagEdit> edits;
};

// Why key cannot take value, as the alert says it; nothing when it can. A
// number key takes a whole number from 0 to 2147483647 (or nothing).
std::optional<QString> editRefusal(const QString &key, const QString &value);
// value as a record holds it for key: numbers without leading zeros or spaces.
QString editedValue(const QString &key, const QString &value);

// Proposes each edit's value for each of its tracks whose value differs.
ToolStart editTags(const EditTagsOptions &options, TrackSource source);

} // namespace tools
