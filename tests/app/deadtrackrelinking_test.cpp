// SPDX-License-Identifier: GPL-3.0-or-later
#include "librarytoolfixture.h"

#include "tools/deadtrackrelinking.h"
#include "tools/relinkindex.h"

namespace {

class DeadTrackRelinking : public LibraryToolTest {
protected:
    // A music file below the search folder with these three tags.
    QString addFile(const QString &relative, const QString &artist, const QString &title, const QString &album,
                    const QString &seed = QStringLiteral("seed.mp3"))
    {
        const QString path = search_.addSeed(seed, relative);
        const MusicTrack file = MusicTrack::withPath(path);
        file.setTag("artist", artist);
        file.setTag("name", title);
        file.setTag("album", album);
        return path;
    }
    qint64 addDead(const QString &title, const QString &album)
    {
        return addTrack(title, "Band", {{"album", album}}, true);
    }
    void run(std::optional<QString> folder)
    {
        port_->folderAnswers.push_back(folder);
        runAndWait([this] { app_.performFix(); });
    }

    TestFolder search_;
};

} // namespace

TEST_F(DeadTrackRelinking, ExactlyOneMatchRelinksAndTwoOrACaseDifferenceDoNot)
{
    const qint64 one = addDead("One", "Album");
    const qint64 two = addDead("Two", "Album");
    const qint64 nothing = addDead("Nothing", "Album");
    const qint64 caseOnly = addDead("Case", "Album");
    const qint64 alive = addTrack("Alive", "Band", {{"album", "Album"}});
    addPlaylist("All", {one, two, nothing, caseOnly, alive});
    chooseSource("All");
    app_.setSelectedMethod(2);

    const QString found = addFile("deep/er/one.flac", "Band", "One", "Album", "seed.flac");
    addFile("a/two.mp3", "Band", "Two", "Album");
    addFile("b/two.ogg", "Band", "Two", "Album", "seed.ogg");
    addFile("case.mp3", "Band", "Case", "ALBUM");
    addFile("alive.mp3", "Band", "Alive", "Album");
    search_.addFile("notes.txt", "not music");

    run(search_.path());
    ASSERT_EQ(port_->alertTitles(), QStringList{"Music Folder Needed"});
    EXPECT_EQ(port_->alerts[0].message, "You need to select a folder containing the music your broken tracks should "
                                        "be re-linked to. This can also be the folder containing all your music.");
    ASSERT_TRUE(app_.changes());
    ASSERT_EQ(app_.changes()->records.size(), 1);
    const ChangeRecord &record = app_.changes()->records[0];
    EXPECT_FALSE(app_.changes()->playlist);
    EXPECT_EQ(record.title, "One");
    EXPECT_EQ(record.artist, "Band");
    EXPECT_EQ(record.tagToChange, "location");
    EXPECT_TRUE(record.oldTag.isEmpty());
    EXPECT_EQ(record.newTag, found);
    EXPECT_EQ(app_.changeInfo(), "Checked tracks of these 1 tracks will get their tag 'Location' changed:");
    EXPECT_EQ(app_.folderPath(), search_.path());
    EXPECT_EQ(app_.selectedMethod(), 0);

    apply();
    EXPECT_TRUE(port_->alerts.size() == 1) << port_->alertTitles().join(", ").toStdString();
    EXPECT_EQ(library().location({one, 0, 0}), found);
    EXPECT_TRUE(library().location({two, 0, 0}).isNull());
    EXPECT_TRUE(library().location({caseOnly, 0, 0}).isNull());
    EXPECT_TRUE(library().location({nothing, 0, 0}).isNull());
}

TEST_F(DeadTrackRelinking, NoDeadTrackOrNoMatchEndsWithNoFixedTracks)
{
    const qint64 alive = addTrack("Alive", "Band", {{"album", "Album"}});
    addPlaylist("All", {alive});
    chooseSource("All");
    addFile("alive.mp3", "Band", "Alive", "Album");
    run(search_.path());
    EXPECT_EQ(port_->alertTitles(), (QStringList{"Music Folder Needed", "No Fixed Tracks"}));
    EXPECT_EQ(port_->alerts[1].message,
              "The selected playlist either does not contain dead tracks or the selected folder doesn't contain any "
              "missing original files. Also note that the selected folder has to have 'Spotlight' enabled.");
    EXPECT_FALSE(app_.changes());

    // A stream is no dead track, whatever matches.
    port_->alerts.clear();
    const qint64 stream = library().addStreamTrack("http://radio.example", {{"name", "Alive"}, {"artist", "Band"}});
    addPlaylist("Streams", {stream});
    chooseSource("Streams");
    run(search_.path());
    EXPECT_EQ(port_->alertTitles(), (QStringList{"Music Folder Needed", "No Fixed Tracks"}));
}

TEST_F(DeadTrackRelinking, CancellingThePanelChangesNothing)
{
    addPlaylist("All", {addDead("One", "Album")});
    chooseSource("All");
    app_.setFolderPath("/earlier/choice");
    run(std::nullopt);
    EXPECT_EQ(port_->alertTitles(), QStringList{"Music Folder Needed"});
    EXPECT_EQ(port_->progressBegun, 0);
    EXPECT_EQ(app_.folderPath(), "/earlier/choice");
}

TEST(RelinkIndex, IndexesEveryMusicFileOnceAndSkipsWhatSaysNothing)
{
    TestFolder folder;
    const QString a = folder.addSeed("seed.mp3", "x/a.MP3");
    const QString untagged = folder.addSeed("seed.wav", "untagged.wav");
    for (const QString key : {"artist", "name", "album"}) {
        MusicTrack::withPath(a).setTag(key, key == "name" ? "Song" : "");
        MusicTrack::withPath(untagged).setTag(key, "");
    }
    folder.addFile("broken.flac", "this is no flac file");
    folder.addFile("cover.jpg", "image/jpeg");
    int reported = 0;
    const tools::RelinkIndex index = tools::RelinkIndex::scan(folder.path(), [&](int, int n, const QString &) {
        ++reported;
        EXPECT_EQ(n, 3);
    });
    EXPECT_EQ(reported, 3);
    const QList<tools::IndexedFile> found = index.matches({"", "Song", ""});
    ASSERT_EQ(found.size(), 1);
    EXPECT_EQ(found[0].path, a);
    // Files with no artist, title or album are not indexed, so a track without them finds nothing.
    EXPECT_TRUE(index.matches({}).isEmpty());
    EXPECT_TRUE(index.matches({"", "song", ""}).isEmpty());
}
