// SPDX-License-Identifier: GPL-3.0-or-later
#include "fakewindowport.h"
#include "model/musictrack.h"
#include "model/tagcatalogue.h"
#include "support/dispatch.h"
#include "support/namedexception.h"
#include "testfiles.h"

#include <taglib/flacfile.h>
#include <taglib/id3v1tag.h>
#include <taglib/id3v2header.h>
#include <taglib/id3v2tag.h>
#include <taglib/mp4file.h>
#include <taglib/mpegfile.h>
#include <taglib/infotag.h>
#include <taglib/wavfile.h>

#include <QFileInfo>
#include <gtest/gtest.h>

namespace {

const QString folderRefusal =
    "You can operate on this tag only when selecting an iTunes playlist and not directly on a folder of files.";
const QStringList tagKeys = {"name", "artist", "album", "comment", "genre", "year", "number"};

// The seeds' tags as TagLib reads them. The encoder put the MP3's comment in a
// user text frame, which is not the comment field.
QVariantHash seedValues(const QString &seed)
{
    QVariantHash values{{"name", "Seed Title"}, {"artist", "Seed Artist"}, {"album", "Seed Album"},
                        {"comment", "Seed comment"}, {"genre", "Rock"}, {"year", "1999"}, {"number", "3"}};
    if (seed == "seed.mp3")
        values["comment"] = QString("");
    return values;
}

// Which tag blocks the file holds, in which version: what a save must not change.
QString layoutOf(const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    const QString suffix = QFileInfo(path).suffix();
    if (suffix == "mp3") {
        TagLib::MPEG::File f(name.constData(), false);
        return QString("id3v2.%1 id3v1=%2 ape=%3")
            .arg(f.hasID3v2Tag() ? f.ID3v2Tag()->header()->majorVersion() : 0)
            .arg(f.hasID3v1Tag())
            .arg(f.hasAPETag());
    }
    if (suffix == "flac") {
        TagLib::FLAC::File f(name.constData(), false);
        return QString("xiph=%1 id3v2=%2 id3v1=%3").arg(f.hasXiphComment()).arg(f.hasID3v2Tag()).arg(f.hasID3v1Tag());
    }
    if (suffix == "wav") {
        TagLib::RIFF::WAV::File f(name.constData(), false);
        return QString("id3v2=%1 info=%2").arg(f.hasID3v2Tag()).arg(f.hasInfoTag());
    }
    if (suffix == "m4a") {
        TagLib::MP4::File f(name.constData(), false);
        return QString("mp4 valid=%1").arg(f.isValid());
    }
    return QString("other");
}

class FileTrack : public ::testing::TestWithParam<QString> {
protected:
    TestFolder folder;
    ScopedFakePort port;
};

} // namespace

TEST_P(FileTrack, ReadsEveryKeyOfTheSeed)
{
    const QString seed = GetParam();
    const QString path = folder.addSeed(seed, "Some Folder/track." + QFileInfo(seed).suffix());
    const MusicTrack track = MusicTrack::withPath(path, port.get());
    const QVariantHash expected = seedValues(seed);
    for (const QString &key : tagKeys)
        EXPECT_EQ(track.valueForTag(key), expected[key]) << key.toStdString();
    EXPECT_EQ(track.valueForTag("title"), expected["name"]);
    EXPECT_EQ(track.title(), "Seed Title");
    EXPECT_EQ(track.artist(), "Seed Artist");
    EXPECT_EQ(track.album(), "Seed Album");
    EXPECT_EQ(track.location(), path);
    EXPECT_FALSE(track.valueForTag("cover").isValid());
    // A fifth of a second: whole seconds round down to 0, which is a value, not absence.
    EXPECT_EQ(track.valueForTag("duration"), QVariant(0));
    EXPECT_GT(track.valueForTag("bitRate").toInt(), 0);
    EXPECT_EQ(track.valueForTag("bitRate").typeId(), QMetaType::Int);

    const QStringList all = tagKeys + QStringList{"title", "duration", "bitRate", "cover", "location"};
    const QVariantHash together = track.valuesForTags(all);
    for (const QString &key : all)
        EXPECT_EQ(together.value(key), track.valueForTag(key)) << key.toStdString();
    EXPECT_TRUE(port->alerts.isEmpty());
}

TEST_P(FileTrack, EachWrittenKeyChangesOnlyItselfAndKeepsTheLayout)
{
    const QString seed = GetParam();
    const QVariantHash original = seedValues(seed);
    const QList<QPair<QString, QVariant>> writes = {
        {"name", "New Title"}, {"title", "Another Title"}, {"artist", "New Artist"}, {"album", "New Album"},
        {"comment", "New comment"}, {"genre", "Jazz"}, {"year", "2001"}};
    for (const auto &[key, value] : writes) {
        SCOPED_TRACE(key.toStdString());
        const QString path = folder.addSeed(seed, key + "." + QFileInfo(seed).suffix());
        const QString layout = layoutOf(path);
        const MusicTrack track = MusicTrack::withPath(path, port.get());
        track.setTag(key, value);

        QVariantHash expected = original;
        expected[key == "title" ? "name" : key] = value;
        const QVariantHash read = MusicTrack::withPath(path, port.get()).valuesForTags(tagKeys);
        for (const QString &k : tagKeys)
            EXPECT_EQ(read.value(k), expected[k]) << k.toStdString();
        EXPECT_EQ(layoutOf(path), layout);
    }
    EXPECT_TRUE(port->alerts.isEmpty());
}

TEST_P(FileTrack, YearIsTextWhenReadAndZeroMeansAbsent)
{
    const QString seed = GetParam();
    const QString path = folder.addSeed(seed, "y." + QFileInfo(seed).suffix());
    const MusicTrack track = MusicTrack::withPath(path, port.get());
    EXPECT_EQ(track.valueForTag("year"), QVariant(QString("1999")));
    track.setTag("year", QString("2001"));
    EXPECT_EQ(track.valueForTag("year"), QVariant(QString("2001")));
    track.setTag("year", QString(""));
    EXPECT_FALSE(track.valueForTag("year").isValid());
    track.setTag("year", 1987);
    EXPECT_EQ(track.valueForTag("year"), QVariant(QString("1987")));
    // A text converts as far as it is a number.
    track.setTag("year", QString(" 2003 remastered"));
    EXPECT_EQ(track.valueForTag("year"), QVariant(QString("2003")));
    track.setTag("year", 0);
    EXPECT_FALSE(track.valueForTag("year").isValid());
    // A file has no negative years; refused rather than stored as a huge one.
    track.setTag("year", 1999);
    EXPECT_THROW(track.setTag("year", QString("-5")), FileError);
    EXPECT_EQ(track.valueForTag("year"), QVariant(QString("1999")));
    EXPECT_EQ(track.valueForTag("name"), QVariant(QString("Seed Title")));
}

TEST_P(FileTrack, TextsSurviveTheRoundTripExactly)
{
    const QString seed = GetParam();
    const QString path = folder.addSeed(seed, "u." + QFileInfo(seed).suffix());
    const MusicTrack track = MusicTrack::withPath(path, port.get());
    // RIFF INFO holds Latin-1 only, so the WAV file gets a Latin-1 text.
    const QString text = seed == "seed.wav" ? QString("Caf\u00e9 \u00bd") : QString("Caf\u00e9 \u2013 \U0001F3B5 \u65e5\u672c");
    track.setTag("artist", text);
    EXPECT_EQ(track.artist(), text);
    track.setTag("album", QString(""));
    EXPECT_EQ(track.valueForTag("album"), QVariant(QString("")));
    EXPECT_EQ(track.valueForTag("name"), QVariant(QString("Seed Title")));
}

INSTANTIATE_TEST_SUITE_P(Seeds, FileTrack, ::testing::ValuesIn(seedNames()),
                         [](const auto &info) { return QFileInfo(info.param).suffix().toStdString(); });

TEST(FileTrackLayout, Id3v23StaysNoId3v1AppearsAndAnExistingOneIsUpdated)
{
    TestFolder folder;
    const QString path = folder.addSeed("seed.mp3", "a.mp3");
    ASSERT_EQ(layoutOf(path), "id3v2.3 id3v1=0 ape=0");
    MusicTrack::withPath(path).setTag("title", QString("Changed"));
    EXPECT_EQ(layoutOf(path), "id3v2.3 id3v1=0 ape=0");
    {
        TagLib::MPEG::File f(QFile::encodeName(path).constData());
        f.ID3v1Tag(true)->setTitle("Old");
        ASSERT_TRUE(f.save(TagLib::MPEG::File::ID3v1, TagLib::File::StripNone, TagLib::ID3v2::v3,
                           TagLib::File::DoNotDuplicate));
    }
    ASSERT_EQ(layoutOf(path), "id3v2.3 id3v1=1 ape=0");
    MusicTrack::withPath(path).setTag("name", QString("Both"));
    EXPECT_EQ(layoutOf(path), "id3v2.3 id3v1=1 ape=0");
    TagLib::MPEG::File f(QFile::encodeName(path).constData());
    EXPECT_EQ(f.ID3v1Tag()->title(), "Both");
    EXPECT_EQ(f.ID3v2Tag()->title(), "Both");
}

TEST(FileTrackLayout, WavWritesGoToInfoAndAddNoId3v2)
{
    TestFolder folder;
    const QString path = folder.addSeed("seed.wav", "a.wav");
    ASSERT_EQ(layoutOf(path), "id3v2=0 info=1");
    MusicTrack::withPath(path).setTag("name", QString("Info Title"));
    EXPECT_EQ(layoutOf(path), "id3v2=0 info=1");
    TagLib::RIFF::WAV::File f(QFile::encodeName(path).constData());
    EXPECT_EQ(f.InfoTag()->title(), "Info Title");
}

TEST(FileTrackLocation, IsThePathWithoutOpeningTheFile)
{
    TestFolder folder;
    ScopedFakePort port;
    const QString junk = folder.addFile("not audio.mp3", "just some text");
    EXPECT_EQ(MusicTrack::withPath(junk, port.get()).valueForTag("location"), QVariant(junk));
    const QString missing = folder.filePath("gone.flac");
    EXPECT_EQ(MusicTrack::withPath(missing, port.get()).location(), missing);
    EXPECT_FALSE(MusicTrack::withPath(missing, port.get()).valueForTag("name").isValid());
    EXPECT_FALSE(QFileInfo::exists(missing));
}

TEST(FileTrackCover, IsFoundByTheBytesImageSlashAnywhere)
{
    TestFolder folder;
    ScopedFakePort port;
    QByteArray seed = TestFolder::readAll(TestFolder::seedPath("seed.flac"));
    const QString tagged = folder.addFile("tagged.flac", seed + "..image/png..");
    EXPECT_EQ(MusicTrack::withPath(tagged, port.get()).valueForTag("cover"), QVariant(QString("cover")));
    EXPECT_EQ(MusicTrack::withPath(tagged, port.get()).valueForTag("name"), QVariant(QString("Seed Title")));
    // Also across the boundary of the chunks the file is read in, and in a file that is no audio at all.
    for (qsizetype before : {0, 1, 65536 - 3, 262144 - 3, 262144, 262144 + 5}) {
        const QString path = folder.addFile("x.mp3", QByteArray(before, 'x') + "image/" + QByteArray(10, 'y'));
        EXPECT_TRUE(MusicTrack::withPath(path, port.get()).valueForTag("cover").isValid()) << before;
    }
    const QString almost = folder.addFile("almost.mp3", QByteArray(262144 - 3, 'x') + "imagE/ image");
    EXPECT_FALSE(MusicTrack::withPath(almost, port.get()).valueForTag("cover").isValid());
    const QString plain = folder.addSeed("seed.m4a", "plain.m4a");
    EXPECT_FALSE(MusicTrack::withPath(plain, port.get()).valueForTag("cover").isValid());
    EXPECT_FALSE(MusicTrack::withPath(folder.filePath("missing.mp3"), port.get()).valueForTag("cover").isValid());
}

TEST(FileTrackRefusal, UnsupportedKeysAlertThenThrowAndLeaveTheFileAlone)
{
    TestFolder folder;
    ScopedFakePort port;
    const QString path = folder.addSeed("seed.mp3", "a.mp3");
    const QByteArray before = TestFolder::readAll(path);
    const MusicTrack track = MusicTrack::withPath(path, port.get());

    QStringList refusedReads = TagCatalogue::build().integerTags;
    // The year, the track and disc numbers and their totals stand in the file's own tags.
    for (const QString &key : {"year", "trackNumber", "trackCount", "discNumber", "discCount"})
        refusedReads.removeAll(key);
    refusedReads << "lyrics" << "composer" << "albumArtist" << "kind" << "";
    const QStringList refusedWrites =
        refusedReads + QStringList{"cover", "location", "number", "duration", "bitRate"};

    auto expectRefusal = [&](const std::function<void()> &call, const std::string &what) {
        const qsizetype alertsBefore = port->alerts.size();
        try {
            call();
            ADD_FAILURE() << what << " was not refused";
        } catch (const NamedException &e) {
            EXPECT_EQ(e.name(), "Unsupported Tag") << what;
            EXPECT_EQ(e.reason(), folderRefusal) << what;
        }
        ASSERT_EQ(port->alerts.size(), alertsBefore + 1) << what;
        EXPECT_EQ(port->alerts.last().title, "Unsupported Tag");
        EXPECT_EQ(port->alerts.last().message, folderRefusal);
        EXPECT_EQ(port->alerts.last().buttons, QStringList{"OK"});
    };
    for (const QString &key : refusedReads)
        expectRefusal([&] { track.valueForTag(key); }, "read " + key.toStdString());
    for (const QString &key : refusedWrites)
        expectRefusal([&] { track.setTag(key, QString("x")); }, "write " + key.toStdString());
    expectRefusal([&] { track.valuesForTags({"name", "lyrics", "composer"}); }, "read of several");
    expectRefusal([&] { track.setTagIfUnchanged("name", QString("x"), {{"lyrics", QString()}}); }, "verified write");
    EXPECT_EQ(TestFolder::readAll(path), before);
}

TEST(FileTrackRefusal, AWorkerWaitsForTheAlertThenSeesTheException)
{
    TestFolder folder;
    ScopedFakePort port;
    const MusicTrack track = MusicTrack::withPath(folder.addSeed("seed.ogg", "a.ogg"), port.get());
    QString caught;
    dispatchAsyncBackground([&] {
        try {
            track.setTag("cover", QString("cover"));
        } catch (const NamedException &e) {
            caught = e.name();
        }
    });
    waitForBackground();
    EXPECT_EQ(caught, "Unsupported Tag");
    EXPECT_EQ(port->alertTitles(), QStringList{"Unsupported Tag"});
}

TEST(FileTrackVerifiedWrite, WritesOnlyWhenTheExpectedValuesStillHold)
{
    TestFolder folder;
    const QString path = folder.addSeed("seed.flac", "a.flac");
    const MusicTrack track = MusicTrack::withPath(path);
    const TagExpectations stale = {{"artist", "Seed Artist"}, {"title", "Seed Title"}, {"genre", "Pop"}};
    const QByteArray before = TestFolder::readAll(path);
    EXPECT_FALSE(track.setTagIfUnchanged("genre", QString("Jazz"), stale));
    EXPECT_EQ(TestFolder::readAll(path), before);

    // An absent value matches the empty text; a number its decimal text.
    track.setTag("year", QString(""));
    const TagExpectations current = {
        {"artist", "Seed Artist"}, {"title", "Seed Title"}, {"genre", "Rock"}, {"year", ""}, {"number", 3}};
    EXPECT_TRUE(track.setTagIfUnchanged("genre", QString("Jazz"), current));
    EXPECT_EQ(track.valueForTag("genre"), QVariant(QString("Jazz")));
}
