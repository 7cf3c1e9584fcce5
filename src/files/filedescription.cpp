// SPDX-License-Identifier: GPL-3.0-or-later
#include "filedescription.h"

#include "taglibtext.h"

#include <taglib/apefile.h>
#include <taglib/apetag.h>
#include <taglib/asffile.h>
#include <taglib/attachedpictureframe.h>
#include <taglib/commentsframe.h>
#include <taglib/flacfile.h>
#include <taglib/id3v1tag.h>
#include <taglib/id3v2tag.h>
#include <taglib/infotag.h>
#include <taglib/mp4file.h>
#include <taglib/mpcfile.h>
#include <taglib/mpegfile.h>
#include <taglib/opusfile.h>
#include <taglib/speexfile.h>
#include <taglib/popularimeterframe.h>
#include <taglib/textidentificationframe.h>
#include <taglib/tpropertymap.h>
#include <taglib/unsynchronizedlyricsframe.h>
#include <taglib/urllinkframe.h>
#include <taglib/vorbisfile.h>
#include <taglib/wavfile.h>
#include <taglib/wavpackfile.h>
#include <taglib/aifffile.h>
#include <taglib/trueaudiofile.h>
#include <taglib/oggflacfile.h>

namespace filedescription {
namespace {

using taglibtext::fromTagLib;

QString joined(const TagLib::StringList &values)
{
    QStringList texts;
    for (const TagLib::String &value : values)
        texts << fromTagLib(value);
    return texts.join(QStringLiteral("; "));
}

QString pictureText(const QString &mime, qsizetype bytes)
{
    return QStringLiteral("<picture, %1, %2 bytes>").arg(mime.isEmpty() ? QStringLiteral("unknown type") : mime).arg(bytes);
}

void addId3v1(const TagLib::ID3v1::Tag *tag, FileDescription &d)
{
    if (!tag || tag->isEmpty())
        return;
    const QString name = QStringLiteral("ID3v1");
    d.tagTypes << name;
    const auto add = [&](const char *id, const QString &value) {
        if (!value.isEmpty())
            d.fields.append({name, QLatin1String(id), value});
    };
    add("Title", fromTagLib(tag->title()));
    add("Artist", fromTagLib(tag->artist()));
    add("Album", fromTagLib(tag->album()));
    add("Year", tag->year() ? QString::number(tag->year()) : QString());
    add("Comment", fromTagLib(tag->comment()));
    add("Track", tag->track() ? QString::number(tag->track()) : QString());
    add("Genre", fromTagLib(tag->genre()));
}

void addId3v2(const TagLib::ID3v2::Tag *tag, FileDescription &d)
{
    if (!tag || tag->isEmpty())
        return;
    const QString name = QStringLiteral("ID3v2.%1").arg(tag->header()->majorVersion());
    d.tagTypes << name;
    for (const TagLib::ID3v2::Frame *frame : tag->frameList()) {
        QString id = QString::fromLatin1(frame->frameID().data(), int(frame->frameID().size()));
        QString value;
        if (const auto *txxx = dynamic_cast<const TagLib::ID3v2::UserTextIdentificationFrame *>(frame)) {
            id += QLatin1Char(':') + fromTagLib(txxx->description());
            TagLib::StringList values = txxx->fieldList();
            if (!values.isEmpty())
                values.erase(values.begin()); // the description
            value = joined(values);
        } else if (const auto *comm = dynamic_cast<const TagLib::ID3v2::CommentsFrame *>(frame)) {
            id += QLatin1Char(':') + fromTagLib(comm->description());
            value = fromTagLib(comm->text());
        } else if (const auto *uslt = dynamic_cast<const TagLib::ID3v2::UnsynchronizedLyricsFrame *>(frame)) {
            id += QLatin1Char(':') + fromTagLib(uslt->description());
            value = fromTagLib(uslt->text());
        } else if (const auto *wxxx = dynamic_cast<const TagLib::ID3v2::UserUrlLinkFrame *>(frame)) {
            id += QLatin1Char(':') + fromTagLib(wxxx->description());
            value = fromTagLib(wxxx->url());
        } else if (const auto *popm = dynamic_cast<const TagLib::ID3v2::PopularimeterFrame *>(frame)) {
            id += QLatin1Char(':') + fromTagLib(popm->email());
            value = QStringLiteral("%1/%2").arg(popm->rating()).arg(popm->counter());
        } else if (const auto *apic = dynamic_cast<const TagLib::ID3v2::AttachedPictureFrame *>(frame)) {
            value = pictureText(fromTagLib(apic->mimeType()), apic->picture().size());
        } else if (const auto *text = dynamic_cast<const TagLib::ID3v2::TextIdentificationFrame *>(frame)) {
            value = joined(text->fieldList());
        } else {
            value = fromTagLib(frame->toString());
        }
        d.fields.append({name, id, value});
    }
}

void addApe(const TagLib::APE::Tag *tag, FileDescription &d)
{
    if (!tag || tag->isEmpty())
        return;
    const QString name = QStringLiteral("APE");
    d.tagTypes << name;
    for (const auto &[key, item] : tag->itemListMap()) {
        const QString value = item.type() == TagLib::APE::Item::Binary
                                  ? pictureText({}, item.binaryData().size())
                                  : joined(item.values());
        d.fields.append({name, fromTagLib(key), value});
    }
}

void addXiph(TagLib::Ogg::XiphComment *tag, FileDescription &d)
{
    if (!tag || (tag->isEmpty() && tag->pictureList().isEmpty()))
        return;
    const QString name = QStringLiteral("Vorbis");
    d.tagTypes << name;
    for (const auto &[key, values] : tag->fieldListMap())
        d.fields.append({name, fromTagLib(key), joined(values)});
    for (const TagLib::FLAC::Picture *picture : tag->pictureList())
        d.fields.append({name, QStringLiteral("METADATA_BLOCK_PICTURE"),
                         pictureText(fromTagLib(picture->mimeType()), picture->data().size())});
}

void addFlacPictures(TagLib::FLAC::File &file, FileDescription &d)
{
    for (const TagLib::FLAC::Picture *picture : file.pictureList())
        d.fields.append({QStringLiteral("FLAC"), QStringLiteral("PICTURE"),
                         pictureText(fromTagLib(picture->mimeType()), picture->data().size())});
}

void addMp4(const TagLib::MP4::Tag *tag, FileDescription &d)
{
    if (!tag || tag->isEmpty())
        return;
    const QString name = QStringLiteral("MP4");
    d.tagTypes << name;
    for (const auto &[key, item] : tag->itemMap()) {
        QString value;
        if (key == "covr") {
            const TagLib::MP4::CoverArtList covers = item.toCoverArtList();
            QStringList pictures;
            for (const TagLib::MP4::CoverArt &cover : covers)
                pictures << pictureText(cover.format() == TagLib::MP4::CoverArt::PNG ? QStringLiteral("image/png")
                                                                                    : QStringLiteral("image/jpeg"),
                                        cover.data().size());
            value = pictures.join(QStringLiteral("; "));
        } else if (key == "trkn" || key == "disk") {
            value = QStringLiteral("%1/%2").arg(item.toIntPair().first).arg(item.toIntPair().second);
        } else if (!item.toStringList().isEmpty()) {
            value = joined(item.toStringList());
        } else if (key == "cpil" || key == "pgap") {
            value = item.toBool() ? QStringLiteral("1") : QStringLiteral("0");
        } else {
            // The item's kind is not told by this TagLib: a number is what is left.
            value = QString::number(item.toInt());
        }
        d.fields.append({name, fromTagLib(key), value});
    }
}

void addAsf(const TagLib::ASF::Tag *tag, FileDescription &d)
{
    if (!tag || tag->isEmpty())
        return;
    const QString name = QStringLiteral("ASF");
    d.tagTypes << name;
    const auto add = [&](const char *id, const TagLib::String &value) {
        if (!value.isEmpty())
            d.fields.append({name, QLatin1String(id), fromTagLib(value)});
    };
    add("Title", tag->title());
    add("Author", tag->artist());
    add("Description", tag->comment());
    add("Copyright", tag->copyright());
    add("Rating", tag->rating());
    for (const auto &[key, attributes] : tag->attributeListMap()) {
        QStringList values;
        for (const TagLib::ASF::Attribute &attribute : attributes) {
            if (attribute.type() == TagLib::ASF::Attribute::UnicodeType)
                values << fromTagLib(attribute.toString());
            else if (attribute.type() == TagLib::ASF::Attribute::BytesType)
                values << (key == "WM/Picture" ? pictureText(fromTagLib(attribute.toPicture().mimeType()),
                                                             attribute.toPicture().picture().size())
                                               : QStringLiteral("<%1 bytes>").arg(attribute.toByteVector().size()));
            else if (attribute.type() == TagLib::ASF::Attribute::BoolType)
                values << (attribute.toBool() ? QStringLiteral("1") : QStringLiteral("0"));
            else if (attribute.type() == TagLib::ASF::Attribute::GuidType)
                values << QStringLiteral("<GUID>");
            else
                values << QString::number(attribute.toULongLong());
        }
        d.fields.append({name, fromTagLib(key), values.join(QStringLiteral("; "))});
    }
}

void addInfo(const TagLib::RIFF::Info::Tag *tag, FileDescription &d)
{
    if (!tag || tag->isEmpty())
        return;
    const QString name = QStringLiteral("RIFF INFO");
    d.tagTypes << name;
    for (const auto &[key, value] : tag->fieldListMap())
        d.fields.append({name, QString::fromLatin1(key.data(), int(key.size())), fromTagLib(value)});
}

QString mpegCodec(const TagLib::MPEG::Properties *properties)
{
    if (!properties)
        return {};
    const char *version = properties->version() == TagLib::MPEG::Header::Version1   ? "MPEG-1"
                          : properties->version() == TagLib::MPEG::Header::Version2 ? "MPEG-2"
                                                                                     : "MPEG-2.5";
    return QStringLiteral("%1 Layer %2").arg(QLatin1String(version)).arg(properties->layer());
}

} // namespace

void describeFile(TagLib::File &file, FileDescription &d)
{
    d.ratings = ratingconventions::read(file);
    if (const TagLib::AudioProperties *audio = file.audioProperties()) {
        d.lengthMs = audio->lengthInMilliseconds();
        d.bitrate = audio->bitrate();
        d.sampleRate = audio->sampleRate();
        d.channels = audio->channels();
    }
    if (auto *mpeg = dynamic_cast<TagLib::MPEG::File *>(&file)) {
        d.format = QStringLiteral("MP3");
        d.codec = mpegCodec(mpeg->audioProperties());
        addId3v2(mpeg->hasID3v2Tag() ? mpeg->ID3v2Tag() : nullptr, d);
        addApe(mpeg->hasAPETag() ? mpeg->APETag() : nullptr, d);
        addId3v1(mpeg->hasID3v1Tag() ? mpeg->ID3v1Tag() : nullptr, d);
    } else if (auto *flac = dynamic_cast<TagLib::FLAC::File *>(&file)) {
        d.format = QStringLiteral("FLAC");
        addXiph(flac->hasXiphComment() ? flac->xiphComment() : nullptr, d);
        addId3v2(flac->hasID3v2Tag() ? flac->ID3v2Tag() : nullptr, d);
        addId3v1(flac->hasID3v1Tag() ? flac->ID3v1Tag() : nullptr, d);
        addFlacPictures(*flac, d);
    } else if (auto *vorbis = dynamic_cast<TagLib::Ogg::Vorbis::File *>(&file)) {
        d.format = QStringLiteral("Ogg Vorbis");
        addXiph(vorbis->tag(), d);
    } else if (auto *opus = dynamic_cast<TagLib::Ogg::Opus::File *>(&file)) {
        d.format = QStringLiteral("Ogg Opus");
        addXiph(opus->tag(), d);
    } else if (auto *speex = dynamic_cast<TagLib::Ogg::Speex::File *>(&file)) {
        d.format = QStringLiteral("Ogg Speex");
        addXiph(speex->tag(), d);
    } else if (auto *oggFlac = dynamic_cast<TagLib::Ogg::FLAC::File *>(&file)) {
        d.format = QStringLiteral("Ogg FLAC");
        addXiph(oggFlac->tag(), d);
    } else if (auto *mp4 = dynamic_cast<TagLib::MP4::File *>(&file)) {
        d.format = QStringLiteral("MP4");
        if (const TagLib::MP4::Properties *properties = mp4->audioProperties())
            d.codec = properties->codec() == TagLib::MP4::Properties::AAC    ? QStringLiteral("AAC")
                      : properties->codec() == TagLib::MP4::Properties::ALAC ? QStringLiteral("ALAC")
                                                                             : QString();
        addMp4(mp4->tag(), d);
    } else if (auto *asf = dynamic_cast<TagLib::ASF::File *>(&file)) {
        d.format = QStringLiteral("ASF");
        if (const TagLib::ASF::Properties *properties = asf->audioProperties())
            d.codec = fromTagLib(properties->codecName());
        addAsf(asf->tag(), d);
    } else if (auto *wav = dynamic_cast<TagLib::RIFF::WAV::File *>(&file)) {
        d.format = QStringLiteral("WAV");
        addId3v2(wav->hasID3v2Tag() ? wav->ID3v2Tag() : nullptr, d);
        addInfo(wav->hasInfoTag() ? wav->InfoTag() : nullptr, d);
    } else if (auto *aiff = dynamic_cast<TagLib::RIFF::AIFF::File *>(&file)) {
        d.format = QStringLiteral("AIFF");
        addId3v2(aiff->hasID3v2Tag() ? aiff->tag() : nullptr, d);
    } else if (auto *ape = dynamic_cast<TagLib::APE::File *>(&file)) {
        d.format = QStringLiteral("Monkey's Audio");
        addApe(ape->hasAPETag() ? ape->APETag() : nullptr, d);
        addId3v1(ape->hasID3v1Tag() ? ape->ID3v1Tag() : nullptr, d);
    } else if (auto *wavPack = dynamic_cast<TagLib::WavPack::File *>(&file)) {
        d.format = QStringLiteral("WavPack");
        addApe(wavPack->hasAPETag() ? wavPack->APETag() : nullptr, d);
        addId3v1(wavPack->hasID3v1Tag() ? wavPack->ID3v1Tag() : nullptr, d);
    } else if (auto *mpc = dynamic_cast<TagLib::MPC::File *>(&file)) {
        d.format = QStringLiteral("Musepack");
        addApe(mpc->hasAPETag() ? mpc->APETag() : nullptr, d);
        addId3v1(mpc->hasID3v1Tag() ? mpc->ID3v1Tag() : nullptr, d);
    } else if (auto *tta = dynamic_cast<TagLib::TrueAudio::File *>(&file)) {
        d.format = QStringLiteral("TrueAudio");
        addId3v2(tta->hasID3v2Tag() ? tta->ID3v2Tag() : nullptr, d);
        addId3v1(tta->hasID3v1Tag() ? tta->ID3v1Tag() : nullptr, d);
    } else {
        // A format without a reader of its own here: its fields as TagLib names them.
        d.format = QStringLiteral("Audio");
        const TagLib::PropertyMap properties = file.properties();
        if (!properties.isEmpty())
            d.tagTypes << QStringLiteral("Tag");
        for (const auto &[key, values] : properties)
            d.fields.append({QStringLiteral("Tag"), fromTagLib(key), joined(values)});
    }
}

QString lengthText(qint64 milliseconds)
{
    const qint64 seconds = (milliseconds + 500) / 1000;
    if (seconds >= 3600)
        return QStringLiteral("%1:%2:%3")
            .arg(seconds / 3600)
            .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
            .arg(seconds % 60, 2, 10, QLatin1Char('0'));
    return QStringLiteral("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

} // namespace filedescription
