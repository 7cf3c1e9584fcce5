// SPDX-License-Identifier: GPL-3.0-or-later
// Runs taken back by a later process than the one that applied them.
#include "cliprocess.h"
#include "library/musiclibrary.h"
#include "model/musictrack.h"
#include "operations/applyengine.h"
#include "operations/runjournal.h"
#include "testfiles.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>
#include <sqlite3.h>

namespace {

const QStringList shownKeys = {"name", "artist", "album"};

class UndoCommands : public ::testing::Test {
protected:
    CliResult run(const QStringList &args) { return runCli(QStringList{"--library", libraryPath} + args, locations); }
    void ok(const QStringList &args)
    {
        const CliResult r = run(args);
        ASSERT_EQ(r.status, 0) << args.join(' ').toStdString() << "\n" << r.out.toStdString() << r.err.toStdString();
    }
    const QJsonArray history()
    {
        return QJsonDocument::fromJson(run({"history", "--json"}).out.toUtf8()).array();
    }
    // Four tagged copies of the seed in the library, in the playlist "All".
    void importFour()
    {
        MusicLibrary library(libraryPath);
        for (int i = 1; i <= 4; ++i) {
            const QString path = folder.addSeed("seed.mp3", QStringLiteral("music/%1.mp3").arg(i));
            const QVariantHash values{{"name", QStringLiteral("song number %1").arg(i)},
                                      {"artist", QStringLiteral("the band %1").arg(i)},
                                      {"album", QStringLiteral("Album %1").arg(i % 2)}};
            for (auto it = values.cbegin(); it != values.cend(); ++it)
                MusicTrack::withPath(path).setTag(it.key(), it.value());
            paths << path;
            ids << library.importFile({path, values});
        }
        library.addToPlaylist(library.createPlaylist("All"), ids);
        library.createPlaylist("Mine");
    }
    // Every file's and every library row's values of shownKeys.
    QStringList state()
    {
        QStringList values;
        for (const QString &path : paths)
            for (const QString &key : shownKeys)
                values << path + ' ' + key + '=' + MusicTrack::withPath(path).valueForTag(key).toString();
        MusicLibrary library(libraryPath);
        for (qint64 id : ids)
            for (const QString &key : shownKeys)
                values << QString::number(id) + ' ' + key + '=' + library.property({id}, key).toString();
        return values;
    }
    // The playlist's entries in order, each as "entry:track@position".
    QStringList entries(const QString &playlist)
    {
        MusicLibrary library(libraryPath);
        QStringList shown;
        for (const PlaylistEntry &e : library.entriesOf(library.playlistNamed(playlist)->id))
            shown << QStringLiteral("%1:%2@%3").arg(e.entryId).arg(e.trackId).arg(e.position);
        return shown;
    }

    // Every row of the library that a track leaves behind, with each value's
    // type, read with a bare connection: the tracks, the playlist entries and the selection.
    QStringList dump()
    {
        QStringList rows;
        sqlite3 *db = nullptr;
        EXPECT_EQ(sqlite3_open_v2(libraryPath.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
        for (const char *sql : {"SELECT * FROM tracks ORDER BY id", "SELECT * FROM playlist_entries ORDER BY id",
                                "SELECT * FROM selection ORDER BY position"}) {
            sqlite3_stmt *st = nullptr;
            EXPECT_EQ(sqlite3_prepare_v2(db, sql, -1, &st, nullptr), SQLITE_OK);
            while (sqlite3_step(st) == SQLITE_ROW) {
                QString row = sql;
                for (int c = 0; c < sqlite3_column_count(st); ++c)
                    row += QStringLiteral(" %1:%2=%3")
                               .arg(sqlite3_column_name(st, c))
                               .arg(sqlite3_column_type(st, c))
                               .arg(QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st, c))));
                rows << row;
            }
            sqlite3_finalize(st);
        }
        sqlite3_close(db);
        return rows;
    }
    // The music files' bytes by path; a missing file reads as nothing.
    QStringList files()
    {
        QStringList shown;
        for (const QString &path : paths)
            shown << path + ' ' + (QFile::exists(path) ? QString::fromLatin1(TestFolder::readAll(path).toHex()) : "gone");
        return shown;
    }
    // What the Trash holds, as "files/NAME" and "info/NAME".
    QStringList trashed()
    {
        QStringList found;
        for (const char *part : {"files", "info"})
            for (const QString &name : QDir(locations.dataHome() + "/Trash/" + part).entryList(QDir::Files))
                found << QString::fromLatin1(part) + '/' + name;
        return found;
    }
    QJsonArray review()
    {
        return QJsonDocument::fromJson(run({"undo", "--dry-run", "--json"}).out.toUtf8()).object()["records"].toArray();
    }
    QString number(int newest) { return QString::number(history()[newest]["number"].toInteger()); }

    ScopedUserLocations locations;
    TestFolder folder;
    QString libraryPath = folder.filePath("library.sqlite");
    QStringList paths;
    QList<qint64> ids;
};

} // namespace

TEST_F(UndoCommands, TagRunsGoBackNewestFirstAndAnUndoneUndoRedoes)
{
    importFour();
    const QStringList original = state();
    ok({"--playlist", "All", "search-replace", "--tag", "artist", "--search", "the band", "--replace", "The Band",
        "--yes"});
    const QStringList replaced = state();
    ok({"--folder", folder.filePath("music"), "capitalize", "--tag", "name", "--method", "upper", "--yes"});
    ok({"--playlist", "All", "move", "--source-tag", "album", "--target-tag", "artist", "--yes"});
    const QStringList moved = state();
    ASSERT_NE(moved, original);
    EXPECT_EQ(MusicTrack::withPath(paths[1]).valueForTag("artist").toString(), "Album 0");
    EXPECT_EQ(MusicTrack::withPath(paths[1]).valueForTag("album").toString(), "The Band 2");

    // Each undo is its own process: the swap first, then the capitals, then the replacement.
    const CliResult review = run({"undo", "--dry-run", "--json"});
    ASSERT_EQ(review.status, 0) << review.err.toStdString();
    const QJsonArray records = QJsonDocument::fromJson(review.out.toUtf8()).object()["records"].toArray();
    ASSERT_EQ(records.size(), 8);
    for (const QJsonValue &r : records)
        EXPECT_TRUE(r["enabled"].toBool()) << r["note"].toString().toStdString();
    EXPECT_EQ(state(), moved) << "a dry run writes nothing";
    ok({"undo", "--yes"});
    ok({"undo", "--yes"});
    EXPECT_EQ(state(), replaced);
    ok({"undo", "--yes"});
    EXPECT_EQ(state(), original);

    // Six runs: three tools and three undos, each naming the run it took back.
    const QJsonArray runs = history();
    ASSERT_EQ(runs.size(), 6);
    for (int i : {0, 1, 2}) {
        EXPECT_EQ(runs[i]["tool"].toString(), "Undo");
        EXPECT_EQ(runs[i]["undoOf"].toInteger(), runs[5 - i]["number"].toInteger());
        EXPECT_EQ(runs[5 - i]["undoneBy"].toInteger(), runs[i]["number"].toInteger());
    }
    EXPECT_EQ(runs[2]["source"].toString(), "run " + QString::number(runs[3]["number"].toInteger()) + " (Data Mover)");

    const CliResult nothingLeft = run({"undo", "--yes"});
    EXPECT_EQ(nothingLeft.status, 1);
    EXPECT_TRUE(nothingLeft.err.contains("undone already")) << nothingLeft.err.toStdString();
    const QString replaceRun = QString::number(runs[5]["number"].toInteger());
    const CliResult twice = run({"undo", replaceRun, "--yes"});
    EXPECT_EQ(twice.status, 1);
    EXPECT_TRUE(twice.err.contains("was undone by run " + QString::number(runs[0]["number"].toInteger())))
        << twice.err.toStdString();
    EXPECT_EQ(run({"undo", "0"}).status, 2);
    EXPECT_EQ(run({"undo", "999", "--yes"}).status, 1);

    // Undoing the undo of the replacement makes it again; then the replacement may be undone once more.
    ok({"undo", QString::number(runs[0]["number"].toInteger()), "--yes"});
    EXPECT_EQ(state(), replaced);
    const QJsonArray redone = history();
    EXPECT_EQ(redone[0]["undoOf"].toInteger(), redone[1]["number"].toInteger());
    EXPECT_EQ(redone[1]["undoneBy"].toInteger(), redone[0]["number"].toInteger());
    ok({"undo", "--yes"});
    EXPECT_EQ(state(), original);
}

TEST_F(UndoCommands, AValueEditedSinceTheRunIsLeftAloneAndMarked)
{
    for (int i = 1; i <= 3; ++i) {
        paths << folder.addSeed("seed.flac", QStringLiteral("music/%1.flac").arg(i));
        MusicTrack::withPath(paths.last()).setTag("album", "live at home");
    }
    ok({"--folder", folder.filePath("music"), "search-replace", "--tag", "album", "--search", "home", "--replace",
        "the hall", "--yes"});
    MusicTrack::withPath(paths[1]).setTag("album", "edited by hand");

    const CliResult review = run({"undo", "--dry-run"});
    ASSERT_EQ(review.status, 0) << review.err.toStdString();
    EXPECT_TRUE(review.out.contains("changed since the run: now \u201Cedited by hand\u201D")) << review.out.toStdString();
    const CliResult json = run({"undo", "--dry-run", "--json"});
    const QJsonArray records = QJsonDocument::fromJson(json.out.toUtf8()).object()["records"].toArray();
    ASSERT_EQ(records.size(), 3);
    int unchecked = 0;
    for (const QJsonValue &r : records) {
        const bool edited = r["path"].toString() == paths[1];
        EXPECT_EQ(r["enabled"].toBool(), !edited);
        EXPECT_EQ(r["note"].toString().startsWith("changed since the run"), edited);
        unchecked += edited ? 1 : 0;
    }
    EXPECT_EQ(unchecked, 1);

    ok({"undo", "--yes"});
    EXPECT_EQ(MusicTrack::withPath(paths[0]).valueForTag("album").toString(), "live at home");
    EXPECT_EQ(MusicTrack::withPath(paths[1]).valueForTag("album").toString(), "edited by hand");
    EXPECT_EQ(MusicTrack::withPath(paths[2]).valueForTag("album").toString(), "live at home");
    EXPECT_EQ(history()[0]["count"].toInt(), 2);

    // A file that is gone is named, not written.
    ok({"--folder", folder.filePath("music"), "search-replace", "--tag", "album", "--search", "live", "--replace",
        "LIVE", "--yes"});
    QFile::remove(paths[2]);
    const CliResult gone = run({"undo", "--dry-run", "--json"});
    const QJsonArray goneRecords = QJsonDocument::fromJson(gone.out.toUtf8()).object()["records"].toArray();
    ASSERT_EQ(goneRecords.size(), 2);
    EXPECT_FALSE(goneRecords[0]["enabled"].toBool());
    EXPECT_EQ(goneRecords[0]["note"].toString(), "cannot be read now: the file is gone");
    EXPECT_TRUE(goneRecords[1]["enabled"].toBool());
}

TEST_F(UndoCommands, PlaylistEntriesComeOutAndGoBackWhereTheyStood)
{
    importFour();
    const QStringList all = entries("All");
    ok({"--playlist", "All", "playlist", "--tag", "name", "--condition", "2", "--value", "song", "--action", "add",
        "--target", "Mine", "--uncheck", "2", "--yes"});
    ASSERT_EQ(entries("Mine").size(), 3);
    ok({"--playlist", "All", "playlist", "--tag", "album", "--condition", "0", "--value", "Album 0", "--action",
        "remove", "--yes"});
    ASSERT_EQ(entries("All").size(), 2);

    // The removal first: entries 2 and 4 go back between their old neighbours.
    const CliResult review = run({"undo", "--dry-run"});
    EXPECT_TRUE(review.out.contains("will be put back into their playlists")) << review.out.toStdString();
    ok({"undo", "--yes"});
    EXPECT_EQ(entries("All"), all);
    ok({"undo", "--yes"});
    EXPECT_TRUE(entries("Mine").isEmpty());
    EXPECT_EQ(entries("All"), all);

    // Redoing the removal takes the same entries out again; undoing the redo puts them back.
    const QJsonArray runs = history();
    ASSERT_EQ(runs.size(), 4);
    ok({"undo", QString::number(runs[1]["number"].toInteger()), "--yes"});
    EXPECT_EQ(entries("All"), (QStringList{all[0], all[2]}));
    ok({"undo", QString::number(history()[0]["number"].toInteger()), "--yes"});
    EXPECT_EQ(entries("All"), all);

    // An entry taken out by hand since the add is shown unchecked.
    ok({"--playlist", "All", "playlist", "--tag", "name", "--condition", "2", "--value", "song", "--action", "add",
        "--target", "Mine", "--yes"});
    {
        MusicLibrary library(libraryPath);
        const qint64 mine = library.playlistNamed("Mine")->id;
        library.deleteTracks({TrackRef{ids[0], mine, library.entriesOf(mine).first().entryId}});
    }
    const CliResult json = run({"undo", "--dry-run", "--json"});
    const QJsonArray records = QJsonDocument::fromJson(json.out.toUtf8()).object()["records"].toArray();
    ASSERT_EQ(records.size(), 4);
    EXPECT_FALSE(records[3]["enabled"].toBool());
    EXPECT_EQ(records[3]["note"].toString(), "changed since the run: no longer in the playlist \u201CMine\u201D");
    ok({"undo", "--yes"});
    EXPECT_TRUE(entries("Mine").isEmpty());
}

TEST_F(UndoCommands, NumbersRenamesRelinksAndDeadEntriesGoBack)
{
    importFour();
    const QStringList all = entries("All");
    const auto stored = [&](int i) { return MusicLibrary(libraryPath).storedLocation({ids[i]}); };
    const auto played = [&](int i) { return MusicLibrary(libraryPath).property({ids[i]}, "playedCount").toInt(); };
    MusicLibrary(libraryPath).setSelection({ids[0], ids[2]});
    MusicLibrary(libraryPath).setProperty({ids[2]}, "playedCount", 7);

    // The numeric changer writes without a review; its undo is reviewed.
    ok({"numeric", "--tag", "playedCount", "--mode", "add", "--number", "5", "--yes"});
    EXPECT_EQ(played(0), 5);
    EXPECT_EQ(played(2), 12);
    ok({"undo", "--yes"});
    EXPECT_EQ(played(0), 0);
    EXPECT_EQ(played(2), 7);
    EXPECT_EQ(history()[1]["tool"].toString(), "Numeric Tag Changer");

    // Renamed files get their old names back, never over a file that took one meanwhile.
    ok({"--folder", folder.filePath("music"), "rename", "--pattern", "#a - #t", "--yes"});
    const QString renamed = folder.filePath("music/the band 2 - song number 2.mp3");
    ASSERT_TRUE(QFile::exists(renamed));
    EXPECT_EQ(stored(1), renamed);
    const QJsonArray renames =
        QJsonDocument::fromJson(run({"history", "show", QString::number(history()[0]["number"].toInteger()), "--json"})
                                    .out.toUtf8())
            .object()["changes"]
            .toArray();
    ASSERT_EQ(renames.size(), 4);
    EXPECT_EQ(renames[1]["kind"].toString(), "renamed");
    folder.addFile("music/2.mp3", "someone else's file");
    const QJsonArray records =
        QJsonDocument::fromJson(run({"undo", "--dry-run", "--json"}).out.toUtf8()).object()["records"].toArray();
    ASSERT_EQ(records.size(), 4);
    for (const QJsonValue &r : records)
        EXPECT_EQ(r["enabled"].toBool(), r["oldTag"].toString() != renamed) << r["note"].toString().toStdString();
    ok({"undo", "--yes"});
    for (int i : {0, 2, 3}) {
        EXPECT_TRUE(QFile::exists(paths[i]));
        EXPECT_EQ(stored(i), paths[i]);
    }
    EXPECT_TRUE(QFile::exists(renamed));
    EXPECT_EQ(stored(1), renamed);
    EXPECT_EQ(TestFolder::readAll(paths[1]), QByteArray("someone else's file"));

    // A dead track relinked to a copy elsewhere points at its old place again.
    const QString elsewhere = folder.filePath("elsewhere/3.mp3");
    QDir().mkpath(folder.filePath("elsewhere"));
    ASSERT_TRUE(QFile::rename(paths[2], elsewhere));
    ok({"--playlist", "All", "relink", "--search-folder", folder.filePath("elsewhere"), "--yes"});
    EXPECT_EQ(stored(2), elsewhere);
    ok({"undo", "--yes"});
    EXPECT_EQ(stored(2), paths[2]);

    // Its entry, removed as dead, comes back where it stood; the file is still missing.
    ok({"--playlist", "All", "dead", "--yes"});
    EXPECT_EQ(entries("All").size(), 3);
    EXPECT_EQ(QJsonDocument::fromJson(run({"history", "show", QString::number(history()[0]["number"].toInteger()),
                                           "--json"})
                                          .out.toUtf8())
                  .object()["changes"][0]["kind"]
                  .toString(),
              "dead entry removed");
    ok({"undo", "--yes"});
    EXPECT_EQ(entries("All"), all);
    EXPECT_EQ(stored(2), paths[2]);
}

TEST_F(UndoCommands, TrashedFilesAndRemovedTracksComeBackWholeAndGoAgainOnARedo)
{
    importFour();
    {
        MusicLibrary library(libraryPath);
        library.addToPlaylist(library.playlistNamed("Mine")->id, {ids[2], ids[0], ids[2]});
        library.setProperty({ids[0]}, "playedCount", 3);
        library.setProperty({ids[0]}, "rating", 80);
        library.setSelection({ids[3], ids[0], ids[2]});
    }
    const QStringList before = dump();
    ASSERT_EQ(before.filter("FROM selection").size(), 3);
    ASSERT_EQ(before.filter("FROM playlist_entries").size(), 7);
    const QStringList bytes = files();

    // The playlist manager takes the entries out and the files to the Trash; the tracks stay without them.
    ok({"--playlist", "All", "playlist", "--tag", "album", "--condition", "0", "--value", "Album 0", "--action",
        "remove", "--trash", "--yes"});
    const QStringList removed = dump();
    EXPECT_EQ(entries("All").size(), 2);
    EXPECT_FALSE(QFile::exists(paths[1]));
    EXPECT_FALSE(QFile::exists(paths[3]));
    EXPECT_EQ(trashed().size(), 4);
    const QJsonArray kinds =
        QJsonDocument::fromJson(run({"history", "show", number(0), "--json"}).out.toUtf8()).object()["changes"].toArray();
    ASSERT_EQ(kinds.size(), 4);
    EXPECT_EQ(kinds[0]["kind"].toString(), "removed from playlist");
    EXPECT_EQ(kinds[3]["kind"].toString(), "moved to Trash");

    // A new process puts them back: the same rows and entries, the same bytes, the Trash empty.
    const CliResult summary = run({"undo", "--dry-run"});
    EXPECT_TRUE(summary.out.contains("put back into their playlists, their files taken out of the Trash"))
        << summary.out.toStdString();
    ok({"undo", "--yes"});
    EXPECT_EQ(dump(), before);
    EXPECT_EQ(files(), bytes);
    EXPECT_EQ(trashed(), QStringList());

    // Undoing the undo takes them out and trashes the files again; undoing that brings them back again.
    ok({"undo", number(0), "--yes"});
    EXPECT_EQ(dump(), removed);
    EXPECT_FALSE(QFile::exists(paths[1]));
    EXPECT_EQ(trashed().size(), 4);
    ok({"undo", number(0), "--yes"});
    EXPECT_EQ(dump(), before);
    EXPECT_EQ(files(), bytes);
    EXPECT_EQ(trashed(), QStringList());

    // Tracks reached through the library leave it and every playlist and the selection; their undo brings
    // back each row whole, under its own id, with every entry and its place in the selection.
    {
        auto library = std::make_shared<MusicLibrary>(libraryPath);
        auto list = std::make_shared<ChangeList>();
        list->playlist = true;
        list->remove = 1;
        list->trash = true;
        list->tool = "Playlist Manager";
        for (int i : {0, 2}) {
            const MusicTrack track = MusicTrack::withTrack(library, TrackRef{ids[i]});
            list->records << ChangeRecord{track, {}, {}, {}, track.title(), track.artist(), true};
        }
        ApplyRun apply;
        apply.changes = list;
        apply.library = library;
        apply.progress = [](const ProgressDetail &) {};
        apply.journal = std::make_shared<RunJournal>(
            RunJournal::Run{HistoryStore::pathBeside(libraryPath), "Playlist Manager", "library", {}, library});
        const ApplyResult result = applyengine::apply(apply);
        ASSERT_EQ(result.outcome, ApplyResult::Finished) << result.error.toStdString();
        ASSERT_TRUE(result.notRecorded.isEmpty()) << result.notRecorded.toStdString();
    }
    const QStringList left = dump();
    EXPECT_EQ(MusicLibrary(libraryPath).trackCount(), 2);
    EXPECT_EQ(entries("Mine"), QStringList());
    EXPECT_FALSE(QFile::exists(paths[0]));
    const CliResult whole = run({"undo", "--dry-run"});
    EXPECT_TRUE(whole.out.contains("put back into the library and their playlists, their files taken out of the Trash"))
        << whole.out.toStdString();
    ok({"undo", "--yes"});
    EXPECT_EQ(dump(), before);
    EXPECT_EQ(files(), bytes);
    EXPECT_EQ(trashed(), QStringList());
    ok({"undo", number(0), "--yes"});
    EXPECT_EQ(dump(), left);
    EXPECT_EQ(trashed().size(), 4);
    ok({"undo", number(0), "--yes"});
    EXPECT_EQ(dump(), before);
    EXPECT_EQ(files(), bytes);
}

TEST_F(UndoCommands, AFileThatCannotComeBackFromTheTrashKeepsItsTrackOutAndIsMarked)
{
    importFour();
    const QStringList all = entries("All");
    ok({"--playlist", "All", "playlist", "--tag", "name", "--condition", "2", "--value", "song", "--action", "remove",
        "--trash", "--uncheck", "4", "--yes"});
    ASSERT_EQ(trashed().size(), 6);
    // Meanwhile another file takes the first one's name, and the second is emptied from the Trash.
    folder.addFile("music/1.mp3", "someone else's file");
    ASSERT_TRUE(QFile::remove(locations.dataHome() + "/Trash/files/2.mp3"));

    const QJsonArray records = review();
    ASSERT_EQ(records.size(), 3);
    QHash<qint64, QJsonValue> byTrack;
    for (const QJsonValue &r : records)
        byTrack.insert(r["trackId"].toInteger(), r);
    EXPECT_EQ(byTrack[ids[0]]["note"].toString(), "changed since the run: another file has the old name");
    EXPECT_EQ(byTrack[ids[1]]["note"].toString(), "cannot be put back: the file is no longer in the Trash");
    EXPECT_FALSE(byTrack[ids[0]]["enabled"].toBool());
    EXPECT_FALSE(byTrack[ids[1]]["enabled"].toBool());
    EXPECT_TRUE(byTrack[ids[2]]["enabled"].toBool());

    ok({"undo", "--yes"});
    EXPECT_EQ(entries("All"), (QStringList{all[2], all[3]}));
    EXPECT_EQ(TestFolder::readAll(paths[0]), QByteArray("someone else's file"));
    EXPECT_FALSE(QFile::exists(paths[1]));
    EXPECT_TRUE(QFile::exists(paths[2]));
    // The first file stays in the Trash with its .trashinfo; nothing of the third is left there.
    EXPECT_EQ(trashed(), (QStringList{"files/1.mp3", "info/1.mp3.trashinfo", "info/2.mp3.trashinfo"}));
    EXPECT_EQ(history()[0]["count"].toInt(), 2);
}
