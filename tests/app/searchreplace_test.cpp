// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/icuregex.h"
#include "support/textutils.h"
#include "tagtooltest.h"
#include "tools/searchreplace.h"

using tools::searchReplaceValue;

namespace {

QString regexReplace(const QString &value, const QString &pattern, const QString &templ, bool insensitive = true)
{
    const auto regex = IcuRegex::compile(pattern, insensitive);
    return searchReplaceValue(value, pattern, templ, insensitive, &*regex);
}

const QString noChanges =
    "The Search/Replace Pattern you've entered doesn't lead to any changes in the tracks you've selected.";

} // namespace

TEST(SearchReplaceValue, PlainSearchIsLiteralAndIgnoresCaseWhenAsked)
{
    EXPECT_EQ(searchReplaceValue("ABCabc", "abc", "x", true, nullptr), "xx");
    EXPECT_EQ(searchReplaceValue("ABCabc", "abc", "x", false, nullptr), "ABCx");
    EXPECT_EQ(searchReplaceValue("a.c abc", ".", "!", false, nullptr), "a!c abc"); // no pattern meaning
    EXPECT_EQ(searchReplaceValue("Live (Live)", "live", QString(), true, nullptr), " ()"); // no replacement deletes
}

TEST(SearchReplaceValue, RegularExpressionsUseTheirTemplates)
{
    EXPECT_EQ(regexReplace("abab", "(a)(b)", "$2$1"), "baba");
    EXPECT_EQ(regexReplace("A [live]", "(.*)\\[(.*)\\](.*)", "$1($2)$3"), "A (live)");
    EXPECT_EQ(regexReplace("Price 5", "[0-9]", "\\$$0"), "Price $5");
    EXPECT_EQ(regexReplace("a1b2", "[0-9]", QString()), "ab");
}

TEST_F(TagToolTest, PresetsFillBothFieldsAndAlwaysSwitchRegularExpressionsOn)
{
    app.setSearchString("kept");
    app.setReplaceString("also kept");
    app.presetClicked(0);
    EXPECT_EQ(app.searchString(), "kept");
    EXPECT_EQ(app.replaceString(), "also kept");
    EXPECT_TRUE(app.useRegular());

    const QList<QPair<QString, QString>> expected{
        {"01 Intro", "Intro"}, {"A [live]", "A (live)"}, {"Meet the Band", "Meet Band, The"},
        {"Band, The", "The Band"}, {"", "0"}};
    for (int index = 1; index <= 5; ++index) {
        app.setUseRegular(false);
        app.presetClicked(index);
        EXPECT_TRUE(app.useRegular());
        const auto regex = IcuRegex::compile(app.searchString(), true);
        ASSERT_TRUE(regex) << index;
        EXPECT_EQ(regex->replaceAll(expected[index - 1].first, app.replaceString()), expected[index - 1].second)
            << "preset " << index;
    }
    // Preset 5 puts 0 before every line; preset 1 works line by line too.
    app.presetClicked(5);
    EXPECT_EQ(IcuRegex::compile(app.searchString(), true)->replaceAll("7\n8", app.replaceString()), "07\n08");
}

TEST_F(TagToolTest, SearchReplaceOnFilesReviewsAndWritesOnlyTheCheckedRows)
{
    const QString band = addFile("band.mp3", {{"name", "The Band"}, {"artist", "Group"}});
    const QString other = addFile("other.flac", {{"name", "Some Song"}, {"artist", "Group"}}, "seed.flac");
    const QString end = addFile("end.ogg", {{"name", "the end"}, {"artist", "Solo"}}, "seed.ogg");
    const QByteArray otherBytes = TestFolder::readAll(other);
    const QByteArray endBytes = TestFolder::readAll(end);
    useFolder();
    app.setSelectedTag(0);
    app.setSearchString("THE");
    app.setReplaceString("A");
    app.setUseRegular(false);
    app.setCaseInsensitive(true);

    run([&] { app.performSearchReplace(); });

    EXPECT_TRUE(port->alerts.isEmpty()) << port->alertTitles().join(", ").toStdString();
    ASSERT_EQ(port->reviewsBegun, 1);
    ASSERT_EQ(app.changes()->records.size(), 2);
    EXPECT_FALSE(app.changes()->playlist);
    const ChangeRecord &bandRecord = recordFor(band);
    EXPECT_EQ(bandRecord.tagToChange, "name");
    EXPECT_EQ(bandRecord.oldTag, "The Band");
    EXPECT_EQ(bandRecord.newTag, "A Band");
    EXPECT_EQ(bandRecord.title, "The Band");
    EXPECT_EQ(bandRecord.artist, "Group");
    EXPECT_TRUE(bandRecord.enabled);
    EXPECT_EQ(recordFor(end).newTag, "A end");

    applyWithout({end});

    EXPECT_TRUE(port->alerts.isEmpty()) << port->alertTitles().join(", ").toStdString();
    EXPECT_FALSE(app.changes());
    EXPECT_EQ(fileValue(band, "name"), "A Band");
    EXPECT_EQ(fileValue(band, "artist"), "Group");
    EXPECT_EQ(TestFolder::readAll(end), endBytes);
    EXPECT_EQ(TestFolder::readAll(other), otherBytes);
}

TEST_F(TagToolTest, SearchReplaceOnTheLibraryCountsCaseOnlyChangesAndSkipsDeadTracks)
{
    const qint64 lower = addLibraryTrack({{"name", "Song"}, {"artist", "the band"}});
    const qint64 same = addLibraryTrack({{"name", "Other"}, {"artist", "Band"}});
    const qint64 unchecked = addLibraryTrack({{"name", "Third"}, {"artist", "band aid"}});
    const qint64 dead = library->importFile(ImportedFile{folder.filePath("gone.mp3"), {{"name", "Gone"}, {"artist", "band"}}});
    library->addToPlaylist(playlistId, {dead});
    useLibraryPlaylist();
    app.setSelectedTag(1);
    app.setSearchString("band");
    app.setReplaceString("Band");
    app.setCaseInsensitive(true);

    run([&] { app.performSearchReplace(); });

    ASSERT_EQ(port->reviewsBegun, 1);
    EXPECT_EQ(reviewRows(), (QStringList{"the band -> the Band", "band aid -> Band aid"}));
    EXPECT_EQ(recordFor(lower).title, "Song");

    applyWithout({}, {unchecked});

    EXPECT_TRUE(port->alerts.isEmpty()) << port->alertTitles().join(", ").toStdString();
    EXPECT_EQ(libraryValue(lower, "artist"), "the Band");
    EXPECT_EQ(libraryValue(same, "artist"), "Band");
    EXPECT_EQ(libraryValue(unchecked, "artist"), "band aid");
    EXPECT_EQ(libraryValue(dead, "artist"), "band");
}

TEST_F(TagToolTest, PresetFiveOnAnEmptyLibraryValueProposesAZero)
{
    const qint64 empty = addLibraryTrack({{"name", "Song"}, {"comment", ""}});
    const qint64 absent = addLibraryTrack({{"name", "Other"}});
    useLibraryPlaylist();
    app.setSelectedTag(5); // comment
    app.presetClicked(5);

    run([&] { app.performSearchReplace(); });

    ASSERT_EQ(port->reviewsBegun, 1);
    // A comment never set reads as the library's empty text, as one set empty does.
    ASSERT_EQ(app.changes()->records.size(), 2) << reviewRows().join("; ").toStdString();
    EXPECT_EQ(recordFor(empty).newTag, "0");
    EXPECT_EQ(recordFor(absent).newTag, "0");
    EXPECT_EQ(recordFor(absent).oldTag, "");
    EXPECT_EQ(libraryValue(absent, "comment"), QVariant());
}

TEST_F(TagToolTest, SearchReplaceValidatesInOrderBeforeAnyTrackIsRead)
{
    addFile("a.mp3", {{"name", "Song"}});
    useFolder();
    app.setSelectedTag(12); // "year" in the pop-up: not a text tag
    app.setSearchString("");
    run([&] { app.performSearchReplace(); });
    app.setSelectedTag(0);
    run([&] { app.performSearchReplace(); });
    app.setSearchString("(unclosed");
    app.setUseRegular(true);
    run([&] { app.performSearchReplace(); });
    app.setSearchString("(S)ong");
    app.setReplaceString("$2");
    run([&] { app.performSearchReplace(); });

    ASSERT_EQ(port->alerts.size(), 4);
    EXPECT_EQ(port->alerts[0].title, "Invalid Tag");
    EXPECT_EQ(port->alerts[0].message, "You need to select a tag to use the Tag Search & Replace tool.");
    EXPECT_EQ(port->alerts[1].title, "Empty Search String");
    EXPECT_EQ(port->alerts[1].message,
              "You can't perform a Search/Replace operation without entering a search string.");
    EXPECT_EQ(port->alerts[2].title, "Invalid Search/Replace Pattern");
    EXPECT_EQ(port->alerts[2].message,
              "The Search/Replace Regexp you've entered is invalid. Click on the Help icon in the lower left "
              "corner to learn more about the ICU Regexp syntax.");
    EXPECT_EQ(port->alerts[3].title, "Invalid Search/Replace Pattern");
    for (const auto &alert : port->alerts)
        EXPECT_EQ(alert.buttons, QStringList{"OK"});
    EXPECT_EQ(port->progressBegun, 0);
    EXPECT_EQ(port->reviewsBegun, 0);
}

TEST_F(TagToolTest, NothingToChangeEndsWithTheToolsOwnAlertUnlessTheSourceAlreadySpoke)
{
    addFile("a.mp3", {{"name", "Song"}});
    useFolder();
    app.setSelectedTag(0);
    app.setSearchString("absent");
    run([&] { app.performSearchReplace(); });
    ASSERT_EQ(port->alerts.size(), 1);
    EXPECT_EQ(port->alerts[0].title, "No Changes");
    EXPECT_EQ(port->alerts[0].message, noChanges);
    EXPECT_EQ(port->progressBegun, 1);
    EXPECT_EQ(port->progressEnded, 1);

    library->createPlaylist("Empty");
    app.refreshPlaylists();
    app.setSelectedPlaylist(int(app.playlists().indexOf("Empty")));
    app.setSelectedMethod(0);
    run([&] { app.performSearchReplace(); });
    ASSERT_EQ(port->alerts.size(), 2);
    EXPECT_EQ(port->alerts[1].title, "No Changes");

    app.setFolderPath(QString());
    app.setSelectedMethod(1);
    run([&] { app.performSearchReplace(); });
    EXPECT_EQ(port->alertTitles(), (QStringList{"No Changes", "No Changes", "No Folder"}));
    EXPECT_EQ(port->reviewsBegun, 0);
}

TEST_F(TagToolTest, LyricsOnAFolderAreRefusedOnceAndNothingIsWritten)
{
    const QString a = addFile("a.mp3", {{"name", "One"}});
    const QString b = addFile("b.mp3", {{"name", "Two"}});
    const QByteArray aBytes = TestFolder::readAll(a);
    useFolder();
    app.setSelectedTag(3); // lyrics
    app.setSearchString("x");

    run([&] { app.performSearchReplace(); });

    EXPECT_EQ(port->alertTitles(), (QStringList{"Unsupported Tag", "No Changes"}));
    EXPECT_EQ(port->alerts[0].message,
              "You can operate on this tag only when selecting an iTunes playlist and not directly on a folder of files.");
    EXPECT_EQ(port->reviewsBegun, 0);
    EXPECT_EQ(port->progressEnded, 1);
    EXPECT_EQ(TestFolder::readAll(a), aBytes);
}

TEST_F(TagToolTest, BrokenAndOddlyNamedFilesAmongGoodOnes)
{
    const QString broken = folder.addFile("music/broken.mp3", QByteArray("ID3 this is not a music file at all"));
    const QString odd = addFile(QString::fromUtf8("ünï 'cødé' \"x\"\t#1.mp3"), {{"name", "Line one\nline two"}});
    const QString plain = addFile("plain.mp3", {{"name", "line three"}});
    useFolder();
    app.setSelectedTag(0);
    app.setSearchString("^line");
    app.setReplaceString("Line");
    app.setUseRegular(true);
    app.setCaseInsensitive(false);

    run([&] { app.performSearchReplace(); });

    // The broken file reads as having no title and is passed over.
    ASSERT_EQ(port->reviewsBegun, 1) << port->alertTitles().join(", ").toStdString();
    ASSERT_EQ(app.changes()->records.size(), 2);
    EXPECT_EQ(recordFor(odd).newTag, "Line one\nLine two");
    EXPECT_EQ(recordFor(plain).newTag, "Line three");

    applyWithout({});

    EXPECT_TRUE(port->alerts.isEmpty()) << port->alertTitles().join(", ").toStdString();
    EXPECT_EQ(fileValue(odd, "name"), "Line one\nLine two");
    EXPECT_EQ(fileValue(plain, "name"), "Line three");
    EXPECT_EQ(TestFolder::readAll(broken), QByteArray("ID3 this is not a music file at all"));
}

TEST_F(TagToolTest, PlainSearchFoldsCaseAsTheExpressionsAndConditionsDo)
{
    const qint64 street = addLibraryTrack({{"name", "Song"}, {"artist", "Straße $1 \\"}});
    const qint64 kelvin = addLibraryTrack({{"name", "Other"}, {"artist", "\u212A Band"}});
    useLibraryPlaylist();
    app.setSelectedTag(1);
    app.setCaseInsensitive(true);
    // The playlist condition and the expression find these; so does the plain search.
    EXPECT_TRUE(text::contains("Straße", "SS", true));
    EXPECT_TRUE(IcuRegex::compile("SS", true)->findsMatch("Straße"));
    app.setSearchString("SS");
    app.setReplaceString("$0\\x");
    run([&] { app.performSearchReplace(); });
    applyWithout({});
    app.setSearchString("k band");
    app.setReplaceString("K-Band");
    run([&] { app.performSearchReplace(); });
    applyWithout({});

    EXPECT_TRUE(port->alerts.isEmpty()) << port->alertTitles().join(", ").toStdString();
    // The replacement is taken literally, as in any plain search.
    EXPECT_EQ(libraryValue(street, "artist"), "Stra$0\\xe $1 \\");
    EXPECT_EQ(libraryValue(kelvin, "artist"), "K-Band");
}
