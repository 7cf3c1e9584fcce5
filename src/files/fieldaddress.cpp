// SPDX-License-Identifier: GPL-3.0-or-later
#include "fieldaddress.h"

#include "taglibtext.h"

#include <QHash>
#include <QRegularExpression>

#include <taglib/aifffile.h>
#include <taglib/apefile.h>
#include <taglib/apetag.h>
#include <taglib/asffile.h>
#include <taglib/commentsframe.h>
#include <taglib/flacfile.h>
#include <taglib/id3v2tag.h>
#include <taglib/mp4file.h>
#include <taglib/mpcfile.h>
#include <taglib/mpegfile.h>
#include <taglib/popularimeterframe.h>
#include <taglib/textidentificationframe.h>
#include <taglib/trueaudiofile.h>
#include <taglib/unsynchronizedlyricsframe.h>
#include <taglib/urllinkframe.h>
#include <taglib/vorbisfile.h>
#include <taglib/oggflacfile.h>
#include <taglib/opusfile.h>
#include <taglib/speexfile.h>
#include <taglib/wavfile.h>
#include <taglib/wavpackfile.h>

namespace fieldaddress {
namespace {

using taglibtext::fromTagLib;
using taglibtext::toTagLib;

const QString id3v2 = QStringLiteral("ID3v2");
const QString ape = QStringLiteral("APE");
const QString vorbis = QStringLiteral("Vorbis");
const QString mp4 = QStringLiteral("MP4");
const QString asf = QStringLiteral("ASF");

// The fields each tag keeps a catalogue key in; the panel and the table edit
// those through the key, so that both show one value.
const QHash<QString, QHash<QString, QString>> &catalogueFields()
{
    static const QHash<QString, QHash<QString, QString>> fields = {
        {id3v2,
         {{"TIT2", "name"}, {"TPE1", "artist"}, {"TALB", "album"}, {"COMM:", "comment"}, {"TCON", "genre"},
          {"TDRC", "year"}, {"TYER", "year"}, {"TRCK", "trackNumber"}, {"TPOS", "discNumber"},
          {"TPE2", "albumArtist"}, {"TCOM", "composer"}, {"USLT:", "lyrics"}, {"TBPM", "bpm"}}},
        {QStringLiteral("ID3v1"),
         {{"Title", "name"}, {"Artist", "artist"}, {"Album", "album"}, {"Year", "year"}, {"Comment", "comment"},
          {"Track", "trackNumber"}, {"Genre", "genre"}}},
        {vorbis,
         {{"TITLE", "name"}, {"ARTIST", "artist"}, {"ALBUM", "album"}, {"COMMENT", "comment"}, {"GENRE", "genre"},
          {"DATE", "year"}, {"TRACKNUMBER", "trackNumber"}, {"TRACKTOTAL", "trackCount"},
          {"TOTALTRACKS", "trackCount"}, {"DISCNUMBER", "discNumber"}, {"DISCTOTAL", "discCount"},
          {"TOTALDISCS", "discCount"}, {"ALBUMARTIST", "albumArtist"}, {"COMPOSER", "composer"},
          {"LYRICS", "lyrics"}, {"BPM", "bpm"}}},
        {ape,
         {{"TITLE", "name"}, {"ARTIST", "artist"}, {"ALBUM", "album"}, {"COMMENT", "comment"}, {"GENRE", "genre"},
          {"YEAR", "year"}, {"TRACK", "trackNumber"}, {"DISC", "discNumber"}, {"ALBUM ARTIST", "albumArtist"},
          {"ALBUMARTIST", "albumArtist"}, {"COMPOSER", "composer"}, {"LYRICS", "lyrics"}, {"BPM", "bpm"}}},
        {mp4,
         {{"\u00A9nam", "name"}, {"\u00A9ART", "artist"}, {"\u00A9alb", "album"}, {"\u00A9cmt", "comment"},
          {"\u00A9gen", "genre"}, {"\u00A9day", "year"}, {"trkn", "trackNumber"}, {"disk", "discNumber"},
          {"aART", "albumArtist"}, {"\u00A9wrt", "composer"}, {"\u00A9lyr", "lyrics"}, {"tmpo", "bpm"}}},
        {asf,
         {{"Title", "name"}, {"Author", "artist"}, {"Description", "comment"}, {"WM/AlbumTitle", "album"},
          {"WM/Genre", "genre"}, {"WM/Year", "year"}, {"WM/TrackNumber", "trackNumber"},
          {"WM/PartOfSet", "discNumber"}, {"WM/AlbumArtist", "albumArtist"}, {"WM/Composer", "composer"},
          {"WM/Lyrics", "lyrics"}, {"WM/BeatsPerMinute", "bpm"}}},
        {QStringLiteral("RIFF INFO"),
         {{"INAM", "name"}, {"IART", "artist"}, {"IPRD", "album"}, {"ICMT", "comment"}, {"IGNR", "genre"},
          {"ICRD", "year"}, {"IPRT", "trackNumber"}, {"ITRK", "trackNumber"}}},
    };
    return fields;
}

// An ID3v2 frame that holds a description before its text: the address names both.
bool describedFrame(const QString &frame)
{
    return frame == QLatin1String("TXXX") || frame == QLatin1String("COMM") || frame == QLatin1String("USLT") ||
           frame == QLatin1String("WXXX");
}

// Why an id cannot name a text field of the tag; empty when it can.
QString idRefusal(const Address &address)
{
    const QString &id = address.id;
    const auto cannot = [&](const char *why) {
        return QStringLiteral("The field '%1:%2' %3.").arg(address.tag, id, QLatin1String(why));
    };
    if (address.tag == id3v2) {
        static const QRegularExpression frameId(QStringLiteral("^[A-Z0-9]{4}$"));
        const QString frame = id.section(QLatin1Char(':'), 0, 0);
        if (!frameId.match(frame).hasMatch())
            return cannot("is not an ID3v2 frame: a frame's id is four capital letters or digits");
        // A POPM frame is one player's: its owner names it, as a description does a TXXX frame.
        if (frame == QLatin1String("POPM"))
            return id.contains(QLatin1Char(':')) ? QString()
                                                 : cannot("needs the player's owner after the frame's id (POPM:MusicBee)");
        if (describedFrame(frame))
            return id.contains(QLatin1Char(':')) ? QString()
                                                 : cannot("needs a description after the frame's id (TXXX:MOOD)");
        if (id.contains(QLatin1Char(':')) || !frame.startsWith(QLatin1Char('T')))
            return cannot("is not a text frame that can be edited here");
        return {};
    }
    if (address.tag == vorbis) {
        if (id.isEmpty() || !TagLib::Ogg::XiphComment::checkKey(toTagLib(id)))
            return cannot("is not a Vorbis comment's name: printable ASCII without '='");
        if (id.toUpper() == QLatin1String("METADATA_BLOCK_PICTURE"))
            return cannot("holds a picture");
        return {};
    }
    if (address.tag == ape) {
        if (!TagLib::APE::Tag::checkKey(toTagLib(id)))
            return cannot("is not an APE item's name: 2 to 255 printable ASCII characters");
        if (id.toUpper().startsWith(QLatin1String("COVER ART")))
            return cannot("holds a picture");
        return {};
    }
    if (address.tag == mp4) {
        static const QRegularExpression freeform(QStringLiteral("^----:[^:]+:[^:]+$"));
        if (freeform.match(id).hasMatch() || (id.size() == 4 && id.front() == QChar(0xA9)))
            return {};
        return cannot("is not an MP4 text item: a freeform item (----:com.apple.iTunes:NAME) or an item whose "
                      "name begins with \u00A9");
    }
    if (address.tag == asf) {
        if (id.isEmpty())
            return cannot("has no name");
        if (id == QLatin1String("WM/Picture"))
            return cannot("holds a picture");
        return {};
    }
    return QStringLiteral("'%1' is not a tag whose fields can be edited: ID3v2, APE, Vorbis, MP4 or ASF.")
        .arg(address.tag);
}

// The tags of the file the addresses reach, only those a layout-keeping save
// writes back: a tag the file does not have is not added, except the first
// tag of a file that has none.
TagLib::ID3v2::Tag *id3v2Of(TagLib::File &file)
{
    if (auto *mpeg = dynamic_cast<TagLib::MPEG::File *>(&file))
        return mpeg->ID3v2Tag(!mpeg->hasAPETag() && !mpeg->hasID3v1Tag());
    if (auto *wav = dynamic_cast<TagLib::RIFF::WAV::File *>(&file))
        return wav->hasID3v2Tag() ? wav->ID3v2Tag() : nullptr;
    if (auto *aiff = dynamic_cast<TagLib::RIFF::AIFF::File *>(&file))
        return aiff->tag();
    if (auto *tta = dynamic_cast<TagLib::TrueAudio::File *>(&file))
        return tta->ID3v2Tag(!tta->hasID3v1Tag());
    if (auto *flac = dynamic_cast<TagLib::FLAC::File *>(&file))
        return flac->hasID3v2Tag() ? flac->ID3v2Tag() : nullptr;
    return nullptr;
}

TagLib::APE::Tag *apeOf(TagLib::File &file)
{
    if (auto *mpeg = dynamic_cast<TagLib::MPEG::File *>(&file))
        return mpeg->hasAPETag() ? mpeg->APETag() : nullptr;
    if (auto *a = dynamic_cast<TagLib::APE::File *>(&file))
        return a->APETag(!a->hasID3v1Tag());
    if (auto *wavPack = dynamic_cast<TagLib::WavPack::File *>(&file))
        return wavPack->APETag(!wavPack->hasID3v1Tag());
    if (auto *mpc = dynamic_cast<TagLib::MPC::File *>(&file))
        return mpc->APETag(!mpc->hasID3v1Tag());
    return nullptr;
}

TagLib::Ogg::XiphComment *xiphOf(TagLib::File &file)
{
    if (auto *flac = dynamic_cast<TagLib::FLAC::File *>(&file))
        return flac->xiphComment(true);
    if (auto *vorbisFile = dynamic_cast<TagLib::Ogg::Vorbis::File *>(&file))
        return vorbisFile->tag();
    if (auto *opus = dynamic_cast<TagLib::Ogg::Opus::File *>(&file))
        return opus->tag();
    if (auto *speex = dynamic_cast<TagLib::Ogg::Speex::File *>(&file))
        return speex->tag();
    if (auto *oggFlac = dynamic_cast<TagLib::Ogg::FLAC::File *>(&file))
        return oggFlac->tag();
    return nullptr;
}

// A comment or lyrics frame: a language, a description and the text.
template <typename Frame>
Frame *languageFrame(const TagLib::ByteVector &language, const TagLib::String &description, const TagLib::String &text)
{
    auto *frame = new Frame(TagLib::String::UTF8);
    frame->setLanguage(language);
    frame->setDescription(description);
    frame->setText(text);
    return frame;
}

// "196/12": a POPM frame's rating byte and play counter, as its address shows them.
std::optional<std::pair<int, unsigned int>> popmValue(const QString &value)
{
    const QStringList parts = value.split(QLatin1Char('/'));
    bool byteOk = false, counterOk = false;
    const int byte = parts.size() == 2 ? parts[0].trimmed().toInt(&byteOk) : -1;
    const unsigned int counter = parts.size() == 2 ? parts[1].trimmed().toUInt(&counterOk) : 0;
    if (!byteOk || !counterOk || byte < 0 || byte > 255)
        return std::nullopt;
    return std::pair{byte, counter};
}

// Replaces the POPM frames of one owner, and only of that owner: another
// player's frame is that player's to keep.
QString writePopm(TagLib::ID3v2::Tag &tag, const QString &owner, const QString &value)
{
    const std::optional<std::pair<int, unsigned int>> popm = popmValue(value);
    if (!value.isEmpty() && !popm)
        return QStringLiteral("'%1' is not what a POPM frame holds: a rating byte from 0 to 255, a slash and a play "
                              "counter (196/12)")
            .arg(value);
    const TagLib::String email = toTagLib(owner);
    const TagLib::ID3v2::FrameList frames = tag.frameList("POPM");
    for (TagLib::ID3v2::Frame *found : frames)
        if (const auto *frame = dynamic_cast<TagLib::ID3v2::PopularimeterFrame *>(found); frame && frame->email() == email)
            tag.removeFrame(found);
    if (!popm)
        return {};
    auto *frame = new TagLib::ID3v2::PopularimeterFrame();
    frame->setEmail(email);
    frame->setRating(popm->first);
    frame->setCounter(popm->second);
    tag.addFrame(frame);
    return {};
}

void writeId3v2(TagLib::ID3v2::Tag &tag, const QString &id, const QString &value)
{
    const QString frame = id.section(QLatin1Char(':'), 0, 0);
    const TagLib::ByteVector frameId(frame.toLatin1().constData(), 4);
    const TagLib::String description = toTagLib(id.section(QLatin1Char(':'), 1));
    const TagLib::String text = toTagLib(value);
    TagLib::ByteVector language("eng", 3);
    // Every frame of the address goes; the new value, if any, takes their place.
    const TagLib::ID3v2::FrameList frames = tag.frameList(frameId);
    for (TagLib::ID3v2::Frame *found : frames) {
        bool same = !describedFrame(frame);
        if (const auto *txxx = dynamic_cast<TagLib::ID3v2::UserTextIdentificationFrame *>(found))
            same = txxx->description() == description;
        else if (const auto *comm = dynamic_cast<TagLib::ID3v2::CommentsFrame *>(found))
            same = comm->description() == description && (language = comm->language(), true);
        else if (const auto *uslt = dynamic_cast<TagLib::ID3v2::UnsynchronizedLyricsFrame *>(found))
            same = uslt->description() == description && (language = uslt->language(), true);
        else if (const auto *wxxx = dynamic_cast<TagLib::ID3v2::UserUrlLinkFrame *>(found))
            same = wxxx->description() == description;
        if (same)
            tag.removeFrame(found);
    }
    if (value.isEmpty())
        return;
    const TagLib::String::Type encoding = TagLib::String::UTF8;
    if (frame == QLatin1String("TXXX")) {
        tag.addFrame(new TagLib::ID3v2::UserTextIdentificationFrame(description, TagLib::StringList(text), encoding));
    } else if (frame == QLatin1String("COMM")) {
        tag.addFrame(languageFrame<TagLib::ID3v2::CommentsFrame>(language, description, text));
    } else if (frame == QLatin1String("USLT")) {
        tag.addFrame(languageFrame<TagLib::ID3v2::UnsynchronizedLyricsFrame>(language, description, text));
    } else if (frame == QLatin1String("WXXX")) {
        auto *wxxx = new TagLib::ID3v2::UserUrlLinkFrame(encoding);
        wxxx->setDescription(description);
        wxxx->setUrl(text);
        tag.addFrame(wxxx);
    } else {
        auto *textFrame = new TagLib::ID3v2::TextIdentificationFrame(frameId, encoding);
        textFrame->setText(text);
        tag.addFrame(textFrame);
    }
}

QString writeMp4(TagLib::MP4::Tag &tag, const QString &id, const QString &value)
{
    const TagLib::String key = toTagLib(id);
    if (value.isEmpty())
        tag.removeItem(key);
    else
        tag.setItem(key, TagLib::MP4::Item(TagLib::StringList(toTagLib(value))));
    return {};
}

QString writeAsf(TagLib::ASF::Tag &tag, const QString &id, const QString &value)
{
    if (id == QLatin1String("Copyright")) {
        tag.setCopyright(toTagLib(value));
        return {};
    }
    if (id == QLatin1String("Rating")) {
        tag.setRating(toTagLib(value));
        return {};
    }
    const TagLib::String name = toTagLib(id);
    if (tag.contains(name)) {
        for (const TagLib::ASF::Attribute &attribute : tag.attribute(name))
            if (attribute.type() != TagLib::ASF::Attribute::UnicodeType)
                return QStringLiteral("The file's ASF attribute '%1' holds no text").arg(id);
    }
    if (value.isEmpty())
        tag.removeItem(name);
    else
        tag.setAttribute(name, TagLib::ASF::Attribute(toTagLib(value)));
    return {};
}

} // namespace

QString freeFieldTag(TagLib::File &file)
{
    // Ogg and FLAC before ID3v2: a FLAC file's ID3v2 tag is one few players read.
    if (xiphOf(file))
        return vorbis;
    if (dynamic_cast<TagLib::MP4::File *>(&file))
        return mp4;
    if (dynamic_cast<TagLib::ASF::File *>(&file))
        return asf;
    if (id3v2Of(file))
        return id3v2;
    if (apeOf(file))
        return ape;
    return {};
}

bool isAddress(const QString &key)
{
    return key.contains(QLatin1Char(':'));
}

std::optional<Address> parse(const QString &key)
{
    const qsizetype colon = key.indexOf(QLatin1Char(':'));
    if (colon <= 0 || colon == key.size() - 1)
        return std::nullopt;
    return Address{key.left(colon), key.mid(colon + 1)};
}

QString addressOf(const FileField &field)
{
    const QString tag = field.tag.startsWith(id3v2) ? id3v2 : field.tag;
    return tag + QLatin1Char(':') + field.id;
}

QString catalogueKey(const QString &tag, const QString &id)
{
    const QString name = tag.startsWith(id3v2) ? id3v2 : tag;
    const auto fields = catalogueFields().constFind(name);
    if (fields == catalogueFields().cend())
        return {};
    // Vorbis and APE names are told apart from their case only by players that ask for it.
    const bool anyCase = name == vorbis || name == ape;
    return fields->value(anyCase ? id.toUpper() : id);
}

QString refusal(const QString &key)
{
    const std::optional<Address> address = parse(key);
    if (!address)
        return QStringLiteral("'%1' is not a field address: write the tag, a colon and the field (ID3v2:TXXX:MOOD, "
                              "Vorbis:MOOD).")
            .arg(key);
    if (const QString why = idRefusal(*address); !why.isEmpty())
        return why;
    if (const QString known = catalogueKey(address->tag, address->id); !known.isEmpty())
        return QStringLiteral("The field '%1' holds the tag '%2': edit that tag instead.").arg(key, known);
    return {};
}

QVariant valueIn(const FileDescription &description, const QString &key)
{
    QStringList values;
    for (const FileField &field : description.fields)
        if (addressOf(field) == key)
            values << field.value;
    return values.isEmpty() ? QVariant() : QVariant(values.join(QStringLiteral("; ")));
}

QString write(TagLib::File &file, const QString &key, const QString &value)
{
    if (const QString why = refusal(key); !why.isEmpty())
        return why;
    const Address address = *parse(key);
    const QString missing = QStringLiteral("The file has no %1 tag to hold the field '%2'").arg(address.tag, key);
    if (address.tag == id3v2) {
        TagLib::ID3v2::Tag *tag = id3v2Of(file);
        if (!tag)
            return missing;
        if (address.id.startsWith(QLatin1String("POPM:")))
            return writePopm(*tag, address.id.mid(5), value);
        writeId3v2(*tag, address.id, value);
        return {};
    }
    if (address.tag == ape) {
        TagLib::APE::Tag *tag = apeOf(file);
        if (!tag)
            return missing;
        const TagLib::String name = toTagLib(address.id);
        const auto items = tag->itemListMap();
        const auto found = items.find(name.upper());
        if (found != items.end() && found->second.type() != TagLib::APE::Item::Text)
            return QStringLiteral("The file's APE item '%1' holds no text").arg(address.id);
        if (value.isEmpty())
            tag->removeItem(name);
        else
            tag->addValue(name, toTagLib(value), true);
        return {};
    }
    if (address.tag == vorbis) {
        TagLib::Ogg::XiphComment *tag = xiphOf(file);
        if (!tag)
            return missing;
        const TagLib::String name = toTagLib(address.id.toUpper());
        tag->removeFields(name);
        if (!value.isEmpty())
            tag->addField(name, toTagLib(value), true);
        return {};
    }
    if (address.tag == mp4) {
        auto *mp4File = dynamic_cast<TagLib::MP4::File *>(&file);
        if (!mp4File || !mp4File->tag())
            return missing;
        return writeMp4(*mp4File->tag(), address.id, value);
    }
    auto *asfFile = dynamic_cast<TagLib::ASF::File *>(&file);
    if (!asfFile || !asfFile->tag())
        return missing;
    return writeAsf(*asfFile->tag(), address.id, value);
}

} // namespace fieldaddress
