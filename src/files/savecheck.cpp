// SPDX-License-Identifier: GPL-3.0-or-later
#include "savecheck.h"

#include "checkedfilestream.h"
#include "taglibtext.h"
#include "wavtags.h"

#include <taglib/aifffile.h>
#include <taglib/apetag.h>
#include <taglib/asffile.h>
#include <taglib/flacfile.h>
#include <taglib/id3v1tag.h>
#include <taglib/id3v2tag.h>
#include <taglib/mp4file.h>
#include <taglib/mpcfile.h>
#include <taglib/mpegfile.h>
#include <taglib/oggfile.h>
#include <taglib/tag.h>
#include <taglib/tbytevectorstream.h>
#include <taglib/vorbisfile.h>
#include <taglib/xiphcomment.h>
#include <taglib/trueaudiofile.h>
#include <taglib/wavfile.h>

#include <QtEndian>

#include <cstring>

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
    if (dynamic_cast<const TagLib::MPC::File *>(file))
        return Format::Musepack;
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

namespace {

// The fields a save must keep, each with the getter that reads it.
struct FieldGetter {
    const char *key;
    TagLib::String (TagLib::Tag::*text)() const;
    unsigned int (TagLib::Tag::*number)() const;
};
constexpr FieldGetter fieldGetters[] = {
    {"artist", &TagLib::Tag::artist, nullptr}, {"name", &TagLib::Tag::title, nullptr},
    {"album", &TagLib::Tag::album, nullptr},   {"comment", &TagLib::Tag::comment, nullptr},
    {"genre", &TagLib::Tag::genre, nullptr},   {"year", nullptr, &TagLib::Tag::year},
    {"number", nullptr, &TagLib::Tag::track},
};

QVariant valueOf(const QList<const TagLib::Tag *> &tags, const FieldGetter &getter)
{
    if (getter.text)
        return taglibtext::fromTagLib(firstText(tags, getter.text));
    return firstNumber(tags, getter.number);
}

// Where key stands among the fields; -1 for a key that is not one.
qsizetype indexOf(const QString &key)
{
    for (size_t i = 0; i < std::size(fieldGetters); ++i) {
        if (key == QLatin1String(fieldGetters[i].key))
            return qsizetype(i);
    }
    return -1;
}

} // namespace

QVariant Fields::value(const QString &key) const
{
    const qsizetype i = indexOf(key);
    return i < 0 ? QVariant() : values_[size_t(i)];
}

Fields fields(const QList<const TagLib::Tag *> &tags)
{
    static_assert(std::size(fieldGetters) == std::tuple_size_v<decltype(Fields::values_)>);
    Fields values;
    for (size_t i = 0; i < std::size(fieldGetters); ++i)
        values.values_[i] = valueOf(tags, fieldGetters[i]);
    return values;
}

QVariant field(const QList<const TagLib::Tag *> &tags, const QString &key)
{
    const qsizetype i = indexOf(key);
    return i < 0 ? QVariant() : valueOf(tags, fieldGetters[i]);
}

Fields fields(const TagLib::Tag &tag)
{
    return fields(QList<const TagLib::Tag *>{&tag});
}

namespace {

QByteArray bytesAt(const filestructure::Bytes &bytes, qint64 offset, qint64 size)
{
    QByteArray out;
    if (offset < 0 || size < 0 || offset + size > bytes.length)
        return out;
    out.resize(size);
    if (bytes.readAt(offset, out.data(), size) != size)
        out.clear();
    return out;
}

TagLib::ByteVector toByteVector(const QByteArray &bytes)
{
    return TagLib::ByteVector(bytes.constData(), static_cast<unsigned int>(bytes.size()));
}

std::optional<Fields> mpegFields(TagLib::MPEG::File *mpeg, CheckedFileStream &stream)
{
    char head[3];
    if (mpeg->hasAPETag() || !mpeg->hasID3v2Tag() || stream.readAt(0, head, 3) != 3 || std::memcmp(head, "ID3", 3) != 0)
        return std::nullopt;
    // Read again, not taken from memory: what TagLib holds for a frame is not
    // always what it wrote.
    const TagLib::ID3v2::Tag id3v2(mpeg, 0);
    if (!mpeg->hasID3v1Tag())
        return fields(id3v2);
    const TagLib::ID3v1::Tag id3v1(mpeg, static_cast<long>(stream.length() - 128));
    return fields({&id3v2, &id3v1});
}

// The first atom called name among the atoms that fill [from, end), as
// TagLib's walk of the atoms finds it; nothing when it is not there or an
// atom on the way has a size TagLib would read otherwise.
std::optional<filestructure::Range> mp4Atom(const filestructure::ReadAt &readAt, qint64 from, qint64 end,
                                            const char *name)
{
    for (qint64 at = from; at + 8 <= end;) {
        uchar header[16];
        if (readAt(at, reinterpret_cast<char *>(header), 8) != 8)
            return std::nullopt;
        qint64 size = qFromBigEndian<quint32>(header);
        if (size == 1) {
            if (readAt(at + 8, reinterpret_cast<char *>(header + 8), 8) != 8)
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
std::optional<Fields> mp4Fields(CheckedFileStream &stream)
{
    const filestructure::ReadAt readAt = [&stream](qint64 offset, char *buffer, qint64 size) {
        return stream.readAt(offset, buffer, size);
    };
    const auto moov = mp4Atom(readAt, 0, stream.length(), "moov");
    if (!moov)
        return std::nullopt;
    const auto udta = mp4Atom(readAt, moov->offset + 8, moov->offset + moov->size, "udta");
    if (!udta || udta->size > 0x7fffffff - 8)
        return std::nullopt;
    QByteArray movie(8, Qt::Uninitialized);
    qToBigEndian<quint32>(quint32(8 + udta->size), movie.data());
    std::memcpy(movie.data() + 4, "moov", 4);
    const QByteArray userData = bytesAt(edited(stream), udta->offset, udta->size);
    if (userData.size() != udta->size)
        return std::nullopt;
    movie += userData;
    TagLib::ByteVectorStream bytes(toByteVector(movie));
    TagLib::MP4::File mp4(&bytes, false);
    if (!mp4.isValid() || !mp4.tag())
        return std::nullopt;
    return fields(*mp4.tag());
}

// The Vorbis comment block of a FLAC stream without ID3 tags around it, as
// TagLib reads the first such metadata block; a null array when there is
// none. Nothing when the stream is not laid out so.
std::optional<QByteArray> flacComment(const filestructure::Bytes &bytes)
{
    char head[4];
    if (bytes.readAt(0, head, 4) != 4 || std::memcmp(head, "fLaC", 4) != 0)
        return std::nullopt;
    if (bytes.length >= 128 + 4 && bytes.readAt(bytes.length - 128, head, 3) == 3 && std::memcmp(head, "TAG", 3) == 0)
        return std::nullopt;
    qint64 at = 4;
    for (bool last = false; !last;) {
        uchar header[4];
        if (bytes.readAt(at, reinterpret_cast<char *>(header), 4) != 4)
            return std::nullopt;
        last = header[0] & 0x80;
        const int type = header[0] & 0x7f;
        const qint64 size = qint64(header[1]) << 16 | header[2] << 8 | header[3];
        if (type == 4) {
            QByteArray block = bytesAt(bytes, at + 4, size);
            if (block.size() != size)
                return std::nullopt;
            return block.isNull() ? QByteArray("") : block;
        }
        at += 4 + size;
    }
    return QByteArray();
}

// Packet number wanted of an Ogg stream whose pages, up to that packet, all
// belong to its first logical stream; nothing otherwise.
std::optional<QByteArray> oggPacket(const filestructure::Bytes &bytes, int wanted)
{
    QByteArray packet;
    int index = 0;
    quint32 serial = 0;
    for (qint64 at = 0; at < bytes.length;) {
        uchar header[27 + 255];
        if (bytes.readAt(at, reinterpret_cast<char *>(header), 27) != 27 || std::memcmp(header, "OggS", 4) != 0)
            return std::nullopt;
        const quint32 pageSerial = qFromLittleEndian<quint32>(header + 14);
        if (at == 0)
            serial = pageSerial;
        else if (pageSerial != serial)
            return std::nullopt;
        const int segments = header[26];
        if (bytes.readAt(at + 27, reinterpret_cast<char *>(header + 27), segments) != segments)
            return std::nullopt;
        qint64 body = at + 27 + segments;
        for (int i = 0; i < segments; ++i) {
            const int size = header[27 + i];
            if (index == wanted) {
                const QByteArray part = bytesAt(bytes, body, size);
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

// The Vorbis comment of an Ogg Vorbis stream, without its packet's type and
// signature; nothing when it is not where it should be.
std::optional<QByteArray> vorbisComment(const filestructure::Bytes &bytes)
{
    const std::optional<QByteArray> packet = oggPacket(bytes, 1);
    if (!packet || !packet->startsWith("\x03vorbis"))
        return std::nullopt;
    return packet->mid(7);
}

// The fields of a saved Vorbis comment; nothing when it is not where it should be.
std::optional<Fields> xiphFields(const std::optional<QByteArray> &comment)
{
    if (!comment)
        return std::nullopt;
    if (comment->isNull())
        return fields(TagLib::Ogg::XiphComment());
    return fields(TagLib::Ogg::XiphComment(toByteVector(*comment)));
}

} // namespace

std::optional<Fields> fieldsAfterSave(TagLib::File *file, CheckedFileStream &stream)
{
    if (auto *mpeg = dynamic_cast<TagLib::MPEG::File *>(file))
        return mpegFields(mpeg, stream);
    if (dynamic_cast<TagLib::MP4::File *>(file))
        return mp4Fields(stream);
    if (dynamic_cast<TagLib::FLAC::File *>(file))
        return xiphFields(flacComment(edited(stream)));
    if (dynamic_cast<TagLib::RIFF::WAV::File *>(file)) {
        // Read back as the format it is, sparing the guessing of it from the bytes.
        stream.seek(0);
        TagLib::RIFF::WAV::File wav(&stream, false);
        if (!wav.isValid())
            return std::nullopt;
        return fields(WavTags(wav));
    }
    if (dynamic_cast<TagLib::Ogg::Vorbis::File *>(file))
        return xiphFields(vorbisComment(edited(stream)));
    return std::nullopt;
}

QString lostField(const Fields &before, const Fields &after, const QString &writtenKey)
{
    const QString written = writtenKey == QLatin1String("title") ? QStringLiteral("name") : writtenKey;
    for (size_t i = 0; i < std::size(fieldGetters); ++i) {
        const QLatin1String field(fieldGetters[i].key);
        if (field == written || after.values_[i] == before.values_[i])
            continue;
        const QString key = field == QLatin1String("name") ? QStringLiteral("title") : QString(field);
        return QStringLiteral("change its %1 from \"%2\" to \"%3\"")
            .arg(key, before.values_[i].toString().left(100), after.values_[i].toString().left(100));
    }
    return {};
}

} // namespace savecheck
