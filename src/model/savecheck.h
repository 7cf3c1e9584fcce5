// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "filestructure.h"

#include <QString>
#include <QVariantHash>

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

// The fields a save must keep, as the tag reads them.
QVariantHash fields(const TagLib::Tag &tag);

// Empty when after holds every field of before but the written key; else
// what was lost, worded to follow "The save would ".
QString lostField(const QVariantHash &before, const QVariantHash &after, const QString &writtenKey);

} // namespace savecheck
