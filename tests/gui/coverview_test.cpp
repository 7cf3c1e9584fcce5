// SPDX-License-Identifier: GPL-3.0-or-later
#include "coverview.h"

#include "app/appdelegate.h"
#include "app/lastrun.h"
#include "fakewindowport.h"
#include "files/embeddedpictures.h"
#include "files/filetags.h"
#include "testfiles.h"
#include "userlocations.h"

#include <QMimeData>
#include <QSignalSpy>
#include <QUrl>
#include <gtest/gtest.h>

namespace {

QString withPicture(TestFolder &folder, const QString &name, const QString &image)
{
    const QString path = folder.addSeed("seed.flac", name);
    const QByteArray bytes = TestFolder::readAll(TestFolder::seedPath(image));
    filetags::write(path, "pictures",
                    embeddedpictures::valueOf({{3, embeddedpictures::mimeOf(bytes), "on the front", bytes}}));
    return path;
}

QString shownFor(CoverView &view, const QStringList &paths)
{
    QSignalSpy shown(&view, &CoverView::shown);
    view.setPaths(paths);
    if (!view.isShown()) {
        EXPECT_TRUE(shown.wait(20000));
    }
    return view.text();
}

} // namespace

TEST(CoverView, ShowsSharedPicturesOnceDifferentOnesAsSeveralAndTakesADroppedImage)
{
    ScopedUserLocations locations;
    ScopedFakePort port;
    TestFolder folder;
    AppDelegate app{*port};
    app.applicationDidFinishLaunching();
    app.setLibraryPath(folder.filePath("library.sqlite"));
    const QString a = withPicture(folder, "music/a.flac", "cover.jpg");
    const QString b = withPicture(folder, "music/b.flac", "cover.jpg");
    const QString c = withPicture(folder, "music/c.flac", "cover.png");
    const QString bare = folder.addSeed("seed.flac", "music/d.flac");
    app.pathSelected(folder.filePath("music"));

    CoverView view(&app);
    const QString jpegLine = QStringLiteral("Front Cover, image/jpeg, 64×48, %1 bytes, “on the front”")
                                 .arg(TestFolder::readAll(TestFolder::seedPath("cover.jpg")).size());
    EXPECT_EQ(shownFor(view, {a}), jpegLine);
    EXPECT_EQ(shownFor(view, {a, b}), jpegLine);
    EXPECT_EQ(shownFor(view, {a, b, c}), "<several pictures>");
    EXPECT_EQ(shownFor(view, {bare}), "No pictures");
    EXPECT_EQ(shownFor(view, {}), "");

    // A dropped image goes to the shown files alone, through the review.
    shownFor(view, {a, c});
    QMimeData dropped;
    dropped.setUrls({QUrl::fromLocalFile(TestFolder::seedPath("cover.png"))});
    EXPECT_TRUE(view.takeDrop(&dropped));
    awaitLastRun(app);
    ASSERT_TRUE(app.changes());
    // Not b, which the view does not show.
    ASSERT_EQ(app.changes()->records.size(), 2);
    EXPECT_EQ(app.changes()->records[0].track.path(), a);
    EXPECT_EQ(app.changes()->records[1].track.path(), c);
    app.applyChanges();
    awaitLastRun(app);
    EXPECT_EQ(shownFor(view, {a, c}), QStringLiteral("Front Cover, image/png, 40×30, %1 bytes")
                                          .arg(TestFolder::readAll(TestFolder::seedPath("cover.png")).size()));
    EXPECT_TRUE(filetags::read(b, {"pictures"}).value("pictures").toString().contains("image/jpeg"));
}
