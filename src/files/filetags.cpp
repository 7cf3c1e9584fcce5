// SPDX-License-Identifier: GPL-3.0-or-later
#include "filetags.h"

#include "checkedfilestream.h"
#include "committurn.h"
#include "fieldaddress.h"
#include "embeddedpictures.h"
#include "fileproperties.h"
#include "musicfiles.h"
#include "nestingguard.h"
#include "savecheck.h"
#include "taglibfile.h"
#include "taglibtext.h"
#include "wavtags.h"
#include "support/dispatch.h"
#include "support/namedexception.h"
#include "support/textutils.h"

#include <QFileInfo>
#include <QHash>

#include <taglib/aifffile.h>
#include <taglib/apefile.h>
#include <taglib/audioproperties.h>
#include <taglib/fileref.h>
#include <taglib/id3v2header.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpcfile.h>
#include <taglib/mpegfile.h>
#include <taglib/tpropertymap.h>
#include <taglib/tag.h>
#include <taglib/tpropertymap.h>
#include <taglib/trueaudiofile.h>
#include <taglib/wavfile.h>
#include <taglib/wavpackfile.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>
#include <vector>

namespace filetags {
namespace {

using taglibtext::fromTagLib;
using taglibtext::toTagLib;

const QStringList textKeys = {"artist", "name", "title", "album", "comment", "genre"};
const QStringList audioKeys = {"duration", "bitRate"};
const QString picturesKey = QStringLiteral("pictures");

// TagLib's reading of a stream.
class Parsed {
public:
    Parsed(CheckedFileStream &stream, const QString &extension, bool audioProperties)
    {
        stream.seek(0);
        try {
            ref_ = taglibfile::parse(stream, extension, audioProperties);
            if (looksLikeAudio(stream)) {
                tag_ = ref_.file()->tag();
                if (auto *wav = dynamic_cast<TagLib::RIFF::WAV::File *>(ref_.file())) {
                    wavTags_ = std::make_unique<WavTags>(*wav);
                    tag_ = wavTags_.get();
                }
            }
        } catch (const std::exception &) {
            // A crafted size that cannot be allocated: the file is unreadable.
            tag_ = nullptr;
        }
    }

    TagLib::File *file() const { return tag_ ? ref_.file() : nullptr; }
    TagLib::Tag *tag() const { return tag_; }
    const WavTags *wavTags() const { return wavTags_.get(); }

private:
    // Several readers take any bytes, even none, for a file with an empty tag
    // that a save would then write into. Those formats must show their own
    // signature (MPEG: an audio frame) to be read or tagged.
    bool looksLikeAudio(CheckedFileStream &stream)
    {
        TagLib::File *file = ref_.file();
        if (!file || !file->isValid())
            return false;
        bool ok = true;
        if (auto *mpeg = dynamic_cast<TagLib::MPEG::File *>(file))
            ok = mpeg->firstFrameOffset() >= 0;
        else if (dynamic_cast<TagLib::RIFF::WAV::File *>(file))
            ok = TagLib::RIFF::WAV::File::isSupported(&stream);
        else if (dynamic_cast<TagLib::RIFF::AIFF::File *>(file))
            ok = TagLib::RIFF::AIFF::File::isSupported(&stream);
        else if (dynamic_cast<TagLib::MPC::File *>(file))
            ok = TagLib::MPC::File::isSupported(&stream);
        else if (dynamic_cast<TagLib::WavPack::File *>(file))
            ok = TagLib::WavPack::File::isSupported(&stream);
        else if (dynamic_cast<TagLib::TrueAudio::File *>(file))
            ok = TagLib::TrueAudio::File::isSupported(&stream);
        else if (dynamic_cast<TagLib::APE::File *>(file))
            ok = TagLib::APE::File::isSupported(&stream);
        stream.seek(0);
        return ok;
    }

    TagLib::FileRef ref_;
    std::unique_ptr<WavTags> wavTags_;
    TagLib::Tag *tag_ = nullptr;
};

// One music file opened for the length of one read or write.
class MusicFile {
public:
    MusicFile(const QString &path, CheckedFileStream::Access access, bool parse, bool audioProperties,
              CheckedFileStream::Listed listed = CheckedFileStream::Listed::No)
        : stream_(path, access, listed)
    {
        if (!stream_.isOpen() || !parse)
            return;
        const QString extension = musicfiles::extensionOf(path);
        refusal_ = nestingguard::refusal(stream_, extension);
        if (refusal_.isEmpty())
            parsed_ = std::make_unique<Parsed>(stream_, extension, audioProperties);
    }

    CheckedFileStream &stream() { return stream_; }
    TagLib::File *file() const { return parsed_ ? parsed_->file() : nullptr; }
    TagLib::Tag *tag() const { return parsed_ ? parsed_->tag() : nullptr; }
    const WavTags *wavTags() const { return parsed_ ? parsed_->wavTags() : nullptr; }
    // Why a file that opened is still not parsed; empty otherwise.
    const QString &refusal() const { return refusal_; }

private:
    CheckedFileStream stream_; // must outlive parsed_
    std::unique_ptr<Parsed> parsed_;
    QString refusal_;
};

QVariant numberText(unsigned int number)
{
    return number == 0 ? QVariant() : QVariant(QString::number(number));
}

bool containsPicture(CheckedFileStream &stream)
{
    static constexpr char needle[] = "image/";
    constexpr size_t needleSize = sizeof needle - 1;
    constexpr qint64 chunk = 256 * 1024;
    // The last bytes of each chunk are kept so that a match across two chunks is found.
    std::vector<char> buffer(needleSize - 1 + chunk);
    size_t kept = 0;
    for (qint64 offset = 0;;) {
        const qint64 got = stream.readAt(offset, buffer.data() + kept, chunk);
        if (got <= 0)
            return false;
        const size_t have = kept + static_cast<size_t>(got);
        if (memmem(buffer.data(), have, needle, needleSize))
            return true;
        kept = std::min(needleSize - 1, have);
        std::memmove(buffer.data(), buffer.data() + have - kept, kept);
        offset += got;
    }
}

QVariant valueOf(MusicFile &music, const QString &path, const QString &key)
{
    if (key == QLatin1String("cover"))
        return containsPicture(music.stream()) ? QVariant(QStringLiteral("cover")) : QVariant();
    if (key == QLatin1String("location"))
        return path;
    TagLib::Tag *tag = music.tag();
    if (!tag)
        return {};
    if (fieldaddress::isAddress(key)) {
        FileDescription description;
        filedescription::describeFile(*music.file(), description);
        return fieldaddress::valueIn(description, key);
    }
    const QList<const TagLib::Tag *> tags = savecheck::tagsOf(music.file(), *tag);
    const auto text = [&tags](TagLib::String (TagLib::Tag::*get)() const) {
        return fromTagLib(savecheck::firstText(tags, get));
    };
    if (key == QLatin1String("artist"))
        return text(&TagLib::Tag::artist);
    if (key == QLatin1String("name") || key == QLatin1String("title"))
        return text(&TagLib::Tag::title);
    if (key == QLatin1String("album"))
        return text(&TagLib::Tag::album);
    if (key == QLatin1String("comment"))
        return text(&TagLib::Tag::comment);
    if (key == QLatin1String("genre"))
        return text(&TagLib::Tag::genre);
    if (key == QLatin1String("number"))
        return numberText(savecheck::firstNumber(tags, &TagLib::Tag::track));
    if (key == QLatin1String("year"))
        return numberText(savecheck::firstNumber(tags, &TagLib::Tag::year));
    if (fileproperties::holds(key))
        return fileproperties::read(music.file()->properties(), key);
    if (key == picturesKey) {
        const QString value = embeddedpictures::valueOf(embeddedpictures::readFrom(music.file()));
        return value.isEmpty() ? QVariant() : QVariant(value);
    }
    if (TagLib::AudioProperties *properties = music.file()->audioProperties()) {
        if (key == QLatin1String("duration"))
            return properties->lengthInSeconds();
        if (key == QLatin1String("bitRate"))
            return properties->bitrate();
    }
    return {};
}

bool needsOpen(const QStringList &keys)
{
    for (const QString &key : keys) {
        if (key != QLatin1String("location"))
            return true;
    }
    return false;
}

bool needsTagLib(const QStringList &keys)
{
    for (const QString &key : keys) {
        if (key != QLatin1String("location") && key != QLatin1String("cover"))
            return true;
    }
    return false;
}

bool needsAudioProperties(const QStringList &keys)
{
    for (const QString &key : keys) {
        if (audioKeys.contains(key))
            return true;
    }
    return false;
}

// What a write stores, worked out before the file is touched.
struct Change {
    QString key;
    TagLib::String text;
    unsigned int year = 0;
    QVariant value; // for the keys of the property map
    QList<EmbeddedPicture> pictures;
};

Change changeFor(const QString &path, const QString &key, const QVariant &value)
{
    Change change{key, {}, 0, value, {}};
    if (fileproperties::holds(key))
        return change;
    if (key == picturesKey) {
        std::optional<QList<EmbeddedPicture>> pictures = embeddedpictures::picturesOf(tagvalue::comparableText(value));
        if (!pictures)
            throw FileError(path, QStringLiteral("The pictures to write are not known to this run; nothing was written"));
        change.pictures = *std::move(pictures);
        return change;
    }
    if (key != QLatin1String("year")) {
        change.text = toTagLib(value);
        return change;
    }
    // As a C integer conversion reads it: "2001abc" is 2001, "" is 0.
    const int year = text::intValue(value);
    if (year < 0)
        throw FileError(path, QStringLiteral("The year %1 cannot be stored in a music file").arg(value.toString()));
    change.year = static_cast<unsigned int>(year);
    return change;
}

void apply(TagLib::Tag *tag, const Change &change)
{
    const QString &key = change.key;
    if (key == QLatin1String("artist"))
        tag->setArtist(change.text);
    else if (key == QLatin1String("name") || key == QLatin1String("title"))
        tag->setTitle(change.text);
    else if (key == QLatin1String("album"))
        tag->setAlbum(change.text);
    else if (key == QLatin1String("comment"))
        tag->setComment(change.text);
    else if (key == QLatin1String("genre"))
        tag->setGenre(change.text);
    else if (key == QLatin1String("year"))
        tag->setYear(change.year);
}

TagLib::ID3v2::Version versionOf(const TagLib::ID3v2::Tag *tag)
{
    return tag && tag->header()->majorVersion() == 3 ? TagLib::ID3v2::v3 : TagLib::ID3v2::v4;
}

// Saves only the tag types the file already has, in the ID3v2 version it
// already uses; TagLib's plain save would add ID3v1 and ID3v2.4 tags.
// newId3v2: an MPEG file gets an ID3v2 tag it had none of (the only tag of
// its that holds pictures).
bool saveKeepingLayout(TagLib::File *file, const WavTags *wavTags, bool newId3v2 = false)
{
    if (auto *mpeg = dynamic_cast<TagLib::MPEG::File *>(file)) {
        int tags = (mpeg->hasID3v2Tag() || newId3v2 ? TagLib::MPEG::File::ID3v2 : 0) |
                   (mpeg->hasID3v1Tag() ? TagLib::MPEG::File::ID3v1 : 0) |
                   (mpeg->hasAPETag() ? TagLib::MPEG::File::APE : 0);
        if (tags == 0)
            tags = TagLib::MPEG::File::ID3v2;
        return mpeg->save(tags, TagLib::File::StripNone,
                          versionOf(mpeg->hasID3v2Tag() ? mpeg->ID3v2Tag() : nullptr),
                          TagLib::File::DoNotDuplicate);
    }
    if (auto *wav = dynamic_cast<TagLib::RIFF::WAV::File *>(file)) {
        return wav->save(wavTags->tagTypes(), TagLib::File::StripNone,
                         versionOf(wav->hasID3v2Tag() ? wav->ID3v2Tag() : nullptr));
    }
    if (auto *aiff = dynamic_cast<TagLib::RIFF::AIFF::File *>(file))
        return aiff->save(versionOf(aiff->hasID3v2Tag() ? aiff->tag() : nullptr));
    // The other formats keep one tag layout of their own and add no foreign tags.
    return file->save();
}

// The container an extension names, for those whose layout a foreign tag would break.
std::optional<filestructure::Format> formatNamed(const QString &extension)
{
    using filestructure::Format;
    static const QHash<QString, Format> formats = {
        {"m4a", Format::Mp4}, {"m4b", Format::Mp4}, {"m4p", Format::Mp4}, {"m4r", Format::Mp4},
        {"m4v", Format::Mp4}, {"mp4", Format::Mp4}, {"3g2", Format::Mp4}, {"flac", Format::Flac},
        {"ogg", Format::Ogg}, {"spx", Format::Ogg}, {"opus", Format::Ogg}, {"asf", Format::Asf},
        {"wma", Format::Asf}, {"wav", Format::Wav}, {"aiff", Format::Aiff}, {"aif", Format::Aiff},
        {"tta", Format::TrueAudio}};
    const auto found = formats.constFind(extension);
    return found == formats.cend() ? std::nullopt : std::optional<Format>(*found);
}

QString unusableReason(MusicFile &music)
{
    if (!music.stream().isOpen())
        return QStringLiteral("The file %1").arg(music.stream().error());
    if (!music.refusal().isEmpty())
        return QStringLiteral("The file %1").arg(music.refusal());
    return QStringLiteral("The file is not audio that TagLib can tag");
}

// Why a save would refuse the file before TagLib writes anything, as a
// sentence beginning "The file"; empty when nothing stands against it. audio,
// when given, gets where the audio lies.
QString layoutRefusal(MusicFile &music, const QString &path, QList<filestructure::Range> *audio = nullptr)
{
    if (!music.tag())
        return unusableReason(music);
    const filestructure::Format format = savecheck::formatOf(music.file());
    // TagLib falls back on reading a file by its content when the reader its
    // name picks fails; a damaged MP4 file read as MPEG would get an ID3v2
    // tag before its first atom, which no MP4 player reads past.
    const QString extension = musicfiles::extensionOf(path);
    if (const auto named = formatNamed(extension); named && *named != format)
        return QStringLiteral("The file is not the kind of file its name says (.%1)").arg(extension);
    const QString problem = filestructure::problem(savecheck::original(music.stream()), format, audio);
    return problem.isEmpty() ? QString() : QStringLiteral("The file %1").arg(problem);
}

// The save happens in the stream's edits only; they reach the disk once the
// saved file, read back, holds the same audio and every other field as before.
// fieldsBefore, when given, are the file's fields as savecheck::fields read them.
void writeOpen(MusicFile &music, const QString &path, const Change &change,
               std::optional<savecheck::Fields> fieldsBefore = std::nullopt)
{
    QList<filestructure::Range> audioBefore;
    if (const QString refusal = layoutRefusal(music, path, &audioBefore); !refusal.isEmpty())
        throw FileError(path, music.tag() ? refusal + QStringLiteral("; it was not written") : refusal);
    CheckedFileStream &stream = music.stream();
    const filestructure::Format format = savecheck::formatOf(music.file());
    const QString extension = musicfiles::extensionOf(path);
    const savecheck::Fields before =
        fieldsBefore ? *std::move(fieldsBefore) : savecheck::fields(savecheck::tagsOf(music.file(), *music.tag()));

    QString picturesMeant;
    bool newId3v2 = false;
    if (fieldaddress::isAddress(change.key)) {
        const QString refusal = fieldaddress::write(*music.file(), change.key, change.value.toString());
        if (!refusal.isEmpty())
            throw FileError(path, refusal);
    } else if (change.key == picturesKey) {
        if (!embeddedpictures::holdsPictures(music.file()))
            throw FileError(path, QStringLiteral("The file's format holds no pictures here; it was not written"));
        const QList<EmbeddedPicture> kept = embeddedpictures::asKeptBy(music.file(), change.pictures);
        picturesMeant = embeddedpictures::valueOf(kept);
        if (auto *mpeg = dynamic_cast<TagLib::MPEG::File *>(music.file()))
            newId3v2 = !mpeg->hasID3v2Tag() && !kept.isEmpty();
        const QString refusal = embeddedpictures::storeIn(music.file(), kept);
        if (!refusal.isEmpty())
            throw FileError(path, refusal + QStringLiteral("; it was not written"));
    } else if (fileproperties::holds(change.key)) {
        const QString refusal = fileproperties::write(*music.file(), change.key, change.value);
        if (!refusal.isEmpty())
            throw FileError(path, refusal);
    } else {
        apply(music.tag(), change);
    }
    // The basic tag's track number is the library's trackNumber.
    const QString written = change.key == QLatin1String("trackNumber") ? QStringLiteral("number") : change.key;
    const QString field = written == QLatin1String("title") ? QStringLiteral("name") : written;
    const QString fieldName = field == QLatin1String("name") ? QStringLiteral("title") : field;
    // What TagLib now holds for the written field is what the saved file must read.
    const QVariant meant = savecheck::field(savecheck::tagsOf(music.file(), *music.tag()), field);
    const bool saved = saveKeepingLayout(music.file(), music.wavTags(), newId3v2);
    if (!saved || stream.failed()) {
        const QString why = stream.failed() ? stream.error() : QStringLiteral("was refused by TagLib");
        throw FileError(path, QStringLiteral("The file could not be saved: it %1").arg(why));
    }

    const auto refuse = [&](const QString &why) {
        throw FileError(path, QStringLiteral("The save would %1; the file was left as it was").arg(why));
    };
    // A frame TagLib cannot read (a crafted encoding byte) takes the new text
    // into nothing, or saves it unreadable.
    if (!change.text.isEmpty() && meant.isValid() && meant.toString().isEmpty())
        refuse(QStringLiteral("leave the %1 it writes unreadable").arg(fieldName));
    // The saved tag is read back from its bytes, never taken from memory:
    // TagLib renders some frames it read (one with a crafted text encoding)
    // as nothing, whatever it holds for them.
    std::optional<savecheck::Fields> after =
        change.key == picturesKey ? std::nullopt : savecheck::fieldsAfterSave(music.file(), stream);
    if (change.key == picturesKey) {
        // Pictures are read back from the saved bytes, as the fields are.
        const Parsed again(stream, extension, false);
        if (!again.tag())
            refuse(QStringLiteral("leave a file that cannot be read back"));
        if (embeddedpictures::valueOf(embeddedpictures::readFrom(again.file())) != picturesMeant)
            refuse(QStringLiteral("write pictures that read back otherwise"));
        after = savecheck::fields(savecheck::tagsOf(again.file(), *again.tag()));
    } else if (!after) {
        const Parsed again(stream, extension, false);
        if (!again.tag())
            refuse(QStringLiteral("leave a file that cannot be read back"));
        after = savecheck::fields(*again.tag());
    }
    const QString lost = savecheck::lostField(before, *after, written);
    if (!lost.isEmpty())
        refuse(lost);
    if (meant.isValid() && after->value(field) != meant) {
        if (!change.text.isEmpty() && after->value(field).toString().isEmpty())
            refuse(QStringLiteral("leave the %1 it writes unreadable").arg(fieldName));
        refuse(QStringLiteral("write a %1 that reads back as \"%2\" instead of \"%3\"")
                   .arg(fieldName, after->value(field).toString().left(100), meant.toString().left(100)));
    }
    if (fieldaddress::isAddress(change.key)) {
        // A raw field has no place among the fields above: it is read back whole.
        const Parsed again(stream, extension, false);
        if (!again.file())
            refuse(QStringLiteral("leave a file that cannot be read back"));
        FileDescription description;
        filedescription::describeFile(*again.file(), description);
        const QString reads = tagvalue::comparableText(fieldaddress::valueIn(description, change.key));
        if (reads != change.value.toString())
            refuse(QStringLiteral("write a field %1 that reads back as \"%2\" instead of \"%3\"")
                       .arg(change.key, reads.left(100), change.value.toString().left(100)));
    }
    const filestructure::Bytes edited = savecheck::edited(stream);
    const QList<filestructure::Range> audioAfter = filestructure::audioOfSaved(edited, format);
    if (audioAfter.isEmpty() && !audioBefore.isEmpty())
        refuse(QStringLiteral("leave a file whose audio cannot be found"));
    if (!filestructure::sameBytes(savecheck::original(stream), audioBefore, edited, audioAfter))
        refuse(QStringLiteral("change the file's audio"));
    committurn::await();
    if (!stream.commit())
        throw FileError(path, QStringLiteral("The file could not be saved: it %1").arg(stream.error()));
}

QVariantHash readOpen(MusicFile &music, const QString &path, const QStringList &keys)
{
    QVariantHash values;
    for (const QString &key : keys)
        values.insert(key, valueOf(music, path, key));
    return values;
}

} // namespace

bool canRead(const QString &key)
{
    if (fieldaddress::isAddress(key))
        return fieldaddress::refusal(key).isEmpty();
    return textKeys.contains(key) || audioKeys.contains(key) || key == QLatin1String("number") ||
           key == QLatin1String("year") || key == QLatin1String("cover") || key == QLatin1String("location") ||
           key == picturesKey;
}

bool canWrite(const QString &key)
{
    if (fieldaddress::isAddress(key))
        return fieldaddress::refusal(key).isEmpty();
    return textKeys.contains(key) || key == QLatin1String("year") || key == picturesKey;
}

bool containsPicture(const QString &path)
{
    CheckedFileStream stream(path, CheckedFileStream::Access::Read);
    return containsPicture(stream);
}

QVariantList readInOrder(const QString &path, const QStringList &keys, FileIdentity *opened, bool listed,
                         QString *saveRefusal, bool *whole)
{
    QVariantList values;
    values.reserve(keys.size());
    if (whole)
        *whole = true;
    if (!needsOpen(keys) && !saveRefusal) {
        for (qsizetype i = 0; i < keys.size(); ++i)
            values.append(path);
        return values;
    }
    runWithLargeStack([&] {
        MusicFile music(path, CheckedFileStream::Access::Read, needsTagLib(keys) || saveRefusal,
                        needsAudioProperties(keys),
                        listed ? CheckedFileStream::Listed::Yes : CheckedFileStream::Listed::No);
        for (const QString &key : keys)
            values.append(valueOf(music, path, key));
        if (opened)
            *opened = music.stream().identity();
        if (saveRefusal)
            *saveRefusal = layoutRefusal(music, path);
        if (whole)
            *whole = music.stream().isOpen() && !music.stream().failed();
    });
    return values;
}

QList<EmbeddedPicture> picturesIn(const QString &path)
{
    QList<EmbeddedPicture> pictures;
    runWithLargeStack([&] {
        MusicFile music(path, CheckedFileStream::Access::Read, true, false);
        if (music.file())
            pictures = embeddedpictures::readFrom(music.file());
    });
    return pictures;
}

QVariantHash read(const QString &path, const QStringList &keys)
{
    const QVariantList values = readInOrder(path, keys);
    QVariantHash byKey;
    for (qsizetype i = 0; i < keys.size(); ++i)
        byKey.insert(keys[i], values[i]);
    return byKey;
}

namespace {

// A save runs TagLib on a large stack, which may be another thread's; it
// still waits for the turn of the thread it saves for.
void runSaving(const std::function<void()> &save)
{
    runWithLargeStack([&save, turn = committurn::currentTurn()] {
        const committurn::Scope scope(turn);
        save();
    });
}

} // namespace

void write(const QString &path, const QString &key, const QVariant &value)
{
    const Change change = changeFor(path, key, value);
    runSaving([&] {
        MusicFile music(path, CheckedFileStream::Access::ReadWrite, true, false);
        writeOpen(music, path, change);
    });
}

bool writeIfUnchanged(const QString &path, const QString &key, const QVariant &value,
                      const TagExpectations &expected)
{
    const Change change = changeFor(path, key, value);
    const QStringList keys = tagvalue::keysOf(expected);
    bool written = false;
    runSaving([&] {
        MusicFile music(path, CheckedFileStream::Access::ReadWrite, true, needsAudioProperties(keys));
        // The text fields compared are among those the save must keep: read
        // once, they serve both.
        std::optional<savecheck::Fields> fields;
        if (music.tag() && std::all_of(keys.cbegin(), keys.cend(), [](const QString &k) { return textKeys.contains(k); }))
            fields = savecheck::fields(savecheck::tagsOf(music.file(), *music.tag()));
        // A file we may not write is still compared first: a changed file is
        // reported as changed, not as unwritable.
        QVariantHash current;
        if (fields) {
            for (const QString &key : keys)
                current.insert(key, fields->value(key == QLatin1String("title") ? QStringLiteral("name") : key));
        } else {
            current = music.stream().isOpen() ? readOpen(music, path, keys) : read(path, keys);
        }
        if (!tagvalue::matches(current, expected))
            return;
        writeOpen(music, path, change, std::move(fields));
        written = true;
    });
    return written;
}

namespace {

// "3/12" and "3" both give 3; nothing for anything else.
QVariant leadingNumber(const TagLib::String &text)
{
    const QString value = fromTagLib(text).section(QLatin1Char('/'), 0, 0).trimmed();
    bool ok = false;
    const qlonglong number = value.toLongLong(&ok);
    return ok && number > 0 ? QVariant(number) : QVariant();
}

void insertText(QVariantHash &values, const char *key, const TagLib::String &text)
{
    if (!text.isEmpty())
        values.insert(QLatin1String(key), fromTagLib(text));
}

} // namespace

QVariantHash readListing(const QString &path, FileIdentity *opened, bool *whole)
{
    QVariantHash values;
    if (whole)
        *whole = false;
    try {
        runWithLargeStack([&] {
            MusicFile music(path, CheckedFileStream::Access::Read, true, false);
            if (opened)
                *opened = music.stream().identity();
            // TagLib has read all it reads of the file by now.
            if (whole)
                *whole = music.stream().isOpen() && !music.stream().failed();
            TagLib::Tag *tag = music.tag();
            if (!tag)
                return;
            insertText(values, "name", tag->title());
            insertText(values, "artist", tag->artist());
            insertText(values, "album", tag->album());
            insertText(values, "genre", tag->genre());
            if (tag->year() > 0)
                values.insert(QStringLiteral("year"), qlonglong(tag->year()));
            if (tag->track() > 0)
                values.insert(QStringLiteral("trackNumber"), qlonglong(tag->track()));
            const TagLib::PropertyMap fields = music.file()->properties();
            for (const char *name : {"ALBUMARTIST", "ALBUM ARTIST"}) {
                if (!fields[name].isEmpty()) {
                    insertText(values, "albumArtist", fields[name].front());
                    break;
                }
            }
            if (!fields["DISCNUMBER"].isEmpty()) {
                const QVariant disc = leadingNumber(fields["DISCNUMBER"].front());
                if (disc.isValid())
                    values.insert(QStringLiteral("discNumber"), disc);
            }
        });
    } catch (const std::exception &) {
        // A file that cannot be read shows as a name without tags.
        values.clear();
        if (opened)
            *opened = {};
        if (whole)
            *whole = false;
    }
    return values;
}

QString roomRefusal(const QString &path, const QString &key, const QVariant &value)
{
    const bool address = fieldaddress::isAddress(key);
    if ((!fileproperties::holds(key) && !address) || value.toString().isEmpty())
        return {};
    QString refusal;
    try {
        runWithLargeStack([&] {
            // The change goes to TagLib's copy of the tags only: the stream is read-only and never saved.
            MusicFile music(path, CheckedFileStream::Access::Read, true, false);
            if (music.file())
                refusal = address ? fieldaddress::write(*music.file(), key, value.toString())
                                  : fileproperties::write(*music.file(), key, value);
        });
    } catch (const std::exception &) {
        // Unreadable: the save says why.
    }
    return refusal;
}

FileDescription describe(const QString &path, QString *freeTag)
{
    FileDescription description;
    description.path = path;
    const QFileInfo info(path);
    if (!info.exists()) {
        description.problem = QStringLiteral("The file is missing.");
        return description;
    }
    description.size = info.size();
    try {
        runWithLargeStack([&] {
            MusicFile music(path, CheckedFileStream::Access::Read, true, true);
            if (!music.refusal().isEmpty())
                description.problem = music.refusal();
            else if (!music.file())
                description.problem = QStringLiteral("This is not a music file that can be read.");
            else
                filedescription::describeFile(*music.file(), description);
            // After the description: finding the tag may make one in memory.
            if (freeTag && music.file() && description.problem.isEmpty())
                *freeTag = fieldaddress::freeFieldTag(*music.file());
        });
    } catch (const std::exception &e) {
        description.problem = QString::fromUtf8(e.what());
    }
    return description;
}

} // namespace filetags
