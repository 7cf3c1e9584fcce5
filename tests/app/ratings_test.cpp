// SPDX-License-Identifier: GPL-3.0-or-later
// Ratings & Play Counts taking the files' values into library tracks, and
// writing the library's into the files in one player's fields, through
// the controller: real MP3 files rated by several players, a real library.
#include "files/ratingconventions.h"
#include "librarytoolfixture.h"
#include "operations/choices.h"

#include <taglib/fileref.h>
#include <taglib/flacfile.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/popularimeterframe.h>
#include <taglib/textidentificationframe.h>
#include <taglib/xiphcomment.h>

namespace {

class RatingsTest : public LibraryToolTest {
protected:
    void rate(qint64 id, int musicBee, const char *fmps, const char *count)
    {
        const QString path = library().location({id, 0, 0});
        TagLib::MPEG::File file(QFile::encodeName(path).constData());
        TagLib::ID3v2::Tag *tag = file.ID3v2Tag(true);
        auto *popm = new TagLib::ID3v2::PopularimeterFrame();
        popm->setEmail("MusicBee");
        popm->setRating(musicBee);
        tag->addFrame(popm);
        for (const auto &[name, value] : {std::pair{"FMPS_Rating", fmps}, std::pair{"FMPS_PlayCount", count}}) {
            auto *text = new TagLib::ID3v2::UserTextIdentificationFrame(TagLib::String::UTF8);
            text->setDescription(name);
            text->setText(value);
            tag->addFrame(text);
        }
        ASSERT_TRUE(file.save());
    }

    // The review as "title key old→new" lines.
    QStringList reviewed() const
    {
        QStringList lines;
        if (app_.changes())
            for (const ChangeRecord &r : app_.changes()->records)
                lines << QStringLiteral("%1 %2 %3\u2192%4").arg(r.title, r.tagToChange, r.oldTag, r.newTag);
        return lines;
    }

    int value(qint64 id, const char *key) { return library().property({id, 0, 0}, key).toInt(); }
};

} // namespace

TEST_F(RatingsTest, TheProfileChoosesWhatIsTakenFromTheFilesReviewedAppliedAndUndone)
{
    const qint64 rated = addTrack("Rated", "Band", {{"rating", 20}, {"playedCount", 3}});
    const qint64 plain = addTrack("Plain", "Band", {{"rating", 60}});
    const qint64 broken = addTrack("Broken");
    const qint64 dead = addTrack("Dead", "Band", {}, true);
    rate(rated, 196, "0.4", "9");
    folder_.addFile(QStringLiteral("music/3.mp3"), "not audio");
    addPlaylist("All", {rated, plain, broken, dead});
    chooseSource("All");
    const QByteArray before = TestFolder::readAll(library().location({rated, 0, 0}));

    // MusicBee's 4 stars over FMPS's 0.4; the count from FMPS, its only field.
    app_.setRatingsProfile(int(ratingconventions::profileNames().indexOf("musicbee")) + 1);
    runAndWait([&] { app_.performImportRatings(); });
    ASSERT_EQ(reviewed(), QStringList({"Rated rating 20\u219280", "Rated playedCount 3\u21929"}))
        << port_->alertTitles().join(", ").toStdString();
    EXPECT_EQ(app_.changes()->tool, "Ratings & Play Counts");
    apply();
    EXPECT_EQ(value(rated, "rating"), 80);
    EXPECT_EQ(value(rated, "playedCount"), 9);
    EXPECT_EQ(value(plain, "rating"), 60) << "a file that holds no rating leaves the library's";
    EXPECT_EQ(TestFolder::readAll(library().location({rated, 0, 0})), before) << "the files are only read";

    // Without a profile FMPS wins; then the history takes the first run back.
    app_.setRatingsProfile(0);
    runAndWait([&] { app_.performImportRatings(); });
    ASSERT_EQ(reviewed(), QStringList{"Rated rating 80\u219240"});
    app_.cancelChanges(false);
    runAndWait([&] { app_.performUndo(); });
    ASSERT_FALSE(reviewed().isEmpty());
    apply();
    EXPECT_EQ(value(rated, "rating"), 20);
    EXPECT_EQ(value(rated, "playedCount"), 3);

    // A folder's files have no library values to take them into.
    port_->alerts.clear();
    app_.setFolderPath(folder_.filePath("music"));
    app_.setSelectedMethod(choices::FolderSource);
    runAndWait([&] { app_.performImportRatings(); });
    EXPECT_EQ(port_->alertTitles(), QStringList{"Library Tracks Only"});
    EXPECT_FALSE(app_.changes());
}

namespace {

// A file's fields of players, and every other frame or field by its bytes or
// text: what an export may change and what it must leave as it was. Each
// frame is listed under its kind ("POPM:MusicBee", "TXXX:FMPS_Rating",
// "TIT2"), so a doubled frame shows as two entries.
using Snapshot = QMap<QString, QStringList>;

Snapshot snapshot(const QString &path)
{
    Snapshot fields;
    if (path.endsWith(QLatin1String(".flac"))) {
        TagLib::FLAC::File file(QFile::encodeName(path).constData());
        for (const auto &[key, values] : file.xiphComment(true)->fieldListMap())
            for (const TagLib::String &value : values)
                fields[QString::fromStdString(key.to8Bit(true))] << QString::fromStdString(value.to8Bit(true));
        return fields;
    }
    TagLib::MPEG::File file(QFile::encodeName(path).constData());
    for (const TagLib::ID3v2::Frame *frame : file.ID3v2Tag(true)->frameList()) {
        QString kind = QString::fromLatin1(frame->frameID().data(), 4);
        const TagLib::ByteVector hex = frame->render().toHex();
        QString shown = QString::fromLatin1(hex.data(), qsizetype(hex.size()));
        if (const auto *popm = dynamic_cast<const TagLib::ID3v2::PopularimeterFrame *>(frame)) {
            kind += QLatin1Char(':') + QString::fromStdString(popm->email().to8Bit(true));
            shown = QStringLiteral("%1/%2").arg(popm->rating()).arg(popm->counter());
        } else if (const auto *txxx = dynamic_cast<const TagLib::ID3v2::UserTextIdentificationFrame *>(frame)) {
            kind += QLatin1Char(':') + QString::fromStdString(txxx->description().to8Bit(true));
            shown = QString::fromStdString(txxx->fieldList().back().to8Bit(true));
        }
        fields[kind] << shown;
    }
    return fields;
}

// One line a frame or field, for a failure to show what differs.
std::string shown(const Snapshot &fields)
{
    QStringList lines;
    for (const auto &[kind, values] : fields.asKeyValueRange())
        lines << kind + QStringLiteral(" = ") + values.join(QStringLiteral(" + "));
    return lines.join(QLatin1Char('\n')).toStdString();
}

} // namespace

TEST_F(RatingsTest, EachProfileWritesOnlyItsOwnFieldsReplacingItsOwnFrameAndUndoRestores)
{
    // An MP3 rated by MusicBee, MediaMonkey and FMPS; a FLAC file with FMPS and
    // a plain RATING; an unrated track; a broken file; a dead track.
    const qint64 mp3 = addTrack("Mp3", "Band", {{"rating", 80}, {"playedCount", 7}});
    rate(mp3, 64, "0.2", "2");
    {
        TagLib::MPEG::File file(QFile::encodeName(library().location({mp3, 0, 0})).constData());
        auto *popm = new TagLib::ID3v2::PopularimeterFrame();
        popm->setEmail("no@email");
        popm->setRating(255);
        popm->setCounter(5);
        file.ID3v2Tag()->addFrame(popm);
        ASSERT_TRUE(file.save());
    }
    const QString flacPath = folder_.addSeed(QStringLiteral("seed.flac"), QStringLiteral("music/flac.flac"));
    const qint64 flac = library().importFile({flacPath, {{"name", "Flac"}, {"rating", 60}, {"playedCount", 3}}});
    {
        TagLib::FLAC::File file(QFile::encodeName(flacPath).constData());
        file.xiphComment(true)->addField("FMPS_RATING", "0.2");
        file.xiphComment()->addField("RATING", "40");
        file.xiphComment()->addField("MOOD", "calm");
        ASSERT_TRUE(file.save());
    }
    const qint64 unrated = addTrack("Unrated", "Band", {{"playedCount", 4}});
    const qint64 broken = addTrack("Broken", "Band", {{"rating", 20}});
    folder_.addFile(QStringLiteral("music/3.mp3"), "not audio");
    const qint64 dead = addTrack("Dead", "Band", {{"rating", 40}}, true);
    addPlaylist("All", {mp3, flac, unrated, broken, dead});
    chooseSource("All");
    const QString mp3Path = library().location({mp3, 0, 0});
    const QString unratedPath = library().location({unrated, 0, 0});
    const Snapshot mp3Before = snapshot(mp3Path), flacBefore = snapshot(flacPath);
    const QByteArray unratedBytes = TestFolder::readAll(unratedPath);
    ASSERT_EQ(mp3Before.value("POPM:MusicBee"), QStringList{"64/0"});

    // What each profile must write: rating 80 and 7 plays in the MP3, 60 and 3 in the FLAC file.
    const QString ql = QStringLiteral("quodlibet@lists.sacredchao.net");
    const QMap<QString, std::pair<Snapshot, Snapshot>> expected = {
        {"wmp", {{{"POPM:Windows Media Player 9 Series", {"196/7"}}}, {}}},
        {"musicbee", {{{"POPM:MusicBee", {"196/7"}}}, {}}},
        {"mediamonkey", {{{"POPM:no@email", {"196/7"}}}, {}}},
        {"winamp", {{{"POPM:rating@winamp.com", {"196/7"}}}, {}}},
        {"picard", {{{"POPM:users@musicbrainz.org", {"204/7"}}}, {}}},
        {"quodlibet",
         {{{"POPM:" + ql, {"204/7"}}}, {{"RATING:" + ql.toUpper(), {"0.6"}}, {"PLAYCOUNT:" + ql.toUpper(), {"3"}}}}},
        {"fmps",
         {{{"TXXX:FMPS_Rating", {"0.8"}}, {"TXXX:FMPS_PlayCount", {"7"}}},
          {{"FMPS_RATING", {"0.6"}}, {"FMPS_PLAYCOUNT", {"3"}}}}},
        {"rating", {{}, {{"RATING", {"60"}}}}},
    };
    QStringList names = ratingconventions::profileNames();
    names.sort();
    ASSERT_EQ(expected.keys(), names);
    for (const QString &profile : ratingconventions::profileNames()) {
        SCOPED_TRACE(profile.toStdString());
        port_->alerts.clear();
        app_.setRatingsProfile(int(ratingconventions::profileNames().indexOf(profile)) + 1);
        runAndWait([&] { app_.performExportRatings(); });
        ASSERT_TRUE(app_.changes()) << port_->alertTitles().join(", ").toStdString();
        EXPECT_EQ(app_.changes()->tool, "Ratings & Play Counts");
        EXPECT_TRUE(port_->alertTitles().contains("Tracks Left Out")) << "the broken file is told of";
        for (const ChangeRecord &r : app_.changes()->records)
            EXPECT_NE(r.title, "Unrated") << "an unrated track writes nothing unless asked";
        apply();
        Snapshot mp3Meant = mp3Before, flacMeant = flacBefore;
        for (const auto &[kind, values] : expected.value(profile).first.asKeyValueRange())
            mp3Meant[kind] = values;
        for (const auto &[kind, values] : expected.value(profile).second.asKeyValueRange())
            flacMeant[kind] = values;
        EXPECT_EQ(shown(snapshot(mp3Path)), shown(mp3Meant));
        EXPECT_EQ(shown(snapshot(flacPath)), shown(flacMeant));
        EXPECT_EQ(TestFolder::readAll(unratedPath), unratedBytes);

        // Written once, the fields already hold the library's values.
        port_->alerts.clear();
        runAndWait([&] { app_.performExportRatings(); });
        EXPECT_FALSE(app_.changes());
        EXPECT_TRUE(port_->alertTitles().contains("No Changes"));

        runAndWait([&] { app_.performUndo(); });
        ASSERT_TRUE(app_.changes());
        apply();
        EXPECT_EQ(shown(snapshot(mp3Path)), shown(mp3Before));
        EXPECT_EQ(shown(snapshot(flacPath)), shown(flacBefore));
    }

    // Asked for, an unrated track is written as its profile says unrated, with its count.
    app_.setRatingsProfile(int(ratingconventions::profileNames().indexOf("musicbee")) + 1);
    app_.setRatingsUnrated(true);
    runAndWait([&] { app_.performExportRatings(); });
    ASSERT_TRUE(app_.changes());
    apply();
    EXPECT_EQ(snapshot(unratedPath).value("POPM:MusicBee"), QStringList{"0/4"});

    // FMPS in the free fields of the other formats, read back as an import reads them.
    QList<qint64> others;
    QStringList otherPaths;
    for (const char *seed : {"seed.m4a", "seed.wv", "seed.wma", "seed.ogg"}) {
        otherPaths << folder_.addSeed(QString::fromLatin1(seed), QStringLiteral("music/other-") + seed);
        others << library().importFile({otherPaths.back(), {{"name", seed}, {"rating", 80}, {"playedCount", 7}}});
    }
    addPlaylist("Others", others);
    chooseSource("Others");
    app_.setRatingsProfile(int(ratingconventions::profileNames().indexOf("fmps")) + 1);
    runAndWait([&] { app_.performExportRatings(); });
    ASSERT_TRUE(app_.changes()) << port_->alertTitles().join(", ").toStdString();
    apply();
    for (const QString &path : otherPaths) {
        TagLib::FileRef file(QFile::encodeName(path).constData());
        ASSERT_TRUE(file.file()) << path.toStdString();
        const ratingconventions::Reading reading = ratingconventions::read(*file.file());
        const ratingconventions::Chosen chosen = ratingconventions::choose(reading, QStringLiteral("fmps"));
        EXPECT_EQ(chosen.rating, 80) << path.toStdString();
        EXPECT_EQ(chosen.playCount, 7u) << path.toStdString();
        EXPECT_EQ(reading.found.size(), 2u) << path.toStdString();
    }

    // No profile, or a folder's files: nothing to write in, or nothing to write from.
    port_->alerts.clear();
    app_.setRatingsProfile(0);
    runAndWait([&] { app_.performExportRatings(); });
    app_.setRatingsProfile(1);
    app_.setFolderPath(folder_.filePath("music"));
    app_.setSelectedMethod(choices::FolderSource);
    runAndWait([&] { app_.performExportRatings(); });
    EXPECT_EQ(port_->alertTitles(), QStringList({"Choose a Profile", "Library Tracks Only"}));
    EXPECT_FALSE(app_.changes());
}
