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
    // A catalogue key, or a field address: a raw field of one tag of the
    // file, "TAG:ID" with the tag ("ID3v2", "APE", "Vorbis", "MP4", "ASF")
    // and the field's id as that tag names it:
    //   ID3v2:TXXX:MOOD   ID3v2:COMM:Notes   ID3v2:TPUB   Vorbis:MOOD
    //   MP4:----:com.apple.iTunes:MOOD   APE:MOOD   ASF:WM/Mood
    // A field the catalogue keeps (an ID3v2 TIT2) is edited through its key
    // instead, so that every view of it agrees; an address is written to the
    // files alone (a library track's row keeps no raw field), and a file
    // without that tag refuses it. See files/fieldaddress.h.
    QString key;
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
