// SPDX-License-Identifier: GPL-3.0-or-later
#include "clirunner.h"
#include "model/musictrack.h"
#include "files/ratingconventions.h"
#include "testfiles.h"
#include "userlocations.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QThread>
#include <gtest/gtest.h>

#include <taglib/fileref.h>
#include <taglib/mpegfile.h>
#include <taglib/tpropertymap.h>
#include <taglib/id3v2tag.h>
#include <taglib/popularimeterframe.h>
#include <taglib/textidentificationframe.h>

namespace {

// show, set, --match and --only as a person types them, over real files in a
// folder and a real library file beside them; standard input is empty.
class ShowSetTest : public ::testing::Test {
protected:
    QString addFile(const QString &name, const QString &artist)
    {
        const QString path = folder.addSeed("seed.mp3", "music/" + name);
        MusicTrack::withPath(path).setTag("artist", artist);
        return path;
    }

    // With the folder as the source unless source is false.
    int cli(const QStringList &args, bool source = true)
    {
        out.clear();
        errors.clear();
        QTextStream outStream(&out);
        QTextStream errStream(&errors);
        FILE *empty = std::fopen("/dev/null", "r");
        const QStringList folderSource{"--folder", folder.filePath("music")};
        const int status = int(cli::runMain(QStringList{"--library", folder.filePath("library.sqlite")} +
                                                (source ? folderSource : QStringList()) + args,
                                            outStream, errStream, empty, false, false));
        std::fclose(empty);
        return status;
    }

    QJsonArray jsonArray(const char *name) const
    {
        return QJsonDocument::fromJson(out.toUtf8()).object()[name].toArray();
    }

    // The paths a review printed with --json names, in its order.
    QStringList reviewedPaths() const
    {
        QStringList paths;
        for (const QJsonValue &record : jsonArray("records"))
            paths << record["path"].toString();
        return paths;
    }

    TestFolder folder;
    QString out;
    QString errors;
};

} // namespace

TEST_F(ShowSetTest, ShowListsEveryFieldInItsTagsTermsWithTheFactsAndOnlyNarrowsIt)
{
    const QString tagged = addFile("a.mp3", "Owls");
    addFile("b.mp3", "Cats");
    folder.addFile("music/broken.mp3", QByteArray(64, 'x'));
    {
        TagLib::MPEG::File file(QFile::encodeName(tagged).constData());
        auto *mood = new TagLib::ID3v2::UserTextIdentificationFrame(TagLib::String::UTF8);
        mood->setDescription("MOOD");
        mood->setText(TagLib::String("calm\u202E", TagLib::String::UTF8));
        file.ID3v2Tag(true)->addFrame(mood);
        ASSERT_TRUE(file.save());
    }

    ASSERT_EQ(cli({"show", "--json"}), 0) << errors.toStdString();
    const QJsonArray tracks = jsonArray("tracks");
    ASSERT_EQ(tracks.size(), 3);
    QStringList paths;
    for (const QJsonValue &track : tracks)
        paths << track["path"].toString();
    const QJsonObject a = tracks.at(paths.indexOf(tagged)).toObject();
    EXPECT_EQ(a["position"].toInt(), paths.indexOf(tagged) + 1);
    EXPECT_EQ(a["format"].toString(), "MP3");
    EXPECT_TRUE(a["codec"].toString().startsWith("MPEG")) << a["codec"].toString().toStdString();
    EXPECT_GT(a["sampleRate"].toInt(), 0);
    EXPECT_GT(a["channels"].toInt(), 0);
    EXPECT_EQ(a["size"].toInteger(), QFileInfo(tagged).size());
    EXPECT_TRUE(a["tagTypes"].toArray().contains(QJsonValue(QString("ID3v2.4"))));
    QStringList fields;
    for (const QJsonValue &field : a["fields"].toArray())
        fields << field["tag"].toString() + " " + field["id"].toString() + "=" + field["value"].toString();
    // The bidi override comes out as a visible mark, never as the character itself.
    EXPECT_TRUE(fields.contains("ID3v2.4 TPE1=Owls")) << fields.join(" | ").toStdString();
    EXPECT_TRUE(fields.filter("ID3v2.4 TXXX:MOOD=calm").size() == 1) << fields.join(" | ").toStdString();
    EXPECT_FALSE(out.contains(QChar(0x202E)));
    const QJsonObject broken = tracks.at(paths.indexOf(folder.filePath("music/broken.mp3"))).toObject();
    EXPECT_FALSE(broken["problem"].toString().isEmpty());

    // --only takes positions as show numbers them; the text form says the same.
    const int position = int(paths.indexOf(tagged)) + 1;
    ASSERT_EQ(cli({"show", "--only", QString::number(position)}), 0);
    EXPECT_TRUE(out.startsWith(QStringLiteral("%1  %2\n").arg(position).arg(tagged))) << out.toStdString();
    EXPECT_TRUE(out.contains("TXXX:MOOD")) << out.toStdString();
    EXPECT_FALSE(out.contains("b.mp3"));
    EXPECT_EQ(cli({"show", "--only", "0"}), 2);
    EXPECT_EQ(cli({"show", folder.filePath("music/nothing.mp3")}), 2);
}

TEST_F(ShowSetTest, SetChangesTheMatchingTracksAloneThroughTheReviewAndAnyToolTakesOnlyAndMatch)
{
    const QString owls = addFile("1.mp3", "Owls");
    const QString owlsBand = addFile("2.mp3", "the OWLS band");
    const QString cats = addFile("3.mp3", "Cats");
    const QByteArray catsBefore = TestFolder::readAll(cats);

    // Letter case is ignored unless asked; the other file stays byte for byte.
    ASSERT_EQ(cli({"set", "--tag", "genre", "--value", "Folk", "--match", "artist=owls", "--yes"}), 0)
        << errors.toStdString();
    EXPECT_EQ(MusicTrack::withPath(owls).valueForTag("genre").toString(), "Folk");
    EXPECT_EQ(MusicTrack::withPath(owlsBand).valueForTag("genre").toString(), "Folk");
    EXPECT_EQ(TestFolder::readAll(cats), catsBefore);
    ASSERT_EQ(cli({"history", "--json"}, false), 0);
    EXPECT_TRUE(out.contains("Edit Tags")) << out.toStdString();

    ASSERT_EQ(cli({"set", "--tag", "year", "--value", "1987", "--match", "artist=^Owls$", "--match-case",
                   "--dry-run", "--json"}),
              0);
    EXPECT_EQ(reviewedPaths(), QStringList{owls});
    // Two matches must both hold.
    ASSERT_EQ(cli({"set", "--tag", "year", "--value", "1987", "--match", "artist=owls", "--match", "title=nothing",
                   "--dry-run"}),
              1);

    // An empty value removes the field; a value the tag cannot hold is refused and nothing changes.
    ASSERT_EQ(cli({"set", "--tag", "genre", "--value", "", "--only", "1-3", "--yes"}), 0) << errors.toStdString();
    EXPECT_EQ(MusicTrack::withPath(owls).valueForTag("genre").toString(), "");
    ASSERT_EQ(cli({"show", "--json", owls}), 0);
    EXPECT_FALSE(out.contains("TCON")) << out.toStdString();
    const QByteArray owlsBefore = TestFolder::readAll(owls);
    EXPECT_EQ(cli({"set", "--tag", "year", "--value", "abc", "--yes"}), 1);
    EXPECT_EQ(cli({"set", "--tag", "trackNumber", "--value", "2147483648", "--yes"}), 1);
    EXPECT_EQ(TestFolder::readAll(owls), owlsBefore);

    // Any tool's source narrows the same way.
    ASSERT_EQ(cli({"show", "--json"}), 0);
    QStringList order;
    for (const QJsonValue &track : jsonArray("tracks"))
        order << track["path"].toString();
    ASSERT_EQ(cli({"capitalize", "--tag", "artist", "--method", "upper", "--only", "1,3", "--dry-run", "--json"}), 0)
        << errors.toStdString();
    EXPECT_EQ(reviewedPaths(), QStringList({order.at(0), order.at(2)}));
    EXPECT_EQ(cli({"capitalize", "--tag", "artist", "--method", "upper", "--match", "nokey=x"}), 2);
    EXPECT_EQ(cli({"capitalize", "--tag", "artist", "--method", "upper", "--match", "artist=("}), 2);
}

// A file rated by two players and FMPS, with a play count that is no number:
// show names every field with what it holds and what it reads as, and which
// one the library takes by the profile (the option, else the saved setting);
// the library's import and refresh take and report by the same rule.
TEST_F(ShowSetTest, RatingsShowWithTheirReadingsAndTheProfileDecidesWhatTheLibraryTakes)
{
    ScopedUserLocations home;
    const QString path = addFile("rated.mp3", "Owls");
    const auto rate = [&](const char *fmps, int musicBee) {
        TagLib::MPEG::File file(QFile::encodeName(path).constData());
        TagLib::ID3v2::Tag *tag = file.ID3v2Tag(true);
        tag->removeFrames("POPM");
        tag->removeFrames("TXXX");
        for (const auto &[owner, byte, count] : {std::tuple{"MusicBee", musicBee, 0u}, std::tuple{"no@email", 64, 5u}}) {
            auto *frame = new TagLib::ID3v2::PopularimeterFrame();
            frame->setEmail(owner);
            frame->setRating(byte);
            frame->setCounter(count);
            tag->addFrame(frame);
        }
        for (const auto &[name, value] : {std::pair{"FMPS_Rating", fmps}, std::pair{"FMPS_Playcount", "many"}}) {
            auto *text = new TagLib::ID3v2::UserTextIdentificationFrame(TagLib::String::UTF8);
            text->setDescription(name);
            text->setText(value);
            tag->addFrame(text);
        }
        ASSERT_TRUE(file.save());
    };
    rate("0.4", 196);

    const auto ratings = [&] { return jsonArray("tracks")[0].toObject()["ratings"].toObject(); };
    const auto chosenFor = [&](const char *what) {
        for (const QJsonValue &found : ratings()["found"].toArray())
            if (found[what].toBool())
                return found["field"].toString();
        return QString();
    };
    ASSERT_EQ(cli({"show", "--json"}), 0) << errors.toStdString();
    const QJsonArray found = ratings()["found"].toArray();
    ASSERT_EQ(found.size(), 3);
    EXPECT_EQ(found[0]["field"].toString(), "POPM MusicBee");
    EXPECT_EQ(found[0]["raw"].toString(), "196, counter 0");
    EXPECT_EQ(found[0]["rating"].toInt(), 80);
    EXPECT_EQ(found[1]["rating"].toInt(), 40);
    EXPECT_EQ(found[1]["playCount"].toInt(), 5);
    EXPECT_EQ(found[2]["rating"].toInt(), 40);
    ASSERT_EQ(ratings()["ignored"].toArray().size(), 1);
    EXPECT_TRUE(ratings()["ignored"][0].toString().contains("many"));
    EXPECT_EQ(chosenFor("chosenForRating"), "FMPS_Rating");
    EXPECT_EQ(chosenFor("chosenForPlayCount"), "POPM no@email");
    EXPECT_EQ(ratings()["rating"].toInt(), 40);

    ASSERT_EQ(cli({"show", "--json", "--rating-profile", "MusicBee"}), 0) << errors.toStdString();
    EXPECT_EQ(chosenFor("chosenForRating"), "POPM MusicBee");
    EXPECT_EQ(ratings()["rating"].toInt(), 80);
    ratingconventions::saveProfile("mediamonkey");
    ASSERT_EQ(cli({"show", "--json"}), 0) << errors.toStdString();
    EXPECT_EQ(chosenFor("chosenForRating"), "POPM no@email") << "the saved setting stands when no option is given";
    ASSERT_EQ(cli({"show"}), 0) << errors.toStdString();
    EXPECT_TRUE(out.contains(QStringLiteral("POPM no@email  64, counter 5 \u2192 rating 40, played 5  (the library's "
                                            "rating and play count)")))
        << out.toStdString();
    EXPECT_TRUE(out.contains("ignored: FMPS_Playcount")) << out.toStdString();
    EXPECT_EQ(cli({"show", "--rating-profile", "nobody"}), 2);
    EXPECT_TRUE(errors.contains("musicbee")) << errors.toStdString();

    // The library: a new track by the profile asked for, the saved one aside.
    ASSERT_EQ(cli({"library", "import", folder.filePath("music"), "--rating-profile", "musicbee"}, false), 0)
        << errors.toStdString();
    EXPECT_TRUE(out.contains("passed over in " + path + ": FMPS_Playcount")) << out.toStdString();
    ASSERT_EQ(cli({"library", "tracks", "--columns", "rating,playedCount"}, false), 0);
    EXPECT_TRUE(out.endsWith("\t80\t5\n")) << out.toStdString();
    // Rated again elsewhere: the refresh keeps the library's 80 and says so.
    QThread::msleep(20);
    rate("0.4", 255);
    ASSERT_EQ(cli({"library", "refresh", "--rating-profile", "musicbee"}, false), 0) << errors.toStdString();
    EXPECT_TRUE(out.contains("The files of 1 tracks rate or count them otherwise than the library, which keeps its "
                             "own (file \u2192 library):\n  " +
                             path + ": rating 100 (POPM MusicBee) \u2192 80\n"))
        << out.toStdString();
    EXPECT_EQ(cli({"library", "refresh", "--rating-profile"}, false), 2);

    // Taken in on purpose, reviewed: the library's 80 becomes the file's 100.
    EXPECT_EQ(cli({"ratings", "import", "--profile", "musicbee", "--yes"}), 1) << "a folder has no library values";
    EXPECT_EQ(cli({"--selection", "ratings", "export"}, false), 2);
    ASSERT_EQ(cli({"library", "select", "1"}, false), 0) << errors.toStdString();
    ASSERT_EQ(cli({"--selection", "ratings", "import", "--profile", "musicbee", "--yes"}, false), 0)
        << errors.toStdString();
    EXPECT_TRUE(out.contains("80") && out.contains("100")) << out.toStdString();
    ASSERT_EQ(cli({"library", "tracks", "--columns", "rating,playedCount"}, false), 0);
    EXPECT_TRUE(out.endsWith("\t100\t5\n")) << out.toStdString();

    // Written out in FMPS's fields alone, over its unreadable count, in the
    // file's own spelling; the players' POPM frames stay as they were.
    EXPECT_EQ(cli({"--selection", "ratings", "import", "--unrated"}, false), 2);
    ASSERT_EQ(cli({"--selection", "ratings", "export", "--profile", "fmps", "--yes"}, false), 0)
        << errors.toStdString();
    const auto fields = [&] {
        TagLib::MPEG::File file(QFile::encodeName(path).constData());
        QStringList shown;
        for (const TagLib::ID3v2::Frame *frame : file.ID3v2Tag(true)->frameList())
            if (frame->frameID() == "POPM" || frame->frameID() == "TXXX")
                shown << QString::fromStdString(frame->toString().to8Bit(true));
        shown.sort();
        return shown.join(" | ").toStdString();
    };
    EXPECT_EQ(fields(),
              "MusicBee rating=255 counter=0 | [FMPS_Playcount] 5 | [FMPS_Rating] 1.0 | no@email rating=64 counter=5");
    ASSERT_EQ(cli({"undo", "--yes"}, false), 0) << errors.toStdString();
    EXPECT_EQ(fields(), "MusicBee rating=255 counter=0 | [FMPS_Playcount] many | [FMPS_Rating] 0.4 | no@email "
                        "rating=64 counter=5");
}

namespace {

QString mp3Mood(const QString &path)
{
    TagLib::MPEG::File file(QFile::encodeName(path).constData());
    if (!file.hasID3v2Tag())
        return "<no ID3v2>";
    auto *frame = TagLib::ID3v2::UserTextIdentificationFrame::find(file.ID3v2Tag(), "MOOD");
    return frame ? QString::fromStdString(frame->fieldList().back().to8Bit(true)) : QString();
}

QString propertyOf(const QString &path, const char *name)
{
    TagLib::FileRef file(QFile::encodeName(path).constData());
    const TagLib::StringList values = file.file()->properties()[name];
    return values.isEmpty() ? QString() : QString::fromStdString(values.front().to8Bit(true));
}

} // namespace

TEST_F(ShowSetTest, SetWritesRawFieldsByTheirAddressInEveryTagKindAndRefusesWhatAFileCannotHold)
{
    const QString mp3 = addFile("a.mp3", "Owls");
    const QString flac = folder.addSeed("seed.flac", "music/b.flac");
    const QString m4a = folder.addSeed("seed.m4a", "music/c.m4a");
    const QString wv = folder.addSeed("seed.wv", "music/d.wv");
    ASSERT_EQ(cli({"show", "--json"}), 0);
    QStringList order;
    for (const QJsonValue &track : jsonArray("tracks"))
        order << track["path"].toString();
    const auto only = [&](const QString &path) { return QString::number(order.indexOf(path) + 1); };

    const QString odd = QStringLiteral("Calm \u00E9t\u00E9; \u2603");
    // Over the whole folder, the files without a Vorbis comment come unchecked and stay as they were.
    const QByteArray m4aBefore = TestFolder::readAll(m4a);
    ASSERT_EQ(cli({"set", "--tag", "Vorbis:MOOD", "--value", odd, "--yes"}), 0) << errors.toStdString();
    EXPECT_TRUE(out.contains("The file has no Vorbis tag")) << out.toStdString();
    EXPECT_EQ(TestFolder::readAll(m4a), m4aBefore);
    const QList<std::pair<QString, QString>> writes = {{mp3, "ID3v2:TXXX:MOOD"},
                                                       {m4a, "MP4:----:com.apple.iTunes:MOOD"},
                                                       {wv, "APE:MOOD"}};
    for (const auto &[path, address] : writes)
        ASSERT_EQ(cli({"set", "--tag", address, "--value", odd, "--only", only(path), "--yes"}), 0)
            << address.toStdString() << errors.toStdString();
    // TagLib, reading each file afresh, finds the field where its tag keeps it, and the rest as it was.
    EXPECT_EQ(mp3Mood(mp3), odd);
    EXPECT_EQ(MusicTrack::withPath(mp3).valueForTag("artist").toString(), "Owls");
    EXPECT_EQ(propertyOf(flac, "MOOD"), odd);
    EXPECT_EQ(propertyOf(m4a, "MOOD"), odd);
    EXPECT_EQ(propertyOf(wv, "MOOD"), odd);
    ASSERT_EQ(cli({"show", "--json", m4a}), 0);
    EXPECT_TRUE(out.contains("----:com.apple.iTunes:MOOD")) << out.toStdString();

    // An empty value removes the field; undo puts it back.
    ASSERT_EQ(cli({"set", "--tag", "ID3v2:TXXX:MOOD", "--value", "", "--only", only(mp3), "--yes"}), 0);
    EXPECT_EQ(mp3Mood(mp3), "");
    ASSERT_EQ(cli({"undo", "--yes"}, false), 0) << errors.toStdString();
    EXPECT_EQ(mp3Mood(mp3), odd);

    // A field of the catalogue, a malformed address, and a tag the file lacks: refused, nothing written.
    const QByteArray before = TestFolder::readAll(mp3);
    EXPECT_EQ(cli({"set", "--tag", "ID3v2:TIT2", "--value", "x", "--yes"}), 1);
    EXPECT_EQ(cli({"set", "--tag", "ID3v2:mood", "--value", "x", "--yes"}), 1);
    EXPECT_EQ(cli({"set", "--tag", "Vorbis:MO=OD", "--value", "x", "--yes"}), 1);
    EXPECT_EQ(cli({"set", "--tag", "Vorbis:MOOD", "--value", "x", "--only", only(mp3), "--yes"}), 0);
    EXPECT_EQ(TestFolder::readAll(mp3), before);

    // A POPM frame is named by its owner and holds "byte/counter"; a value it cannot hold,
    // or a frame without its owner, is refused and writes nothing.
    EXPECT_EQ(cli({"set", "--tag", "ID3v2:POPM", "--value", "196/3", "--yes"}), 1);
    for (const char *bad : {"300/1", "196", "four/1"}) {
        cli({"set", "--tag", "ID3v2:POPM:MusicBee", "--value", bad, "--only", only(mp3), "--yes"});
        EXPECT_TRUE((out + errors).contains("is not what a POPM frame holds")) << bad << (out + errors).toStdString();
        EXPECT_EQ(TestFolder::readAll(mp3), before) << bad;
    }
    ASSERT_EQ(cli({"set", "--tag", "ID3v2:POPM:MusicBee", "--value", "196/3", "--only", only(mp3), "--yes"}), 0)
        << errors.toStdString();
    ASSERT_EQ(cli({"show", "--json", mp3}), 0);
    EXPECT_TRUE(out.contains("\"POPM:MusicBee\"") && out.contains("\"196/3\"")) << out.toStdString();
}
