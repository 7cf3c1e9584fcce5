// SPDX-License-Identifier: GPL-3.0-or-later
#include "librarytoolfixture.h"

#include "tools/playlistmanager.h"

#include <QSet>

namespace {

struct ConditionCase {
    const char *tag;
    int condition;
    QString operand;
    bool caseInsensitive;
    QStringList expected; // titles proposed; empty: "No Changes"
};

class PlaylistManager : public LibraryToolTest {
protected:
    PlaylistManager()
    {
        four_ = addTrack("four", "Band", {{"comment", "four"}, {"year", 2000}});
        five_ = addTrack("five", "Band", {{"comment", "fives"}, {"year", 2001}});
        six_ = addTrack("six", "Band", {{"comment", "sixsix"}});
        none_ = addTrack("none", "Band");
        lines_ = addTrack("lines", "Band", {{"comment", "line1\r\nline2"}});
        caps_ = addTrack("caps", "Band", {{"comment", "BEATLES"}});
        source_ = addPlaylist("All", {four_, five_, six_, none_, lines_, caps_});
        target_ = addPlaylist("Target", {});
        chooseSource("All");
        chooseTarget("Target");
    }

    void configure(const QString &tag, int condition, const QString &operand, bool caseInsensitive = true)
    {
        app_.setSelectedTag(int(app_.allTags().indexOf(tag)));
        app_.setSelectedCondition(condition);
        app_.setConditionString(operand);
        app_.setCaseInsensitive(caseInsensitive);
    }
    void run() { runAndWait([this] { app_.performPlaylist(); }); }

    qint64 four_, five_, six_, none_, lines_, caps_, source_, target_;
};

} // namespace

TEST_F(PlaylistManager, EveryConditionKeepsItsBoundaries)
{
    const QStringList all{"four", "five", "six", "none", "lines", "caps"};
    const QList<ConditionCase> cases = {
        // An empty text is contained nowhere, so "does not contain" takes every track.
        {"comment", 3, "", true, all},
        {"comment", 2, "", true, {}},
        {"comment", 4, "", true, {}},
        {"comment", 5, "", true, {}},
        {"comment", 0, "beatles", true, {"caps"}},
        {"comment", 0, "beatles", false, {}},
        {"comment", 1, "beatles", true, {"four", "five", "six", "none", "lines"}},
        {"comment", 2, "IX", true, {"six"}},
        {"comment", 4, "LINE", true, {"lines"}},
        {"comment", 5, "es", false, {"five"}},
        // Lengths count UTF-16 code units; CR LF is two of them.
        {"comment", 7, "5", true, {"six", "lines", "caps"}},
        {"comment", 8, "5", true, {"four", "none"}},
        {"comment", 8, "1", true, {"none"}},
        // CR LF breaks twice, so "lines" has three lines; an empty value has one.
        {"comment", 9, "1", true, {"lines"}},
        {"comment", 9, "2", true, {"lines"}},
        {"comment", 9, "3", true, {}},
        {"comment", 10, "2", true, {"four", "five", "six", "none", "caps"}},
        // Numbers are compared as their decimal text's leading integer; absent counts as 0.
        {"year", 11, "2000", true, {"five"}},
        {"year", 12, "1", true, {"six", "none", "lines", "caps"}},
        {"year", 12, "2001", true, {"four", "six", "none", "lines", "caps"}},
        {"year", 11, "0", true, {"four", "five"}},
        {"year", 11, "-5", true, all},
        {"year", 12, "words", true, {}},
        {"comment", 6, "^line2$", true, {"lines"}},
        {"comment", 6, "^beat", false, {}},
        {"comment", 6, "^beat", true, {"caps"}},
    };
    for (const ConditionCase &c : cases) {
        SCOPED_TRACE(QStringLiteral("%1 condition %2 '%3'").arg(c.tag).arg(c.condition).arg(c.operand).toStdString());
        port_->alerts.clear();
        configure(c.tag, c.condition, c.operand, c.caseInsensitive);
        run();
        if (c.expected.isEmpty()) {
            EXPECT_EQ(port_->alertTitles(), QStringList{"No Changes"});
            EXPECT_EQ(port_->alerts.value(0).message,
                      "The conditions you've entered don't lead to any changes in your playlists.");
            EXPECT_FALSE(app_.changes());
        } else {
            EXPECT_TRUE(port_->alerts.isEmpty());
            EXPECT_EQ(reviewedTitles(), c.expected);
        }
        app_.cancelChanges(true);
    }
}

TEST_F(PlaylistManager, CountingConditionsRefuseANumberThatIsNotPositive)
{
    for (int condition : {7, 8, 9, 10}) {
        for (const QString operand : {"0", "-3", "words", ""}) {
            port_->alerts.clear();
            configure("comment", condition, operand);
            const int runs = port_->progressBegun;
            run();
            EXPECT_EQ(port_->progressBegun, runs) << condition;
            ASSERT_EQ(port_->alerts.size(), 1);
            EXPECT_EQ(port_->alerts[0].title, "Invalid Data");
            EXPECT_EQ(port_->alerts[0].message,
                      "You have to enter a positive number into the condition field to use this condition.");
        }
    }
    // The source switched to the playlist even though nothing ran.
    EXPECT_EQ(app_.selectedMethod(), 0);
}

TEST_F(PlaylistManager, AnInvalidExpressionIsRefusedAndAManyTimesMatchingOneMatchesOnce)
{
    configure("comment", 6, "(unclosed");
    run();
    ASSERT_EQ(port_->alerts.size(), 1);
    EXPECT_EQ(port_->alerts[0].title, "Invalid RegExp Pattern");
    EXPECT_EQ(port_->alerts[0].message, "The Regexp you've entered is invalid. Click on the Help icon in the lower "
                                        "left corner to learn more about the ICU Regexp syntax.");
    EXPECT_EQ(port_->progressBegun, 0);

    library().setProperty({six_, 0, 0}, "comment", QString(600, QLatin1Char('x')));
    configure("comment", 6, "x");
    run();
    EXPECT_EQ(reviewedTitles(), QStringList{"six"});
}

TEST_F(PlaylistManager, AddingLeavesTracksAlreadyInTheTargetAlone)
{
    library().addToPlaylist(target_, {five_});
    // "four" stands twice in the source: it is proposed twice and added once.
    library().addToPlaylist(source_, {four_});
    configure("year", 11, "1999");
    app_.setSelectedPlaylistAction(0);
    run();
    EXPECT_EQ(reviewedTitles(), (QStringList{"four", "five", "four"}));
    EXPECT_EQ(app_.changeInfo(), "Checked tracks of these 3 tracks will added to the playlist 'Target':");
    apply();
    EXPECT_EQ(idsIn(target_), (QList<qint64>{five_, four_}));
    EXPECT_FALSE(app_.changes());
}

TEST_F(PlaylistManager, RemovingWithTrashMovesTheFilesAndLeavesOtherPlaylistsAlone)
{
    const qint64 keep = addPlaylist("Keep", {four_, six_});
    const qint64 stream = library().addStreamTrack("http://radio.example/stream", {{"name", "radio"},
                                                                                 {"artist", "Band"},
                                                                                 {"comment", "fives"}});
    library().addToPlaylist(source_, {stream});
    const QString fourFile = library().location({four_, 0, 0});
    const QString fiveFile = library().location({five_, 0, 0});
    const QString sixFile = library().location({six_, 0, 0});

    configure("comment", 0, "fives");
    app_.setSelectedPlaylistAction(1);
    app_.setMoveTrash(true);
    port_->folderAnswers.push_back(std::nullopt); // cancelling the folder panel does not stop the tool
    run();
    ASSERT_GE(port_->alerts.size(), 1);
    EXPECT_EQ(port_->alerts[0].title, "Music Folder Needed");
    EXPECT_TRUE(port_->alerts[0].message.startsWith("You've selected that matching files should be moved to the trash."));
    EXPECT_EQ(port_->folderPrompts.size(), 1);
    EXPECT_EQ(reviewedTitles(), (QStringList{"five", "radio"}));
    EXPECT_EQ(app_.changeInfo(), "Checked tracks of these 2 tracks will removed from the playlist 'All':");
    apply();

    EXPECT_EQ(idsIn(source_), (QList<qint64>{four_, six_, none_, lines_, caps_}));
    EXPECT_EQ(idsIn(keep), (QList<qint64>{four_, six_}));
    EXPECT_FALSE(QFileInfo::exists(fiveFile));
    EXPECT_TRUE(QFileInfo::exists(trashFolder() + "/" + QFileInfo(fiveFile).fileName()));
    EXPECT_TRUE(QFileInfo::exists(fourFile));
    EXPECT_TRUE(QFileInfo::exists(sixFile));
    // The stream left the playlist; it had no file to trash.
    EXPECT_EQ(QDir(trashFolder()).entryList(QDir::Files).size(), 1);
}

TEST_F(PlaylistManager, TheCoverTagAsksForTheMusicFolderAndTrashWinsTheText)
{
    configure("cover", 2, "cover");
    run();
    ASSERT_GE(port_->alerts.size(), 1);
    EXPECT_EQ(port_->alerts[0].message,
              "You've selected the 'cover' tag. You'll need to open the folder containing the music files of the "
              "selected playlist to give permission to scan the files for embedded covers.");
    EXPECT_EQ(port_->folderPrompts.size(), 1);
    app_.cancelChanges(true);

    port_->alerts.clear();
    app_.setMoveTrash(true);
    app_.setSelectedPlaylistAction(0);
    run();
    ASSERT_GE(port_->alerts.size(), 1);
    EXPECT_TRUE(port_->alerts[0].message.startsWith("You've selected that matching files should be moved"));
}

TEST_F(PlaylistManager, ASmartPlaylistIsNeverATargetNorRemovedFrom)
{
    library().createSmartPlaylist("Smart", SmartRule{"comment", 2, "s", true});
    app_.refreshPlaylists();
    EXPECT_TRUE(app_.playlists().contains("Smart"));
    EXPECT_FALSE(app_.editablePlaylists().contains("Smart"));
    EXPECT_EQ(app_.editablePlaylists(), (QStringList{"All", "Target"}));

    // Removing from it is refused before anything runs, trash or not.
    chooseSource("Smart");
    configure("comment", 3, "");
    app_.setSelectedPlaylistAction(1);
    app_.setMoveTrash(true);
    run();
    EXPECT_EQ(port_->alertTitles(), (QStringList{"Music Folder Needed", "Smart Playlist"}));
    EXPECT_EQ(port_->progressBegun, 0);
    EXPECT_TRUE(QDir(trashFolder()).entryList(QDir::Files).isEmpty());

    // As a source for adding it serves like any other.
    port_->alerts.clear();
    app_.setMoveTrash(false);
    app_.setSelectedPlaylistAction(0);
    run();
    EXPECT_TRUE(port_->alerts.isEmpty());
    const QStringList titles = reviewedTitles();
    EXPECT_EQ(QSet<QString>(titles.begin(), titles.end()), (QSet<QString>{"five", "six", "caps"}));
}
