// SPDX-License-Identifier: GPL-3.0-or-later
#include "fileproperties.h"

#include "taglibtext.h"
#include "support/textutils.h"

#include <taglib/aifffile.h>
#include <taglib/apetag.h>
#include <taglib/flacfile.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/oggfile.h>
#include <taglib/tpropertymap.h>
#include <taglib/wavfile.h>

namespace fileproperties {
namespace {

using taglibtext::fromTagLib;
using taglibtext::toTagLib;

struct TextField {
    const char *key;
    const char *field;
};
constexpr TextField textFields[] = {{"lyrics", "LYRICS"}, {"composer", "COMPOSER"}, {"albumArtist", "ALBUMARTIST"}};

// A number whose total may share its field ("3/12") or stand in one of its own.
struct Counted {
    const char *numberKey;
    const char *countKey;
    const char *field;
    std::initializer_list<const char *> totalFields;
};
const Counted countedFields[] = {
    {"trackNumber", "trackCount", "TRACKNUMBER", {"TRACKTOTAL", "TOTALTRACKS"}},
    {"discNumber", "discCount", "DISCNUMBER", {"DISCTOTAL", "TOTALDISCS"}},
};

const TextField *textField(const QString &key)
{
    for (const TextField &f : textFields)
        if (key == QLatin1StringView(f.key))
            return &f;
    return nullptr;
}

const Counted *counted(const QString &key)
{
    for (const Counted &c : countedFields)
        if (key == QLatin1StringView(c.numberKey) || key == QLatin1StringView(c.countKey))
            return &c;
    return nullptr;
}

// "3/12" gives 3 and 12; "3" gives 3 and 0; slashed tells which form the field has.
struct NumberAndTotal {
    int number = 0;
    int total = 0;
    bool slashed = false;
};

NumberAndTotal numberAndTotal(const TagLib::PropertyMap &properties, const char *field)
{
    if (!properties.contains(field) || properties[field].isEmpty())
        return {};
    const QString text = fromTagLib(properties[field].front());
    const qsizetype slash = text.indexOf(u'/');
    if (slash < 0)
        return {text::intValue(text), 0, false};
    return {text::intValue(text.left(slash)), text::intValue(text.mid(slash + 1)), true};
}

const char *presentField(const TagLib::PropertyMap &properties, std::initializer_list<const char *> fields)
{
    for (const char *field : fields)
        if (properties.contains(field) && !properties[field].isEmpty())
            return field;
    return nullptr;
}

void put(TagLib::PropertyMap &properties, const char *field, const QString &text)
{
    if (text.isEmpty())
        properties.erase(field);
    else
        properties.replace(field, TagLib::StringList(toTagLib(text)));
}

QString numberText(int n)
{
    return n > 0 ? QString::number(n) : QString();
}

// Xiph comments keep a total in a field of its own; the other formats
// (ID3v2, MP4, APE, ASF) write it after the number.
bool totalsStandApart(TagLib::File &file)
{
    return dynamic_cast<TagLib::FLAC::File *>(&file) || dynamic_cast<TagLib::Ogg::File *>(&file);
}

void change(TagLib::PropertyMap &properties, TagLib::File &file, const QString &key, const QVariant &value)
{
    if (const TextField *f = textField(key)) {
        put(properties, f->field, value.isValid() ? value.toString() : QString());
        return;
    }
    const int n = value.isValid() ? text::intValue(value) : 0;
    if (key == QLatin1StringView("bpm")) {
        put(properties, "BPM", numberText(n));
        return;
    }
    const Counted &c = *counted(key);
    const NumberAndTotal now = numberAndTotal(properties, c.field);
    const char *apart = presentField(properties, c.totalFields);
    if (key == QLatin1StringView(c.numberKey)) {
        put(properties, c.field, now.slashed && now.total > 0 ? QStringLiteral("%1/%2").arg(n).arg(now.total)
                                                              : numberText(n));
    } else if (now.slashed || (!apart && !totalsStandApart(file))) {
        // A number of 0 before a total keeps the total's place: "0/12".
        put(properties, c.field, n > 0 ? QStringLiteral("%1/%2").arg(now.number).arg(n) : numberText(now.number));
    } else {
        put(properties, apart ? apart : *c.totalFields.begin(), numberText(n));
    }
}

// Writes into one tag that the save keeps; the map is read from it so that
// every other field stays as it was.
template <typename Tag> QString writeInto(Tag &tag, TagLib::File &file, const QString &key, const QVariant &value,
                                          const char *field)
{
    TagLib::PropertyMap properties = tag.properties();
    change(properties, file, key, value);
    const TagLib::PropertyMap refused = tag.setProperties(properties);
    if (field && refused.contains(field))
        return QStringLiteral("The file's tags cannot hold the %1").arg(key);
    return {};
}

const char *fieldOf(const QString &key)
{
    if (const TextField *f = textField(key))
        return f->field;
    if (key == QLatin1StringView("bpm"))
        return "BPM";
    return counted(key)->field;
}

} // namespace

bool holds(const QString &key)
{
    return textField(key) || counted(key) || key == QLatin1StringView("bpm");
}

int firstNumber(const TagLib::PropertyMap &properties, std::initializer_list<const char *> fields)
{
    const char *field = presentField(properties, fields);
    return field ? text::intValue(fromTagLib(properties[field].front())) : 0;
}

QVariant read(const TagLib::PropertyMap &properties, const QString &key)
{
    if (const TextField *f = textField(key)) {
        const QString text = properties.contains(f->field) && !properties[f->field].isEmpty()
                                 ? fromTagLib(properties[f->field].front())
                                 : QString();
        return text.isEmpty() ? QVariant() : QVariant(text);
    }
    int n = 0;
    if (key == QLatin1StringView("bpm")) {
        n = firstNumber(properties, {"BPM"});
    } else if (const Counted *c = counted(key)) {
        const NumberAndTotal now = numberAndTotal(properties, c->field);
        n = key == QLatin1StringView(c->numberKey) ? now.number
                                                    : (now.total ? now.total : firstNumber(properties, c->totalFields));
    }
    return n > 0 ? QVariant(qlonglong(n)) : QVariant();
}

QString write(TagLib::File &file, const QString &key, const QVariant &value)
{
    if (!textField(key) && value.isValid() && text::intValue(value) < 0)
        return QStringLiteral("The %1 %2 cannot be stored in a music file").arg(key, value.toString());
    const char *field = fieldOf(key);
    if (auto *mpeg = dynamic_cast<TagLib::MPEG::File *>(&file)) {
        // The save keeps the tag types the file has; an ID3v1 tag has no room for these.
        if (mpeg->hasID3v2Tag() || (!mpeg->hasAPETag() && !mpeg->hasID3v1Tag()))
            return writeInto(*mpeg->ID3v2Tag(true), file, key, value, field);
        if (mpeg->hasAPETag())
            return writeInto(*mpeg->APETag(), file, key, value, field);
        return QStringLiteral("The file has only an ID3v1 tag, which cannot hold the %1").arg(key);
    }
    if (auto *wav = dynamic_cast<TagLib::RIFF::WAV::File *>(&file)) {
        // A file with only the RIFF INFO chunk keeps it alone; INFO has no such fields.
        if (wav->hasID3v2Tag() || !wav->hasInfoTag())
            return writeInto(*wav->ID3v2Tag(), file, key, value, field);
        return QStringLiteral("The file's RIFF INFO tag cannot hold the %1").arg(key);
    }
    if (auto *aiff = dynamic_cast<TagLib::RIFF::AIFF::File *>(&file))
        return writeInto(*aiff->tag(), file, key, value, field);
    return writeInto(file, file, key, value, field);
}

} // namespace fileproperties
