// SPDX-License-Identifier: GPL-3.0-or-later
// Ratings & Play Counts taking the files' values into library tracks through
// the controller: real MP3 files rated by several players, a real library.
#include "files/ratingconventions.h"
#include "librarytoolfixture.h"
#include "operations/choices.h"

#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/popularimeterframe.h>
#include <taglib/textidentificationframe.h>

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
