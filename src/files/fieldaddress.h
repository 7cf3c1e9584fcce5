// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "filedescription.h"

#include <QString>
#include <QVariant>
#include <optional>

namespace TagLib {
class File;
}

// A raw field of one of a file's tags, named as that tag names it, for the
// fields the catalogue has no key for (a TXXX frame, a custom Vorbis comment,
// an MP4 freeform item). Written "TAG:ID": the tag ("ID3v2", "APE", "Vorbis",
// "MP4", "ASF"), a colon, and the field's id as FileField shows it:
//   ID3v2:TXXX:MOOD   ID3v2:COMM:Notes   ID3v2:TPUB   Vorbis:MOOD
//   MP4:----:com.apple.iTunes:MOOD   APE:MOOD   ASF:WM/Mood
// An ID3v2 POPM frame is named by its owner and holds its rating byte and
// play counter: ID3v2:POPM:MusicBee = "196/12".
// Catalogue keys never hold a colon, so the colon alone tells them apart.
namespace fieldaddress {

struct Address {
    QString tag; // "ID3v2", "APE", "Vorbis", "MP4", "ASF"
    QString id;
};

bool isAddress(const QString &key);
// The address of key; nothing when key is no well-formed address.
std::optional<Address> parse(const QString &key);
// The address of a field a description lists; "ID3v2.3" and "ID3v2.4" are both "ID3v2".
QString addressOf(const FileField &field);

// The catalogue key whose value a field of this tag holds ("name" for an
// ID3v2 TIT2 frame); empty for the fields the catalogue does not know.
QString catalogueKey(const QString &tag, const QString &id);

// Why key cannot be written whatever the file: not a well-formed address,
// a tag that cannot be written here, a field that holds no editable text,
// a field of a catalogue key. Empty when nothing stands against it.
QString refusal(const QString &key);

// The field's text as FileDescription shows it (several fields of one id
// joined by "; "); absent when the file does not hold it.
QVariant valueIn(const FileDescription &description, const QString &key);

// Stores value as the only field of the address (the empty text removes
// every field of it), leaving the other fields alone. The file is not saved.
// Returns why the file cannot hold it (it has no such tag), empty when stored.
QString write(TagLib::File &file, const QString &key, const QString &value);

// The tag a file keeps the fields of players in, as an address names it:
// "Vorbis" for FLAC and Ogg, "MP4", "ASF", "ID3v2" for MP3 and the like,
// "APE" for Monkey's Audio, WavPack and Musepack (and an MP3 file that has an
// APE tag and no ID3v2 one). Empty when it has none that can be written here.
// The file is only looked at; a tag it lacks may be made in memory.
QString freeFieldTag(TagLib::File &file);

} // namespace fieldaddress
