// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QVariant>
#include <initializer_list>

namespace TagLib {
class File;
class PropertyMap;
} // namespace TagLib

// The library keys a music file holds outside TagLib's basic tag: album
// artist, composer, lyrics, bpm, and the track and disc numbers with their
// totals. They live in the file's property map, where a number and its total
// share one field in some formats ("3/12") and stand apart in others.
namespace fileproperties {

// lyrics, composer, albumArtist, bpm, trackNumber, trackCount, discNumber, discCount.
bool holds(const QString &key);

// The value of key as the library stores it: a non-empty text for the text
// keys, a number above 0 for the others; absent otherwise. Works for the
// keys of holds.
QVariant read(const TagLib::PropertyMap &properties, const QString &key);

// A number field's first value, as a C integer conversion reads it; 0 when
// none of the fields is there.
int firstNumber(const TagLib::PropertyMap &properties, std::initializer_list<const char *> fields);

// Stores value (absent, the empty text or 0 removes the field) under key in
// the tag a layout-keeping save writes, leaving every other field as it is:
// a number written keeps the total beside it, and a total the number. The
// file is not saved. Returns why the file's tags cannot hold the key, or the
// empty text when the value was stored.
QString write(TagLib::File &file, const QString &key, const QVariant &value);

} // namespace fileproperties
