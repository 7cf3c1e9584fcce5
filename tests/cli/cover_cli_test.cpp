// SPDX-License-Identifier: GPL-3.0-or-later
#include "cliprocess.h"
#include "files/embeddedpictures.h"
#include "files/filetags.h"
#include "library/musiclibrary.h"
#include "testfiles.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

namespace {

class CoverCommands : public ::testing::Test {
protected:
    CliResult run(const QStringList &args) { return runCli(QStringList{"--library", libraryPath} + args, locations); }
    void ok(const QStringList &args)
    {
        const CliResult r = run(args);
        ASSERT_EQ(r.status, 0) << args.join(' ').toStdString() << "\n" << r.out.toStdString() << r.err.toStdString();
    }
    static QByteArray pictureBytes(const QString &path, int index = 0)
    {
        const QString value = filetags::read(path, {"pictures"}).value("pictures").toString();
        return embeddedpictures::picturesOf(value).value_or(QList<EmbeddedPicture>{}).value(index).data;
    }

    ScopedUserLocations locations;
    TestFolder folder;
    QString libraryPath = folder.filePath("library.sqlite");
};

} // namespace

// Library tracks take pictures in their files; separate processes undo a
// removal from the bytes the history kept.
TEST_F(CoverCommands, LibraryTracksTakeShowGiveUpAndGetBackTheirPictures)
{
    QStringList paths;
    {
        MusicLibrary library(libraryPath);
        QList<qint64> ids;
        for (const QString extension : {"mp3", "flac", "m4a"}) {
            paths << folder.addSeed("seed." + extension, "music/track." + extension);
            ids << library.importFile({paths.last(), {{"name", "Track " + extension}}});
        }
        library.setSelection(ids);
    }
    const QString jpeg = TestFolder::seedPath("cover.jpg");

    ok({"--selection", "cover", "add", "--image", jpeg, "--yes"});
    for (const QString &path : paths)
        EXPECT_EQ(pictureBytes(path), TestFolder::readAll(jpeg)) << path.toStdString();

    CliResult shown = run({"--selection", "cover", "show", "--json"});
    ASSERT_EQ(shown.status, 0) << shown.err.toStdString();
    const QJsonArray tracks = QJsonDocument::fromJson(shown.out.toUtf8()).object()["tracks"].toArray();
    ASSERT_EQ(tracks.size(), 3);
    const QJsonObject picture = tracks[1].toObject()["pictures"].toArray()[0].toObject();
    EXPECT_EQ(picture["type"].toString(), "Front Cover");
    EXPECT_EQ(picture["mime"].toString(), "image/jpeg");
    EXPECT_EQ(picture["width"].toInt(), 64);
    EXPECT_EQ(picture["height"].toInt(), 48);
    EXPECT_EQ(picture["bytes"].toInt(), TestFolder::readAll(jpeg).size());

    // A dry run shows the rows and writes nothing.
    const QByteArray before = TestFolder::readAll(paths[0]);
    shown = run({"--selection", "cover", "remove", "--dry-run"});
    EXPECT_EQ(shown.status, 0) << shown.err.toStdString();
    EXPECT_TRUE(shown.out.contains("Front Cover, image/jpeg, 64×48")) << shown.out.toStdString();
    EXPECT_EQ(TestFolder::readAll(paths[0]), before);

    ok({"--selection", "cover", "remove", "--type", "front", "--yes"});
    for (const QString &path : paths)
        EXPECT_TRUE(pictureBytes(path).isEmpty()) << path.toStdString();
    ok({"undo", "--yes"});
    for (const QString &path : paths)
        EXPECT_EQ(pictureBytes(path), TestFolder::readAll(jpeg)) << path.toStdString();

    // The same files as a folder source: the library's rows of those files
    // keep no pictures and no raw fields, so such writes are not followed there.
    ok({"--folder", folder.filePath("music"), "cover", "remove", "--yes"});
    for (const QString &path : paths)
        EXPECT_TRUE(pictureBytes(path).isEmpty()) << path.toStdString();
    ok({"--folder", folder.filePath("music"), "set", "--tag", "ID3v2:TXXX:MOOD", "--value", "calm", "--yes"});
    EXPECT_EQ(filetags::read(paths[0], {"ID3v2:TXXX:MOOD"}).value("ID3v2:TXXX:MOOD").toString(), "calm");
    ok({"undo", "--yes"});
    ok({"undo", "--yes"});
    for (const QString &path : paths)
        EXPECT_EQ(pictureBytes(path), TestFolder::readAll(jpeg)) << path.toStdString();

    // Extracted once, however many tracks share it.
    const QString out = folder.addFolder("out");
    ok({"--selection", "cover", "extract", "--output", out, "--pattern", "#t"});
    EXPECT_EQ(QDir(out).entryList(QDir::Files), QStringList({"Track mp3.jpg"}));

    // Bad usage and bad images are told, and change nothing.
    EXPECT_EQ(run({"--selection", "cover", "frob"}).status, 2);
    EXPECT_EQ(run({"--selection", "cover", "add"}).status, 2);
    EXPECT_EQ(run({"--selection", "cover", "remove", "--type", "sideways"}).status, 2);
    const CliResult refused =
        run({"--selection", "cover", "add", "--image", folder.addFile("x.png", "no image"), "--yes"});
    EXPECT_EQ(refused.status, 1);
    EXPECT_TRUE(refused.err.contains("is not a JPEG or PNG image")) << refused.err.toStdString();
}
