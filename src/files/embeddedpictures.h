// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QList>
#include <QSize>
#include <QString>
#include <optional>

namespace TagLib {
class File;
}

// A picture embedded in a music file: an ID3v2 APIC frame, a FLAC PICTURE
// block, an Ogg stream's METADATA_BLOCK_PICTURE, an MP4 covr item, an APE
// "Cover Art (…)" item or an ASF WM/Picture attribute.
struct EmbeddedPicture {
    int type = 3; // the picture types of ID3v2 and FLAC: 3 is the front cover
    QString mime;
    QString description;
    QByteArray data;
};

// The pictures of a file travel through the change list, the review and the
// history as one text, the "pictures" value: one entry per picture, "; "
// between them, each naming its type, MIME type, pixel size, size and the
// hash of its bytes ("Front Cover, image/jpeg, 500×500, 12.3 KB #0123…"),
// with its description last in quotes. The bytes themselves stay in the
// picture bank under their hash; a write looks them up there.
namespace embeddedpictures {

inline constexpr int frontCover = 3;
inline constexpr qsizetype maximumBytes = 16 * 1024 * 1024;

// "Front Cover", "Back Cover", … for the 21 picture types; "Other" beyond.
QString typeName(int type);
// A type by its name ("Front Cover"), its short name ("front", "back",
// "other", …) or its number; nothing for anything else.
std::optional<int> typeNamed(const QString &name);
// The short names, in the order of the types.
QStringList typeShortNames();

// 16 hexadecimal digits of the SHA-1 of the bytes: the name a picture goes
// by in the bank, the value text and the history.
QString hashOf(const QByteArray &data);
// Width and height from a JPEG's or PNG's header; invalid for anything else.
QSize pixelSize(const QByteArray &data);
// "image/jpeg" or "image/png" from the bytes' signature; empty for others.
QString mimeOf(const QByteArray &data);

// The value text of pictures (the empty text for none). Puts their bytes in
// the bank.
QString valueOf(const QList<EmbeddedPicture> &pictures);
// The pictures a value text names, with their bytes from the bank. Nothing
// when the text is not a value text or names bytes the bank does not hold.
std::optional<QList<EmbeddedPicture>> picturesOf(const QString &value);
// One line per picture of a value text, for people: the entry without its hash.
QString shortSummary(const QString &value);
// The hashes a value text names, in its order.
QStringList hashesOf(const QString &value);

// The bank: bytes by hash, shared by every thread of the process, so that a
// change list of thousands of tracks holds one copy of each distinct picture.
void keep(const QByteArray &data);
std::optional<QByteArray> kept(const QString &hash);

// The pictures TagLib read from file, in the file's order; none for a format
// that holds none.
QList<EmbeddedPicture> readFrom(TagLib::File *file);
// Whether files of this extension (without its dot) can hold pictures here.
bool holdsPicturesByExtension(const QString &extension);
// Whether file's format can hold pictures at all.
bool holdsPictures(TagLib::File *file);
// pictures as file's format keeps them (MP4 keeps neither types nor
// descriptions, APE no MIME types): what readFrom gives after storeIn.
QList<EmbeddedPicture> asKeptBy(TagLib::File *file, QList<EmbeddedPicture> pictures);
// The same for a file of this extension (without its dot), before it is opened.
QList<EmbeddedPicture> asKeptByExtension(const QString &extension, QList<EmbeddedPicture> pictures);
// Replaces every picture of file by pictures, in the tag a layout-keeping
// save writes; the file is not saved. Returns why it cannot, or the empty
// text when it did.
QString storeIn(TagLib::File *file, const QList<EmbeddedPicture> &pictures);

} // namespace embeddedpictures
