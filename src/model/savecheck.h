// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "filestructure.h"

#include <QString>
#include <QVariantHash>

#include <optional>

class CheckedFileStream;
namespace TagLib {
class File;
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

// The fields a save must keep, as the tag reads them; of several tags, the
// first that has a field gives it.
QVariantHash fields(const TagLib::Tag &tag);
QVariantHash fields(const QList<const TagLib::Tag *> &tags);

// The fields of a just saved MPEG file whose tags are an ID3v2 tag at its
// start and perhaps an ID3v1 tag, read from those tags alone rather than by
// parsing the whole file again; nothing for other files.
std::optional<QVariantHash> mpegFieldsAfterSave(TagLib::File *file, CheckedFileStream &stream);

// Empty when after holds every field of before but the written key; else
// what was lost, worded to follow "The save would ".
QString lostField(const QVariantHash &before, const QVariantHash &after, const QString &writtenKey);

} // namespace savecheck
