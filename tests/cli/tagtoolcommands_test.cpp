// SPDX-License-Identifier: GPL-3.0-or-later
#include "clirunner.h"
#include "library/musiclibrary.h"
#include "model/musictrack.h"
#include "testfiles.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <gtest/gtest.h>

namespace {

// The four tag tools as a person types them, against a real library file and
// real music files; standard input is empty, so only --yes applies.
class TagToolCommandTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        libraryPath = folder.filePath("library.sqlite");
        library = std::make_shared<MusicLibrary>(libraryPath);
        playlist = library->createPlaylist("Tools");
    }

    qint64 addTrack(const QVariantHash &values)
    {
        const QString path = folder.addSeed("seed.mp3", QStringLiteral("library/%1.mp3").arg(++serial));
        const qint64 id = library->importFile(ImportedFile{path, values});
        library->addToPlaylist(playlist, {id});
        return id;
    }

    QString addFile(const QString &name, const QVariantHash &tags)
    {
        const QString path = folder.addSeed("seed.mp3", "music/" + name);
        for (auto it = tags.begin(); it != tags.end(); ++it)
            MusicTrack::withPath(path).setTag(it.key(), it.value());
        return path;
    }

    QVariant value(qint64 id, const QString &key) const { return library->property(TrackRef{id}, key); }

    // Runs quavertin-cli with the playlist "Tools" (or the given source) as source.
    int cli(const QStringList &args, const QStringList &source = {"--playlist", "Tools"})
    {
        out.clear();
        errors.clear();
        QTextStream outStream(&out);
        QTextStream errStream(&errors);
        const QStringList all = QStringList{"--library", libraryPath} + source + args;
        FILE *empty = std::fopen("/dev/null", "r");
        const int status = int(cli::runMain(all, outStream, errStream, empty, false, false));
        std::fclose(empty);
        return status;
    }

    // The rows of a review printed with --json, as "old -> new".
    QStringList jsonRows() const
    {
        const QJsonObject review = QJsonDocument::fromJson(out.toUtf8()).object();
        QStringList rows;
        for (const QJsonValue &record : review["records"].toArray())
            rows << record["oldTag"].toString() + " -> " + record["newTag"].toString();
        return rows;
    }

    TestFolder folder;
    QString libraryPath;
    std::shared_ptr<MusicLibrary> library;
    qint64 playlist = 0;
    int serial = 0;
    QString out;
    QString errors;
};

} // namespace

TEST_F(TagToolCommandTest, SearchReplacePrintsTheReviewAndAppliesAllButTheUncheckedRow)
{
    const qint64 first = addTrack({{"name", "The Band"}, {"artist", "A"}});
    const qint64 second = addTrack({{"name", "Other"}, {"artist", "B"}});
    const qint64 third = addTrack({{"name", "the end"}, {"artist", "C"}});

    EXPECT_EQ(cli({"search-replace", "--tag", "name", "--search", "the ", "--replace", "A ", "--uncheck", "2", "--yes"}), 0)
        << errors.toStdString();
    EXPECT_TRUE(out.contains("Checked tracks of these 2 tracks will get their tag 'Title' changed:")) << out.toStdString();
    EXPECT_TRUE(out.contains("The Band")) << out.toStdString();
    EXPECT_TRUE(out.contains("A Band"));
    EXPECT_TRUE(out.contains("A end"));
    EXPECT_TRUE(out.contains("1 changes applied."));
    EXPECT_EQ(value(first, "name"), "A Band");
    EXPECT_EQ(value(second, "name"), "Other");
    EXPECT_EQ(value(third, "name"), "the end");
}

TEST_F(TagToolCommandTest, SearchReplaceRegexPresetAndCaseSensitivity)
{
    const qint64 id = addTrack({{"name", "Meet the Band"}, {"artist", "abab"}});

    EXPECT_EQ(cli({"search-replace", "--tag", "name", "--preset", "3", "--case-sensitive", "--dry-run"}), 1);
    EXPECT_EQ(cli({"search-replace", "--tag", "name", "--preset", "3", "--json", "--dry-run"}), 0);
    EXPECT_EQ(jsonRows(), QStringList{"Meet the Band -> Meet Band, The"});
    EXPECT_EQ(cli({"search-replace", "--tag", "artist", "--regex", "--search", "(a)(b)", "--replace", "$2$1", "--yes"}), 0);
    EXPECT_EQ(value(id, "artist"), "baba");
    EXPECT_EQ(value(id, "name"), "Meet the Band");
    // No --replace deletes every match.
    EXPECT_EQ(cli({"search-replace", "--tag", "artist", "--search", "A", "--yes"}), 0);
    EXPECT_EQ(value(id, "artist"), "bb");
}

TEST_F(TagToolCommandTest, CapitalizeAndEncodingTakeNamesOrIndexes)
{
    const qint64 id = addTrack({{"name", "hELLO World"}, {"album", QString::fromUtf8("CafÃ©")}});

    EXPECT_EQ(cli({"capitalize", "--tag", "name", "--method", "proper", "--yes"}), 0) << errors.toStdString();
    EXPECT_EQ(value(id, "name"), "Hello world");
    EXPECT_EQ(cli({"capitalize", "--tag", "0", "--method", "1", "--yes"}), 0);
    EXPECT_EQ(value(id, "name"), "HELLO WORLD");

    EXPECT_EQ(cli({"encoding", "--tag", "album", "--from", "windows-1252", "--to", "UTF-8", "--json", "--dry-run"}), 0);
    EXPECT_EQ(jsonRows(), QStringList{QString::fromUtf8("CafÃ© -> Café")});
    EXPECT_EQ(cli({"encoding", "--tag", "album", "--from", "6", "--to", "1", "--yes"}), 0);
    EXPECT_EQ(value(id, "album"), QString::fromUtf8("Café"));
    // Nothing left to repair.
    EXPECT_EQ(cli({"encoding", "--tag", "album", "--from", "cp1252", "--to", "utf8", "--yes"}), 1);
}

TEST_F(TagToolCommandTest, MoveSwapsAndCopiesPortions)
{
    const qint64 id = addTrack(
        {{"name", "Title"}, {"artist", "Artist"}, {"year", 1999}, {"comment", "Live"}, {"album", "Old"}, {"genre", "Rock"}});

    EXPECT_EQ(cli({"move", "--source-tag", "year", "--target-tag", "comment", "--action", "copy", "--option", "append",
                   "--delimiter", " - ", "--yes"}),
              0)
        << errors.toStdString();
    EXPECT_EQ(value(id, "comment"), "Live - 1999");
    EXPECT_EQ(cli({"move", "--source-tag", "name", "--target-tag", "album", "--action", "copy", "--portion", "first",
                   "--count", "3", "--yes"}),
              0);
    EXPECT_EQ(value(id, "album"), "Tit");
    EXPECT_EQ(cli({"move", "--source-tag", "comment", "--target-tag", "genre", "--action", "copy", "--portion",
                   "matches", "--search", "[0-9]+", "--yes"}),
              0);
    EXPECT_EQ(value(id, "genre"), "1999");
    EXPECT_EQ(cli({"move", "--source-tag", "album", "--target-tag", "genre", "--json", "--dry-run"}), 0);
    EXPECT_EQ(jsonRows(), (QStringList{"Tit -> 1999", "1999 -> Tit"}));
    // The count is checked by the tool itself.
    EXPECT_EQ(cli({"move", "--source-tag", "name", "--target-tag", "album", "--action", "copy", "--portion", "first",
                   "--count", "0", "--yes"}),
              1);
}

TEST_F(TagToolCommandTest, FoldersWorkAndLyricsThereAreRefused)
{
    const QString path = addFile("a.mp3", {{"name", "a song"}, {"artist", "X"}});
    const QStringList source{"--folder", folder.filePath("music")};
    EXPECT_EQ(cli({"capitalize", "--tag", "name", "--method", "title", "--yes"}, source), 0) << errors.toStdString();
    EXPECT_EQ(MusicTrack::withPath(path).valueForTag("name"), "A Song");
    const QByteArray bytes = TestFolder::readAll(path);
    EXPECT_EQ(cli({"capitalize", "--tag", "lyrics", "--method", "title", "--yes"}, source), 1);
    EXPECT_EQ(TestFolder::readAll(path), bytes);
}

TEST_F(TagToolCommandTest, BadOptionsAreUsageErrors)
{
    const qint64 id = addTrack({{"name", "x"}});
    EXPECT_EQ(cli({"search-replace", "--search", "x"}), 2);
    EXPECT_TRUE(errors.contains("--tag")) << errors.toStdString();
    EXPECT_EQ(cli({"search-replace", "--tag", "nosuchtag", "--search", "x"}), 2);
    EXPECT_EQ(cli({"search-replace", "--tag", "name", "--search", "x", "--preset", "6"}), 2);
    EXPECT_EQ(cli({"capitalize", "--tag", "name", "--method", "shouting"}), 2);
    EXPECT_EQ(cli({"encoding", "--tag", "name", "--from", "klingon", "--to", "utf-8"}), 2);
    EXPECT_TRUE(errors.contains("windows-1252")) << errors.toStdString();
    EXPECT_EQ(cli({"encoding", "--tag", "name", "--from", "utf-8"}), 2);
    EXPECT_EQ(cli({"move", "--source-tag", "name", "--target-tag", "year"}), 2); // the target must be a text tag
    EXPECT_EQ(cli({"move", "--source-tag", "name", "--target-tag", "album", "--portion", "half"}), 2);
    // A tag the tool itself refuses is a refusal, not bad usage.
    EXPECT_EQ(cli({"search-replace", "--tag", "year", "--search", "x"}), 1);
    EXPECT_EQ(value(id, "name"), "x");
}

// A file the save would refuse comes into the review unchecked, with the
// reason in its row, and the other files of the folder are written.
TEST_F(TagToolCommandTest, AFileTheSaveWouldRefuseComesUncheckedAndTheOthersAreWritten)
{
    QStringList good;
    for (int i = 0; i < 50; ++i)
        good << folder.addSeed("seed.mp3", QStringLiteral("fifty/%1.mp3").arg(i, 2, 10, QLatin1Char('0')));
    // An APE footer whose size takes in ten bytes of audio: a save would replace them with the tag.
    QByteArray footer = QByteArray("APETAGEX") + QByteArray::fromHex("d0070000") + QByteArray::fromHex("2a000000") +
                        QByteArray(16, '\0');
    const QByteArray lying = TestFolder::readAll(TestFolder::seedPath("seed.mp3")) + footer;
    const QString odd = folder.addFile("fifty/25-odd.mp3", lying);
    const QString reason = "The file has an APE tag whose size does not fit its items: its tag size runs into the audio";
    const QStringList source{"--folder", folder.filePath("fifty")};
    const QStringList run{"search-replace", "--tag", "name", "--search", "Seed", "--replace", "Kept"};

    ASSERT_EQ(cli(run + QStringList{"--json", "--dry-run"}, source), 0) << errors.toStdString();
    const QJsonArray records = QJsonDocument::fromJson(out.toUtf8()).object()["records"].toArray();
    ASSERT_EQ(records.size(), 51);
    QStringList unchecked;
    for (const QJsonValue &record : records) {
        if (!record["enabled"].toBool())
            unchecked << record["path"].toString() + ": " + record["refusal"].toString();
        else
            EXPECT_FALSE(record.toObject().contains("refusal"));
    }
    EXPECT_EQ(unchecked, QStringList{odd + ": " + reason});

    ASSERT_EQ(cli(run + QStringList{"--yes"}, source), 0) << errors.toStdString();
    EXPECT_TRUE(out.contains(QRegularExpression("\\d+ \\[ \\]  Seed Title.*\n +" + QRegularExpression::escape(reason) +
                                                "; it cannot be written, and checked it stops the run there\n")))
        << out.toStdString();
    EXPECT_TRUE(out.contains("50 changes applied.")) << out.toStdString();
    for (const QString &path : good)
        EXPECT_EQ(MusicTrack::withPath(path).title(), "Kept Title") << path.toStdString();
    EXPECT_EQ(TestFolder::readAll(odd), lying);
}
