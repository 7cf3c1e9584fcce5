// SPDX-License-Identifier: GPL-3.0-or-later
#include "tagtooltest.h"
#include "tools/capitalization.h"

using tools::capitalizedValue;

TEST(CapitalizedValue, TheFiveMethodsOfThePopUp)
{
    const QString value = "a MAN for all seasons";
    EXPECT_EQ(capitalizedValue(value, 0), "A Man for All Seasons");
    EXPECT_EQ(capitalizedValue(value, 1), "A MAN FOR ALL SEASONS");
    EXPECT_EQ(capitalizedValue(value, 2), "a man for all seasons");
    EXPECT_EQ(capitalizedValue(value, 3), "A Man For All Seasons");
    EXPECT_EQ(capitalizedValue(value, 4), "A man for all seasons");
    EXPECT_FALSE(capitalizedValue(value, 5));
    EXPECT_FALSE(capitalizedValue(value, -1));
}

TEST(CapitalizedValue, TitleCaseKeepsSmallWordsAtTheEndsAndLowersThemInside)
{
    EXPECT_EQ(capitalizedValue("a tale of two cities", 0), "A Tale of Two Cities");
    EXPECT_EQ(capitalizedValue("war and peace and love", 0), "War and Peace and Love");
    EXPECT_EQ(capitalizedValue("the way it is", 0), "The Way it Is");
    // Two small words in a row: the first is always lowered.
    EXPECT_TRUE(capitalizedValue("born in the usa", 0)->startsWith("Born in "));
    EXPECT_EQ(capitalizedValue("STRASSE und straße", 1), QString::fromUtf8("STRASSE UND STRASSE"));
}

TEST(CapitalizedValue, ProperCaseOfShortValues)
{
    EXPECT_EQ(capitalizedValue("hELLO World", 4), "Hello world");
    EXPECT_EQ(capitalizedValue("x", 4), "X");
    EXPECT_EQ(capitalizedValue("", 4), "");
}

TEST_F(TagToolTest, CapitalizationOnFilesWritesTheCheckedRowsOnly)
{
    const QString shout = addFile("shout.mp3", {{"name", "a MAN for all seasons"}, {"album", "LOUD"}});
    const QString done = addFile("done.flac", {{"name", "Already Title Case"}, {"album", "Fine"}}, "seed.flac");
    const QString single = addFile("single.ogg", {{"name", "x"}, {"album", "y"}}, "seed.ogg");
    const QByteArray doneBytes = TestFolder::readAll(done);
    const QByteArray singleBytes = TestFolder::readAll(single);
    useFolder();
    app.setSelectedTag(0);
    app.setSelectedCapitalizationMethod(4);

    run([&] { app.performCapitalization(); });

    ASSERT_EQ(port->reviewsBegun, 1) << port->alertTitles().join(", ").toStdString();
    ASSERT_EQ(app.changes()->records.size(), 3);
    EXPECT_EQ(recordFor(shout).newTag, "A man for all seasons");
    EXPECT_EQ(recordFor(done).newTag, "Already title case");
    EXPECT_EQ(recordFor(single).newTag, "X");
    EXPECT_EQ(recordFor(single).tagToChange, "name");

    applyWithout({done, single});

    EXPECT_EQ(fileValue(shout, "name"), "A man for all seasons");
    EXPECT_EQ(fileValue(shout, "album"), "LOUD");
    EXPECT_EQ(TestFolder::readAll(done), doneBytes);
    EXPECT_EQ(TestFolder::readAll(single), singleBytes);
}

TEST_F(TagToolTest, CapitalizationOnTheLibraryReachesTagsFilesLack)
{
    const qint64 composer = addLibraryTrack({{"name", "One"}, {"composer", "johann sebastian bach"}});
    const qint64 unchecked = addLibraryTrack({{"name", "Two"}, {"composer", "the beatles"}});
    const qint64 already = addLibraryTrack({{"name", "Three"}, {"composer", "Ravel"}});
    useLibraryPlaylist();
    app.setSelectedTag(6); // composer
    app.setSelectedCapitalizationMethod(3);

    run([&] { app.performCapitalization(); });

    EXPECT_EQ(reviewRows(), (QStringList{"johann sebastian bach -> Johann Sebastian Bach", "the beatles -> The Beatles"}));
    applyWithout({}, {unchecked});
    EXPECT_TRUE(port->alerts.isEmpty()) << port->alertTitles().join(", ").toStdString();
    EXPECT_EQ(libraryValue(composer, "composer"), "Johann Sebastian Bach");
    EXPECT_EQ(libraryValue(unchecked, "composer"), "the beatles");
    EXPECT_EQ(libraryValue(already, "composer"), "Ravel");
}

TEST_F(TagToolTest, CapitalizationRefusesNonTextTagsAndReportsNothingToDo)
{
    addLibraryTrack({{"name", "ALREADY UPPER"}});
    useLibraryPlaylist();
    app.setSelectedTag(8); // playedCount
    run([&] { app.performCapitalization(); });
    app.setSelectedTag(0);
    app.setSelectedCapitalizationMethod(1);
    run([&] { app.performCapitalization(); });
    app.setSelectedCapitalizationMethod(7); // no such method: nothing changes
    run([&] { app.performCapitalization(); });

    ASSERT_EQ(port->alerts.size(), 3);
    EXPECT_EQ(port->alerts[0].title, "Invalid Tag");
    EXPECT_EQ(port->alerts[0].buttons, QStringList{"OK"});
    const QString noChanges =
        "The Capitalization Pattern you've entered doesn't lead to any changes in the tracks you've selected.";
    for (int i : {1, 2}) {
        EXPECT_EQ(port->alerts[i].title, "No Changes");
        EXPECT_EQ(port->alerts[i].message, noChanges);
    }
    EXPECT_EQ(port->progressBegun, 2);
}
