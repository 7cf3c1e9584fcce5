// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/tagsfromfilename.h"

#include "filetoolrun.h"
#include "model/musictrack.h"

#include <QDir>
#include <gtest/gtest.h>

using namespace tools;

namespace {

// The values a pattern takes from a path, as "key=value" texts; "no match" when it does not match.
QStringList valuesFrom(const QString &pattern, const QString &path, FromFilenameOptions options = {})
{
    options.pattern = pattern;
    QString problem;
    const std::optional<NamePattern> made = NamePattern::make(options, &problem);
    if (!made)
        return {QStringLiteral("refused: ") + problem};
    const std::optional<NameValues> found = made->match(path);
    if (!found)
        return {QStringLiteral("no match")};
    QStringList texts;
    for (const auto &[key, value] : found->values)
        texts << key + QLatin1Char('=') + value;
    for (const QString &label : found->notNumbers)
        texts << label + QStringLiteral(" not a number");
    return texts;
}

} // namespace

TEST(NamePattern, PlaceholdersMatchTheEndOfThePathLiterally)
{
    EXPECT_EQ(valuesFrom("#a/#l/#n - #t", "/music/Band/First Album/03 - Intro.mp3"),
              (QStringList{"artist=Band", "album=First Album", "trackNumber=3", "name=Intro"}));
    EXPECT_EQ(valuesFrom("#n. #a - #t", "/m/x/12. Band - Song.v2.flac"),
              (QStringList{"trackNumber=12", "artist=Band", "name=Song.v2"}));
    // The last placeholder takes what the literal text leaves; the first stops at the first separator.
    EXPECT_EQ(valuesFrom("#n - #t", "/m/01 - A - B.ogg"), (QStringList{"trackNumber=1", "name=A - B"}));
    EXPECT_EQ(valuesFrom("#y #g", "/m/1999 Rock.ogg"), (QStringList{"year=1999", "genre=Rock"}));
    // Literal text must be there as it stands, regular-expression characters included.
    EXPECT_EQ(valuesFrom("#n - #t", "/m/01 Intro.mp3"), QStringList{"no match"});
    EXPECT_EQ(valuesFrom("[#n] #t", "/m/[4] Song.mp3"), (QStringList{"trackNumber=4", "name=Song"}));
    EXPECT_EQ(valuesFrom("[#n] #t", "/m/4 Song.mp3"), QStringList{"no match"});
    EXPECT_EQ(valuesFrom("#n.*#t", "/m/4xxSong.mp3"), QStringList{"no match"});
    // A placeholder never reaches across a folder; a path with too few levels does not match.
    EXPECT_EQ(valuesFrom("#a - #t", "/m/Band/x - Song.mp3"), (QStringList{"artist=x", "name=Song"}));
    EXPECT_EQ(valuesFrom("#a/#l/#t", "/Album/Song.mp3"), QStringList{"no match"});
    EXPECT_EQ(valuesFrom("#a/#l/#t", "Album/Song.mp3"), QStringList{"no match"});
    // A placeholder given twice must find the same text twice.
    EXPECT_EQ(valuesFrom("#a/#a - #t", "/m/Band/Band - Song.mp3"), (QStringList{"artist=Band", "name=Song"}));
    EXPECT_EQ(valuesFrom("#a/#a - #t", "/m/Band/Other - Song.mp3"), QStringList{"no match"});
    // "#x" is no placeholder, and a pattern without one gives nothing.
    EXPECT_EQ(valuesFrom("#x #t", "/m/#x Song.mp3"), QStringList{"name=Song"});
    EXPECT_TRUE(valuesFrom("Song", "/m/Song.mp3").constFirst().startsWith("refused: "));
}

TEST(NamePattern, RegularExpressionsGiveTheirNamedGroups)
{
    FromFilenameOptions regular;
    regular.useRegular = true;
    EXPECT_EQ(valuesFrom("(?<artist>[^/]+)/(?<track>\\d+)_(?<title>[^/]+)", "/m/Band/07_Song.mp3", regular),
              (QStringList{"artist=Band", "trackNumber=7", "name=Song"}));
    // Unnamed groups and unknown names give nothing; the match must reach the end.
    EXPECT_EQ(valuesFrom("(\\d+) (?<other>x)? ?(?<title>.+)", "/m/5 Song.mp3", regular), QStringList{"name=Song"});
    EXPECT_EQ(valuesFrom("(?<title>So)", "/m/Song.mp3", regular), QStringList{"no match"});
    EXPECT_TRUE(valuesFrom("(?<title>", "/m/Song.mp3", regular).constFirst().startsWith("refused: "));
    EXPECT_TRUE(valuesFrom("(?<name>.+)", "/m/Song.mp3", regular).constFirst().startsWith("refused: "));
}

TEST(NamePattern, ValuesAreCleanedAsTypedValuesAndNumbersChecked)
{
    FromFilenameOptions underscores;
    underscores.underscoresToSpaces = true;
    EXPECT_EQ(valuesFrom("#n_-_#t", "/m/03_-_Big_Song_.mp3", underscores),
              (QStringList{"trackNumber=3", "name=Big Song"}));
    FromFilenameOptions untrimmed;
    untrimmed.trim = false;
    EXPECT_EQ(valuesFrom("#n-#t", "/m/03- Song .mp3", untrimmed), (QStringList{"trackNumber=3", "name= Song "}));
    EXPECT_EQ(valuesFrom("#n-#t", "/m/03- Song .mp3"), (QStringList{"trackNumber=3", "name=Song"}));
    // Control and bidi characters never reach a tag; a value of nothing else gives none.
    const QString odd = QString("/m/1 - Ev") + QChar(0x202E) + "il" + QChar(0x1B) + ".mp3";
    EXPECT_EQ(valuesFrom("#n - #t", odd), (QStringList{"trackNumber=1", "name=Evil"}));
    EXPECT_EQ(valuesFrom("#n - #t", QString("/m/1 - ") + QChar(0x2066) + ".mp3"), QStringList{"trackNumber=1"});
    // A number that is none, zero, negative or too big leaves its tag alone and says so.
    EXPECT_EQ(valuesFrom("#n - #t", "/m/A1 - Song.mp3"), (QStringList{"name=Song", "#n not a number"}));
    EXPECT_EQ(valuesFrom("#y #n", "/m/0 99999999999.mp3"), (QStringList{"#y not a number", "#n not a number"}));
    EXPECT_EQ(valuesFrom("#y", "/m/-5.mp3"), QStringList{"#y not a number"});
}

// ---- Taking tags from real files ------------------------------------------

namespace {

class FromFilename : public ::testing::Test, public FileToolRun {
protected:
    void fromFilename(const QString &folder, const QString &pattern, bool keepExisting = false)
    {
        app.pathSelected(folder);
        app.setFromFilenameString(pattern);
        app.setFromFilenameKeepExisting(keepExisting);
        run([&] { app.performTagsFromFilename(); });
    }

    void applyAll()
    {
        ASSERT_TRUE(app.changes());
        app.applyChanges();
        awaitLastRun(app);
    }

    static QVariant tag(const QString &path, const QString &key) { return MusicTrack::withPath(path).valueForTag(key); }
};

} // namespace

TEST_F(FromFilename, FolderLevelsGiveTagsAndNamesThatDoNotMatchAreListedAndLeftAlone)
{
    const QString song = addTagged("music/Band/First Album/03 - Intro.mp3", "old", 0, "Someone");
    const QString flac = addTagged("music/Band/First Album/04 - Outro.flac", "Outro", 9, "Band", "seed.flac");
    const QString stray = addTagged("music/Band/First Album/stray.mp3", "Stray", 1);
    const QString noNumber = addTagged("music/Band/First Album/B2 - Side.ogg", "Side", 0, "Band", "seed.ogg");
    const QByteArray strayBytes = TestFolder::readAll(stray);
    const QVariant seedAlbum = tag(song, "album"); // the seed files come with an album
    ASSERT_TRUE(seedAlbum.isValid());
    fromFilename(files.filePath("music"), "#a/#l/#n - #t", true);

    ASSERT_EQ(port->alertTitles(), QStringList{"Names Left Alone"});
    const QString told = port->alerts.constFirst().message;
    EXPECT_TRUE(told.contains("1 files do not match the pattern \"#a/#l/#n - #t\"")) << told.toStdString();
    EXPECT_TRUE(told.contains(stray));
    EXPECT_TRUE(told.contains(noNumber + " (#n)")) << told.toStdString();
    ASSERT_TRUE(app.changes());
    EXPECT_EQ(app.changes()->tool, "Tags from File Name");
    applyAll();

    // Keep-existing: only the empty track number of the first file is filled.
    EXPECT_EQ(tag(song, "name"), "old");
    EXPECT_EQ(tag(song, "artist"), "Someone");
    EXPECT_EQ(tag(song, "album"), seedAlbum);
    EXPECT_EQ(tag(song, "trackNumber").toInt(), 3);
    EXPECT_EQ(tag(flac, "trackNumber").toInt(), 9);
    EXPECT_EQ(tag(noNumber, "trackNumber").toInt(), 0);
    EXPECT_EQ(TestFolder::readAll(stray), strayBytes);

    // Without keep-existing the names win; a second run finds nothing left to change.
    port->alerts.clear();
    fromFilename(files.filePath("music"), "#a/#l/#n - #t");
    applyAll();
    EXPECT_EQ(tag(song, "name"), "Intro");
    EXPECT_EQ(tag(song, "artist"), "Band");
    EXPECT_EQ(tag(song, "album"), "First Album");
    EXPECT_EQ(tag(flac, "trackNumber").toInt(), 4);
    EXPECT_EQ(tag(flac, "album"), "First Album");
    EXPECT_EQ(tag(noNumber, "album"), "First Album");
    EXPECT_EQ(tag(noNumber, "trackNumber").toInt(), 0);
    port->alerts.clear();
    fromFilename(files.filePath("music"), "#a/#l/#n - #t");
    EXPECT_FALSE(app.changes());
    EXPECT_EQ(port->alertTitles(), (QStringList{"Names Left Alone", "No Changes"}));
}

TEST_F(FromFilename, GivesBackTheTagsTheFilenameChangerNamedTheFilesAfter)
{
    struct Tags {
        QString artist, title;
        unsigned track;
    };
    const QList<Tags> tags{{"Band", "Intro", 1}, {"The Other Band", "Song - Part 2", 12}, {"Solo", "Über", 3}};
    QStringList paths;
    for (int i = 0; i < tags.size(); ++i)
        paths << addTagged(QString("album/f%1.mp3").arg(i), tags[i].title, tags[i].track, tags[i].artist);
    const QString pattern = "#n. #a - #t";
    app.setFolderPath(files.filePath("album"));
    app.setFilenameString(pattern);
    app.setSelectedTrailingZeroes(2);
    run([&] { app.performRename(); });
    const QStringList names = QDir(files.filePath("album")).entryList(QDir::Files, QDir::Name);
    ASSERT_EQ(names, (QStringList{"01. Band - Intro.mp3", "03. Solo - Über.mp3", "12. The Other Band - Song - Part 2.mp3"}));

    // The tags are lost, then taken back from the names.
    for (const QString &name : names) {
        const MusicTrack track = MusicTrack::withPath(files.filePath("album/" + name));
        track.setTag("name", "x");
        track.setTag("artist", "y");
        track.setTag("trackNumber", 99);
    }
    port->alerts.clear();
    fromFilename(files.filePath("album"), pattern);
    EXPECT_TRUE(port->alerts.isEmpty()) << port->alertTitles().join(", ").toStdString();
    applyAll();
    EXPECT_TRUE(port->alerts.isEmpty()) << port->alertTitles().join(", ").toStdString();
    for (int i = 0; i < tags.size(); ++i) {
        const QString path = files.filePath(
            QStringLiteral("album/%1. %2 - %3.mp3").arg(tags[i].track, 2, 10, QChar('0')).arg(tags[i].artist, tags[i].title));
        EXPECT_EQ(tag(path, "artist"), tags[i].artist);
        EXPECT_EQ(tag(path, "name"), tags[i].title);
        EXPECT_EQ(tag(path, "trackNumber").toUInt(), tags[i].track);
    }
}
