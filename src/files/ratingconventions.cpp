// SPDX-License-Identifier: GPL-3.0-or-later
#include "ratingconventions.h"

#include "taglibtext.h"

#include "support/fileutils.h"

#include <taglib/apefile.h>
#include <taglib/apetag.h>
#include <taglib/asftag.h>
#include <taglib/flacfile.h>
#include <taglib/id3v2tag.h>
#include <taglib/mp4tag.h>
#include <taglib/mpcfile.h>
#include <taglib/mpegfile.h>
#include <taglib/popularimeterframe.h>
#include <taglib/rifffile.h>
#include <taglib/textidentificationframe.h>
#include <taglib/trueaudiofile.h>
#include <taglib/wavfile.h>
#include <taglib/wavpackfile.h>
#include <taglib/xiphcomment.h>

#include <QHash>

#include <algorithm>
#include <array>
#include <cmath>

namespace ratingconventions {

namespace {

// The players whose POPM owner is known, with how their byte is read. The
// star players agree on 1/64/128/196/255 for writing and on bands for
// reading; Picard and Traktor write 51 a star, Quod Libet any fraction.
struct Player {
    const char *profile;
    const char *owner;
    bool fraction; // the byte is a fraction of 255, not a star band
    const char *title;
};

constexpr std::array players{
    Player{"wmp", "Windows Media Player 9 Series", false, "Windows Media Player"},
    Player{"musicbee", "MusicBee", false, "MusicBee"},
    Player{"mediamonkey", "no@email", false, "MediaMonkey"},
    Player{"winamp", "rating@winamp.com", false, "Winamp"},
    Player{"picard", "users@musicbrainz.org", true, "MusicBrainz Picard"},
    Player{"quodlibet", "quodlibet@lists.sacredchao.net", true, "Quod Libet"},
    Player{"traktor", "traktor@native-instruments.de", true, "Traktor"},
};

// Profiles that write no POPM of their own come after the players in the
// list a person picks from.
struct OtherProfile {
    const char *profile;
    const char *title;
};
constexpr std::array otherProfiles{
    OtherProfile{"fmps", "FMPS (Strawberry, Clementine, Amarok)"},
    OtherProfile{"rating", "plain RATING"},
};

const Player *playerOwning(const QString &owner)
{
    for (const Player &p : players) {
        if (owner.compare(QLatin1StringView(p.owner), Qt::CaseInsensitive) == 0)
            return &p;
    }
    return nullptr;
}

QString popmField(const QString &owner)
{
    return owner.isEmpty() ? QStringLiteral("POPM (no owner)") : QStringLiteral("POPM %1").arg(owner);
}

// A decimal number as players write them: "0.8", " 3 ", "1e0". Absent for
// anything else, including NaN and infinities.
std::optional<double> number(const QString &text)
{
    bool ok = false;
    const double value = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

int percent(double fraction) { return int(std::lround(fraction * 100)); }

class Reader {
public:
    Reading reading;

    void popm(const TagLib::ID3v2::Tag &tag)
    {
        for (TagLib::ID3v2::Frame *frame : tag.frameList("POPM")) {
            const auto *popm = dynamic_cast<const TagLib::ID3v2::PopularimeterFrame *>(frame);
            if (!popm)
                continue;
            const QString owner = taglibtext::fromTagLib(popm->email());
            Found found{Convention::Popm, popmField(owner), owner, ratingFromPopm(owner, popm->rating()), {},
                        QStringLiteral("%1, counter %2").arg(popm->rating()).arg(popm->counter())};
            // TagLib reads at most four bytes of the counter, the high ones of
            // a longer counter, which would give a wrong count: the counter's
            // length is what is left of the frame after owner, nul and rating.
            const qint64 counterBytes = qint64(popm->size()) - popm->email().size() - 2;
            if (counterBytes > 4)
                reading.ignored.append(
                    QStringLiteral("%1: a play counter of %2 bytes is not read").arg(found.field).arg(counterBytes));
            else if (counterBytes > 0 && popm->counter() > 0)
                // Players that keep no count write 0 here; it says nothing.
                found.playCount = popm->counter();
            reading.found.push_back(found);
        }
        for (TagLib::ID3v2::Frame *frame : tag.frameList("TXXX")) {
            const auto *text = dynamic_cast<const TagLib::ID3v2::UserTextIdentificationFrame *>(frame);
            const TagLib::StringList fields = text ? text->fieldList() : TagLib::StringList();
            if (fields.size() > 1)
                field(taglibtext::fromTagLib(fields[0]), taglibtext::fromTagLib(fields[1]), FieldSet::Fmps);
        }
    }

    // Which names a tag type may hold: ID3v2 keeps only FMPS in TXXX frames;
    // the free-field formats keep the plain and Quod Libet fields too.
    enum class FieldSet { Fmps, Free };

    // One named text field of any format; the name's case does not matter, as
    // players disagree on it (FMPS_Playcount, FMPS_PlayCount, FMPS_PLAYCOUNT).
    void field(const QString &name, const QString &value, FieldSet set)
    {
        const QString upper = name.toUpper();
        if (upper == u"FMPS_RATING" || upper == u"FMPS/RATING")
            fraction(Convention::Fmps, name, {}, value);
        else if (upper == u"FMPS_RATING_AMAROK_SCORE" || upper == u"FMPS/RATING_AMAROK_SCORE")
            fraction(Convention::AmarokScore, name, {}, value);
        else if (upper == u"FMPS_PLAYCOUNT" || upper == u"FMPS/PLAYCOUNT")
            count(Convention::Fmps, name, {}, value);
        else if (set == FieldSet::Fmps)
            return;
        else if (upper == u"RATING")
            plainRating(name, value);
        else if (upper.startsWith(u"RATING:") && upper.size() > 7)
            fraction(Convention::QuodLibet, name, name.mid(7).toLower(), value);
        else if (upper.startsWith(u"PLAYCOUNT:") && upper.size() > 10)
            count(Convention::QuodLibet, name, name.mid(10).toLower(), value);
    }

    void fraction(Convention convention, const QString &name, const QString &owner, const QString &value)
    {
        const std::optional<double> v = number(value);
        if (!v || *v < 0 || *v > 1)
            return ignore(name, value, QStringLiteral("not a fraction from 0 to 1"));
        reading.found.push_back({convention, name, owner, percent(*v), {}, value});
    }

    void count(Convention convention, const QString &name, const QString &owner, const QString &value)
    {
        // FMPS allows a fractional count; a count is whole, so it is rounded.
        const std::optional<double> v = number(value);
        if (!v || *v < 0 || *v >= 1e18)
            return ignore(name, value, QStringLiteral("not a play count"));
        reading.found.push_back({convention, name, owner, {}, quint64(std::llround(*v)), value});
    }

    // RATING is written on three scales; which one is told by the value:
    // a fraction with a point up to 1, whole stars 1-5, a percentage above.
    void plainRating(const QString &name, const QString &value)
    {
        const std::optional<double> v = number(value);
        if (!v || *v < 0 || *v > 100)
            return ignore(name, value, QStringLiteral("not a rating from 0 to 100"));
        std::optional<int> rating;
        const bool whole = std::floor(*v) == *v && !value.contains(u'.');
        if (*v == 0)
            rating.reset();
        else if (!whole && *v <= 1)
            rating = percent(*v);
        else if (whole && *v <= 5)
            rating = int(*v) * 20;
        else
            rating = int(std::lround(*v));
        reading.found.push_back({Convention::Plain, name, {}, rating, {}, value});
    }

    void mp4(const TagLib::MP4::Tag &tag)
    {
        const TagLib::MP4::ItemMap &items = tag.itemMap();
        for (auto it = items.begin(); it != items.end(); ++it) {
            const QString key = taglibtext::fromTagLib(it->first);
            const QString text = textOf(it->second);
            static const QString freeform = QStringLiteral("----:com.apple.iTunes:");
            if (key.startsWith(freeform, Qt::CaseInsensitive))
                field(key.mid(freeform.size()), text, FieldSet::Fmps);
            else if (key == u"rate") {
                const std::optional<double> v = number(text);
                if (!v || *v < 0 || *v > 100)
                    ignore(QStringLiteral("rate"), text, QStringLiteral("not a rating from 0 to 100"));
                else if (*v > 0)
                    reading.found.push_back({Convention::Mp4Rate, key, {}, int(std::lround(*v)), {}, text});
            }
        }
    }

    void asf(const TagLib::ASF::Tag &tag)
    {
        const TagLib::ASF::AttributeListMap &attributes = tag.attributeListMap();
        for (auto it = attributes.begin(); it != attributes.end(); ++it) {
            if (it->second.isEmpty())
                continue;
            const QString name = taglibtext::fromTagLib(it->first);
            const QString text = textOf(it->second.front());
            if (name.compare(u"WM/SharedUserRating", Qt::CaseInsensitive) == 0)
                sharedRating(name, text);
            else
                field(name, text, FieldSet::Fmps);
        }
    }

    // Windows Media Player's stars: 1, 25, 50, 75, 99; other values are read
    // as the nearest of them.
    void sharedRating(const QString &name, const QString &text)
    {
        const std::optional<double> v = number(text);
        if (!v || *v < 0 || *v > 99)
            return ignore(name, text, QStringLiteral("not a rating from 0 to 99"));
        if (*v == 0)
            return;
        const int stars = *v < 13 ? 1 : *v < 37.5 ? 2 : *v < 62.5 ? 3 : *v < 87 ? 4 : 5;
        reading.found.push_back({Convention::SharedRating, name, {}, stars * 20, {}, text});
    }

    void xiph(const TagLib::Ogg::XiphComment &comment)
    {
        const TagLib::Ogg::FieldListMap &fields = comment.fieldListMap();
        for (auto it = fields.begin(); it != fields.end(); ++it) {
            if (!it->second.isEmpty())
                field(taglibtext::fromTagLib(it->first), taglibtext::fromTagLib(it->second.front()), FieldSet::Free);
        }
    }

    void ape(const TagLib::APE::Tag &tag)
    {
        const TagLib::APE::ItemListMap &items = tag.itemListMap();
        for (auto it = items.begin(); it != items.end(); ++it) {
            if (it->second.type() == TagLib::APE::Item::Text && !it->second.values().isEmpty())
                field(taglibtext::fromTagLib(it->second.key()), taglibtext::fromTagLib(it->second.values().front()),
                      FieldSet::Free);
        }
    }

private:
    void ignore(const QString &name, const QString &value, const QString &why)
    {
        reading.ignored.append(QStringLiteral("%1: \"%2\" is %3").arg(name, value.left(40), why));
    }

    static QString textOf(const TagLib::MP4::Item &item)
    {
        const TagLib::StringList texts = item.toStringList();
        if (!texts.isEmpty())
            return taglibtext::fromTagLib(texts.front());
        // "rate" is written as a number by some players, as text by others.
        return QString::number(item.toInt());
    }

    static QString textOf(const TagLib::ASF::Attribute &attribute)
    {
        switch (attribute.type()) {
        case TagLib::ASF::Attribute::UnicodeType:
            return taglibtext::fromTagLib(attribute.toString());
        case TagLib::ASF::Attribute::DWordType:
            return QString::number(attribute.toUInt());
        case TagLib::ASF::Attribute::QWordType:
            return QString::number(attribute.toULongLong());
        case TagLib::ASF::Attribute::WordType:
            return QString::number(attribute.toUShort());
        default:
            return {};
        }
    }
};

// The order in which a field is trusted for a rating or a count when no
// profile says otherwise; lower is first.
int rank(const Found &found)
{
    switch (found.convention) {
    case Convention::Fmps:
        return 0;
    case Convention::Popm:
        if (const Player *p = playerOwning(found.owner))
            return 1 + int(p - players.data());
        return found.owner.isEmpty() ? 1 + int(players.size()) + 1 : 1 + int(players.size());
    case Convention::QuodLibet:
        return 20;
    case Convention::Plain:
        return 21;
    case Convention::Mp4Rate:
        return 22;
    case Convention::SharedRating:
        return 23;
    case Convention::AmarokScore:
        return 100;
    }
    return 100;
}

// Whether a field is the one a profile writes.
bool belongsTo(const Found &found, const QString &profile)
{
    if (profile == u"fmps")
        return found.convention == Convention::Fmps;
    if (profile == u"rating")
        return found.convention == Convention::Plain;
    if (profile == u"quodlibet" && found.convention == Convention::QuodLibet)
        return found.owner == QLatin1StringView(players[5].owner);
    const QString owner = popmOwnerOf(profile);
    return found.convention == Convention::Popm && !owner.isEmpty() &&
           found.owner.compare(owner, Qt::CaseInsensitive) == 0;
}

} // namespace

std::optional<int> ratingFromPopm(const QString &owner, int byte)
{
    if (byte <= 0 || byte > 255)
        return std::nullopt;
    const Player *player = playerOwning(owner);
    if (player && player->fraction)
        return int(std::lround(byte * 100.0 / 255));
    const int stars = byte < 32 ? 1 : byte < 96 ? 2 : byte < 160 ? 3 : byte < 224 ? 4 : 5;
    return stars * 20;
}

QStringList profileNames()
{
    QStringList names;
    for (const Player &p : players)
        if (QLatin1StringView(p.profile) != u"traktor")
            names.append(QLatin1StringView(p.profile));
    for (const OtherProfile &other : otherProfiles)
        names.append(QLatin1StringView(other.profile));
    return names;
}

QString profileTitle(const QString &profile)
{
    for (const Player &p : players)
        if (profile == QLatin1StringView(p.profile))
            return QLatin1StringView(p.title);
    for (const OtherProfile &other : otherProfiles)
        if (profile == QLatin1StringView(other.profile))
            return QLatin1StringView(other.title);
    return profile;
}

std::optional<QString> profileNamed(const QString &name)
{
    for (const QString &profile : profileNames())
        if (profile.compare(name.trimmed(), Qt::CaseInsensitive) == 0)
            return profile;
    return std::nullopt;
}

QString popmOwnerOf(const QString &profile)
{
    for (const Player &p : players)
        if (profile == QLatin1StringView(p.profile))
            return QLatin1StringView(p.owner);
    return {};
}

QString savedProfile()
{
    const QString saved = files::defaultValue(QStringLiteral("RatingProfile")).toString();
    return profileNames().contains(saved) ? saved : QString();
}

void saveProfile(const QString &profile)
{
    files::setDefaultValue(QStringLiteral("RatingProfile"), profile);
}

Reading read(TagLib::File &file)
{
    using namespace TagLib;
    Reader reader;
    try {
        if (auto *mpeg = dynamic_cast<MPEG::File *>(&file)) {
            if (mpeg->hasID3v2Tag())
                reader.popm(*mpeg->ID3v2Tag());
            if (mpeg->hasAPETag())
                reader.ape(*mpeg->APETag());
        } else if (auto *flac = dynamic_cast<FLAC::File *>(&file)) {
            if (flac->hasXiphComment())
                reader.xiph(*flac->xiphComment());
            if (flac->hasID3v2Tag())
                reader.popm(*flac->ID3v2Tag());
        } else if (auto *wav = dynamic_cast<RIFF::WAV::File *>(&file)) {
            if (wav->hasID3v2Tag())
                reader.popm(*wav->ID3v2Tag());
        } else if (auto *tta = dynamic_cast<TrueAudio::File *>(&file)) {
            if (tta->hasID3v2Tag())
                reader.popm(*tta->ID3v2Tag());
        } else if (auto *ape = dynamic_cast<APE::File *>(&file)) {
            if (ape->hasAPETag())
                reader.ape(*ape->APETag());
        } else if (auto *wavpack = dynamic_cast<WavPack::File *>(&file)) {
            if (wavpack->hasAPETag())
                reader.ape(*wavpack->APETag());
        } else if (auto *mpc = dynamic_cast<MPC::File *>(&file)) {
            if (mpc->hasAPETag())
                reader.ape(*mpc->APETag());
        } else if (Tag *tag = file.tag()) {
            // The formats whose one tag is of its own type: Ogg (Xiph
            // comments), MP4, ASF and AIFF (ID3v2).
            if (const auto *comment = dynamic_cast<const Ogg::XiphComment *>(tag))
                reader.xiph(*comment);
            else if (const auto *mp4 = dynamic_cast<const MP4::Tag *>(tag))
                reader.mp4(*mp4);
            else if (const auto *asf = dynamic_cast<const ASF::Tag *>(tag))
                reader.asf(*asf);
            else if (const auto *id3 = dynamic_cast<const ID3v2::Tag *>(tag))
                reader.popm(*id3);
        }
    } catch (const std::exception &) {
        // A crafted size TagLib cannot allocate for: what was read stands.
        reader.reading.ignored.append(QStringLiteral("the tags could not be read to their end"));
    }
    return std::move(reader.reading);
}

namespace {

// The byte a player writes for a rating: its five star bytes, or the rating
// as a fraction of 255.
int popmByte(const Player &player, int rating)
{
    if (QLatin1StringView(player.profile) == u"quodlibet")
        return int(std::lround(rating * 255.0 / 100));
    static constexpr std::array starBytes{1, 64, 128, 196, 255};
    static constexpr std::array fractionBytes{51, 102, 153, 204, 255};
    const int stars = std::clamp(int(std::lround(rating / 20.0)), 1, 5);
    return (player.fraction ? fractionBytes : starBytes)[stars - 1];
}

// "0.8", "1.0": FMPS and Quod Libet keep a rating as a fraction with a point.
QString fractionText(int rating)
{
    QString text = QString::number(rating / 100.0, 'g', 3);
    if (!text.contains(u'.'))
        text += QStringLiteral(".0");
    return text;
}

} // namespace

std::vector<Written> fieldsFor(const QString &profile, const QString &tag, std::optional<int> rating,
                               quint64 playCount)
{
    const QString count = QString::number(playCount);
    const QString fraction = rating ? fractionText(*rating) : QString();
    std::vector<Written> fields;
    for (const Player &player : players) {
        if (profile != QLatin1StringView(player.profile))
            continue;
        if (tag == u"ID3v2") {
            // A POPM counter has four bytes as TagLib writes it.
            const quint64 counter = std::min<quint64>(playCount, 0xFFFFFFFFu);
            fields.push_back({QStringLiteral("ID3v2:POPM:%1").arg(QLatin1StringView(player.owner)),
                              QStringLiteral("%1/%2").arg(rating ? popmByte(player, *rating) : 0).arg(counter)});
        } else if (tag == u"Vorbis" && profile == u"quodlibet") {
            const QString email = QLatin1StringView(player.owner).toString().toUpper();
            fields.push_back({QStringLiteral("Vorbis:RATING:") + email, fraction});
            fields.push_back({QStringLiteral("Vorbis:PLAYCOUNT:") + email, count});
        }
        return fields;
    }
    const QString plain = rating ? QString::number(*rating) : QString();
    if (profile == u"rating") {
        if (tag == u"Vorbis" || tag == u"APE")
            fields.push_back({tag + QStringLiteral(":RATING"), plain});
    } else if (profile == u"fmps") {
        // Each tag spells the names its own way: Vorbis and APE keep them in capitals.
        static const QHash<QString, std::pair<QString, QString>> names = {
            {QStringLiteral("ID3v2"), {QStringLiteral("TXXX:FMPS_Rating"), QStringLiteral("TXXX:FMPS_Playcount")}},
            {QStringLiteral("Vorbis"), {QStringLiteral("FMPS_RATING"), QStringLiteral("FMPS_PLAYCOUNT")}},
            {QStringLiteral("MP4"),
             {QStringLiteral("----:com.apple.iTunes:FMPS_Rating"), QStringLiteral("----:com.apple.iTunes:FMPS_Playcount")}},
            {QStringLiteral("APE"), {QStringLiteral("FMPS_RATING"), QStringLiteral("FMPS_PLAYCOUNT")}},
            {QStringLiteral("ASF"), {QStringLiteral("FMPS/Rating"), QStringLiteral("FMPS/Playcount")}},
        };
        if (const auto found = names.constFind(tag); found != names.cend()) {
            fields.push_back({tag + QLatin1Char(':') + found->first, fraction});
            fields.push_back({tag + QLatin1Char(':') + found->second, count});
        }
    }
    return fields;
}

Chosen choose(const Reading &reading, const QString &profile)
{
    std::vector<const Found *> order;
    for (const Found &f : reading.found)
        order.push_back(&f);
    std::stable_sort(order.begin(), order.end(), [&](const Found *a, const Found *b) {
        const bool ownA = !profile.isEmpty() && belongsTo(*a, profile);
        const bool ownB = !profile.isEmpty() && belongsTo(*b, profile);
        if (ownA != ownB)
            return ownA;
        return rank(*a) < rank(*b);
    });
    Chosen chosen;
    for (const Found *f : order) {
        if (!chosen.rating && f->rating && f->convention != Convention::AmarokScore) {
            chosen.rating = f->rating;
            chosen.ratingFrom = f->field;
            chosen.ratingIndex = int(f - reading.found.data());
        }
        if (!chosen.playCount && f->playCount) {
            chosen.playCount = f->playCount;
            chosen.playCountFrom = f->field;
            chosen.playCountIndex = int(f - reading.found.data());
        }
    }
    return chosen;
}

} // namespace ratingconventions
