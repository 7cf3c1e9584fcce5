// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/musictrack.h"
#include "files/fileidentity.h"
#include "files/tagvalue.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QVariant>
#include <functional>
#include <memory>

struct SavedTrack;
struct ApplyResult;
struct ProgressDetail;

// One proposed change. A tag change carries every field; a membership change
// (adding to or removing from a playlist) only track, title, artist and
// enabled. Which kind it is follows from the owning list's `playlist` flag.
struct ChangeRecord {
    MusicTrack track;
    QString tagToChange; // a catalogue key, or "location" for a relink
    QString oldTag;      // the value when proposed; the empty text when absent
    QString newTag;
    QString title;  // the track's title when proposed
    QString artist; // the track's artist when proposed
    bool enabled = true;
    // Why the record deserves a second look before it is checked (an undo's
    // value that was changed since); empty for most records.
    QString note = {};
    // Why a save would refuse the record's file, as the collect found it (a
    // sentence beginning "The file"): such a record comes unchecked, and
    // checked, its write fails as any failed write does. Empty for most.
    QString refusal = {};
    // The file the record's values were read from, when the collect opened
    // one: the review tells hard links apart without looking again.
    FileIdentity file = {};
};
// Long lists grow by moving their memory rather than each record: every
// member (QString, MusicTrack) holds no pointer into itself.
Q_DECLARE_TYPEINFO(ChangeRecord, Q_RELOCATABLE_TYPE);

// What a record of a restoring list brings back besides its playlist entry.
struct Comeback {
    // A file to take out of the Trash, back to originalPath; empty: none.
    QString originalPath;
    QString trashedPath;
    QString trashInfo;
    // A track that left the library, to re-create with its entries; null: the
    // track is still there.
    std::shared_ptr<const SavedTrack> saved;
};

// The change list handed from a tool to the review and on to the apply
// engine, in the order the tool found the changes. Owned by the main thread;
// the apply worker reads it while the main thread leaves it alone.
struct ChangeList {
    QList<ChangeRecord> records;
    bool playlist = false; // a membership list rather than a tag list
    int remove = 0;        // membership lists: non-zero removes, zero adds
    bool trash = false;    // when removing: also move file-backed tracks' files to the Trash
    QString tool;          // the tool that proposed it, as the history names the run
    // Membership lists that put removed entries back where they stood: each
    // record's track names the playlist and the entry, its newTag the position.
    bool restore = false;
    // Restoring lists: per record (by its index), what comes back with it.
    QHash<qsizetype, Comeback> comebacks;
    // Tag lists that give files other names: each record's oldTag is the
    // file's path now, its newTag the path it gets; no file is ever replaced.
    bool rename = false;
    // Rename lists: a folder the files leave goes too once it holds nothing,
    // and so do the folders above it that held only it, up to the folder the
    // moved files all share.
    bool removeEmptyFolders = false;
    qint64 undoOf = 0; // an undo: the history's number of the run it takes back
    QString source;    // when set, the source as the history names the run
    // Tag lists of library-only values: every row in one transaction, so
    // that a run that stops midway leaves the library as it was.
    bool oneTransaction = false;
    // A list whose changes go to another program (MPD's stickers) rather
    // than to files or the library: the apply engine hands it the list and
    // the progress, and the history keeps nothing of it. Worker thread.
    using Writer = std::function<ApplyResult(const ChangeList &, const std::function<void(const ProgressDetail &)> &)>;
    Writer writeElsewhere;
};

// A tag value as records hold it and as the apply engine compares it: numbers
// in decimal, an absent value as the empty text.
inline QString tagText(const QVariant &value)
{
    return tagvalue::comparableText(value);
}
