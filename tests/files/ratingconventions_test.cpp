// SPDX-License-Identifier: GPL-3.0-or-later
// Files carrying the ratings and play counts of many players at once, written
// with TagLib (or byte by byte where TagLib would not write the field as a
// player does), read back into the library's 0-100 rating and play count.
#include "files/ratingconventions.h"
#include "testfiles.h"

#include <QtEndian>
#include <gtest/gtest.h>
#include <taglib/apetag.h>
#include <taglib/asffile.h>
#include <taglib/fileref.h>
#include <taglib/flacfile.h>
#include <taglib/id3v2tag.h>
#include <taglib/mp4file.h>
#include <taglib/mpegfile.h>
#include <taglib/popularimeterframe.h>
#include <taglib/textidentificationframe.h>
#include <taglib/vorbisfile.h>
#include <taglib/wavpackfile.h>
#include <taglib/xiphcomment.h>

using namespace ratingconventions;

namespace {

TagLib::String t(const char *text) { return TagLib::String(text, TagLib::String::UTF8); }

// What a file holds, as "field=rating/count" lines in the file's order (a
// dash for an absent value), and the ignored fields after them.
QStringList summary(const QString &path)
{
    TagLib::FileRef ref(QFile::encodeName(path).constData());
    EXPECT_FALSE(ref.isNull()) << path.toStdString();
    if (ref.isNull())
        return {};
    const Reading reading = read(*ref.file());
    QStringList lines;
    for (const Found &f : reading.found)
        lines.append(QStringLiteral("%1=%2/%3")
                         .arg(f.field, f.rating ? QString::number(*f.rating) : QStringLiteral("-"),
                              f.playCount ? QString::number(*f.playCount) : QStringLiteral("-")));
    for (const QString &line : reading.ignored)
        lines.append(QStringLiteral("ignored: ") + line);
    return lines;
}

Chosen chosen(const QString &path, const QString &profile = {})
{
    TagLib::FileRef ref(QFile::encodeName(path).constData());
    return choose(read(*ref.file()), profile);
}

void addPopm(TagLib::ID3v2::Tag *tag, const char *owner, int rating, unsigned counter)
{
    auto *frame = new TagLib::ID3v2::PopularimeterFrame();
    frame->setEmail(t(owner));
    frame->setRating(rating);
    frame->setCounter(counter);
    tag->addFrame(frame);
}

void addTxxx(TagLib::ID3v2::Tag *tag, const char *name, const char *value)
{
    auto *frame = new TagLib::ID3v2::UserTextIdentificationFrame(TagLib::String::UTF8);
    frame->setDescription(t(name));
    frame->setText(t(value));
    tag->addFrame(frame);
}

QByteArray synchsafe(quint32 n)
{
    QByteArray bytes(4, Qt::Uninitialized);
    for (int i = 0; i < 4; ++i)
        bytes[i] = char((n >> (21 - 7 * i)) & 0x7f);
    return bytes;
}

// An MP3 whose ID3v2.4 tag holds exactly the given POPM frame bodies, each
// as raw bytes, in front of the seed's audio.
QByteArray mp3WithRawPopm(const QList<QByteArray> &bodies)
{
    const QByteArray seed = TestFolder::readAll(TestFolder::seedPath("seed.mp3"));
    const quint32 seedTag = 10 + ((quint32(seed[6]) << 21) | (quint32(seed[7]) << 14) | (quint32(seed[8]) << 7) |
                                  quint32(seed[9]));
    QByteArray frames;
    for (const QByteArray &body : bodies)
        frames += "POPM" + synchsafe(quint32(body.size())) + QByteArray(2, 0) + body;
    return "ID3" + QByteArray("\x04\x00\x00", 3) + synchsafe(quint32(frames.size())) + frames + seed.mid(seedTag);
}

} // namespace

TEST(RatingConventions, EveryPlayersPopmAndFmpsInOneMp3ReadByTheirOwnMappings)
{
    TestFolder folder;
    const QString path = folder.addSeed("seed.mp3", "many.mp3");
    {
        TagLib::MPEG::File file(QFile::encodeName(path).constData());
        TagLib::ID3v2::Tag *tag = file.ID3v2Tag(true);
        addPopm(tag, "Windows Media Player 9 Series", 196, 0); // 4 stars by the bands
        addPopm(tag, "MusicBee", 64, 0);                       // 2 stars
        addPopm(tag, "no@email", 255, 21);                     // MediaMonkey, 5 stars
        addPopm(tag, "rating@winamp.com", 31, 0);              // the top of the 1-star band
        addPopm(tag, "users@musicbrainz.org", 153, 0);         // Picard: 3 of 5, as 153/255
        addPopm(tag, "quodlibet@lists.sacredchao.net", 191, 7); // Quod Libet: 0.75, played 7 times
        addPopm(tag, "traktor@native-instruments.de", 204, 0);
        addPopm(tag, "someone@example.org", 100, 0); // an owner nobody knows reads by the bands
        addPopm(tag, "", 0, 3);                       // unrated, with a count
        addTxxx(tag, "FMPS_Rating", "0.7");
        addTxxx(tag, "FMPS_PlayCount", "12");
        addTxxx(tag, "FMPS_Rating_Amarok_Score", "0.93");
        ASSERT_TRUE(file.save(TagLib::MPEG::File::ID3v2, TagLib::File::StripNone, TagLib::ID3v2::v4));
    }
    EXPECT_EQ(summary(path), QStringList({"POPM Windows Media Player 9 Series=80/-", "POPM MusicBee=40/-",
                                          "POPM no@email=100/21", "POPM rating@winamp.com=20/-",
                                          "POPM users@musicbrainz.org=60/-",
                                          "POPM quodlibet@lists.sacredchao.net=75/7",
                                          "POPM traktor@native-instruments.de=80/-",
                                          "POPM someone@example.org=60/-", "POPM (no owner)=-/3", "FMPS_Rating=70/-",
                                          "FMPS_PlayCount=-/12", "FMPS_Rating_Amarok_Score=93/-"}));

    // FMPS before any POPM; the profile's own frame before FMPS; a profile's
    // frame without a count leaves the count to the next field in line.
    const Chosen plain = chosen(path);
    EXPECT_EQ(plain.rating, 70);
    EXPECT_EQ(plain.ratingFrom, "FMPS_Rating");
    EXPECT_EQ(plain.playCount, 12u);
    const Chosen musicbee = chosen(path, "musicbee");
    EXPECT_EQ(musicbee.rating, 40);
    EXPECT_EQ(musicbee.playCount, 12u);
    const Chosen quodlibet = chosen(path, "quodlibet");
    EXPECT_EQ(quodlibet.rating, 75);
    EXPECT_EQ(quodlibet.playCount, 7u);
    EXPECT_EQ(chosen(path, "mediamonkey").playCount, 21u);
}

TEST(RatingConventions, CountersTagLibCannotReadWholeAreIgnoredAndSaid)
{
    TestFolder folder;
    // An owner, its nul, the rating, then the counter: 2 bytes, 4 bytes, 9 bytes, none.
    const QString path = folder.addFile(
        "counters.mp3", mp3WithRawPopm({QByteArray("MusicBee\0\xC4\x01\x02", 12),
                                        QByteArray("no@email\0\x40\x00\x00\x01\x00", 14),
                                        QByteArray("rating@winamp.com\0\xFF", 19) + QByteArray(9, '\x01'),
                                        QByteArray("users@musicbrainz.org\0\x66", 23)}));
    EXPECT_EQ(summary(path),
              QStringList({"POPM MusicBee=80/258", "POPM no@email=40/256", "POPM rating@winamp.com=100/-",
                           "POPM users@musicbrainz.org=40/-",
                           "ignored: POPM rating@winamp.com: a play counter of 9 bytes is not read"}));
}

TEST(RatingConventions, FreeFieldFormatsReadFmpsQuodLibetAndPlainRatingsOnTheirScales)
{
    TestFolder folder;
    const QString flacPath = folder.addSeed("seed.flac", "fields.flac");
    {
        TagLib::FLAC::File file(QFile::encodeName(flacPath).constData());
        TagLib::Ogg::XiphComment *comment = file.xiphComment(true);
        comment->addField("FMPS_RATING", "0.4");
        comment->addField("FMPS_PLAYCOUNT", "3.0");
        comment->addField("RATING:quodlibet@lists.sacredchao.net", "0.8");
        comment->addField("PLAYCOUNT:quodlibet@lists.sacredchao.net", "9");
        comment->addField("RATING", "4");
        ASSERT_TRUE(file.save());
    }
    const Chosen plain = chosen(flacPath);
    EXPECT_EQ(plain.rating, 40);
    EXPECT_EQ(plain.playCount, 3u);
    const Chosen quodlibet = chosen(flacPath, "quodlibet");
    EXPECT_EQ(quodlibet.rating, 80);
    EXPECT_EQ(quodlibet.playCount, 9u);
    EXPECT_EQ(chosen(flacPath, "rating").rating, 80) << "RATING=4 is four stars";

    // RATING's scale told by its value; a value that is no rating is said.
    const QList<QPair<const char *, QStringList>> scales = {
        {"3", {"RATING=60/-"}},      {"0.5", {"RATING=50/-"}},    {"85", {"RATING=85/-"}},
        {"1", {"RATING=20/-"}},      {"1.0", {"RATING=100/-"}},   {"0", {"RATING=-/-"}},
        {"150", {"ignored: RATING: \"150\" is not a rating from 0 to 100"}},
        {"five", {"ignored: RATING: \"five\" is not a rating from 0 to 100"}},
    };
    for (const auto &[value, expected] : scales) {
        SCOPED_TRACE(value);
        const QString path = folder.addSeed("seed.ogg", QStringLiteral("scale-%1.ogg").arg(value));
        {
            TagLib::Ogg::Vorbis::File file(QFile::encodeName(path).constData());
            file.tag()->addField("RATING", t(value));
            ASSERT_TRUE(file.save());
        }
        EXPECT_EQ(summary(path), expected);
    }

    const QString m4aPath = folder.addSeed("seed.m4a", "fields.m4a");
    {
        TagLib::MP4::File file(QFile::encodeName(m4aPath).constData());
        file.tag()->setItem("----:com.apple.iTunes:FMPS_Rating", TagLib::StringList(t("0.6")));
        file.tag()->setItem("----:com.apple.iTunes:FMPS_Playcount", TagLib::StringList(t("not many")));
        file.tag()->setItem("rate", TagLib::StringList(t("80")));
        ASSERT_TRUE(file.save());
    }
    EXPECT_EQ(summary(m4aPath),
              QStringList({"FMPS_Rating=60/-", "rate=80/-",
                           "ignored: FMPS_Playcount: \"not many\" is not a play count"}));

    const QString wvPath = folder.addSeed("seed.wv", "fields.wv");
    {
        TagLib::WavPack::File file(QFile::encodeName(wvPath).constData());
        file.APETag(true)->addValue("FMPS_Rating", "0.2");
        file.APETag(true)->addValue("Rating", "100");
        ASSERT_TRUE(file.save());
    }
    const Chosen wv = chosen(wvPath);
    EXPECT_EQ(wv.rating, 20);
    EXPECT_EQ(chosen(wvPath, "rating").rating, 100);

    const QString wmaPath = folder.addSeed("seed.wma", "fields.wma");
    {
        TagLib::ASF::File file(QFile::encodeName(wmaPath).constData());
        file.tag()->setAttribute("WM/SharedUserRating", TagLib::ASF::Attribute(75u));
        file.tag()->setAttribute("FMPS/Playcount", TagLib::ASF::Attribute(t("5")));
        ASSERT_TRUE(file.save());
    }
    const Chosen wma = chosen(wmaPath);
    EXPECT_EQ(wma.rating, 80);
    EXPECT_EQ(wma.ratingFrom, "WM/SharedUserRating");
    EXPECT_EQ(wma.playCount, 5u);
}
