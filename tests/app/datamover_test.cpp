// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/icuregex.h"
#include "tagtooltest.h"
#include "tools/datamover.h"

using tools::placedPortion;
using tools::portionOf;

TEST(DataMoverPortion, CountsUtf16UnitsAndClampsBeyondTheLength)
{
    EXPECT_EQ(portionOf("Abbey Road", 0, 0, nullptr), "Abbey Road");
    EXPECT_EQ(portionOf("Abbey Road", 1, 3, nullptr), "Abb");
    EXPECT_EQ(portionOf("Abbey Road", 1, 20, nullptr), "Abbey Road");
    EXPECT_EQ(portionOf("01 Song", 2, 3, nullptr), "Song");
    EXPECT_EQ(portionOf("01 Song", 2, 7, nullptr), "");
    EXPECT_EQ(portionOf("01 Song", 2, 70, nullptr), "");
    // A character beyond the BMP is two units; a cut through it drops the lone half.
    const QString note = QString::fromUtf8("🎵ab");
    EXPECT_EQ(portionOf(note, 1, 2, nullptr), QString::fromUtf8("🎵"));
    EXPECT_EQ(portionOf(note, 1, 1, nullptr), "");
    EXPECT_EQ(portionOf(note, 2, 1, nullptr), "ab");
    EXPECT_EQ(portionOf(note, 2, 2, nullptr), "ab");
    EXPECT_FALSE(portionOf("x", 4, 1, nullptr));
}

TEST(DataMoverPortion, RegexPortionJoinsWholeMatches)
{
    const auto digits = IcuRegex::compile("[0-9]+", true);
    EXPECT_EQ(portionOf("CD 1 of 2", 3, 0, &*digits), "12");
    EXPECT_EQ(portionOf("no digits", 3, 0, &*digits), "");
    EXPECT_EQ(portionOf("CD 1 of 2", 3, 0, nullptr), "");
}

TEST(DataMoverPlacement, ReplacesOrJoinsWithTheDelimiter)
{
    EXPECT_EQ(placedPortion("Live", "1999", 0, " - "), "1999");
    EXPECT_EQ(placedPortion("Live", "1999", 1, " - "), "Live - 1999");
    EXPECT_EQ(placedPortion("Live", "1999", 2, " - "), "1999 - Live");
    EXPECT_EQ(placedPortion("Live", "1999", 1, QString()), "Live1999");
    EXPECT_FALSE(placedPortion("Live", "1999", 3, " - "));
}

TEST_F(TagToolTest, SwapOnFilesProposesTwoIndependentRecords)
{
    const QString both = addFile("both.mp3", {{"name", "Title B"}, {"artist", "Artist A"}, {"album", "Album A"}});
    const QString half = addFile("half.mp3", {{"name", "Title C"}, {"artist", "Artist C"}, {"album", "Album C"}});
    const QString same = addFile("same.mp3", {{"name", "T"}, {"album", "Same"}, {"comment", "Same"}});
    const QByteArray sameBytes = TestFolder::readAll(same);
    useFolder();
    app.setSelectedTag(2);       // album, in allTags
    app.setSelectedTargetTag(5); // comment, in tags
    app.setSelectedAction(0);
    // comment starts out empty on the two others; give them one
    MusicTrack::withPath(both).setTag("comment", "Comment B");
    MusicTrack::withPath(half).setTag("comment", "Comment C");

    run([&] { app.performMove(); });

    ASSERT_EQ(port->reviewsBegun, 1) << port->alertTitles().join(", ").toStdString();
    ASSERT_EQ(app.changes()->records.size(), 4);
    QList<ChangeRecord> bothRecords;
    for (const ChangeRecord &r : app.changes()->records)
        if (r.track.path() == both)
            bothRecords << r;
    ASSERT_EQ(bothRecords.size(), 2);
    EXPECT_EQ(bothRecords[0].tagToChange, "album");
    EXPECT_EQ(bothRecords[0].oldTag, "Album A");
    EXPECT_EQ(bothRecords[0].newTag, "Comment B");
    EXPECT_EQ(bothRecords[1].tagToChange, "comment");
    EXPECT_EQ(bothRecords[1].oldTag, "Comment B");
    EXPECT_EQ(bothRecords[1].newTag, "Album A");

    // Untick only the comment half of the second track.
    QList<int> rows;
    for (int row = 0; row < app.changes()->records.size(); ++row) {
        const ChangeRecord &r = app.changes()->records[row];
        if (r.track.path() == half && r.tagToChange == "comment")
            rows << row;
    }
    app.checkSelected(rows, 0);
    applyWithout({});

    EXPECT_TRUE(port->alerts.isEmpty()) << port->alertTitles().join(", ").toStdString();
    EXPECT_EQ(fileValue(both, "album"), "Comment B");
    EXPECT_EQ(fileValue(both, "comment"), "Album A");
    EXPECT_EQ(fileValue(half, "album"), "Comment C");
    EXPECT_EQ(fileValue(half, "comment"), "Comment C");
    EXPECT_EQ(TestFolder::readAll(same), sameBytes);
}

TEST_F(TagToolTest, SwappingTheTitleWithTheArtistCompletes)
{
    const qint64 id = addLibraryTrack({{"name", "Title B"}, {"artist", "Artist A"}});
    useLibraryPlaylist();
    app.setSelectedTag(1);       // artist
    app.setSelectedTargetTag(0); // name
    app.setSelectedAction(0);

    run([&] { app.performMove(); });
    EXPECT_EQ(reviewRows(), (QStringList{"Artist A -> Title B", "Title B -> Artist A"}));
    for (const ChangeRecord &r : app.changes()->records) {
        EXPECT_EQ(r.title, "Title B");
        EXPECT_EQ(r.artist, "Artist A");
    }
    applyWithout({});

    // The second record knows the artist it finds was written by the first.
    EXPECT_TRUE(port->alerts.isEmpty()) << port->alertTitles().join(", ").toStdString();
    EXPECT_EQ(libraryValue(id, "artist"), "Title B");
    EXPECT_EQ(libraryValue(id, "name"), "Artist A");
    EXPECT_FALSE(app.changes());
}

TEST_F(TagToolTest, CopyingPortionsIntoTheLibraryWithBothPlacements)
{
    const qint64 year = addLibraryTrack({{"name", "Live"}, {"year", 1999}, {"comment", "Live"}});
    const qint64 cd = addLibraryTrack({{"name", "CD 1 of 2"}, {"comment", "Disc"}});
    const qint64 unchecked = addLibraryTrack({{"name", "Other 7"}, {"comment", "Keep"}});
    const qint64 noTarget = addLibraryTrack({{"name", "No comment 3"}});
    useLibraryPlaylist();

    // The year (an integer tag) appended to the comment as text.
    app.setSelectedTag(12);
    app.setSelectedTargetTag(5);
    app.setSelectedAction(1);
    app.setSelectedPortion(0);
    app.setSelectedOption(1);
    app.setDelimiterString(" - ");
    run([&] { app.performMove(); });
    // A year never set reads 0, as the library's numbers do.
    EXPECT_EQ(reviewRows().join("; ").toStdString(), "Live -> Live - 1999; Disc -> Disc - 0; Keep -> Keep - 0;  ->  - 0");
    applyWithout({}, {cd, unchecked, noTarget});
    EXPECT_EQ(libraryValue(year, "comment"), "Live - 1999");

    // The digits of the title put before the comment.
    app.setSelectedTag(0);
    app.setSelectedPortion(3);
    app.setSearchString("[0-9]+");
    app.setSelectedOption(2);
    app.setDelimiterString(QString());
    run([&] { app.performMove(); });
    // A comment never set is the library's empty text, which takes the digits too.
    EXPECT_EQ(reviewRows(), (QStringList{"Disc -> 12Disc", "Keep -> 7Keep", " -> 3"}));
    applyWithout({}, {unchecked});
    EXPECT_TRUE(port->alerts.isEmpty()) << port->alertTitles().join(", ").toStdString();
    EXPECT_EQ(libraryValue(cd, "comment"), "12Disc");
    EXPECT_EQ(libraryValue(unchecked, "comment"), "Keep");
    EXPECT_EQ(libraryValue(noTarget, "comment"), "3");
}

TEST_F(TagToolTest, FirstCharactersIntoFilesAndAnEmptyRestReplacesTheTarget)
{
    const QString a = addFile("a.mp3", {{"name", "01 Song"}, {"album", "Abbey Road"}, {"comment", "x"}});
    useFolder();
    app.setSelectedTag(2); // album
    app.setSelectedTargetTag(5);
    app.setSelectedAction(1);
    app.setSelectedPortion(1);
    app.setPortionString(" 3 tracks");
    app.setSelectedOption(0);
    run([&] { app.performMove(); });
    EXPECT_EQ(reviewRows(), (QStringList{"x -> Abb"}));
    applyWithout({});
    EXPECT_EQ(fileValue(a, "comment"), "Abb");

    app.setSelectedTag(0);
    app.setSelectedPortion(2);
    app.setPortionString("7");
    run([&] { app.performMove(); });
    EXPECT_EQ(reviewRows(), (QStringList{"Abb -> "}));
    applyWithout({});
    EXPECT_EQ(fileValue(a, "comment"), "");
}

TEST_F(TagToolTest, DataMoverValidatesThePatternAndTheCount)
{
    addFile("a.mp3", {{"name", "Song"}});
    useFolder();
    app.setSelectedAction(1);
    app.setSelectedPortion(3);
    app.setSearchString("[unclosed");
    app.setPortionString("-2"); // not looked at for the pattern portion
    run([&] { app.performMove(); });
    for (const char *count : {"0", "-2", "", "abc"}) {
        app.setSelectedPortion(1);
        app.setPortionString(count);
        run([&] { app.performMove(); });
    }
    ASSERT_EQ(port->alerts.size(), 5);
    EXPECT_EQ(port->alerts[0].title, "Invalid RegExp Pattern");
    EXPECT_EQ(port->alerts[0].message, "The Regexp you've entered is invalid. Click on the Help icon in the lower "
                                       "left corner to learn more about the ICU Regexp syntax.");
    for (int i = 1; i < 5; ++i) {
        EXPECT_EQ(port->alerts[i].title, "Invalid Data");
        EXPECT_EQ(port->alerts[i].message, "You have to enter a positive number into Tag Portion field to use the "
                                           "'(Except) First Characters' Tag Portion Option.");
    }
    EXPECT_EQ(port->progressBegun, 0);

    // The swap looks at neither.
    app.setSelectedAction(0);
    app.setSelectedTag(0);
    app.setSelectedTargetTag(0);
    run([&] { app.performMove(); });
    EXPECT_EQ(port->alerts.last().title, "No Changes");
    EXPECT_EQ(port->alerts.last().message,
              "The Data Move Pattern you've entered doesn't lead to any changes in the tracks you've selected.");

    // No expression at all is refused too, rather than emptying every target.
    const int begun = port->progressBegun;
    app.setSelectedAction(1);
    app.setSelectedPortion(3);
    for (const QString &none : {QString(), QString("")}) {
        app.setSearchString(none);
        run([&] { app.performMove(); });
        EXPECT_EQ(port->alerts.last().title, "Invalid RegExp Pattern");
    }
    EXPECT_EQ(port->progressBegun, begun);
    EXPECT_FALSE(app.changes());
}
