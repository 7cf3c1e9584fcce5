// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/organize.h"

#include "filetoolrun.h"
#include "library/musiclibrary.h"
#include "model/musictrack.h"

#include <QDir>
#include <QDirIterator>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>

using namespace tools;

namespace {

QVariantHash tagsOf(const QString &artist, const QString &album, const QString &title, const QVariant &number = 3)
{
    return {{"artist", artist}, {"album", album}, {"name", title}, {"number", number}, {"year", "1999"}};
}

QString targetOrReason(const QString &path, const QVariantHash &tags, const QString &pattern = "#a/#l/#n - #t")
{
    const PlannedMove move = organizeTarget(path, tags, "/lib/", pattern);
    return move.target.isEmpty() ? "stays: " + move.reason : move.target;
}

} // namespace

TEST(OrganizeTarget, PatternsMakeFoldersUnderTheRootAndNothingElse)
{
    EXPECT_EQ(targetOrReason("/in/x.MP3", tagsOf("Band", "First", "Intro")), "/lib/Band/First/03 - Intro.MP3");
    EXPECT_EQ(targetOrReason("/in/x", tagsOf("Band", "First", "Intro", 12), "#y//#n #t/"), "/lib/1999/12 Intro");
    // Where the pattern puts it already: nothing to do, and nothing to tell.
    EXPECT_EQ(targetOrReason("/lib/Band/First/03 - Intro.ogg", tagsOf("Band", "First", "Intro")), "stays: ");
    // A tag never makes a folder of its own nor climbs out of one; control and bidi characters go.
    EXPECT_EQ(targetOrReason("/in/x.mp3", tagsOf("AC/DC", "First", "Intro")),
              "stays: a tag would make a folder of its own or leave one");
    EXPECT_EQ(targetOrReason("/in/x.mp3", tagsOf("..", "..", "Intro")),
              "stays: a tag would make a folder of its own or leave one");
    EXPECT_EQ(targetOrReason("/in/x.mp3", tagsOf(QString("Ba") + QChar(0x202E) + "nd\x1b", "F", "T")),
              "/lib/Band/F/03 - T.mp3");
    EXPECT_EQ(targetOrReason("/in/x.mp3", tagsOf("Band", "First", "Intro", QVariant())),
              "stays: a placeholder has no value");
    // The system's limits: 255 bytes a name, 4,095 a path.
    EXPECT_EQ(targetOrReason("/in/x.mp3", tagsOf("Band", QString(256, 'a'), "T")), "stays: name too long");
    EXPECT_EQ(targetOrReason("/in/x.mp3", tagsOf(QString(250, 'b'), "A", "T"), QString("#a/").repeated(17) + "#t"),
              "stays: path too long");

    QList<PlannedMove> plan{{"/in/a.mp3", "/lib/same.mp3", {}}, {"/in/b.mp3", "/lib/same.mp3", {}},
                            {"/in/c.mp3", "/lib/c.mp3", {}}};
    settleTargets(plan);
    EXPECT_TRUE(plan[0].target.isEmpty());
    EXPECT_TRUE(plan[1].target.isEmpty());
    EXPECT_EQ(plan[1].reason, "another file of the run would go to /lib/same.mp3");
    EXPECT_EQ(plan[2].target, "/lib/c.mp3");
}

namespace {

class Organize : public ::testing::Test, public FileToolRun {
protected:
    QString addTrack(const QString &relative, const QString &artist, const QString &album, const QString &title,
                     unsigned track, const QString &seed = "seed.mp3")
    {
        const QString path = addTagged(relative, title, track, artist, seed);
        MusicTrack::withPath(path).setTag("album", album);
        return path;
    }

    void organize(const QString &from, const QString &to, bool removeEmpty = true, bool takeAlong = true)
    {
        app.pathSelected(from);
        app.setOrganizeFolder(to);
        app.setOrganizePattern("#a/#l/#n - #t");
        app.setOrganizeRemoveEmpty(removeEmpty);
        app.setOrganizeTakeAlong(takeAlong);
        run([&] { app.performOrganize(); });
    }

    void applyAll()
    {
        ASSERT_TRUE(app.changes()) << port->alertTitles().join(", ").toStdString();
        app.applyChanges();
        awaitLastRun(app);
    }

    // Every file below the folder, relative to it, with its bytes' size.
    static QStringList tree(const QString &folder)
    {
        QStringList files;
        QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext())
            files << QDir(folder).relativeFilePath(it.next());
        files.sort();
        return files;
    }
};

} // namespace

TEST_F(Organize, MovesIntoANewTreeTakesAlongFollowsInTheLibraryAndUndoes)
{
    const QString intro = addTrack("in/cd/a.mp3", "Band", "First", "Intro", 1);
    addTrack("in/cd/b.flac", "Band", "First", "Outro", 2, "seed.flac");
    files.addFile("in/cd/cover.jpg", "jpeg");
    addTrack("in/other/c.ogg", "Solo", "Live", "Song", 7, "seed.ogg");
    files.addFile("in/other/notes.txt", "kept: the other folder's music goes two ways");
    addTrack("in/other/d.mp3", "Solo", "Studio", "Take", 1);
    // A taken target: the file already there keeps its bytes, the other stays home.
    const QString there = files.addFile("lib/Band/First/02 - Outro.flac", "already here");
    const qint64 id = library().importFile(ImportedFile{intro, {{"name", "Intro"}, {"artist", "Band"}}});

    organize(files.filePath("in"), files.filePath("lib"));
    EXPECT_EQ(port->alertTitles(), QStringList{"Files Staying"});
    EXPECT_TRUE(port->alerts.value(0).message.contains(files.filePath("in/cd/b.flac") + " (a file is already at"));
    applyAll();
    EXPECT_EQ(port->alertTitles(), QStringList{"Files Staying"});
    EXPECT_EQ(tree(files.filePath("lib")),
              (QStringList{"Band/First/01 - Intro.mp3", "Band/First/02 - Outro.flac", "Solo/Live/07 - Song.ogg",
                           "Solo/Studio/01 - Take.mp3"}));
    EXPECT_EQ(TestFolder::readAll(there), "already here");
    // The cover stays with the flac that stayed; the notes with nothing of theirs.
    EXPECT_EQ(tree(files.filePath("in")), (QStringList{"cd/b.flac", "cd/cover.jpg", "other/notes.txt"}));
    EXPECT_EQ(library().property(TrackRef{id}, "location").toString(), files.filePath("lib/Band/First/01 - Intro.mp3"));

    // The history takes every move back, and the folders made for them go.
    port->alerts.clear();
    run([&] { app.performUndo(); });
    applyAll();
    EXPECT_TRUE(port->alerts.isEmpty()) << port->alertTitles().join(", ").toStdString();
    EXPECT_EQ(tree(files.filePath("in")), (QStringList{"cd/a.mp3", "cd/b.flac", "cd/cover.jpg", "other/c.ogg",
                                                       "other/d.mp3", "other/notes.txt"}));
    EXPECT_EQ(tree(files.filePath("lib")), QStringList{"Band/First/02 - Outro.flac"});
    EXPECT_FALSE(QFileInfo::exists(files.filePath("lib/Solo")));
    EXPECT_EQ(library().property(TrackRef{id}, "location").toString(), intro);

    // A whole album folder goes, its cover along, and the emptied folder goes too.
    QFile::remove(there);
    organize(files.filePath("in/cd"), files.filePath("lib"));
    applyAll();
    EXPECT_EQ(tree(files.filePath("lib/Band")),
              (QStringList{"First/01 - Intro.mp3", "First/02 - Outro.flac", "First/cover.jpg"}));
    EXPECT_TRUE(QFileInfo::exists(files.filePath("in/cd"))) << "the source folder itself stays";
    EXPECT_TRUE(tree(files.filePath("in/cd")).isEmpty());
}

// The library follows moved files a batch at a time; a batch it refuses is
// moved back, so no track loses its file and no file is left where the
// library does not look.
TEST_F(Organize, FilesTheLibraryCannotFollowGoBackToTheirOldNames)
{
    QStringList paths;
    QList<qint64> ids;
    for (int i = 1; i <= 3; ++i) {
        paths << addTrack(QStringLiteral("in/%1.mp3").arg(i), "Band", "First", QStringLiteral("Song %1").arg(i), i);
        ids << library().importFile(ImportedFile{paths.last(), {{"name", QStringLiteral("Song %1").arg(i)}}});
    }
    // Another program's trigger refuses every change of a location.
    sqlite3 *db = nullptr;
    ASSERT_EQ(sqlite3_open(QFile::encodeName(libraryPath()).constData(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db,
                           "CREATE TRIGGER stay BEFORE UPDATE OF location ON tracks BEGIN "
                           "SELECT RAISE(ABORT, 'locations are fixed here'); END;",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);

    organize(files.filePath("in"), files.filePath("lib"));
    applyAll();
    EXPECT_FALSE(port->alerts.isEmpty());
    EXPECT_TRUE(port->alerts.constLast().message.contains("locations are fixed here"))
        << port->alertTitles().join(", ").toStdString();
    EXPECT_EQ(tree(files.filePath("in")), (QStringList{"1.mp3", "2.mp3", "3.mp3"}));
    EXPECT_TRUE(tree(files.filePath("lib")).isEmpty());
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(library().property(TrackRef{ids[i]}, "location").toString(), paths[i]);
    // Nothing moved, so the history has nothing to take back.
    port->alerts.clear();
    run([&] { app.performUndo(); });
    EXPECT_FALSE(app.changes() && !app.changes()->records.isEmpty());
}

TEST_F(Organize, ATargetOnAnotherFileSystemIsReachedByAVerifiedCopy)
{
    struct stat here {}, shm {};
    if (::stat(QFile::encodeName(files.path()).constData(), &here) != 0 || ::stat("/dev/shm", &shm) != 0 ||
        here.st_dev == shm.st_dev)
        GTEST_SKIP() << "no tmpfs at /dev/shm on another file system than " << files.path().toStdString();
    QTemporaryDir other(QStringLiteral("/dev/shm/quavertin-organize-XXXXXX"));
    if (!other.isValid())
        GTEST_SKIP() << "cannot make a folder in /dev/shm";
    const QString song = addTrack("in/a.mp3", "Band", "First", "Intro", 1);
    ASSERT_EQ(::chmod(QFile::encodeName(song).constData(), 0640), 0);
    const QByteArray bytes = TestFolder::readAll(song);
    organize(files.filePath("in"), other.path());
    applyAll();
    EXPECT_TRUE(port->alerts.isEmpty()) << port->alertTitles().join(", ").toStdString();
    const QString moved = other.filePath("Band/First/01 - Intro.mp3");
    EXPECT_EQ(TestFolder::readAll(moved), bytes);
    struct stat kept {};
    ASSERT_EQ(::stat(QFile::encodeName(moved).constData(), &kept), 0);
    EXPECT_EQ(kept.st_mode & 07777, 0640u);
    EXPECT_FALSE(QFileInfo::exists(song));
    EXPECT_EQ(QDir(other.filePath("Band/First")).entryList(QDir::Files | QDir::Hidden),
              QStringList{"01 - Intro.mp3"}); // no copy left half-way

    // And back again by the history, across the same border.
    run([&] { app.performUndo(); });
    applyAll();
    EXPECT_EQ(TestFolder::readAll(song), bytes);
    EXPECT_FALSE(QFileInfo::exists(moved));
}
