// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "filestructure.h"

#include <QString>
#include <QVariant>

#include <array>
#include <optional>

class CheckedFileStream;
namespace TagLib {
class File;
class String;
class Tag;
} // namespace TagLib

// What a tag save must keep: the checks on either side of a save that let
// it reach the disk only when the file was understood before it and only
// the field written changed in it.
namespace savecheck {

filestructure::Format formatOf(const TagLib::File *file);

// The stream's bytes as they are on disk, and as they will be with its edits.
filestructure::Bytes original(CheckedFileStream &stream);
filestructure::Bytes edited(CheckedFileStream &stream);

// The tags whose union is file's own tag, in the order the union asks them;
// just tag for a file with one tag. Reading them one at a time spares the
// union's second call to the tag that has a value.
QList<const TagLib::Tag *> tagsOf(TagLib::File *file, const TagLib::Tag &tag);
// The first value of the tags that has one, as TagLib's union gives it.
TagLib::String firstText(const QList<const TagLib::Tag *> &tags, TagLib::String (TagLib::Tag::*get)() const);
unsigned int firstNumber(const QList<const TagLib::Tag *> &tags, unsigned int (TagLib::Tag::*get)() const);

// The fields a save must keep, as the tags read them: the texts of artist,
// name (the title), album, comment and genre, the numbers of year and track
// ("number"). Held in that order, not hashed: every save reads them twice,
// and a save that would lose several is told by the first in that order.
class Fields {
public:
    // The field of key; invalid for a key that is not among them.
    QVariant value(const QString &key) const;
    bool operator==(const Fields &other) const = default;

private:
    friend Fields fields(const QList<const TagLib::Tag *> &tags);
    friend QString lostField(const Fields &before, const Fields &after, const QString &writtenKey);
    std::array<QVariant, 7> values_;
};

// Of several tags, the first that has a field gives it.
Fields fields(const TagLib::Tag &tag);
Fields fields(const QList<const TagLib::Tag *> &tags);
// One of those fields; invalid for a key that is not among them.
QVariant field(const QList<const TagLib::Tag *> &tags, const QString &key);

// The fields of a just saved file read from its tag alone, rather than by
// parsing the whole file again: an MPEG file's ID3v2 tag at its start and
// perhaps an ID3v1 tag, an MP4 file's user data, a FLAC stream's Vorbis
// comment, an Ogg Vorbis stream's comment packet, a WAV file's tag chunks.
// Nothing for other files and for layouts whose tag TagLib might find
// elsewhere: those are parsed whole.
std::optional<Fields> fieldsAfterSave(TagLib::File *file, CheckedFileStream &stream);

// Empty when after holds every field of before but the written key; else
// the first field lost, in the order above, worded to follow "The save would ".
QString lostField(const Fields &before, const Fields &after, const QString &writtenKey);

} // namespace savecheck
