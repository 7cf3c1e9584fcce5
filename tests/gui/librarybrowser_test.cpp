// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/ratingconventions.h"
#include "library/musiclibrary.h"
#include "model/musictrack.h"
#include "librarybrowser.h"
#include "librarytracksmodel.h"
#include "model/musictrack.h"
#include "windowfixture.h"

#include <QComboBox>
#include <QItemSelectionModel>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QSignalSpy>
#include <QTableView>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/popularimeterframe.h>

class LibraryBrowserTest : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        folder.addSeed("seed.mp3", "music/a/one.mp3");
        folder.addSeed("seed.flac", "music/a/two.flac");
        folder.addSeed("seed.ogg", "music/b/three.ogg");
        folder.addFile("music/b/notes.txt", "not music");
        folder.addFile("music/b/broken.mp3", QByteArray(64, 'x'));
        launch();
        browser = window->libraryBrowser();
        browser->open();
    }

    void import()
    {
        QSignalSpy finished(browser, &LibraryBrowser::importFinished);
        browser->importFolderAt(folder.filePath("music"));
        ASSERT_TRUE(finished.wait(15000));
    }

    LibraryBrowser *browser = nullptr;
};

TEST_F(LibraryBrowserTest, ImportsAFolderAndShowsItsTracksReportingWhatCouldNotBeRead)
{
    EXPECT_EQ(browser->trackModel()->rowCount(), 0);
    import();
    EXPECT_EQ(browser->trackModel()->rowCount(), 3);
    const QModelIndex title = browser->trackModel()->index(0, LibraryTracksModel::TitleColumn);
    EXPECT_EQ(title.data().toString(), "Seed Title");
    EXPECT_EQ(browser->trackModel()->index(0, LibraryTracksModel::YearColumn).data().toString(), "1999");
    EXPECT_TRUE(browser->status()->text().contains("3 added"));
    // The broken file is named to the person; the picture-less text file is no music at all.
    ASSERT_EQ(port->alertTitles.size(), 1);
    EXPECT_TRUE(port->alertMessages.first().contains("broken.mp3"));
    EXPECT_FALSE(port->alertMessages.first().contains("notes.txt"));

    // Importing again updates instead of adding twice.
    import();
    EXPECT_EQ(browser->trackModel()->rowCount(), 3);
    EXPECT_TRUE(browser->status()->text().contains("3 updated"));
}

TEST_F(LibraryBrowserTest, ControlAndBidiCharactersInTagsShowAsSymbols)
{
    MusicTrack::withPath(folder.filePath("music/a/one.mp3")).setTag("name", QString::fromUtf16(u"A\x1b[2J\u202Eb"));
    import();
    QStringList titles;
    for (int row = 0; row < browser->trackModel()->rowCount(); ++row)
        titles << browser->trackModel()->index(row, LibraryTracksModel::TitleColumn).data().toString();
    EXPECT_TRUE(titles.contains(QString::fromUtf16(u"A\u241b[2J\\u202Eb"))) << titles.join(" | ").toStdString();
}

TEST_F(LibraryBrowserTest, SelectedRowsBecomeTheLibrarysSelection)
{
    import();
    QTableView *table = browser->trackTable();
    table->selectRow(0);
    table->selectionModel()->select(browser->trackModel()->index(2, 0),
                                    QItemSelectionModel::Select | QItemSelectionModel::Rows);
    browser->storeSelection();
    const QList<TrackRef> selection = app.library()->selection();
    ASSERT_EQ(selection.size(), 2);
    EXPECT_EQ(selection.at(0).trackId, browser->trackModel()->ref(0).trackId);
    EXPECT_EQ(selection.at(1).trackId, browser->trackModel()->ref(2).trackId);

    // The selection is stored by itself once the person stops selecting.
    table->selectRow(1);
    EXPECT_TRUE(waitUntil([&] { return app.library()->selection().size() == 1; }, 3000));
    EXPECT_EQ(app.library()->selection().first().trackId, browser->trackModel()->ref(1).trackId);
}

TEST_F(LibraryBrowserTest, PlaylistsListTheirOwnTracks)
{
    import();
    const qint64 road = app.library()->createPlaylist("Road Trip");
    app.library()->addToPlaylist(road, {browser->trackModel()->ref(2).trackId});
    browser->reload();
    QListWidget *list = browser->playlistList();
    ASSERT_EQ(list->count(), 2);
    EXPECT_EQ(list->item(0)->text(), "Library");
    EXPECT_EQ(list->item(1)->text(), "Road Trip");
    list->setCurrentRow(1);
    EXPECT_EQ(browser->trackModel()->rowCount(), 1);
    list->setCurrentRow(0);
    EXPECT_EQ(browser->trackModel()->rowCount(), 3);
}

TEST_F(WindowTest, ABrokenLibraryFileIsReportedAndLeftAlone)
{
    const QString path = folder.addFile("broken/library.sqlite", QByteArray("not a database, just text\n").repeated(100));
    const QByteArray before = TestFolder::readAll(path);
    app.setLibraryPath(path);
    launch();
    EXPECT_TRUE(app.playlists().isEmpty());
    LibraryBrowser *browser = window->libraryBrowser();
    browser->open();
    EXPECT_EQ(browser->trackModel()->rowCount(), 0);
    EXPECT_FALSE(browser->status()->text().isEmpty());
    EXPECT_FALSE(browser->status()->text().contains("track(s)"));

    folder.addSeed("seed.mp3", "music/one.mp3");
    QSignalSpy finished(browser, &LibraryBrowser::importFinished);
    browser->importFolderAt(folder.filePath("music"));
    EXPECT_TRUE(!finished.isEmpty() || finished.wait(10000));
    EXPECT_TRUE(port->alertTitles.contains("Import Failed")) << port->alertTitles.join(", ").toStdString();
    EXPECT_EQ(TestFolder::readAll(path), before);
}

TEST_F(LibraryBrowserTest, RefreshFromTheFileMenuTakesAnOutsideEditAndTellsHowManyTracksChanged)
{
    import();
    port->alertTitles.clear();
    port->alertMessages.clear();
    // Rated in MusicBee besides: the profile the person chose in the browser
    // reads it, and the library keeps its own (none), naming the track.
    auto *profiles = browser->findChild<QComboBox *>("ratingProfile");
    ASSERT_NE(profiles, nullptr);
    profiles->setCurrentIndex(profiles->findData(QStringLiteral("musicbee")));
    EXPECT_EQ(ratingconventions::savedProfile(), "musicbee");
    const QString one = folder.filePath("music/a/one.mp3");
    MusicTrack::withPath(one).setTag("name", QString("Edited Outside"));
    {
        TagLib::MPEG::File file(QFile::encodeName(one).constData());
        auto *popm = new TagLib::ID3v2::PopularimeterFrame();
        popm->setEmail("MusicBee");
        popm->setRating(196);
        file.ID3v2Tag(true)->addFrame(popm);
        ASSERT_TRUE(file.save());
    }
    QFile::remove(folder.filePath("music/b/three.ogg"));

    QAction *refresh = nullptr;
    for (QAction *menu : window->menuBar()->actions())
        for (QAction *action : menu->menu() ? menu->menu()->actions() : QList<QAction *>{})
            if (action->text().remove('&') == "Refresh Library from Files")
                refresh = action;
    ASSERT_NE(refresh, nullptr);
    QSignalSpy finished(browser, &LibraryBrowser::refreshFinished);
    refresh->trigger();
    ASSERT_TRUE(finished.wait(15000));

    const QString told = "Refreshed 3 tracks from their files: 1 changed, 1 unchanged, 1 dead.";
    EXPECT_EQ(browser->status()->text(), told);
    ASSERT_EQ(port->alertTitles, QStringList{"Library Refreshed"});
    EXPECT_EQ(port->alertMessages.first(),
              told + "\n\nThe files of 1 tracks rate or count them otherwise than the library, which keeps its own "
                     "(file \u2192 library):\n" +
                  one + ": rating 80 (POPM MusicBee) \u2192 none");
    QStringList titles;
    for (int row = 0; row < browser->trackModel()->rowCount(); ++row)
        titles << browser->trackModel()->index(row, LibraryTracksModel::TitleColumn).data().toString();
    EXPECT_TRUE(titles.contains("Edited Outside")) << titles.join(", ").toStdString();
}

TEST_F(LibraryBrowserTest, ANewPlaylistIsListedAndATakenNameIsRefusedWithAnAlert)
{
    browser->createPlaylistNamed("Road Trip");
    ASSERT_EQ(browser->playlistList()->count(), 2);
    EXPECT_EQ(browser->playlistList()->item(1)->text(), "Road Trip");
    EXPECT_TRUE(app.playlists().contains("Road Trip"));
    EXPECT_TRUE(port->alertTitles.isEmpty());

    browser->createPlaylistNamed("Road Trip");
    ASSERT_EQ(port->alertTitles, QStringList{"Playlist Not Created"});
    EXPECT_EQ(port->alertMessages.first(), "There is already a playlist named \"Road Trip\".");
    EXPECT_EQ(browser->playlistList()->count(), 2);
    EXPECT_EQ(app.library()->userPlaylists().size(), 1);
}

TEST_F(LibraryBrowserTest, ThePersonRenamesFillsEmptiesAndDeletesTheChosenPlaylist)
{
    import();
    port->alertTitles.clear();
    port->alertMessages.clear();
    const std::shared_ptr<MusicLibrary> library = app.library();
    // A smart playlist and a plain one share a name; the browser acts on the row chosen.
    library->createSmartPlaylist("Twin", SmartRule{"artist", 2, "Seed", true});
    browser->createPlaylistNamed("Twin");
    browser->createPlaylistNamed("Road Trip");
    QListWidget *list = browser->playlistList();
    ASSERT_EQ(list->count(), 4);
    list->setCurrentRow(2);
    ASSERT_EQ(browser->chosenPlaylist().name, "Twin");
    ASSERT_FALSE(browser->chosenPlaylist().smart);
    const qint64 road = library->playlistNamed("Road Trip")->id;

    browser->renameChosenPlaylist("Road Trip");
    ASSERT_EQ(port->alertTitles, QStringList{"Playlist Not Renamed"});
    EXPECT_EQ(port->alertMessages.last(), "There is already a playlist named \"Road Trip\".");
    browser->renameChosenPlaylist("Twin B");
    EXPECT_EQ(list->item(1)->text(), "Twin ⚙");
    EXPECT_EQ(list->item(2)->text(), "Twin B");
    EXPECT_TRUE(library->smartRule(library->playlistNamed("Twin")->id).has_value());
    EXPECT_TRUE(app.playlists().contains("Twin B"));

    // From the whole library, two tracks go to "Road Trip" through the tracks' menu.
    list->setCurrentRow(0);
    browser->trackTable()->selectRow(0);
    browser->trackTable()->selectionModel()->select(browser->trackModel()->index(2, 0),
                                                    QItemSelectionModel::Select | QItemSelectionModel::Rows);
    const QList<qint64> chosen{browser->trackModel()->ref(0).trackId, browser->trackModel()->ref(2).trackId};
    QMenu *menu = browser->trackMenu();
    QMenu *addTo = menu->actions().value(0)->menu();
    ASSERT_NE(addTo, nullptr);
    QStringList targets;
    for (QAction *action : addTo->actions())
        targets << action->text();
    EXPECT_EQ(targets, (QStringList{"Twin B", "Road Trip"})) << "smart playlists take no tracks";
    EXPECT_FALSE(menu->actions().value(1)->isEnabled()) << "nothing to remove from the whole library";
    addTo->actions().value(1)->trigger();
    QList<qint64> inRoad;
    for (const TrackRef &ref : library->tracksOf(road))
        inRoad << ref.trackId;
    EXPECT_EQ(inRoad, chosen);
    EXPECT_EQ(browser->status()->text(), "Added 2 track(s) to \"Road Trip\".");
    delete menu;

    list->setCurrentRow(3);
    ASSERT_EQ(browser->trackModel()->rowCount(), 2);
    browser->trackTable()->selectRow(0);
    browser->removeSelectionFromPlaylist();
    ASSERT_EQ(library->tracksOf(road).size(), 1);
    EXPECT_EQ(library->tracksOf(road).first().trackId, chosen.at(1));
    EXPECT_EQ(browser->trackModel()->rowCount(), 1);

    browser->deleteChosenPlaylist();
    EXPECT_EQ(port->alertTitles.last(), "Delete Playlist");
    EXPECT_EQ(port->alertMessages.last(), "Delete the playlist \"Road Trip\"? Its tracks stay in the library.");
    EXPECT_FALSE(library->playlistNamed("Road Trip"));
    EXPECT_FALSE(app.playlists().contains("Road Trip"));
    EXPECT_EQ(list->count(), 3);
    EXPECT_EQ(library->trackCount(), 3);
}
