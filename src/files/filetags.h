// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "filedescription.h"
#include "fileidentity.h"
#include "tagvalue.h"

#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantHash>

struct EmbeddedPicture;

// The tags of one music file, read and written with TagLib as its C interface
// defines them: texts for the text fields, "year" and "number" as decimal
// text (0 is absent), "duration" in whole seconds and "bitRate" in kb/s.
//
// Only keys for which canRead / canWrite hold may be passed (the field
// addresses of fieldaddress.h among them: a raw field as its tag names it), and the library
// keys of fileproperties::holds, through which the library keeps its files in
// step (they read as the library stores them); refusing the others is the
// caller's business. TagLib runs on a large stack, so hostile
// files with deeply nested frames cannot overflow the caller's. Anything that
// is not a regular file TagLib recognises as audio reads as absent and is
// never written.
namespace filetags {

bool canRead(const QString &key);
bool canWrite(const QString &key);

// Whether the bytes "image/" (an embedded picture's MIME type) occur anywhere
// in the file; false when it is not a readable regular file.
bool containsPicture(const QString &path);

// The pictures of the file, in its order, their bytes kept out of the
// picture bank (for a look at them, not a change); none when unreadable.
QList<EmbeddedPicture> picturesIn(const QString &path);

// The values of the keys, all with one open of the file. Absent values are
// invalid QVariants; unreadable files give absent for every TagLib key.
QVariantHash read(const QString &path, const QStringList &keys);
// The same in the keys' order. The file opened goes to opened, when given; it
// stays unknown when the keys needed no open or the file could not be opened.
// listed: a folder listing has just named the path a music file (see
// musicfiles::musicFilesBelow), which spares the open a look of its own.
// saveRefusal, when given, gets why write would refuse the file before
// writing anything (its layout is not understood, it is not audio TagLib can
// tag), as a sentence beginning "The file"; empty when nothing stands against
// it. It is what write checks first, looked at with the same open.
// whole, when given, is set to whether every byte asked of the file came: a
// read that failed part way (a network share that dropped, a bad sector)
// gives what it could, which must not stand for the file later.
QVariantList readInOrder(const QString &path, const QStringList &keys, FileIdentity *opened = nullptr,
                         bool listed = false, QString *saveRefusal = nullptr, bool *whole = nullptr);

// Writes one key and saves the file keeping its tag layout (tag types and
// ID3v2 version). Throws FileError, leaving the file as it was, when the file
// cannot be opened for writing, is not audio TagLib can tag, or the value is
// not storable; throws FileError when the save fails.
void write(const QString &path, const QString &key, const QVariant &value);

// write, but only when the file's current values match expected; the reads
// and the write share one open. Returns false, writing nothing, on a mismatch.
bool writeIfUnchanged(const QString &path, const QString &key, const QVariant &value,
                      const TagExpectations &expected);

// Why the file's tags have no room for key (an MPEG file with only an ID3v1
// tag and no album artist field, a WAV file with only RIFF INFO, an MP3 file
// and a field address of a Vorbis comment), as write
// would refuse it; empty when they have, for an empty value (a removal), and
// when the file cannot be read (write then says why). Nothing is written.
QString roomRefusal(const QString &path, const QString &key, const QVariant &value);

// What a list of tracks shows of one file, with one open: "name", "artist",
// "album", "genre" as texts, "albumArtist" as text and "year", "trackNumber",
// "discNumber" as numbers. Album artist and disc come from the format's own
// fields, which the tools do not read or write. Absent values are left out;
// an unreadable file gives an empty hash. Never throws. The file opened goes
// to opened and whether it was read whole to whole, when given, as for readInOrder.
QVariantHash readListing(const QString &path, FileIdentity *opened = nullptr, bool *whole = nullptr);

// Every field and fact of the file (see FileDescription), with one open. A
// file that cannot be read says why in problem. Never throws. freeTag, when
// given, gets the tag players' fields go in (fieldaddress::freeFieldTag).
FileDescription describe(const QString &path, QString *freeTag = nullptr);

} // namespace filetags
