// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/coverart.h"

#include "files/embeddedpictures.h"
#include "files/filetags.h"
#include "filetoolrun.h"
#include "library/historystore.h"

#include <QDir>
#include <gtest/gtest.h>

namespace {

const QStringList formats = {"mp3", "flac", "ogg", "m4a", "wv"};

class CoverArt : public ::testing::Test, public FileToolRun {
protected:
    CoverArt() { app.applicationDidFinishLaunching(); }

    QStringList addAlbum(const QString &folder)
    {
        QStringList paths;
        for (const QString &extension : formats)
            paths << files.addSeed("seed." + extension, QStringLiteral("%1/track.%2").arg(folder, extension));
        return paths;
    }

    static QString picturesOf(const QString &path)
    {
        return filetags::read(path, {"pictures"}).value("pictures").toString();
    }

    static QList<EmbeddedPicture> embedded(const QString &path)
    {
        return embeddedpictures::picturesOf(picturesOf(path)).value_or(QList<EmbeddedPicture>{});
    }

    QString lastAlert() { return port->alerts.isEmpty() ? QString() : port->alerts.last().title; }

    static QByteArray image(const QString &name) { return TestFolder::readAll(TestFolder::seedPath(name)); }

    // Collects, applies, and tells how many records the review held.
    qsizetype collectAndApply(void (AppDelegate::*action)())
    {
        run([&] { (app.*action)(); });
        if (!app.changes())
            return 0;
        const qsizetype count = app.changes()->records.size();
        run([&] { app.applyChanges(); });
        EXPECT_EQ(app.lastApply().outcome, ApplyResult::Finished) << app.lastApply().error.toStdString();
        return count;
    }

    QHash<QString, QByteArray> snapshot(const QStringList &paths)
    {
        QHash<QString, QByteArray> bytes;
        for (const QString &path : paths)
            bytes.insert(path, TestFolder::readAll(path));
        return bytes;
    }
};

} // namespace

TEST_F(CoverArt, AddReplaceExtractRemoveAndUndoOverEveryFormat)
{
    const QStringList paths = addAlbum("music");
    app.pathSelected(files.filePath("music"));
    const QByteArray jpeg = image("cover.jpg");
    const QByteArray png = image("cover.png");

    // Added as it is, one row per track naming the picture.
    app.setCoverImage(TestFolder::seedPath("cover.jpg"));
    run([&] { app.performAddCover(); });
    ASSERT_TRUE(app.changes());
    ASSERT_EQ(app.changes()->records.size(), paths.size());
    EXPECT_TRUE(app.changes()->records[0].oldTag.isEmpty());
    EXPECT_TRUE(app.changes()->records[0].newTag.startsWith("Front Cover, image/jpeg, 64×48, "))
        << app.changes()->records[0].newTag.toStdString();
    run([&] { app.applyChanges(); });
    ASSERT_EQ(app.lastApply().outcome, ApplyResult::Finished) << app.lastApply().error.toStdString();
    for (const QString &path : paths) {
        ASSERT_EQ(embedded(path).size(), 1) << path.toStdString();
        EXPECT_EQ(embedded(path)[0].data, jpeg) << path.toStdString();
    }
    // The same picture again changes nothing.
    run([&] { app.performAddCover(); });
    EXPECT_EQ(lastAlert(), "No Changes");

    // A PNG takes the front cover's place; a back cover goes beside it.
    app.setCoverImage(TestFolder::seedPath("cover.png"));
    EXPECT_EQ(collectAndApply(&AppDelegate::performAddCover), paths.size());
    app.setCoverImage(TestFolder::seedPath("cover.jpg"));
    app.setCoverType(4);
    app.setCoverAddBeside(true);
    EXPECT_EQ(collectAndApply(&AppDelegate::performAddCover), paths.size());
    for (const QString &path : paths) {
        const QList<EmbeddedPicture> pictures = embedded(path);
        ASSERT_EQ(pictures.size(), 2) << path.toStdString();
        EXPECT_EQ(pictures[0].data, png) << path.toStdString();
        EXPECT_EQ(pictures[1].data, jpeg) << path.toStdString();
        // MP4 has no picture types: both are front covers there.
        EXPECT_EQ(pictures[1].type, path.endsWith(".m4a") ? 3 : 4) << path.toStdString();
    }

    // Extracted once per distinct picture, byte for byte, never over a file.
    const QString out = files.addFolder("out");
    const QString taken = files.addFile("out/Seed Artist - Seed Album.png", "mine");
    app.setCoverExtractFolder(out);
    run([&] { app.performExtractCovers(); });
    QStringList written = QDir(out).entryList(QDir::Files, QDir::Name);
    EXPECT_EQ(written, QStringList({"Seed Artist - Seed Album (2).png", "Seed Artist - Seed Album.jpg",
                                    "Seed Artist - Seed Album.png"}));
    EXPECT_EQ(TestFolder::readAll(taken), "mine");
    EXPECT_EQ(TestFolder::readAll(QDir(out).filePath("Seed Artist - Seed Album (2).png")), png);
    EXPECT_EQ(TestFolder::readAll(QDir(out).filePath("Seed Artist - Seed Album.jpg")), jpeg);

    // Back covers out; the undo puts them back as they were, from the history's bytes.
    QHash<QString, QString> before;
    for (const QString &path : paths)
        before.insert(path, picturesOf(path));
    app.setCoverRemoveType(4);
    EXPECT_EQ(collectAndApply(&AppDelegate::performRemoveCovers), paths.size() - 1); // not the MP4 file
    for (const QString &path : paths)
        EXPECT_EQ(embedded(path).size(), path.endsWith(".m4a") ? 2 : 1) << path.toStdString();
    {
        const HistoryStore history(HistoryStore::pathBeside(libraryPath()));
        EXPECT_EQ(history.picture(embeddedpictures::hashOf(jpeg)), jpeg);
    }
    run([&] { app.performUndo(); });
    ASSERT_TRUE(app.changes());
    EXPECT_EQ(app.changes()->records.size(), paths.size() - 1);
    run([&] { app.applyChanges(); });
    ASSERT_EQ(app.lastApply().outcome, ApplyResult::Finished) << app.lastApply().error.toStdString();
    for (const QString &path : paths)
        EXPECT_EQ(picturesOf(path), before.value(path)) << path.toStdString();

    // Everything out.
    app.setCoverRemoveType(-1);
    EXPECT_EQ(collectAndApply(&AppDelegate::performRemoveCovers), paths.size());
    for (const QString &path : paths)
        EXPECT_TRUE(picturesOf(path).isEmpty()) << path.toStdString();
}

TEST_F(CoverArt, BadImagesAreRefusedWithTheReasonBeforeAnyFileIsTouched)
{
    const QStringList paths = addAlbum("music");
    app.pathSelected(files.filePath("music"));
    const QHash<QString, QByteArray> untouched = snapshot(paths);

    QByteArray huge = image("cover.jpg");
    huge.resize(16 * 1024 * 1024 + 1);
    const QByteArray damaged = image("cover.png").left(60) + QByteArray(40, 'x');
    const QList<std::pair<QString, QString>> cases = {
        {files.addFile("text.jpg", "just some text"), "is not a JPEG or PNG image."},
        {files.addFile("damaged.png", damaged), "is damaged: it cannot be decoded."},
        {files.addFile("huge.jpg", huge), "is larger than 16 MiB."},
        {files.filePath("missing.jpg"), "cannot be read"},
    };
    for (const auto &[image, reason] : cases) {
        app.setCoverImage(image);
        run([&] { app.performAddCover(); });
        ASSERT_FALSE(port->alerts.isEmpty());
        EXPECT_EQ(port->alerts.last().title, "Image Refused");
        EXPECT_TRUE(port->alerts.last().message.contains(reason)) << port->alerts.last().message.toStdString();
        EXPECT_FALSE(app.changes());
    }
    EXPECT_EQ(snapshot(paths), untouched);

    // Scaled down only when asked, then re-encoded as JPEG; tracks with a
    // front cover already may be left alone.
    app.setCoverImage(TestFolder::seedPath("cover.png"));
    app.setCoverMaxSize(20);
    app.setCoverSkipWithFront(true);
    EXPECT_EQ(collectAndApply(&AppDelegate::performAddCover), paths.size());
    for (const QString &path : paths) {
        ASSERT_EQ(embedded(path).size(), 1);
        EXPECT_EQ(embedded(path)[0].mime, "image/jpeg");
        EXPECT_EQ(embeddedpictures::pixelSize(embedded(path)[0].data), QSize(20, 15));
    }
    app.setCoverImage(TestFolder::seedPath("cover.jpg"));
    run([&] { app.performAddCover(); });
    EXPECT_EQ(lastAlert(), "No Changes") << port->alerts.last().message.toStdString();
}

TEST_F(CoverArt, FolderPicturesBecomeTheFrontCoverOfTheirFolderOnly)
{
    const QStringList first = addAlbum("music/first");
    const QStringList second = addAlbum("music/second");
    const QStringList bare = addAlbum("music/bare");
    files.addFile("music/first/Cover.JPG", image("cover.jpg"));
    files.addFile("music/second/folder.png", image("cover.png"));
    files.addFile("music/second/notes.txt", "not a picture");
    app.pathSelected(files.filePath("music"));
    EXPECT_EQ(collectAndApply(&AppDelegate::performCoverFromFolder), first.size() + second.size());
    for (const QString &path : first)
        EXPECT_EQ(embedded(path).value(0).data, image("cover.jpg")) << path.toStdString();
    for (const QString &path : second)
        EXPECT_EQ(embedded(path).value(0).data, image("cover.png")) << path.toStdString();
    for (const QString &path : bare)
        EXPECT_TRUE(picturesOf(path).isEmpty()) << path.toStdString();
}
