// SPDX-License-Identifier: GPL-3.0-or-later
#include "savecheck.h"

#include "checkedfilestream.h"
#include "taglibtext.h"

#include <taglib/aifffile.h>
#include <taglib/apetag.h>
#include <taglib/asffile.h>
#include <taglib/flacfile.h>
#include <taglib/id3v1tag.h>
#include <taglib/id3v2tag.h>
#include <taglib/mp4file.h>
#include <taglib/mpegfile.h>
#include <taglib/oggfile.h>
#include <taglib/tag.h>
#include <taglib/tbytevectorstream.h>
#include <taglib/vorbisfile.h>
#include <taglib/xiphcomment.h>
#include <taglib/trueaudiofile.h>
#include <taglib/wavfile.h>

#include <QtEndian>

#include <algorithm>
#include <cstring>
#include <memory>

namespace savecheck {

using filestructure::Format;

Format formatOf(const TagLib::File *file)
{
    if (dynamic_cast<const TagLib::MPEG::File *>(file))
        return Format::Mpeg;
    if (dynamic_cast<const TagLib::FLAC::File *>(file))
        return Format::Flac;
    if (dynamic_cast<const TagLib::MP4::File *>(file))
        return Format::Mp4;
    if (dynamic_cast<const TagLib::Ogg::File *>(file))
        return Format::Ogg;
    if (dynamic_cast<const TagLib::ASF::File *>(file))
        return Format::Asf;
    if (dynamic_cast<const TagLib::RIFF::WAV::File *>(file))
        return Format::Wav;
    if (dynamic_cast<const TagLib::RIFF::AIFF::File *>(file))
        return Format::Aiff;
    if (dynamic_cast<const TagLib::TrueAudio::File *>(file))
        return Format::TrueAudio;
    return Format::Other;
}

filestructure::Bytes original(CheckedFileStream &stream)
{
    return {[&stream](qint64 offset, char *buffer, qint64 size) { return stream.readOriginalAt(offset, buffer, size); },
            stream.originalLength(),
            {}};
}

filestructure::Bytes edited(CheckedFileStream &stream)
{
    return {[&stream](qint64 offset, char *buffer, qint64 size) { return stream.readAt(offset, buffer, size); },
            stream.length(),
            [&stream](qint64 offset, qint64 size) { return stream.originalOffset(offset, size); }};
}

TagLib::String firstText(const QList<const TagLib::Tag *> &tags, TagLib::String (TagLib::Tag::*get)() const)
{
    for (const TagLib::Tag *tag : tags) {
        TagLib::String value = (tag->*get)();
        if (!value.isEmpty())
            return value;
    }
    return {};
}

unsigned int firstNumber(const QList<const TagLib::Tag *> &tags, unsigned int (TagLib::Tag::*get)() const)
{
    for (const TagLib::Tag *tag : tags) {
        if (const unsigned int value = (tag->*get)(); value > 0)
            return value;
    }
    return 0;
}

QList<const TagLib::Tag *> tagsOf(TagLib::File *file, const TagLib::Tag &tag)
{
    QList<const TagLib::Tag *> tags;
    if (auto *mpeg = dynamic_cast<TagLib::MPEG::File *>(file))
        tags = {mpeg->ID3v2Tag(), mpeg->APETag(), mpeg->ID3v1Tag()};
    else if (auto *flac = dynamic_cast<TagLib::FLAC::File *>(file))
        tags = {flac->xiphComment(), flac->ID3v2Tag(), flac->ID3v1Tag()};
    else
        return {&tag};
    tags.removeAll(nullptr);
    return tags;
}

QVariantHash fields(const QList<const TagLib::Tag *> &tags)
{
    const auto text = [&tags](TagLib::String (TagLib::Tag::*get)() const) {
        return taglibtext::fromTagLib(firstText(tags, get));
    };
    return {{QStringLiteral("artist"), text(&TagLib::Tag::artist)},
            {QStringLiteral("name"), text(&TagLib::Tag::title)},
            {QStringLiteral("album"), text(&TagLib::Tag::album)},
            {QStringLiteral("comment"), text(&TagLib::Tag::comment)},
            {QStringLiteral("genre"), text(&TagLib::Tag::genre)},
            {QStringLiteral("year"), firstNumber(tags, &TagLib::Tag::year)},
            {QStringLiteral("number"), firstNumber(tags, &TagLib::Tag::track)}};
}

QVariantHash fields(const TagLib::Tag &tag)
{
    return fields(QList<const TagLib::Tag *>{&tag});
}

namespace {

QByteArray bytesAt(CheckedFileStream &stream, qint64 offset, qint64 size)
{
    QByteArray out;
    if (offset < 0 || size < 0 || offset + size > stream.length())
        return out;
    out.resize(size);
    if (stream.readAt(offset, out.data(), size) != size)
        out.clear();
    return out;
}

TagLib::ByteVector toByteVector(const QByteArray &bytes)
{
    return TagLib::ByteVector(bytes.constData(), static_cast<unsigned int>(bytes.size()));
}

// The frame an ID3v2 tag keeps a written field in; empty for a field that
// several frames make up.
QByteArray id3v2FrameOf(const QString &key)
{
    if (key == QLatin1String("name") || key == QLatin1String("title"))
        return "TIT2";
    if (key == QLatin1String("artist"))
        return "TPE1";
    if (key == QLatin1String("album"))
        return "TALB";
    if (key == QLatin1String("comment"))
        return "COMM";
    if (key == QLatin1String("genre"))
        return "TCON";
    return {};
}

// The ID3v2.3 or 2.4 tag at the start of a file, its header and every frame
// but those called skipped, each frame as its bytes. Nothing when the tag
// has flags that change how its frames read, or when its frames are not
// split beyond doubt: each followed by another frame's name, or by zero
// padding to the tag's end.
std::optional<QList<QByteArray>> id3v2FramesBut(const filestructure::ReadAt &readAt, const QByteArray &skipped)
{
    uchar header[10];
    if (readAt(0, reinterpret_cast<char *>(header), 10) != 10 || std::memcmp(header, "ID3", 3) != 0 ||
        (header[3] != 3 && header[3] != 4) || header[5] != 0 || (header[6] | header[7] | header[8] | header[9]) & 0x80)
        return std::nullopt;
    const qint64 end = 10 + (qint64(header[6]) << 21 | header[7] << 14 | header[8] << 7 | header[9]);
    QByteArray tag(end, Qt::Uninitialized);
    if (readAt(0, tag.data(), end) != end)
        return std::nullopt;
    const auto *p = reinterpret_cast<const uchar *>(tag.constData());
    QList<QByteArray> kept{tag.left(10)};
    qint64 at = 10;
    while (at < end && p[at] != 0) {
        if (end - at < 10 || !std::all_of(p + at, p + at + 4, filestructure::isFrameIdChar))
            return std::nullopt;
        qint64 size = qFromBigEndian<quint32>(p + at + 4);
        if (header[3] == 4) {
            if ((p[at + 4] | p[at + 5] | p[at + 6] | p[at + 7]) & 0x80)
                return std::nullopt;
            size = qint64(p[at + 4]) << 21 | p[at + 5] << 14 | p[at + 6] << 7 | p[at + 7];
        }
        if (size == 0 || size > end - at - 10)
            return std::nullopt;
        if (std::memcmp(p + at, skipped.constData(), 4) != 0)
            kept.append(tag.mid(at, 10 + size));
        at += 10 + size;
    }
    if (std::any_of(p + at, p + end, [](uchar c) { return c != 0; }))
        return std::nullopt;
    return kept;
}

std::optional<QVariantHash> mpegFields(TagLib::MPEG::File *mpeg, CheckedFileStream &stream, const QString &writtenKey)
{
    char head[3];
    if (mpeg->hasAPETag() || !mpeg->hasID3v2Tag() || stream.readAt(0, head, 3) != 3 || std::memcmp(head, "ID3", 3) != 0)
        return std::nullopt;
    // The tag in memory is the one read before the save with only the written field set since.
    std::unique_ptr<TagLib::ID3v2::Tag> readAgain;
    const TagLib::Tag *id3v2 = mpeg->ID3v2Tag();
    if (!keepsOtherId3v2Frames(stream, writtenKey)) {
        readAgain = std::make_unique<TagLib::ID3v2::Tag>(mpeg, 0);
        id3v2 = readAgain.get();
    }
    if (!mpeg->hasID3v1Tag())
        return fields(*id3v2);
    const TagLib::ID3v1::Tag id3v1(mpeg, static_cast<long>(stream.length() - 128));
    return fields({id3v2, &id3v1});
}

// The first atom called name among the atoms that fill [from, end), as
// TagLib's walk of the atoms finds it; nothing when it is not there or an
// atom on the way has a size TagLib would read otherwise.
std::optional<filestructure::Range> mp4Atom(CheckedFileStream &stream, qint64 from, qint64 end, const char *name)
{
    for (qint64 at = from; at + 8 <= end;) {
        uchar header[16];
        if (stream.readAt(at, reinterpret_cast<char *>(header), 8) != 8)
            return std::nullopt;
        qint64 size = qFromBigEndian<quint32>(header);
        if (size == 1) {
            if (stream.readAt(at + 8, reinterpret_cast<char *>(header + 8), 8) != 8)
                return std::nullopt;
            size = qint64(qFromBigEndian<quint64>(header + 8) & 0x7fffffffffffffffULL);
        }
        if (size < 8 || size > end - at)
            return std::nullopt;
        if (std::memcmp(header + 4, name, 4) == 0)
            return filestructure::Range{at, size};
        at += size;
    }
    return std::nullopt;
}

// TagLib finds an MP4 file's fields in moov.udta.meta.ilst alone, so they
// read back from a movie atom that holds nothing but the saved user data,
// without the walk through every track's tables.
std::optional<QVariantHash> mp4Fields(CheckedFileStream &stream)
{
    const auto moov = mp4Atom(stream, 0, stream.length(), "moov");
    if (!moov)
        return std::nullopt;
    const auto udta = mp4Atom(stream, moov->offset + 8, moov->offset + moov->size, "udta");
    if (!udta || udta->size > 0x7fffffff - 8)
        return std::nullopt;
    QByteArray movie(8, Qt::Uninitialized);
    qToBigEndian<quint32>(quint32(8 + udta->size), movie.data());
    std::memcpy(movie.data() + 4, "moov", 4);
    const QByteArray userData = bytesAt(stream, udta->offset, udta->size);
    if (userData.size() != udta->size)
        return std::nullopt;
    movie += userData;
    TagLib::ByteVectorStream bytes(toByteVector(movie));
    TagLib::MP4::File mp4(&bytes, false);
    if (!mp4.isValid() || !mp4.tag())
        return std::nullopt;
    return fields(*mp4.tag());
}

// The Vorbis comment of a FLAC stream without ID3 tags around it: TagLib
// reads the first such metadata block.
std::optional<QVariantHash> flacFields(CheckedFileStream &stream)
{
    char head[4];
    if (stream.readAt(0, head, 4) != 4 || std::memcmp(head, "fLaC", 4) != 0)
        return std::nullopt;
    if (stream.length() >= 128 + 4 && stream.readAt(stream.length() - 128, head, 3) == 3 &&
        std::memcmp(head, "TAG", 3) == 0)
        return std::nullopt;
    qint64 at = 4;
    for (bool last = false; !last;) {
        uchar header[4];
        if (stream.readAt(at, reinterpret_cast<char *>(header), 4) != 4)
            return std::nullopt;
        last = header[0] & 0x80;
        const int type = header[0] & 0x7f;
        const qint64 size = qint64(header[1]) << 16 | header[2] << 8 | header[3];
        if (type == 4) {
            const QByteArray block = bytesAt(stream, at + 4, size);
            if (block.size() != size)
                return std::nullopt;
            return fields(TagLib::Ogg::XiphComment(toByteVector(block)));
        }
        at += 4 + size;
    }
    return fields(TagLib::Ogg::XiphComment());
}

// Packet number wanted of an Ogg stream whose pages, up to that packet, all
// belong to its first logical stream; nothing otherwise.
std::optional<QByteArray> oggPacket(CheckedFileStream &stream, int wanted)
{
    QByteArray packet;
    int index = 0;
    quint32 serial = 0;
    for (qint64 at = 0; at < stream.length();) {
        uchar header[27 + 255];
        if (stream.readAt(at, reinterpret_cast<char *>(header), 27) != 27 || std::memcmp(header, "OggS", 4) != 0)
            return std::nullopt;
        const quint32 pageSerial = qFromLittleEndian<quint32>(header + 14);
        if (at == 0)
            serial = pageSerial;
        else if (pageSerial != serial)
            return std::nullopt;
        const int segments = header[26];
        if (stream.readAt(at + 27, reinterpret_cast<char *>(header + 27), segments) != segments)
            return std::nullopt;
        qint64 body = at + 27 + segments;
        for (int i = 0; i < segments; ++i) {
            const int size = header[27 + i];
            if (index == wanted) {
                const QByteArray part = bytesAt(stream, body, size);
                if (part.size() != size)
                    return std::nullopt;
                packet += part;
            }
            body += size;
            if (size < 255 && index++ == wanted)
                return packet;
        }
        at = body;
    }
    return std::nullopt;
}

std::optional<QVariantHash> vorbisFields(CheckedFileStream &stream)
{
    const std::optional<QByteArray> packet = oggPacket(stream, 1);
    if (!packet || !packet->startsWith("\x03vorbis"))
        return std::nullopt;
    return fields(TagLib::Ogg::XiphComment(toByteVector(packet->mid(7))));
}

} // namespace

bool keepsOtherId3v2Frames(CheckedFileStream &stream, const QString &writtenKey)
{
    const QByteArray written = id3v2FrameOf(writtenKey);
    if (written.isEmpty())
        return false;
    const auto before = id3v2FramesBut(
        [&stream](qint64 offset, char *buffer, qint64 size) { return stream.readOriginalAt(offset, buffer, size); }, written);
    if (!before)
        return false;
    const auto after = id3v2FramesBut(
        [&stream](qint64 offset, char *buffer, qint64 size) { return stream.readAt(offset, buffer, size); }, written);
    return after && *after == *before;
}

std::optional<QVariantHash> fieldsAfterSave(TagLib::File *file, CheckedFileStream &stream, const QString &writtenKey)
{
    if (auto *mpeg = dynamic_cast<TagLib::MPEG::File *>(file))
        return mpegFields(mpeg, stream, writtenKey);
    if (dynamic_cast<TagLib::MP4::File *>(file))
        return mp4Fields(stream);
    if (dynamic_cast<TagLib::FLAC::File *>(file))
        return flacFields(stream);
    if (dynamic_cast<TagLib::Ogg::Vorbis::File *>(file))
        return vorbisFields(stream);
    return std::nullopt;
}

QString lostField(const QVariantHash &before, const QVariantHash &after, const QString &writtenKey)
{
    const QString written = writtenKey == QLatin1String("title") ? QStringLiteral("name") : writtenKey;
    for (auto it = before.cbegin(); it != before.cend(); ++it) {
        if (it.key() == written || after.value(it.key()) == it.value())
            continue;
        const QString key = it.key() == QLatin1String("name") ? QStringLiteral("title") : it.key();
        return QStringLiteral("change its %1 from \"%2\" to \"%3\"")
            .arg(key, it.value().toString().left(100), after.value(it.key()).toString().left(100));
    }
    return {};
}

} // namespace savecheck
