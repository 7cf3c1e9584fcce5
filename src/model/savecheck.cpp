// SPDX-License-Identifier: GPL-3.0-or-later
#include "savecheck.h"

#include "checkedfilestream.h"
#include "taglibtext.h"

#include <taglib/aifffile.h>
#include <taglib/asffile.h>
#include <taglib/flacfile.h>
#include <taglib/id3v1tag.h>
#include <taglib/id3v2tag.h>
#include <taglib/mp4file.h>
#include <taglib/mpegfile.h>
#include <taglib/oggfile.h>
#include <taglib/tag.h>
#include <taglib/trueaudiofile.h>
#include <taglib/wavfile.h>

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

QVariantHash fields(const QList<const TagLib::Tag *> &tags)
{
    QVariantHash merged;
    for (const TagLib::Tag *tag : tags) {
        const QVariantHash one = fields(*tag);
        for (auto it = one.cbegin(); it != one.cend(); ++it) {
            const QVariant &have = merged[it.key()];
            if (!have.isValid() || have.toString().isEmpty() || have == QVariant(0u))
                merged[it.key()] = it.value();
        }
    }
    return merged;
}

std::optional<QVariantHash> mpegFieldsAfterSave(TagLib::File *file, CheckedFileStream &stream)
{
    auto *mpeg = dynamic_cast<TagLib::MPEG::File *>(file);
    char head[3];
    if (!mpeg || mpeg->hasAPETag() || !mpeg->hasID3v2Tag() || stream.readAt(0, head, 3) != 3 ||
        std::memcmp(head, "ID3", 3) != 0)
        return std::nullopt;
    const TagLib::ID3v2::Tag id3v2(mpeg, 0);
    if (!mpeg->hasID3v1Tag())
        return fields(id3v2);
    const TagLib::ID3v1::Tag id3v1(mpeg, static_cast<long>(stream.length() - 128));
    return fields({&id3v2, &id3v1});
}

QVariantHash fields(const TagLib::Tag &tag)
{
    using taglibtext::fromTagLib;
    return {{QStringLiteral("artist"), fromTagLib(tag.artist())},
            {QStringLiteral("name"), fromTagLib(tag.title())},
            {QStringLiteral("album"), fromTagLib(tag.album())},
            {QStringLiteral("comment"), fromTagLib(tag.comment())},
            {QStringLiteral("genre"), fromTagLib(tag.genre())},
            {QStringLiteral("year"), tag.year()},
            {QStringLiteral("number"), tag.track()}};
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
