// SPDX-License-Identifier: GPL-3.0-or-later
#include "library/libraryactions.h"
#include "librarybuilder.h"

#include <QFile>
#include <gtest/gtest.h>
#include <taglib/fileref.h>
#include <taglib/tag.h>

namespace {

using namespace libraryactions;

// Changes a file's title as another program would, behind the library's back.
void retitle(const QString &path, const char *title)
{
    TagLib::FileRef ref(QFile::encodeName(path).constData());
    ASSERT_FALSE(ref.isNull()) << path.toStdString();
    ref.tag()->setTitle(title);
    ASSERT_TRUE(ref.save());
}

template <typename Value>
void expectRefused(const Result<Value> &result, const char *reason)
{
    ASSERT_TRUE(result.problem.has_value());
    EXPECT_TRUE(result.problem->refused);
    EXPECT_EQ(result.problem->reason, QString::fromUtf8(reason));
    EXPECT_EQ(result.problem->description(), QString::fromUtf8(reason));
}

template <typename Value>
void expectFailed(const Result<Value> &result, const char *name, const char *reasonPart)
{
    ASSERT_TRUE(result.problem.has_value());
    EXPECT_FALSE(result.problem->refused);
    EXPECT_EQ(result.problem->name, QString::fromUtf8(name));
    EXPECT_TRUE(result.problem->reason.contains(QString::fromUtf8(reasonPart))) << result.problem->reason.toStdString();
    EXPECT_TRUE(result.problem->description().startsWith(QString::fromUtf8(name) + ": "));
}

QList<qint64> idsOf(const QList<TrackRef> &refs)
{
    QList<qint64> ids;
    for (const TrackRef &ref : refs)
        ids << ref.trackId;
    return ids;
}

TEST(LibraryActions, ImportTakesMusicFilesNamesBrokenOnesAndRefusesWhatIsNoFolder)
{
    LibraryBuilder b;
    TestFolder &folder = b.folder();
    folder.addSeed("seed.mp3", "in/a/one.mp3");
    folder.addSeed("seed.flac", "in/b/two.flac");
    const QString broken = folder.addFile("in/b/broken.ogg", QByteArray(300, 'x'));
    folder.addFile("in/notes.txt", "not music");

    QList<std::pair<int, int>> heard;
    const auto first = importFolder(b.library(), folder.filePath("in"), [&](int done, int total) {
        heard.append({done, total});
    });
    ASSERT_TRUE(first.ok()) << first.problem->description().toStdString();
    EXPECT_EQ(first.value.found, 3);
    EXPECT_EQ(first.value.added, 2);
    ASSERT_EQ(first.value.failures.size(), 1);
    EXPECT_EQ(first.value.failures.first().path, broken);
    ASSERT_FALSE(heard.isEmpty());
    EXPECT_EQ(heard.last(), std::make_pair(3, 3));
    EXPECT_EQ(b.library().trackCount(), 2);

    const auto again = importFolder(b.library(), folder.filePath("in"));
    ASSERT_TRUE(again.ok());
    EXPECT_EQ(again.value.added, 0);
    EXPECT_EQ(again.value.updated, 2);

    // Neither a missing folder nor a file in its place is read, and the library stays as it was.
    expectRefused(importFolder(b.library(), folder.filePath("absent")), qPrintable(folder.filePath("absent") + " is not a folder"));
    const QString file = folder.filePath("in/a/one.mp3");
    expectRefused(importFolder(b.library(), file), qPrintable(file + " is not a folder"));
    EXPECT_EQ(b.library().trackCount(), 2);

    // The other importers' failures come back as values too, naming what failed.
    expectFailed(libraryactions::importPlayer(b.library(), playerimport::Player::Strawberry, folder.filePath("absent.db")), "File Error",
                 "absent.db");
    const QString list = folder.addFile("mix.m3u", (file + "\n").toUtf8());
    const auto made = importPlaylist(b.library(), list, "Mix");
    ASSERT_TRUE(made.ok()) << made.problem->description().toStdString();
    EXPECT_EQ(made.value.entries, 1);
    expectFailed(importPlaylist(b.library(), list, "Mix"), "Library Error", "Mix");
    EXPECT_EQ(b.library().userPlaylists().size(), 1);
    EXPECT_EQ(b.library().trackCount(), 2);
}

TEST(LibraryActions, RefreshReadsTheLibrarysOrOnePlaylistsFilesAgain)
{
    LibraryBuilder b;
    TestFolder &folder = b.folder();
    const QString one = folder.addSeed("seed.mp3", "in/one.mp3");
    const QString two = folder.addSeed("seed.flac", "in/two.flac");
    const QString three = folder.addSeed("seed.ogg", "in/three.ogg");
    const QString four = folder.addSeed("seed.mp3", "in/four.mp3");
    ASSERT_TRUE(importFolder(b.library(), folder.filePath("in")).ok());
    const QHash<QString, qint64> ids = importFolder(b.library(), folder.filePath("in")).value.ids;

    retitle(one, "Edited Elsewhere");
    ASSERT_TRUE(QFile::remove(three));
    {
        QFile damaged(four);
        ASSERT_TRUE(damaged.open(QIODevice::WriteOnly | QIODevice::Truncate));
        damaged.write(QByteArray(200, 'z'));
    }
    const qint64 mix = b.library().createPlaylist("Mix");
    b.library().addToPlaylist(mix, {ids.value(two), ids.value(two)});

    // A playlist's tracks only, each once.
    const auto some = refresh(b.library(), "Mix");
    ASSERT_TRUE(some.ok());
    EXPECT_EQ(some.value.unchanged, 1);
    EXPECT_EQ(some.value.changed + some.value.dead + some.value.failures.size(), 0);
    EXPECT_EQ(b.library().property({ids.value(one), 0, 0}, "name").toString(), "Seed Title");

    int lastTotal = 0;
    const auto all = refresh(b.library(), {}, [&](int, int total) { lastTotal = total; });
    ASSERT_TRUE(all.ok());
    EXPECT_EQ(lastTotal, 4);
    EXPECT_EQ(all.value.changed, 1);
    EXPECT_EQ(all.value.unchanged, 1);
    EXPECT_EQ(all.value.dead, 1);
    ASSERT_EQ(all.value.failures.size(), 1);
    EXPECT_EQ(all.value.failures.first().path, four);
    EXPECT_EQ(b.library().property({ids.value(one), 0, 0}, "name").toString(), "Edited Elsewhere");
    // The damaged file's row keeps what it had.
    EXPECT_EQ(b.library().property({ids.value(four), 0, 0}, "name").toString(), "Seed Title");

    expectRefused(refresh(b.library(), "Nope"), "there is no playlist named \"Nope\"");
}

TEST(LibraryActions, PlaylistsAreMadeRenamedFilledAndDeletedWithClearRefusals)
{
    LibraryBuilder b;
    const qint64 a = b.addTrack("A", "X"), c = b.addTrack("C", "Y");
    MusicLibrary &library = b.library();

    const auto made = createPlaylist(library, "Road");
    ASSERT_TRUE(made.ok());
    EXPECT_EQ(made.value.name, "Road");
    EXPECT_EQ(library.playlistNamed("Road")->id, made.value.id);
    expectRefused(createPlaylist(library, "Road"), "there is already a playlist named \"Road\"");
    expectRefused(createPlaylist(library, "  "), "a playlist needs a name");
    // A smart playlist's name is no obstacle: the tools never edit one by name.
    library.createSmartPlaylist("Loud", SmartRule{"artist", 2, "X", true});
    EXPECT_TRUE(createPlaylist(library, "Loud").ok());
    ASSERT_TRUE(createPlaylist(library, "Home").ok());
    EXPECT_EQ(library.userPlaylists().size(), 4);

    // Renaming: to a taken name or a blank one is refused, to its own name is fine.
    expectRefused(renamePlaylist(library, "Road", "Home"), "there is already a playlist named \"Home\"");
    expectRefused(renamePlaylist(library, "Road", ""), "a playlist needs a name");
    expectRefused(renamePlaylist(library, "Nope", "Other"), "there is no playlist named \"Nope\"");
    EXPECT_TRUE(renamePlaylist(library, "Road", "Road").ok());
    const auto renamed = renamePlaylist(library, "Road", "Road Trip");
    ASSERT_TRUE(renamed.ok());
    EXPECT_EQ(renamed.value.id, made.value.id);
    EXPECT_EQ(findPlaylist(library, "Road Trip").value.id, made.value.id);
    EXPECT_EQ(findPlaylist(library, PlaylistChoice::withId(made.value.id)).value.name, "Road Trip");
    expectRefused(findPlaylist(library, "Road"), "there is no playlist named \"Road\"");

    // Adding keeps order and repeats; a missing track or a smart playlist adds nothing.
    const auto added = addToPlaylist(library, "Road Trip", {c, a, c});
    ASSERT_TRUE(added.ok());
    EXPECT_EQ(added.value.tracks, 3);
    EXPECT_EQ(idsOf(library.tracksOf(made.value.id)), (QList<qint64>{c, a, c}));
    expectFailed(addToPlaylist(library, "Road Trip", {a, 999}), "Library Error", "999");
    const qint64 loud = library.playlistNamed("Loud")->id;
    ASSERT_TRUE(library.smartRule(loud).has_value());
    expectFailed(addToPlaylist(library, "Loud", {c}), "Library Error", "smart playlist");
    expectRefused(addToPlaylist(library, "Nope", {a}), "there is no playlist named \"Nope\"");
    EXPECT_EQ(idsOf(library.tracksOf(made.value.id)), (QList<qint64>{c, a, c}));

    // Taking out: every entry of a track goes; tracks that were not there are counted.
    const auto removed = removeFromPlaylist(library, "Road Trip", {c, 999});
    ASSERT_TRUE(removed.ok());
    EXPECT_EQ(removed.value.tracks, 1);
    EXPECT_EQ(removed.value.absent, 1);
    EXPECT_EQ(idsOf(library.tracksOf(made.value.id)), QList<qint64>{a});
    expectRefused(removeFromPlaylist(library, "Loud", {a}), "\"Loud\" is a smart playlist; its rule decides what it holds");
    EXPECT_EQ(library.tracksOf(loud).size(), 1);

    // Deleting leaves the tracks in the library.
    expectRefused(deletePlaylist(library, "Nope"), "there is no playlist named \"Nope\"");
    const auto deleted = deletePlaylist(library, "Road Trip");
    ASSERT_TRUE(deleted.ok());
    EXPECT_EQ(deleted.value.id, made.value.id);
    EXPECT_FALSE(library.playlistNamed("Road Trip"));
    expectRefused(deletePlaylist(library, PlaylistChoice::withId(made.value.id)), "the playlist no longer exists");
    EXPECT_EQ(library.trackCount(), 2);
    EXPECT_EQ(library.userPlaylists().size(), 3);
}

TEST(LibraryActions, TheSelectionIsSetWholeOrNotAtAll)
{
    LibraryBuilder b;
    const qint64 a = b.addTrack("A", "X"), c = b.addTrack("C", "Y");
    const auto selected = select(b.library(), {c, a});
    ASSERT_TRUE(selected.ok());
    EXPECT_EQ(selected.value, 2);
    EXPECT_EQ(idsOf(b.library().selection()), (QList<qint64>{c, a}));

    expectFailed(select(b.library(), {a, 999}), "Library Error", "999");
    EXPECT_EQ(idsOf(b.library().selection()), (QList<qint64>{c, a}));
    ASSERT_TRUE(select(b.library(), {}).ok());
    EXPECT_TRUE(b.library().selection().isEmpty());
}

} // namespace
