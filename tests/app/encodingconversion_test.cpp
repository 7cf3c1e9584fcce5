// SPDX-License-Identifier: GPL-3.0-or-later
#include "tagtooltest.h"
#include "tools/encodingconversion.h"

namespace {

const QString noChanges =
    "The Encoding Conversion you've entered doesn't lead to any changes in the tracks you've selected.";

} // namespace

TEST_F(TagToolTest, EncodingRepairsFilesAndLeavesTheUncheckedOneAlone)
{
    const QString cafe = addFile("cafe.mp3", {{"name", QString::fromUtf8("CafÃ©")}, {"artist", "A"}});
    const QString plain = addFile("plain.flac", {{"name", "Plain"}}, "seed.flac");
    const QString other = addFile("other.ogg", {{"name", QString::fromUtf8("NaÃ¯ve")}}, "seed.ogg");
    const QByteArray plainBytes = TestFolder::readAll(plain);
    const QByteArray otherBytes = TestFolder::readAll(other);
    useFolder();
    app.setSelectedTag(0);
    app.setSelectedEncodingFrom(6); // Windows-1252
    app.setSelectedEncodingTo(1);   // UTF-8

    run([&] { app.performEncoding(); });

    ASSERT_EQ(port->reviewsBegun, 1) << port->alertTitles().join(", ").toStdString();
    ASSERT_EQ(app.changes()->records.size(), 2);
    EXPECT_EQ(recordFor(cafe).oldTag, QString::fromUtf8("CafÃ©"));
    EXPECT_EQ(recordFor(cafe).newTag, QString::fromUtf8("Café"));
    EXPECT_EQ(recordFor(other).newTag, QString::fromUtf8("Naïve"));

    applyWithout({other});

    EXPECT_TRUE(port->alerts.isEmpty()) << port->alertTitles().join(", ").toStdString();
    EXPECT_EQ(fileValue(cafe, "name"), QString::fromUtf8("Café"));
    EXPECT_EQ(TestFolder::readAll(other), otherBytes);
    EXPECT_EQ(TestFolder::readAll(plain), plainBytes);
}

TEST_F(TagToolTest, EncodingOnTheLibraryConvertsDeadTracksToo)
{
    const qint64 russian = addLibraryTrack({{"name", "One"}, {"album", QString::fromUtf8("Ïðèâåò")}});
    const qint64 unchecked = addLibraryTrack({{"name", "Two"}, {"album", QString::fromUtf8("Ìèð")}});
    const qint64 dead =
        library->importFile(ImportedFile{folder.filePath("gone.mp3"), {{"name", "Gone"}, {"album", QString::fromUtf8("Äà")}}});
    library->addToPlaylist(playlistId, {dead});
    useLibraryPlaylist();
    app.setSelectedTag(2);
    app.setSelectedEncodingFrom(2); // ISO 8859-1
    app.setSelectedEncodingTo(5);   // Windows-1251

    run([&] { app.performEncoding(); });

    EXPECT_EQ(reviewRows(), (QStringList{QString::fromUtf8("Ïðèâåò -> Привет"), QString::fromUtf8("Ìèð -> Мир"),
                                         QString::fromUtf8("Äà -> Да")}));
    applyWithout({}, {unchecked});
    EXPECT_TRUE(port->alerts.isEmpty()) << port->alertTitles().join(", ").toStdString();
    EXPECT_EQ(libraryValue(russian, "album"), QString::fromUtf8("Привет"));
    EXPECT_EQ(libraryValue(unchecked, "album"), QString::fromUtf8("Ìèð"));
    EXPECT_EQ(libraryValue(dead, "album"), QString::fromUtf8("Да"));

}

TEST_F(TagToolTest, EncodingToUtf8PassesOverValuesWhoseBytesAreNotUtf8)
{
    const qint64 latin = addLibraryTrack({{"name", QString::fromUtf8("Café")}});
    const qint64 mojibake = addLibraryTrack({{"name", QString::fromUtf8("CafÃ©")}});
    useLibraryPlaylist();
    app.setSelectedTag(0);
    app.setSelectedEncodingFrom(2); // ISO 8859-1: 'é' is one byte, never UTF-8 on its own
    app.setSelectedEncodingTo(1);

    run([&] { app.performEncoding(); });

    EXPECT_EQ(reviewRows(), (QStringList{QString::fromUtf8("CafÃ© -> Café")}));
    EXPECT_EQ(recordFor(mojibake).tagToChange, "name");
    app.cancelChanges(true);
    EXPECT_EQ(libraryValue(latin, "name"), QString::fromUtf8("Café"));
    EXPECT_EQ(libraryValue(mojibake, "name"), QString::fromUtf8("CafÃ©"));
}

TEST_F(TagToolTest, EncodingWithANonTextTagEndsWithNoChanges)
{
    addLibraryTrack({{"name", "One"}, {"year", 1999}});
    useLibraryPlaylist();
    app.setSelectedTag(12);
    app.setSelectedEncodingFrom(0);
    app.setSelectedEncodingTo(3);
    run([&] { app.performEncoding(); });
    EXPECT_EQ(port->alertTitles(), QStringList{"No Changes"});
    EXPECT_EQ(port->progressBegun, 1);

    // Without a folder the source's own alert is the only one.
    app.setFolderPath(QString());
    app.setSelectedMethod(1);
    run([&] { app.performEncoding(); });
    EXPECT_EQ(port->alertTitles(), (QStringList{"No Changes", "No Folder"}));
}

TEST_F(TagToolTest, EncodingSameOnBothSidesProposesNothing)
{
    addFile("a.mp3", {{"name", QString::fromUtf8("Ünïcödé ✓")}, {"artist", "B"}});
    useFolder();
    app.setSelectedTag(0);
    app.setSelectedEncodingFrom(1);
    app.setSelectedEncodingTo(1);
    run([&] { app.performEncoding(); });
    app.setSelectedTag(1);
    app.setSelectedEncodingFrom(12);
    app.setSelectedEncodingTo(12);
    run([&] { app.performEncoding(); });
    EXPECT_EQ(port->alertTitles(), (QStringList{"No Changes", "No Changes"}));
}

TEST_F(TagToolTest, EncodingLeavesTextTheFirstEncodingCannotSpell)
{
    // Text the first encoding cannot spell exactly was never read with it.
    EXPECT_FALSE(tools::convertedValue(QString::fromUtf8("Привет"), 6, 1));
    EXPECT_FALSE(tools::convertedValue(QString::fromUtf8("日本語"), 6, 1));
    EXPECT_FALSE(tools::convertedValue(QString::fromUtf8("Café"), 0, 0));
    // Bytes a Windows code page leaves undefined are not text in it, either way round.
    for (const char16_t undefined : {u'\u0081', u'\u008D', u'\u008F', u'\u0090', u'\u009D'}) {
        EXPECT_FALSE(tools::convertedValue(QString("A") + QChar(undefined), 2, 6)) << int(undefined);
        EXPECT_FALSE(tools::convertedValue(QString("A") + QChar(undefined), 6, 1)) << int(undefined);
    }
    EXPECT_FALSE(tools::convertedValue(QString("A") + QChar(u'\u0098'), 2, 5));
    // What can be repaired still is.
    EXPECT_EQ(tools::convertedValue(QString::fromUtf8("CafÃ©"), 6, 1), QString::fromUtf8("Café"));
    EXPECT_EQ(tools::convertedValue(QString::fromUtf8("â‚¬"), 6, 1), QString::fromUtf8("€"));

    const qint64 russian = addLibraryTrack({{"name", QString::fromUtf8("Привет")}});
    const qint64 japanese = addLibraryTrack({{"name", QString::fromUtf8("日本語")}});
    useLibraryPlaylist();
    app.setSelectedTag(0);
    app.setSelectedEncodingFrom(6); // Windows-1252
    app.setSelectedEncodingTo(1);   // UTF-8
    run([&] { app.performEncoding(); });
    EXPECT_EQ(port->reviewsBegun, 0);
    EXPECT_EQ(port->alertTitles(), QStringList{"No Changes"});
    EXPECT_EQ(libraryValue(russian, "name"), QString::fromUtf8("Привет"));
    EXPECT_EQ(libraryValue(japanese, "name"), QString::fromUtf8("日本語"));
}

TEST(EncodingConversion, ProposesOnlyChangesTheOppositeConversionUndoes)
{
    using tools::convertedValue;
    constexpr int ascii = 0, utf8 = 1, latin1 = 2, windows1251 = 5, windows1252 = 6, windows1253 = 7,
                  iso2022jp = 10;
    // Real repairs still go through, and convert back to what was there.
    EXPECT_EQ(convertedValue(QString::fromUtf8("CafÃ©"), windows1252, utf8), QString::fromUtf8("Café"));
    EXPECT_EQ(convertedValue(QString::fromUtf8("Привет"), utf8, windows1252), QString::fromUtf8("ÐŸÑ€Ð¸Ð²ÐµÑ‚"));
    EXPECT_EQ(convertedValue(QString::fromUtf8("Ïðèâåò"), latin1, windows1251), QString::fromUtf8("Привет"));
    // Characters the source encoding lacks would become '?' for good: no change.
    EXPECT_FALSE(convertedValue(QString::fromUtf8("Café"), ascii, ascii));
    EXPECT_FALSE(convertedValue(QString::fromUtf8("Привет"), windows1252, utf8));
    EXPECT_FALSE(convertedValue(QString::fromUtf8("日本語?"), latin1, utf8));
    // The fuzzer's first finding: the Greek code page to ISO-2022-JP turned CJK text into "???".
    EXPECT_FALSE(convertedValue(QString::fromUtf8("日本語"), windows1253, iso2022jp));
    // A value that needs no change is still offered as it is.
    EXPECT_EQ(convertedValue("Plain", ascii, utf8), QString("Plain"));
}
