// SPDX-License-Identifier: GPL-3.0-or-later
// The command line keeps its word: what writes without a review asks first,
// a dry run writes nothing, and every command refuses what it does not honour.
#include "clirunner.h"
#include "library/musiclibrary.h"
#include "support/cformat.h"
#include "testfiles.h"
#include "app/filetoolrun.h"
#include "tools/sizecalculator.h"
#include "userlocations.h"

#include <QDir>
#include <QRegularExpression>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cstdio>
#include <gtest/gtest.h>
#include <taglib/fileref.h>
#include <taglib/tpropertymap.h>

namespace {

class CommandFaults : public ::testing::Test {
protected:
    CommandFaults() : library(libraryPath()) {}

    QString libraryPath() const { return files.filePath("library.sqlite"); }

    // Without a terminal, unless answer is given: then it is typed at one.
    int cli(const QStringList &args, const QByteArray &answer = {})
    {
        out.clear();
        err.clear();
        QTextStream outStream(&out);
        QTextStream errStream(&err);
        FILE *in = nullptr;
        if (!answer.isNull()) {
            in = std::tmpfile();
            std::fwrite(answer.constData(), 1, size_t(answer.size()), in);
            std::rewind(in);
        }
        const int status = int(cli::runMain(QStringList{"--library", libraryPath()} + args, outStream, errStream,
                                            in, in != nullptr, false));
        if (in)
            std::fclose(in);
        outStream.flush();
        errStream.flush();
        return status;
    }

    QStringList namesIn(const QString &relative) const
    {
        return QDir(files.filePath(relative)).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    }

    int trackNumber(qint64 id) { return library.property({id, 0, 0}, "trackNumber").toInt(); }

    ScopedUserLocations locations;
    TestFolder files;
    MusicLibrary library;
    QString out;
    QString err;
};

} // namespace

TEST_F(CommandFaults, NumericWritesOnlyWhenTold)
{
    const qint64 a = library.importFile({files.filePath("a.mp3"), {{"name", "A"}, {"trackNumber", 11}}});
    const qint64 b = library.importFile({files.filePath("b.mp3"), {{"name", "B"}, {"trackNumber", 4}}});
    library.setSelection({a, b});
    const QStringList add{"numeric", "--tag", "trackNumber", "--mode", "add", "--number", "100"};

    EXPECT_EQ(cli(add + QStringList{"--dry-run"}), 0) << err.toStdString();
    EXPECT_TRUE(out.contains(QString::fromUtf8("A  trackNumber 11 \u2192 111"))) << out.toStdString();
    EXPECT_TRUE(out.contains(QString::fromUtf8("B  trackNumber 4 \u2192 104"))) << out.toStdString();
    // JSON, with neither a terminal nor --yes: shown, not written.
    EXPECT_EQ(cli(add + QStringList{"--json"}), 1);
    const QJsonArray changes = QJsonDocument::fromJson(out.toUtf8()).object().value("changes").toArray();
    ASSERT_EQ(changes.size(), 2) << out.toStdString();
    EXPECT_EQ(changes[0].toObject().value("old").toInt(), 11);
    EXPECT_EQ(changes[0].toObject().value("new").toInt(), 111);
    EXPECT_TRUE(err.contains("--yes")) << err.toStdString();
    // Options the command does not honour are refused.
    EXPECT_EQ(cli(add + QStringList{"--uncheck", "1"}), 2);
    EXPECT_EQ(cli(add + QStringList{"--yes", "--dry-run"}), 2);
    EXPECT_EQ(cli(add, "n\n"), 1);
    EXPECT_EQ(trackNumber(a), 11);
    EXPECT_EQ(trackNumber(b), 4);

    EXPECT_EQ(cli(add, "y\n"), 0) << err.toStdString();
    EXPECT_EQ(trackNumber(a), 111);
    EXPECT_EQ(cli(add + QStringList{"--yes"}), 0);
    EXPECT_EQ(trackNumber(a), 211);
    EXPECT_EQ(trackNumber(b), 204);

    EXPECT_EQ(cli({"numeric", "--help"}), 0);
    for (const char *honoured : {"--yes", "--dry-run", "--json"})
        EXPECT_TRUE(out.contains(honoured)) << honoured;
    EXPECT_FALSE(out.contains("--uncheck"));
}

TEST_F(CommandFaults, RenameShowsAsksAndCountsWhatKeptItsName)
{
    addTaggedSeed(files, "m/a.mp3", "Intro", 3);
    addTaggedSeed(files, "m/b.mp3", "Taken", 4);
    files.addFolder("m/4 - Taken.mp3");
    addTaggedSeed(files, "m/.mp3", "Dot", 5);
    addTaggedSeed(files, "m/c.mp3", QString::fromUtf8("evil\u202Egpj.exe\u0007"), 1);
    const QString negative = addTaggedSeed(files, "m/d.mp3", "Neg", 6);
    {
        TagLib::FileRef f(QFile::encodeName(negative).constData());
        TagLib::PropertyMap properties = f.file()->properties();
        properties.replace("TRACKNUMBER", TagLib::StringList("-1"));
        f.file()->setProperties(properties);
        ASSERT_TRUE(f.save());
    }
    const QStringList before = namesIn("m");
    const QStringList rename{"--folder", files.filePath("m"), "rename"};

    EXPECT_EQ(cli(rename + QStringList{"--dry-run"}), 0) << err.toStdString();
    for (const QString &line : {QString::fromUtf8("a.mp3 \u2192 3 - Intro.mp3"), QString("b.mp3 keeps its name: name taken"),
                                QString::fromUtf8(".mp3 \u2192 5 - Dot.mp3"),
                                QString::fromUtf8("c.mp3 \u2192 1 - evilgpj.exe.mp3"),
                                QString::fromUtf8("d.mp3 \u2192 #n - Neg.mp3"),
                                QString("4 renamed; 1 kept their names (1 name taken).")})
        EXPECT_TRUE(out.contains(line)) << line.toStdString() << "\n" << out.toStdString();
    EXPECT_EQ(cli(rename + QStringList{"--dry-run", "--json"}), 0);
    const QJsonArray planned = QJsonDocument::fromJson(out.toUtf8()).object().value("files").toArray();
    EXPECT_EQ(planned.size(), 5);
    for (const QJsonValue &entry : planned)
        if (entry.toObject().value("path").toString().endsWith("/b.mp3")) {
            EXPECT_EQ(entry.toObject().value("outcome").toString(), "name taken");
            EXPECT_TRUE(entry.toObject().value("newPath").isNull());
        }
    EXPECT_EQ(cli(rename), 1);
    EXPECT_TRUE(out.contains("4 of 5 files will be renamed.")) << out.toStdString();
    EXPECT_TRUE(err.contains("--yes")) << err.toStdString();
    EXPECT_EQ(cli(rename + QStringList{"--uncheck", "1"}), 2);
    EXPECT_EQ(namesIn("m"), before);

    // A file that should have changed kept its name: done, but not all of it.
    EXPECT_EQ(cli(rename + QStringList{"--yes"}), 1);
    EXPECT_TRUE(out.contains("4 renamed; 1 kept their names (1 name taken).")) << out.toStdString();
    EXPECT_EQ(namesIn("m"), (QStringList{"#n - Neg.mp3", "1 - evilgpj.exe.mp3", "3 - Intro.mp3", "5 - Dot.mp3",
                                         "b.mp3"}));
    // Files skipped for a missing placeholder were skipped on purpose: no failure.
    files.addFolder("m/gone");
    ASSERT_TRUE(QDir(files.filePath("m")).rename("b.mp3", "gone/b.mp3"));
    EXPECT_EQ(cli(rename + QStringList{"--pattern", "#n #t", "--skip-missing", "--yes"}), 0) << out.toStdString();
    EXPECT_TRUE(out.contains("3 renamed; 1 kept their names (1 placeholder missing).")) << out.toStdString();
    EXPECT_EQ(namesIn("m"), (QStringList{"#n - Neg.mp3", "1 evilgpj.exe.mp3", "3 Intro.mp3", "5 Dot.mp3"}));
}

TEST_F(CommandFaults, ExportAndSizeSpeakToStandardOutputAndRoundAsC)
{
    const qint64 playlist = library.createPlaylist("Mix");
    QList<qint64> ids;
    for (int bitrate : {130, 130, 130, 131})
        ids << library.importFile({files.addSeed("seed.mp3", QString("t%1.mp3").arg(ids.size())),
                                   {{"name", "T"}, {"artist", "A"}, {"album", "L"}, {"bitRate", bitrate},
                                    {"duration", 2.25}}});
    library.addToPlaylist(playlist, {ids.first()});
    EXPECT_EQ(cli({"--playlist", "Mix", "export", "--output", "-"}), 0) << err.toStdString();
    EXPECT_EQ(out, "A\tT\tL\t2.2\n");

    library.addToPlaylist(playlist, ids.mid(1));
    EXPECT_EQ(cli({"--playlist", "Mix", "size", "--json"}), 0) << err.toStdString();
    const QJsonObject figures = QJsonDocument::fromJson(out.toUtf8()).object();
    EXPECT_EQ(figures.value("tracks").toInt(), 4);
    EXPECT_EQ(figures.value("averageBitrate").toDouble(), 130.25);
    EXPECT_EQ(figures.value("targetBitrate").toInt(), 128);

    // Exact halves of the binary value go to the even digit, as printf does.
    EXPECT_EQ(text::cFormat("%.2f %0.1f %.1f", 0.125, 2.25, 130.25), "0.12 2.2 130.2");
    tools::SizeEstimate estimate;
    for (int bitrate : {130, 130, 130, 131})
        estimate.add(2.25f, bitrate);
    EXPECT_TRUE(tools::sizeReport(estimate).contains("average bitrate of 130.2 kbps")) << tools::sizeReport(estimate).toStdString();

    // Neither command has a review or a question.
    for (const QStringList &unhonoured :
         {QStringList{"size", "--uncheck", "1"}, QStringList{"size", "--yes"}, QStringList{"export", "--json", "--output", "-"},
          QStringList{"export", "--dry-run", "--output", "-"}})
        EXPECT_EQ(cli(QStringList{"--playlist", "Mix"} + unhonoured), 2) << unhonoured.join(' ').toStdString();
    EXPECT_EQ(cli({"size", "--help"}), 0);
    EXPECT_TRUE(out.contains("--json"));
    EXPECT_FALSE(out.contains("--uncheck") || out.contains("--yes") || out.contains("--dry-run")) << out.toStdString();
}

TEST_F(CommandFaults, TagsByTheirNamesAndTheVersion)
{
    const qint64 id = library.importFile(
        {files.addSeed("seed.mp3", "a.mp3"), {{"name", "Song"}, {"artist", "Band"}, {"albumArtist", "Band"}, {"trackNumber", 1}}});
    library.addToPlaylist(library.createPlaylist("Mix"), {id});
    library.setSelection({id});
    const TrackRef ref{id, 0, 0};
    const QStringList replace{"--playlist", "Mix", "search-replace", "--search", "Band", "--replace", "Group", "--yes"};

    EXPECT_EQ(cli(replace + QStringList{"--tag", "album artist"}), 0) << err.toStdString();
    EXPECT_EQ(library.property(ref, "albumArtist").toString(), "Group");
    EXPECT_EQ(library.property(ref, "artist").toString(), "Band");
    EXPECT_EQ(cli({"--playlist", "Mix", "search-replace", "--tag", "Title", "--search", "Song", "--replace", "Tune",
                   "--yes"}), 0);
    EXPECT_EQ(library.property(ref, "name").toString(), "Tune");
    EXPECT_EQ(cli(replace + QStringList{"--tag", "1"}), 0);
    EXPECT_EQ(library.property(ref, "artist").toString(), "Group");
    EXPECT_EQ(cli({"numeric", "--tag", "Track Number", "--mode", "set", "--number", "7", "--yes"}), 0);
    EXPECT_EQ(library.property(ref, "trackNumber").toInt(), 7);
    EXPECT_EQ(cli(replace + QStringList{"--tag", "nonsense"}), 2);

    EXPECT_EQ(cli({"--version"}), 0);
    EXPECT_TRUE(out.startsWith("quavertin-cli ")) << out.toStdString();
    EXPECT_TRUE(out.contains(QRegularExpression("\\d+\\.\\d+"))) << out.toStdString();
}

TEST_F(CommandFaults, LibraryPlaylistsAndTheColumnsOfTracks)
{
    const qint64 a = library.importFile({files.filePath("a.mp3"), {{"name", "A"}, {"year", 1999}, {"genre", "Pop"}}});
    const qint64 b = library.importFile({files.filePath("b.mp3"), {{"name", "B"}, {"trackNumber", 2}}});
    EXPECT_EQ(cli({"library", "tracks", "--columns", "year,Track Number,genre,title"}), 0) << err.toStdString();
    EXPECT_EQ(out, QString("%1\t1999\t\tPop\tA\n%2\t\t2\t\tB\n").arg(a).arg(b));
    EXPECT_EQ(cli({"library", "tracks", "--columns", "year,colour"}), 2);
    EXPECT_EQ(cli({"library", "tracks", "--json"}), 0);
    const QJsonObject first = QJsonDocument::fromJson(out.toUtf8()).array().at(0).toObject();
    EXPECT_EQ(first.value("year").toInt(), 1999);
    EXPECT_EQ(first.value("title").toString(), "A");
    for (const char *key : {"trackNumber", "genre", "albumArtist", "composer", "playedCount", "rating", "location"})
        EXPECT_TRUE(first.contains(key)) << key;

    EXPECT_EQ(cli({"library", "playlist-create", "Mix"}), 0);
    EXPECT_EQ(cli({"library", "playlist-create", "Mix"}), 1);
    EXPECT_TRUE(err.contains("already a playlist named \"Mix\"")) << err.toStdString();
    EXPECT_EQ(cli({"library", "playlist-add", "Mix", QString::number(a), QString::number(b), QString::number(a)}), 0);
    EXPECT_EQ(cli({"library", "playlist-remove", "Mix", QString::number(a)}), 0) << err.toStdString();
    EXPECT_EQ(library.tracksOf(library.playlistNamed("Mix")->id).size(), 1);
    EXPECT_EQ(cli({"library", "playlist-remove", "Mix", QString::number(a)}), 1);
    EXPECT_EQ(cli({"library", "playlist-create", "Other"}), 0);
    EXPECT_EQ(cli({"library", "playlist-rename", "Mix", "Other"}), 1);
    EXPECT_EQ(cli({"library", "playlist-rename", "Mix", "Road"}), 0) << err.toStdString();
    EXPECT_FALSE(library.playlistNamed("Mix"));
    EXPECT_EQ(cli({"library", "playlist-delete", "Road"}), 0);
    EXPECT_FALSE(library.playlistNamed("Road"));
    EXPECT_EQ(library.trackCount(), 2);
    EXPECT_EQ(cli({"library", "playlist-delete", "Road"}), 1);
}

TEST_F(CommandFaults, SwapsCompletePatternlessMatchesAreRefusedAndRowsAreCounted)
{
    const QString path = addTaggedSeed(files, "m/a.mp3", "Title B", 1, "Artist A");
    addTaggedSeed(files, "m/b.mp3", "Title C", 2, "Artist C");
    const QStringList folder{"--folder", files.filePath("m")};
    EXPECT_EQ(cli(folder + QStringList{"move", "--source-tag", "artist", "--target-tag", "name", "--yes"}), 0)
        << err.toStdString();
    EXPECT_EQ(MusicTrack::withPath(path).artist(), "Title B");
    EXPECT_EQ(MusicTrack::withPath(path).title(), "Artist A");

    EXPECT_EQ(cli(folder + QStringList{"move", "--source-tag", "artist", "--target-tag", "album", "--action", "copy",
                                       "--portion", "matches", "--yes"}),
              1);
    EXPECT_EQ(MusicTrack::withPath(path).album(), "Seed Album");

    EXPECT_EQ(cli(folder + QStringList{"move", "--source-tag", "artist", "--target-tag", "album", "--uncheck", "9"}), 2);
    EXPECT_TRUE(err.contains("the review has 4 rows")) << err.toStdString();
}
