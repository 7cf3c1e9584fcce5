// SPDX-License-Identifier: GPL-3.0-or-later
#include "embeddedpictures.h"

#include "taglibtext.h"

#include <QCryptographicHash>
#include <QHash>
#include <QLocale>
#include <QRegularExpression>
#include <mutex>
#include <shared_mutex>

#include <taglib/apefile.h>
#include <taglib/apetag.h>
#include <taglib/asffile.h>
#include <taglib/asftag.h>
#include <taglib/attachedpictureframe.h>
#include <taglib/flacfile.h>
#include <taglib/flacpicture.h>
#include <taglib/id3v2tag.h>
#include <taglib/mp4file.h>
#include <taglib/mp4tag.h>
#include <taglib/mpcfile.h>
#include <taglib/mpegfile.h>
#include <taglib/opusfile.h>
#include <taglib/vorbisfile.h>
#include <taglib/wavpackfile.h>
#include <taglib/xiphcomment.h>

namespace embeddedpictures {
namespace {

using taglibtext::fromTagLib;
using taglibtext::toTagLib;

struct TypeNames {
    const char *name;
    const char *shortName;
    const char *apeName; // after "Cover Art (" in an APE item's key
};

const TypeNames types[] = {
    {"Other", "other", "Other"},
    {"File Icon", "icon", "Icon"},
    {"Other File Icon", "other-icon", "Other Icon"},
    {"Front Cover", "front", "Front"},
    {"Back Cover", "back", "Back"},
    {"Leaflet Page", "leaflet", "Leaflet"},
    {"Media", "media", "Media"},
    {"Lead Artist", "lead-artist", "Lead Artist"},
    {"Artist", "artist", "Artist"},
    {"Conductor", "conductor", "Conductor"},
    {"Band", "band", "Band"},
    {"Composer", "composer", "Composer"},
    {"Lyricist", "lyricist", "Lyricist"},
    {"Recording Location", "recording-location", "Recording Location"},
    {"During Recording", "during-recording", "During Recording"},
    {"During Performance", "during-performance", "During Performance"},
    {"Movie Screen Capture", "screen-capture", "Video Capture"},
    {"Coloured Fish", "fish", "Fish"},
    {"Illustration", "illustration", "Illustration"},
    {"Band Logo", "band-logo", "Band Logo"},
    {"Publisher Logo", "publisher-logo", "Publisher Logo"},
};
constexpr int typeCount = int(sizeof types / sizeof types[0]);

int knownType(int type)
{
    return type >= 0 && type < typeCount ? type : 0;
}

QString apeKey(int type)
{
    return QStringLiteral("Cover Art (%1)").arg(QLatin1String(types[knownType(type)].apeName));
}

struct Bank {
    std::shared_mutex mutex;
    QHash<QString, QByteArray> bytes;
};

Bank &bank()
{
    static Bank instance;
    return instance;
}

QString sizeText(qsizetype bytes)
{
    return QLocale::c().formattedDataSize(bytes, 1, QLocale::DataSizeTraditionalFormat);
}

// A description is free text: the characters that end an entry or its
// quotes are escaped with a backslash.
QString escaped(const QString &text)
{
    QString out;
    for (const QChar c : text) {
        if (c == QLatin1Char('\\') || c == QLatin1Char(';') || c == QChar(0x201D))
            out += QLatin1Char('\\');
        out += c;
    }
    return out;
}

QStringList entriesOf(const QString &value)
{
    QStringList entries;
    QString current;
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value.at(i);
        if (c == QLatin1Char('\\') && i + 1 < value.size()) {
            current += c;
            current += value.at(++i);
        } else if (c == QLatin1Char(';') && value.mid(i + 1, 1) == QLatin1String(" ")) {
            entries << current;
            current.clear();
            ++i;
        } else {
            current += c;
        }
    }
    if (!current.isEmpty())
        entries << current;
    return entries;
}

QString unescaped(const QString &text)
{
    QString out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i) == QLatin1Char('\\') && i + 1 < text.size())
            ++i;
        out += text.at(i);
    }
    return out;
}

struct Entry {
    int type = 0;
    QString mime;
    QString hash;
    QString description;
    QString shown; // without the hash
};

std::optional<Entry> parsedEntry(const QString &entry)
{
    // "Type, mime, W×H, size #hash" then perhaps " “description”".
    static const QRegularExpression pattern(QStringLiteral("^([^,]+), ([^,]*), ([^#]*) #([0-9a-f]{16})(?: “(.*)”)?$"),
                                            QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch match = pattern.match(entry);
    if (!match.hasMatch())
        return std::nullopt;
    const std::optional<int> type = typeNamed(match.captured(1));
    if (!type)
        return std::nullopt;
    Entry parsed{*type, match.captured(2), match.captured(4), unescaped(match.captured(5)), {}};
    parsed.shown = QStringLiteral("%1, %2, %3").arg(match.captured(1), match.captured(2), match.captured(3));
    if (match.capturedLength(5) > 0)
        parsed.shown += QStringLiteral(" “%1”").arg(parsed.description);
    return parsed;
}

TagLib::ByteVector bytesOf(const QByteArray &data)
{
    return TagLib::ByteVector(data.constData(), static_cast<unsigned int>(data.size()));
}

QByteArray bytesOf(const TagLib::ByteVector &data)
{
    return QByteArray(data.data(), qsizetype(data.size()));
}

EmbeddedPicture fromFlac(const TagLib::FLAC::Picture &picture)
{
    return {int(picture.type()), fromTagLib(picture.mimeType()), fromTagLib(picture.description()),
            bytesOf(picture.data())};
}

TagLib::FLAC::Picture *toFlac(const EmbeddedPicture &picture)
{
    auto *flac = new TagLib::FLAC::Picture;
    flac->setType(TagLib::FLAC::Picture::Type(knownType(picture.type)));
    flac->setMimeType(toTagLib(picture.mime));
    flac->setDescription(toTagLib(picture.description));
    flac->setData(bytesOf(picture.data));
    const QSize size = pixelSize(picture.data);
    if (size.isValid()) {
        flac->setWidth(size.width());
        flac->setHeight(size.height());
    }
    return flac;
}

// ASF keeps the first picture apart from the others, and TagLib reads the two
// places in another order than it writes them: the pictures of an ASF file
// are taken in an order of their own, by type, description and bytes.
void inAsfOrder(QList<EmbeddedPicture> &pictures)
{
    std::stable_sort(pictures.begin(), pictures.end(), [](const EmbeddedPicture &a, const EmbeddedPicture &b) {
        if (a.type != b.type)
            return a.type < b.type;
        if (a.description != b.description)
            return a.description < b.description;
        return a.data < b.data;
    });
}

TagLib::Ogg::XiphComment *oggComment(TagLib::File *file)
{
    if (auto *vorbis = dynamic_cast<TagLib::Ogg::Vorbis::File *>(file))
        return vorbis->tag();
    if (auto *opus = dynamic_cast<TagLib::Ogg::Opus::File *>(file))
        return opus->tag();
    return nullptr;
}

TagLib::APE::Tag *apeTag(TagLib::File *file, bool create)
{
    if (auto *wavpack = dynamic_cast<TagLib::WavPack::File *>(file))
        return wavpack->APETag(create);
    if (auto *ape = dynamic_cast<TagLib::APE::File *>(file))
        return ape->APETag(create);
    if (auto *mpc = dynamic_cast<TagLib::MPC::File *>(file))
        return mpc->APETag(create);
    return nullptr;
}

} // namespace

QString typeName(int type)
{
    return QLatin1String(types[knownType(type)].name);
}

std::optional<int> typeNamed(const QString &name)
{
    const QString wanted = name.trimmed();
    for (int t = 0; t < typeCount; ++t) {
        if (wanted.compare(QLatin1String(types[t].name), Qt::CaseInsensitive) == 0 ||
            wanted.compare(QLatin1String(types[t].shortName), Qt::CaseInsensitive) == 0)
            return t;
    }
    bool ok = false;
    const int number = wanted.toInt(&ok);
    return ok && number >= 0 && number < typeCount ? std::optional<int>(number) : std::nullopt;
}

QStringList typeShortNames()
{
    QStringList names;
    for (const TypeNames &t : types)
        names << QLatin1String(t.shortName);
    return names;
}

QString hashOf(const QByteArray &data)
{
    // A run hands the same shared bytes to every track: the last ones hashed
    // (held, so that their address cannot be taken by others) are known again.
    thread_local QByteArray last;
    thread_local QString lastHash;
    if (!data.isEmpty() && data.constData() == last.constData() && data.size() == last.size())
        return lastHash;
    last = data;
    // SHA-1, three times as fast as SHA-256 here: the hash tells pictures
    // apart, it guards nothing against an adversary.
    lastHash = QString::fromLatin1(QCryptographicHash::hash(data, QCryptographicHash::Sha1).left(8).toHex());
    return lastHash;
}

QString mimeOf(const QByteArray &data)
{
    if (data.startsWith("\xFF\xD8\xFF"))
        return QStringLiteral("image/jpeg");
    if (data.startsWith("\x89PNG\r\n\x1A\n"))
        return QStringLiteral("image/png");
    return {};
}

QSize pixelSize(const QByteArray &data)
{
    const auto byte = [&data](qsizetype i) { return i < data.size() ? int(uchar(data.at(i))) : -1; };
    const auto word = [&byte](qsizetype i) { return byte(i) < 0 || byte(i + 1) < 0 ? -1 : byte(i) << 8 | byte(i + 1); };
    if (data.startsWith("\x89PNG\r\n\x1A\n") && data.size() >= 24 && data.mid(12, 4) == "IHDR") {
        const auto big = [&word](qsizetype i) { return word(i) << 16 | word(i + 2); };
        return QSize(big(16), big(20));
    }
    if (!data.startsWith("\xFF\xD8"))
        return {};
    for (qsizetype i = 2; i + 9 < data.size();) {
        if (byte(i) != 0xFF)
            return {};
        const int marker = byte(i + 1);
        if (marker == 0xFF) {
            ++i;
            continue;
        }
        if (marker == 0xD8 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {
            i += 2;
            continue;
        }
        // Start of frame markers, but not DHT, JPG and DAC, which share their range.
        if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC)
            return QSize(word(i + 7), word(i + 5));
        if (marker == 0xD9 || marker == 0xDA)
            return {};
        const int length = word(i + 2);
        if (length < 2)
            return {};
        i += 2 + length;
    }
    return {};
}

void keep(const QByteArray &data)
{
    const QString hash = hashOf(data);
    Bank &b = bank();
    {
        std::shared_lock lock(b.mutex);
        if (b.bytes.contains(hash))
            return;
    }
    std::unique_lock lock(b.mutex);
    b.bytes.insert(hash, data);
}

std::optional<QByteArray> kept(const QString &hash)
{
    Bank &b = bank();
    std::shared_lock lock(b.mutex);
    const auto found = b.bytes.constFind(hash);
    return found == b.bytes.cend() ? std::nullopt : std::optional<QByteArray>(*found);
}

QString valueOf(const QList<EmbeddedPicture> &pictures)
{
    QStringList entries;
    for (const EmbeddedPicture &picture : pictures) {
        keep(picture.data);
        const QSize size = pixelSize(picture.data);
        // A MIME type holds no comma or space; one that does is kept out of the way of the entry's parts.
        const QString mime = QString(picture.mime).remove(QRegularExpression(QStringLiteral("[,\\s]")));
        QString entry = QStringLiteral("%1, %2, %3%4 #%5")
                            .arg(typeName(picture.type), mime.isEmpty() ? QStringLiteral("?") : mime,
                                 size.isValid() ? QStringLiteral("%1×%2, ").arg(size.width()).arg(size.height())
                                                : QString(),
                                 sizeText(picture.data.size()), hashOf(picture.data));
        if (!picture.description.isEmpty())
            entry += QStringLiteral(" “%1”").arg(escaped(picture.description));
        entries << entry;
    }
    return entries.join(QStringLiteral("; "));
}

std::optional<QList<EmbeddedPicture>> picturesOf(const QString &value)
{
    QList<EmbeddedPicture> pictures;
    for (const QString &text : entriesOf(value)) {
        const std::optional<Entry> entry = parsedEntry(text);
        if (!entry)
            return std::nullopt;
        std::optional<QByteArray> data = kept(entry->hash);
        if (!data)
            return std::nullopt;
        pictures << EmbeddedPicture{entry->type, entry->mime == QLatin1String("?") ? QString() : entry->mime,
                                    entry->description, *std::move(data)};
    }
    return pictures;
}

QString shortSummary(const QString &value)
{
    QStringList lines;
    for (const QString &text : entriesOf(value)) {
        const std::optional<Entry> entry = parsedEntry(text);
        lines << (entry ? entry->shown : text);
    }
    return lines.join(QLatin1Char('\n'));
}

QStringList hashesOf(const QString &value)
{
    QStringList hashes;
    for (const QString &text : entriesOf(value)) {
        if (const std::optional<Entry> entry = parsedEntry(text))
            hashes << entry->hash;
    }
    return hashes;
}

bool holdsPicturesByExtension(const QString &extension)
{
    static const QStringList holding = {"mp3", "flac", "ogg", "oga", "opus", "m4a", "m4b", "m4p", "m4r", "m4v",
                                        "mp4", "3g2", "wv", "ape", "mpc", "asf", "wma"};
    return holding.contains(extension.toLower());
}

bool holdsPictures(TagLib::File *file)
{
    return dynamic_cast<TagLib::MPEG::File *>(file) || dynamic_cast<TagLib::FLAC::File *>(file) ||
           oggComment(file) || dynamic_cast<TagLib::MP4::File *>(file) || apeTag(file, false) ||
           dynamic_cast<TagLib::WavPack::File *>(file) || dynamic_cast<TagLib::APE::File *>(file) ||
           dynamic_cast<TagLib::MPC::File *>(file) || dynamic_cast<TagLib::ASF::File *>(file);
}

QList<EmbeddedPicture> readFrom(TagLib::File *file)
{
    QList<EmbeddedPicture> pictures;
    if (auto *mpeg = dynamic_cast<TagLib::MPEG::File *>(file)) {
        if (!mpeg->hasID3v2Tag())
            return pictures;
        for (TagLib::ID3v2::Frame *frame : mpeg->ID3v2Tag()->frameList("APIC")) {
            if (auto *apic = dynamic_cast<TagLib::ID3v2::AttachedPictureFrame *>(frame))
                pictures << EmbeddedPicture{int(apic->type()), fromTagLib(apic->mimeType()),
                                            fromTagLib(apic->description()), bytesOf(apic->picture())};
        }
    } else if (auto *flac = dynamic_cast<TagLib::FLAC::File *>(file)) {
        for (const TagLib::FLAC::Picture *picture : flac->pictureList())
            pictures << fromFlac(*picture);
    } else if (TagLib::Ogg::XiphComment *comment = oggComment(file)) {
        for (const TagLib::FLAC::Picture *picture : comment->pictureList())
            pictures << fromFlac(*picture);
    } else if (auto *mp4 = dynamic_cast<TagLib::MP4::File *>(file)) {
        if (!mp4->hasMP4Tag() || !mp4->tag()->contains("covr"))
            return pictures;
        for (const TagLib::MP4::CoverArt &art : mp4->tag()->item("covr").toCoverArtList()) {
            const QByteArray data = bytesOf(art.data());
            pictures << EmbeddedPicture{frontCover, mimeOf(data), {}, data};
        }
    } else if (TagLib::APE::Tag *ape = apeTag(file, false)) {
        // The items in the order of the types, as the tag's map keeps no other.
        for (int t = 0; t < typeCount; ++t) {
            const TagLib::String key = toTagLib(apeKey(t)).upper();
            const auto found = ape->itemListMap().find(key);
            if (found == ape->itemListMap().end() || found->second.type() != TagLib::APE::Item::Binary)
                continue;
            const TagLib::ByteVector value = found->second.binaryData();
            // A file name, a zero byte, then the picture.
            const int zero = value.find(TagLib::ByteVector(1, '\0'));
            const QByteArray data = bytesOf(zero < 0 ? value : value.mid(unsigned(zero) + 1));
            const QString description = zero < 0 ? QString() : fromTagLib(TagLib::String(value.mid(0, unsigned(zero)), TagLib::String::UTF8));
            pictures << EmbeddedPicture{t, mimeOf(data), description, data};
        }
    } else if (auto *asf = dynamic_cast<TagLib::ASF::File *>(file)) {
        if (!asf->tag())
            return pictures;
        for (const TagLib::ASF::Attribute &attribute : asf->tag()->attribute("WM/Picture")) {
            const TagLib::ASF::Picture picture = attribute.toPicture();
            if (picture.isValid())
                pictures << EmbeddedPicture{int(picture.type()), fromTagLib(picture.mimeType()),
                                            fromTagLib(picture.description()), bytesOf(picture.picture())};
        }
        inAsfOrder(pictures);
    }
    return pictures;
}

namespace {

enum class Layout { Full, Mp4, Ape, Asf };

Layout layoutOf(TagLib::File *file)
{
    if (dynamic_cast<TagLib::MP4::File *>(file))
        return Layout::Mp4;
    if (dynamic_cast<TagLib::WavPack::File *>(file) || dynamic_cast<TagLib::APE::File *>(file) ||
        dynamic_cast<TagLib::MPC::File *>(file))
        return Layout::Ape;
    if (dynamic_cast<TagLib::ASF::File *>(file))
        return Layout::Asf;
    return Layout::Full;
}

QList<EmbeddedPicture> asKept(Layout layout, QList<EmbeddedPicture> pictures)
{
    if (layout == Layout::Mp4) {
        for (EmbeddedPicture &picture : pictures) {
            picture.type = frontCover;
            picture.description.clear();
            picture.mime = mimeOf(picture.data);
        }
    } else if (layout == Layout::Ape) {
        // One item per type; the last picture of a type wins, in the order of the types.
        QList<EmbeddedPicture> byType;
        for (int t = 0; t < typeCount; ++t) {
            for (auto it = pictures.crbegin(); it != pictures.crend(); ++it) {
                if (knownType(it->type) == t) {
                    EmbeddedPicture kept = *it;
                    kept.type = t;
                    kept.mime = mimeOf(kept.data);
                    byType << kept;
                    break;
                }
            }
        }
        return byType;
    } else if (layout == Layout::Asf) {
        inAsfOrder(pictures);
    }
    return pictures;
}

} // namespace

QList<EmbeddedPicture> asKeptBy(TagLib::File *file, QList<EmbeddedPicture> pictures)
{
    return asKept(layoutOf(file), std::move(pictures));
}

QList<EmbeddedPicture> asKeptByExtension(const QString &extension, QList<EmbeddedPicture> pictures)
{
    static const QStringList mp4 = {"m4a", "m4b", "m4p", "m4r", "m4v", "mp4", "3g2"};
    static const QStringList ape = {"wv", "ape", "mpc"};
    static const QStringList asf = {"asf", "wma"};
    const QString lower = extension.toLower();
    return asKept(mp4.contains(lower)   ? Layout::Mp4
                  : ape.contains(lower) ? Layout::Ape
                  : asf.contains(lower) ? Layout::Asf
                                        : Layout::Full,
                  std::move(pictures));
}

QString storeIn(TagLib::File *file, const QList<EmbeddedPicture> &pictures)
{
    if (auto *mpeg = dynamic_cast<TagLib::MPEG::File *>(file)) {
        TagLib::ID3v2::Tag *tag = mpeg->ID3v2Tag(!pictures.isEmpty());
        if (!tag)
            return {};
        tag->removeFrames("APIC");
        for (const EmbeddedPicture &picture : pictures) {
            auto *apic = new TagLib::ID3v2::AttachedPictureFrame;
            apic->setType(TagLib::ID3v2::AttachedPictureFrame::Type(knownType(picture.type)));
            apic->setMimeType(toTagLib(picture.mime));
            apic->setDescription(toTagLib(picture.description));
            apic->setPicture(bytesOf(picture.data));
            // ID3v2.3 has no UTF-8; UTF-16 serves both versions.
            apic->setTextEncoding(TagLib::String::UTF16);
            tag->addFrame(apic);
        }
    } else if (auto *flac = dynamic_cast<TagLib::FLAC::File *>(file)) {
        flac->removePictures();
        for (const EmbeddedPicture &picture : pictures)
            flac->addPicture(toFlac(picture));
    } else if (TagLib::Ogg::XiphComment *comment = oggComment(file)) {
        comment->removeAllPictures();
        for (const EmbeddedPicture &picture : pictures)
            comment->addPicture(toFlac(picture));
    } else if (auto *mp4 = dynamic_cast<TagLib::MP4::File *>(file)) {
        TagLib::MP4::Tag *tag = mp4->tag();
        if (!tag)
            return QStringLiteral("The file has no place for MP4 tags");
        if (pictures.isEmpty()) {
            tag->removeItem("covr");
            return {};
        }
        TagLib::MP4::CoverArtList list;
        for (const EmbeddedPicture &picture : pictures) {
            const QString mime = mimeOf(picture.data);
            if (mime.isEmpty())
                return QStringLiteral("An MP4 file holds only JPEG and PNG pictures");
            list.append(TagLib::MP4::CoverArt(mime == QLatin1String("image/png") ? TagLib::MP4::CoverArt::PNG
                                                                                 : TagLib::MP4::CoverArt::JPEG,
                                              bytesOf(picture.data)));
        }
        tag->setItem("covr", TagLib::MP4::Item(list));
    } else if (TagLib::APE::Tag *ape = apeTag(file, !pictures.isEmpty())) {
        for (int t = 0; t < typeCount; ++t)
            ape->removeItem(toTagLib(apeKey(t)));
        for (const EmbeddedPicture &picture : asKeptBy(file, pictures)) {
            TagLib::ByteVector value = bytesOf(picture.description.toUtf8());
            value.append('\0');
            value.append(bytesOf(picture.data));
            ape->setItem(toTagLib(apeKey(picture.type)), TagLib::APE::Item(toTagLib(apeKey(picture.type)), value, true));
        }
    } else if (auto *asf = dynamic_cast<TagLib::ASF::File *>(file)) {
        TagLib::ASF::Tag *tag = asf->tag();
        if (!tag)
            return QStringLiteral("The file has no place for ASF attributes");
        tag->removeItem("WM/Picture");
        for (const EmbeddedPicture &picture : pictures) {
            TagLib::ASF::Picture asfPicture;
            asfPicture.setType(TagLib::ASF::Picture::Type(knownType(picture.type)));
            asfPicture.setMimeType(toTagLib(picture.mime));
            asfPicture.setDescription(toTagLib(picture.description));
            asfPicture.setPicture(bytesOf(picture.data));
            tag->addAttribute("WM/Picture", TagLib::ASF::Attribute(asfPicture));
        }
    } else if (!pictures.isEmpty()) {
        return QStringLiteral("The file's format holds no pictures here");
    }
    return {};
}

} // namespace embeddedpictures
