// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/filenamechanger.h"

#include <gtest/gtest.h>

using namespace tools;

namespace {
QVariantHash tagsOf(const QString &artist, const QString &title, const QVariant &number = {})
{
    return {{"artist", artist}, {"name", title}, {"genre", "Rock"},
            {"album", "Album"}, {"year", "1999"}, {"number", number}};
}
} // namespace

TEST(FilenamePattern, PaddingModes)
{
    // Automatic: only a one-digit number in a folder of ten files or more.
    EXPECT_EQ(paddedTrackNumber("3", 0, 12), "03");
    EXPECT_EQ(paddedTrackNumber("3", 0, 10), "03");
    EXPECT_EQ(paddedTrackNumber("3", 0, 9), "3");
    EXPECT_EQ(paddedTrackNumber("3", 1, 12), "3");
    EXPECT_EQ(paddedTrackNumber("3", 2, 1), "03");
    EXPECT_EQ(paddedTrackNumber("3", 7, 12), "3");
    // Two digits or more are never padded, and nothing pads past two.
    EXPECT_EQ(paddedTrackNumber("12", 2, 12), "12");
    EXPECT_EQ(paddedTrackNumber("123", 0, 200), "123");
    EXPECT_TRUE(paddedTrackNumber(QString(), 2, 12).isNull());
}

TEST(FilenamePattern, PlaceholdersAreReplacedAtOnce)
{
    // Text a value brings in is never taken for a placeholder.
    EXPECT_EQ(nameFromPattern("#a - #t", tagsOf("Band #t", "Song")), "Band #t - Song");
    EXPECT_EQ(nameFromPattern("#y #g #l #n", tagsOf("A", "T", "7")), "1999 Rock Album 7");
    // No escape character; other text stays as it is; case matters.
    EXPECT_EQ(nameFromPattern("##t #T #", tagsOf("A", "T")), "#T #T #");
    // An absent value leaves its placeholder in place.
    EXPECT_EQ(nameFromPattern("#n - #t", tagsOf("A", "Intro")), "#n - Intro");
    EXPECT_EQ(nameFromPattern("#a", {}), "#a");
}

TEST(FilenamePattern, PlaceholderLeftAndPlainNames)
{
    EXPECT_FALSE(containsPlaceholder("Take #1"));
    EXPECT_TRUE(containsPlaceholder("Song #t"));
    EXPECT_TRUE(containsPlaceholder("#y"));

    EXPECT_TRUE(isPlainFileName("03 - Intro"));
    EXPECT_TRUE(isPlainFileName(".. and more"));
    for (const QString &bad : {QString(), QString(""), QString("."), QString(".."), QString("a/b"),
                               QString("../../x"), QString("/"), QString("a") + QChar(u'\0') + "b"})
        EXPECT_FALSE(isPlainFileName(bad)) << bad.toStdString();
}

TEST(FilenamePattern, CountsFilesPerFolder)
{
    const auto counts = filesPerFolder({"/m/a/1.mp3", "/m/a/2.mp3", "/m/b/3.mp3", "/m/a/c/4.mp3"});
    EXPECT_EQ(counts.value("/m/a"), 2);
    EXPECT_EQ(counts.value("/m/b"), 1);
    EXPECT_EQ(counts.value("/m/a/c"), 1);
}

TEST(FilenamePattern, TargetKeepsFolderAndExtension)
{
    const RenameOptions options{"#n - #t", 0, false};
    EXPECT_EQ(renameTarget("/m/x.MP3", tagsOf("A", "Intro", "3"), options, 12), "/m/03 - Intro.MP3");
    EXPECT_EQ(renameTarget("/m/x.y.flac", tagsOf("A", "Intro", "3"), options, 9), "/m/3 - Intro.flac");
    // Same name: nothing to do.
    EXPECT_TRUE(renameTarget("/m/3 - Intro.ogg", tagsOf("A", "Intro", "3"), options, 1).isNull());
    // Names that would leave the folder, or be no name at all.
    const RenameOptions titleOnly{"#t", 0, false};
    for (const QString &title : {QString("a/b"), QString("../../x"), QString(".."), QString(".")})
        EXPECT_TRUE(renameTarget("/m/x.mp3", tagsOf("A", title), titleOnly, 1).isNull()) << title.toStdString();
    EXPECT_TRUE(renameTarget("/m/x.mp3", tagsOf("A", ""), titleOnly, 1).isNull());
    // An empty pattern leaves every file alone.
    EXPECT_TRUE(renameTarget("/m/x.mp3", tagsOf("A", "T", "1"), RenameOptions{"", 2, false}, 1).isNull());
}

TEST(FilenamePattern, ControlAndBidiCharactersOfThePatternLeaveTheNameToo)
{
    const QString pattern = QString("#n\t- ") + QChar(0x202E) + "#t" + QChar(0x1B) + QChar(0x85) + QChar(0x7F);
    EXPECT_EQ(renameTarget("/m/x.mp3", tagsOf("A", "Intro", "3"), RenameOptions{pattern, 1, false}, 1), "/m/3- Intro.mp3");
    EXPECT_EQ(nameFromPattern(QString(QChar(0x2066)) + "#a", tagsOf("Band", "T")), "Band");
    // A pattern of nothing else is no name.
    EXPECT_TRUE(renameTarget("/m/x.mp3", tagsOf("A", "T"), RenameOptions{"\x01\x02", 1, false}, 1).isNull());
}

TEST(FilenamePattern, SkipMissing)
{
    const RenameOptions keep{"#n - #t", 0, false};
    const RenameOptions skip{"#n - #t", 0, true};
    EXPECT_EQ(renameTarget("/m/x.mp3", tagsOf("A", "Intro"), keep, 1), "/m/#n - Intro.mp3");
    EXPECT_TRUE(renameTarget("/m/x.mp3", tagsOf("A", "Intro"), skip, 1).isNull());
    // A value that itself holds a placeholder's text counts as missing; "#1" does not.
    EXPECT_TRUE(renameTarget("/m/x.mp3", tagsOf("A", "My #t", "1"), skip, 1).isNull());
    EXPECT_EQ(renameTarget("/m/x.mp3", tagsOf("A", "Take #1", "1"), skip, 1), "/m/1 - Take #1.mp3");
}

// ---- Renaming real files -------------------------------------------------

#include "filetoolrun.h"
#include "support/filepool.h"

#include <QDir>
#include <QFileInfo>
#include <sqlite3.h>

namespace {

const QString iTunesMessage = "You will need to launch iTunes before renaming files to prevent the renamed files "
                              "from being broken in iTunes.";

class Rename : public ::testing::Test, public FileToolRun {
protected:
    void rename(const QString &folder, const QString &pattern = "#n - #t", int padding = 0, bool recursive = false,
                bool skipMissing = false)
    {
        app.setFolderPath(folder);
        app.setFilenameString(pattern);
        app.setSelectedTrailingZeroes(padding);
        app.setRenameRecursiveScan(recursive);
        app.setRenameSkipMissing(skipMissing);
        run([&] { app.performRename(); });
    }

    QStringList namesIn(const QString &relative) const
    {
        return QDir(files.filePath(relative)).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    }

    // A folder of count files; the first is track 3 "Intro", the others have titles of their own.
    void fillFolder(const QString &relative, int count)
    {
        addTagged(relative + "/intro.mp3", "Intro", 3);
        for (int i = 1; i < count; ++i)
            addTagged(QString("%1/f%2.mp3").arg(relative).arg(i), QString("Song %1").arg(i), 10 + i);
    }
};

} // namespace

TEST_F(Rename, AutomaticPaddingCountsTheFilesOfEachFolder)
{
    fillFolder("music/twelve", 12);
    fillFolder("music/nine", 9);
    rename(files.filePath("music"), "#n - #t", 0, true);
    EXPECT_TRUE(namesIn("music/twelve").contains("03 - Intro.mp3")) << namesIn("music/twelve").join(", ").toStdString();
    EXPECT_TRUE(namesIn("music/nine").contains("3 - Intro.mp3")) << namesIn("music/nine").join(", ").toStdString();
    EXPECT_TRUE(namesIn("music/twelve").contains("11 - Song 1.mp3"));
    EXPECT_EQ(namesIn("music/twelve").size(), 12);
    EXPECT_EQ(port->progressBegun, 1);
    EXPECT_EQ(app.currentProgressTitle(), "Applying changes…");
    EXPECT_TRUE(port->alerts.isEmpty());
}

TEST_F(Rename, PaddingModes)
{
    fillFolder("never", 12);
    rename(files.filePath("never"), "#n - #t", 1);
    EXPECT_TRUE(namesIn("never").contains("3 - Intro.mp3"));
    EXPECT_TRUE(namesIn("never").contains("12 - Song 2.mp3"));

    addTagged("always/a.mp3", "Intro", 3);
    rename(files.filePath("always"), "#n - #t", 2);
    EXPECT_EQ(namesIn("always"), QStringList{"03 - Intro.mp3"});
}

TEST_F(Rename, MissingTrackNumberWithAndWithoutSkip)
{
    addTagged("keep/a.mp3", "Intro");
    rename(files.filePath("keep"));
    EXPECT_EQ(namesIn("keep"), QStringList{"#n - Intro.mp3"});

    addTagged("skip/a.mp3", "Intro");
    rename(files.filePath("skip"), "#n - #t", 0, false, true);
    EXPECT_EQ(namesIn("skip"), QStringList{"a.mp3"});
}

TEST_F(Rename, TagValuesAreInsertedLiterally)
{
    addTagged("plain/a.mp3", "Song", 1, "Band #t");
    rename(files.filePath("plain"), "#a - #t");
    EXPECT_EQ(namesIn("plain"), QStringList{"Band #t - Song.mp3"});

    // With skip-missing a value that holds a placeholder's text counts as unfilled; "#1" does not.
    addTagged("skip/a.mp3", "Song", 1, "Band #t");
    addTagged("skip/b.mp3", "Take #1", 2, "Band");
    rename(files.filePath("skip"), "#a - #t", 0, false, true);
    EXPECT_EQ(namesIn("skip"), (QStringList{"Band - Take #1.mp3", "a.mp3"}));
}

TEST_F(Rename, TwoFilesForOneNameNeverOverwrite)
{
    const QString a = addTagged("m/a.mp3", "Same", 1, "First");
    const QString b = addTagged("m/b.mp3", "Same", 1, "Second");
    const QByteArray aBytes = TestFolder::readAll(a);
    const QByteArray bBytes = TestFolder::readAll(b);
    ASSERT_NE(aBytes, bBytes);
    rename(files.filePath("m"), "#n - #t");

    const QStringList names = namesIn("m");
    ASSERT_EQ(names.size(), 2) << names.join(", ").toStdString();
    ASSERT_TRUE(names.contains("1 - Same.mp3"));
    // Whichever came first took the name; the other kept its own, and both still hold what they held.
    const QByteArray winner = TestFolder::readAll(files.filePath("m/1 - Same.mp3"));
    if (names.contains("a.mp3")) {
        EXPECT_EQ(winner, bBytes);
        EXPECT_EQ(TestFolder::readAll(a), aBytes);
    } else {
        ASSERT_TRUE(names.contains("b.mp3"));
        EXPECT_EQ(winner, aBytes);
        EXPECT_EQ(TestFolder::readAll(b), bBytes);
    }

    // A file that already has the name stays as it is (skipping keeps the
    // unreadable one from being renamed itself).
    const QString taken = files.addFile("n/1 - Same.mp3", "not music at all");
    addTagged("n/c.mp3", "Same", 1);
    rename(files.filePath("n"), "#n - #t", 0, false, true);
    EXPECT_EQ(namesIn("n"), (QStringList{"1 - Same.mp3", "c.mp3"}));
    EXPECT_EQ(TestFolder::readAll(taken), "not music at all");
}

TEST_F(Rename, NamesNeverLeaveTheFolder)
{
    files.addFolder("deep/m/AC");
    addTagged("deep/m/a.mp3", "AC/DC", 1);
    addTagged("deep/m/b.mp3", "../../x", 2);
    addTagged("deep/m/c.mp3", "..", 3);
    addTagged("deep/m/d.mp3", "", 4);
    rename(files.filePath("deep/m"), "#t");
    EXPECT_EQ(namesIn("deep/m"), (QStringList{"a.mp3", "b.mp3", "c.mp3", "d.mp3"}));
    EXPECT_TRUE(namesIn("deep/m/AC").isEmpty());
    EXPECT_TRUE(namesIn("deep").isEmpty());
    EXPECT_TRUE(namesIn("").isEmpty());
    EXPECT_FALSE(QFileInfo::exists(files.filePath("x.mp3")));
}

TEST_F(Rename, UpperCaseExtensionIsKept)
{
    addTagged("m/Track.MP3", "Intro", 3);
    addTagged("m/other.Flac", "Outro", 4, "Artist", "seed.flac");
    rename(files.filePath("m"));
    EXPECT_EQ(namesIn("m"), (QStringList{"3 - Intro.MP3", "4 - Outro.Flac"}));
}

TEST_F(Rename, EmptyPatternAndUnreadableFiles)
{
    addTagged("m/a.mp3", "Intro", 3);
    rename(files.filePath("m"), "");
    EXPECT_EQ(namesIn("m"), QStringList{"a.mp3"});

    // A file TagLib cannot read keeps every placeholder, or is left alone when skipping.
    files.addFile("broken/x.mp3", QByteArray(300, '\x07'));
    rename(files.filePath("broken"));
    EXPECT_EQ(namesIn("broken"), QStringList{"#n - #t.mp3"});
    files.addFile("broken2/x.mp3", QByteArray(300, '\x07'));
    rename(files.filePath("broken2"), "#n - #t", 0, false, true);
    EXPECT_EQ(namesIn("broken2"), QStringList{"x.mp3"});
}

TEST_F(Rename, SubFoldersOnlyWhenRecursive)
{
    addTagged("m/a.mp3", "Top", 1);
    addTagged("m/sub/b.mp3", "Below", 2);
    files.addFolder("m/folder.mp3");
    rename(files.filePath("m"));
    EXPECT_EQ(namesIn("m"), QStringList{"1 - Top.mp3"});
    EXPECT_EQ(namesIn("m/sub"), QStringList{"b.mp3"});
    rename(files.filePath("m"), "#n - #t", 0, true);
    EXPECT_EQ(namesIn("m/sub"), QStringList{"2 - Below.mp3"});
    // A folder named like a music file is no file to rename.
    EXPECT_TRUE(QFileInfo(files.filePath("m/folder.mp3")).isDir());
}

TEST_F(Rename, ValidationInOrderWithItsAlerts)
{
    // No library: the library check comes first, even without a folder.
    app.setLibraryPath(files.filePath("nowhere/library.sqlite"));
    rename(QString());
    ASSERT_EQ(port->alerts.size(), 1);
    EXPECT_EQ(port->alerts[0].title, "iTunes");
    EXPECT_EQ(port->alerts[0].message, iTunesMessage);
    EXPECT_EQ(port->alerts[0].buttons, QStringList{"OK"});

    app.setLibraryPath(libraryPath());
    rename(QString());
    ASSERT_EQ(port->alerts.size(), 2);
    EXPECT_EQ(port->alerts[1].title, "No Folder");
    EXPECT_EQ(port->alerts[1].message, "You didn't select a folder with music files to operate on.");

    files.addFile("text/notes.txt", "hello");
    rename(files.filePath("text"));
    ASSERT_EQ(port->alerts.size(), 3);
    EXPECT_EQ(port->alerts[2].title, "No Files");
    EXPECT_EQ(port->alerts[2].message, "The folder you have selected doesn't seem to contain music files.");
    EXPECT_EQ(port->progressBegun, 0);
}

TEST_F(Rename, LibraryMediaFolderAsksFirst)
{
    const QString folder = files.filePath("Music/iTunes/iTunes Music/Album");
    addTagged("Music/iTunes/iTunes Music/Album/a.mp3", "Intro", 3);

    port->alertAnswers = {1}; // Cancel
    rename(folder);
    ASSERT_EQ(port->alerts.size(), 1);
    EXPECT_EQ(port->alerts[0].title, "Warning");
    EXPECT_TRUE(port->alerts[0].message.startsWith("You selected files within the 'iTunes Music' folder"));
    EXPECT_EQ(port->alerts[0].buttons, (QStringList{"Cancel", "Continue"}));
    EXPECT_EQ(namesIn("Music/iTunes/iTunes Music/Album"), QStringList{"a.mp3"});
    EXPECT_EQ(port->progressBegun, 0);

    port->alertAnswers = {0}; // Continue
    rename(folder);
    EXPECT_EQ(port->alerts.size(), 2);
    EXPECT_EQ(namesIn("Music/iTunes/iTunes Music/Album"), QStringList{"3 - Intro.mp3"});
}

TEST_F(Rename, LibraryLocationsFollowTheFile)
{
    const QString path = addTagged("m/a.mp3", "Intro", 3);
    const qint64 id = library().importFile({path, {{"name", "Intro"}}});
    const QString other = addTagged("m/b.mp3", "Outro", 4);
    const qint64 otherId = library().importFile({other, {{"name", "Outro"}}});
    const TrackRef ref{id, 0, 0};
    ASSERT_EQ(library().location(ref), path);

    rename(files.filePath("m"), "#n - #t", 2);
    EXPECT_EQ(library().location(ref), files.filePath("m/03 - Intro.mp3"));
    EXPECT_EQ(library().location(TrackRef{otherId, 0, 0}), files.filePath("m/04 - Outro.mp3"));
}

TEST_F(Rename, ALibraryThatCannotFollowGetsTheOldNamesBack)
{
    const QString path = addTagged("m/a.mp3", "Intro", 3);
    const TrackRef ref{library().importFile({path, {{"name", "Intro"}}}), 0, 0};
    // Another writer holds the library; the run gives up on it quickly.
    app.library()->setBusyTimeout(50);
    sqlite3 *writer = nullptr;
    ASSERT_EQ(sqlite3_open(QFile::encodeName(libraryPath()).constData(), &writer), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(writer, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
    rename(files.filePath("m"));
    sqlite3_exec(writer, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(writer);

    EXPECT_EQ(namesIn("m"), QStringList{"a.mp3"});
    ASSERT_EQ(port->alertTitles(), QStringList{"Renaming Stopped"});
    EXPECT_TRUE(port->alerts[0].message.contains("given their old names back")) << port->alerts[0].message.toStdString();
    EXPECT_EQ(library().location(ref), path);
}

TEST_F(Rename, ThePlanIsTheSameWhenTheTagsAreReadOnManyThreads)
{
    // Pairs of files want one name, and each file wants the name the file
    // before it gives up: which file gets a name depends only on the order.
    QStringList order;
    const int n = 48;
    for (int i = 0; i < n; ++i) {
        const QString seed = seedNames().at(i / 2 % seedNames().size());
        const QString title = i % 4 == 3 ? QStringLiteral("f%1").arg(i - 1) : QStringLiteral("Pair %1").arg(i / 2);
        order << addTagged(QStringLiteral("m/f%1.%2").arg(i).arg(QFileInfo(seed).suffix()), title, i + 1, "Artist",
                           seed);
    }
    files.addFile("m/broken.mp3", "not audio at all");
    order.insert(n / 2, files.filePath("m/broken.mp3"));

    filepool::setThreadCount(1);
    const QList<PlannedRename> serial = renamePlan(order, RenameOptions{"#t", 1, false});
    filepool::setThreadCount(8);
    QList<int> progressed;
    const QList<PlannedRename> parallel =
        renamePlan(order, RenameOptions{"#t", 1, false}, [&](int i, int, const QString &) { progressed << i; });
    filepool::setThreadCount(0);

    ASSERT_EQ(parallel.size(), order.size());
    ASSERT_EQ(serial.size(), order.size());
    int taken = 0;
    for (qsizetype k = 0; k < order.size(); ++k) {
        EXPECT_EQ(parallel[k].path, order[k]);
        EXPECT_EQ(parallel[k].target, serial[k].target) << k;
        EXPECT_EQ(parallel[k].outcome, serial[k].outcome) << k;
        EXPECT_EQ(progressed.value(k, -1), k);
        taken += parallel[k].outcome == RenameOutcome::NameTaken ? 1 : 0;
    }
    // The second of every pair finds the name taken.
    EXPECT_GE(taken, n / 4);
}

TEST_F(Rename, ThePlanRenamesNothingAndTheRunFollowsIt)
{
    // In visiting order: b gives up its name, a takes it; c and d want one
    // name; e wants the name of a file outside the run; the rest keep theirs.
    const QString b = addTagged("m/b.mp3", "One", 1);
    const QString a = addTagged("m/a.mp3", "b", 2);
    const QString c = addTagged("m/c.mp3", "Same", 3);
    const QString d = addTagged("m/d.mp3", "Same", 3);
    const QString e = addTagged("m/e.mp3", "notes", 4);
    files.addFile("m/notes.mp3", "not in the run");
    const QString f = addTagged("m/f.mp3", "f", 5);
    const QString g = addTagged("m/g.mp3", "x/y", 6);
    const QString h = addTagged("m/h.mp3", QString(300, QChar(u'é')), 7);
    const QString i = addTagged("m/i.mp3", "Tail", 8);
    const QStringList order{b, a, c, d, e, f, g, h, i};
    const QStringList before = namesIn("m");

    const QList<PlannedRename> plan = renamePlan(order, RenameOptions{"#t", 1, false});
    EXPECT_EQ(namesIn("m"), before);
    ASSERT_EQ(plan.size(), order.size());
    const QList<std::pair<QString, RenameOutcome>> expected{
        {files.filePath("m/One.mp3"), RenameOutcome::Renamed},
        {files.filePath("m/b.mp3"), RenameOutcome::Renamed},
        {files.filePath("m/Same.mp3"), RenameOutcome::Renamed},
        {QString(), RenameOutcome::NameTaken},
        {QString(), RenameOutcome::NameTaken},
        {QString(), RenameOutcome::Unchanged},
        {QString(), RenameOutcome::LeavesFolder},
        {QString(), RenameOutcome::NameTooLong},
        {files.filePath("m/Tail.mp3"), RenameOutcome::Renamed},
    };
    for (qsizetype k = 0; k < order.size(); ++k) {
        EXPECT_EQ(plan[k].path, order[k]);
        EXPECT_EQ(plan[k].target, expected[k].first) << k;
        EXPECT_EQ(plan[k].outcome, expected[k].second) << k << " " << renameOutcomeText(plan[k].outcome).toStdString();
    }
    EXPECT_EQ(renameOutcomeText(RenameOutcome::LeavesFolder), "would leave its folder");
    EXPECT_TRUE(renameFellShort(RenameOutcome::NameTaken));
    EXPECT_FALSE(renameFellShort(RenameOutcome::Unchanged));
    EXPECT_FALSE(renameFellShort(RenameOutcome::PlaceholderMissing));

    // The run over the folder ends as its own plan said, file by file.
    const QList<PlannedRename> folderPlan = renamePlan(renameRunFiles(files.filePath("m"), false),
                                                       RenameOptions{"#n #t", 1, true});
    EXPECT_EQ(namesIn("m"), before);
    app.setFolderPath(files.filePath("m"));
    app.setFilenameString("#n #t");
    app.setSelectedTrailingZeroes(1);
    app.setRenameSkipMissing(true);
    std::optional<RenameReport> report;
    run([&] { app.rename([&](const RenameReport &r) { report = r; }); });
    ASSERT_TRUE(report.has_value());
    const QList<PlannedRename> done = report->files;
    ASSERT_EQ(done.size(), folderPlan.size());
    int renamed = 0;
    for (qsizetype k = 0; k < done.size(); ++k) {
        EXPECT_EQ(done[k].path, folderPlan[k].path);
        EXPECT_EQ(done[k].target, folderPlan[k].target);
        EXPECT_EQ(done[k].outcome, folderPlan[k].outcome) << done[k].path.toStdString();
        if (done[k].outcome == RenameOutcome::Renamed) {
            ++renamed;
            EXPECT_TRUE(QFileInfo::exists(done[k].target));
            EXPECT_FALSE(QFileInfo::exists(done[k].path));
        }
    }
    // Of the ten files, the text file has no tags to give, d finds its name
    // taken, "x/y" and the long title keep theirs: six are renamed.
    EXPECT_EQ(renamed, 6);
    EXPECT_FALSE(report->stopped.has_value());
}
