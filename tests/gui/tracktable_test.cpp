// SPDX-License-Identifier: GPL-3.0-or-later
#include "library/musiclibrary.h"
#include "progresssheet.h"
#include "reviewsheet.h"
#include "sourcetracksmodel.h"
#include "tracktablepanel.h"
#include "windowfixture.h"

#include <QAction>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QTableView>

#include <taglib/fileref.h>
#include <taglib/tpropertymap.h>

namespace {

// The texts of one column in the order the table shows them.
QStringList columnTexts(TrackTablePanel *panel, int column)
{
    QStringList texts;
    for (int row = 0; row < panel->proxy()->rowCount(); ++row)
        texts << panel->proxy()->index(row, column).data().toString();
    return texts;
}

} // namespace

class TrackTableTest : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        launch();
        panel = window->trackTable();
    }

    bool loaded(int rows)
    {
        return waitUntil([&] { return !panel->model()->isLoading() && panel->model()->rowCount() == rows; }, 15000);
    }

    TrackTablePanel *panel = nullptr;
};

TEST_F(TrackTableTest, AFolderFillsTheTableWhichFiltersSortsAndFollowsAnAppliedRun)
{
    folder.addSeed("seed.mp3", "album/one.mp3");
    folder.addSeed("seed.ogg", "album/three.ogg");
    const QString flac = folder.addSeed("seed.flac", "album/disc 2/two.flac");
    folder.addFile("album/cover.jpg", "not music");
    folder.addFile("album/broken.mp3", QByteArray(64, 'x'));
    {
        // Album artist and disc are fields of the format that the tools never touch.
        TagLib::FileRef file(QFile::encodeName(flac).constData());
        TagLib::PropertyMap fields = file.file()->properties();
        fields.replace("ALBUMARTIST", TagLib::StringList(TagLib::String("Various Artists", TagLib::String::UTF8)));
        fields.replace("DISCNUMBER", TagLib::StringList(TagLib::String("2/3")));
        file.file()->setProperties(fields);
        ASSERT_TRUE(file.save());
    }
    app.pathSelected(folder.filePath("album"));
    ASSERT_TRUE(loaded(4)) << panel->countLabel()->text().toStdString();
    EXPECT_TRUE(port->alertTitles.isEmpty());
    EXPECT_EQ(panel->countLabel()->text(), "4 tracks");

    const QStringList files = columnTexts(panel, SourceTracksModel::FileColumn);
    EXPECT_EQ(QSet<QString>(files.begin(), files.end()),
              QSet<QString>({"one.mp3", "three.ogg", "two.flac", "broken.mp3"}));
    const int flacRow = int(files.indexOf("two.flac"));
    const auto cell = [&](int row, int column) { return panel->proxy()->index(row, column).data().toString(); };
    EXPECT_EQ(cell(flacRow, SourceTracksModel::TitleColumn), "Seed Title");
    EXPECT_EQ(cell(flacRow, SourceTracksModel::ArtistColumn), "Seed Artist");
    EXPECT_EQ(cell(flacRow, SourceTracksModel::AlbumArtistColumn), "Various Artists");
    EXPECT_EQ(cell(flacRow, SourceTracksModel::YearColumn), "1999");
    EXPECT_EQ(cell(flacRow, SourceTracksModel::TrackColumn), "3");
    EXPECT_EQ(cell(flacRow, SourceTracksModel::DiscColumn), "2");
    // The unreadable file is listed by its name, without tags and without an alert.
    EXPECT_EQ(cell(int(files.indexOf("broken.mp3")), SourceTracksModel::TitleColumn), "");
    // Play counts and ratings belong to the library.
    EXPECT_TRUE(panel->table()->isColumnHidden(SourceTracksModel::PlayCountColumn));
    EXPECT_TRUE(panel->table()->isColumnHidden(SourceTracksModel::RatingColumn));
    EXPECT_FALSE(panel->table()->isColumnHidden(SourceTracksModel::DiscColumn));

    // The filter matches any column, in any case.
    panel->filterBox()->setText("FLAC");
    EXPECT_EQ(columnTexts(panel, SourceTracksModel::FileColumn), QStringList({"two.flac"}));
    EXPECT_EQ(panel->countLabel()->text(), "1 of 4 tracks");
    panel->filterBox()->setText("various");
    EXPECT_EQ(panel->proxy()->rowCount(), 1);
    panel->filterBox()->clear();
    EXPECT_EQ(panel->proxy()->rowCount(), 4);

    // A header click sorts; numbers sort as numbers, absent values last.
    panel->table()->sortByColumn(SourceTracksModel::FileColumn, Qt::DescendingOrder);
    EXPECT_EQ(columnTexts(panel, SourceTracksModel::FileColumn),
              QStringList({"two.flac", "three.ogg", "one.mp3", "broken.mp3"}));
    panel->table()->sortByColumn(SourceTracksModel::DiscColumn, Qt::AscendingOrder);
    EXPECT_EQ(cell(0, SourceTracksModel::DiscColumn), "2");

    // Columns are chosen from the menu.
    panel->columnsMenu()->actions().at(SourceTracksModel::GenreColumn)->trigger();
    EXPECT_TRUE(panel->table()->isColumnHidden(SourceTracksModel::GenreColumn));
    panel->columnsMenu()->actions().at(SourceTracksModel::GenreColumn)->trigger();
    EXPECT_FALSE(panel->table()->isColumnHidden(SourceTracksModel::GenreColumn));

    // A real run through the window: the status line says what happened and the table shows the new titles.
    app.setSelectedTag(0);
    app.setSelectedCapitalizationMethod(1); // upper case
    window->showTab(1);
    window->pane(1)->findChild<QPushButton *>("performCapitalization")->click();
    ASSERT_TRUE(awaitLastRun(app));
    ASSERT_TRUE(window->reviewSheet()->isVisible());
    window->reviewSheet()->applyButton()->click();
    ASSERT_TRUE(awaitLastRun(app));
    ASSERT_FALSE(app.changes());
    ASSERT_FALSE(window->progressSheet()->isVisible());
    EXPECT_EQ(window->statusLine(), panel->statusLine());
    EXPECT_EQ(panel->statusLine()->text(), "3 changes applied");
    ASSERT_TRUE(waitUntil([&] {
        return !panel->model()->isLoading() && columnTexts(panel, SourceTracksModel::TitleColumn).count("SEED TITLE") == 3;
    }));

    // Hidden, the table takes no room: the window is the pane plus the chrome, and the status moves to the
    // toolbar (wide enough to have room for it: the offscreen screen is narrower than a desktop's).
    window->resize(900, window->height());
    QCoreApplication::processEvents();
    const int top = window->geometry().top();
    EXPECT_EQ(window->height(), window->pane(1)->height() + 78 + panel->height());
    window->setTrackTableShown(false);
    EXPECT_EQ(window->height(), window->pane(1)->height() + 78);
    EXPECT_EQ(window->geometry().top(), top);
    EXPECT_TRUE(window->statusLine()->isVisible());
    EXPECT_EQ(window->statusLine()->text(), "3 changes applied");
    window->showTab(3);
    EXPECT_EQ(window->height(), window->pane(3)->height() + 78);
    window->setTrackTableShown(true);
    EXPECT_GE(panel->height(), 140);
}

TEST_F(TrackTableTest, APlaylistShowsPlayCountsRatingsAndDeadTracksAndFollowsAnApply)
{
    auto library = app.library();
    const QString alive = folder.addSeed("seed.mp3", "music/alive.mp3");
    const qint64 first = library->importFile({alive, {{"name", "Alive"}, {"artist", "Band"}, {"playedCount", 7}, {"rating", 80}}});
    const qint64 second =
        library->importFile({folder.filePath("music/gone.mp3"), {{"name", "Gone"}, {"artist", "Band"}}});
    const qint64 road = library->createPlaylist("Road Trip");
    library->addToPlaylist(road, {first, second});
    app.refreshPlaylists();
    app.setSelectedMethod(0);
    app.setSelectedPlaylist(int(app.playlists().indexOf("Road Trip")));
    ASSERT_TRUE(loaded(2)) << panel->countLabel()->text().toStdString();

    QAbstractItemModel *table = panel->proxy();
    EXPECT_EQ(table->index(0, SourceTracksModel::TitleColumn).data().toString(), "Alive");
    EXPECT_EQ(table->index(0, SourceTracksModel::PlayCountColumn).data().toString(), "7");
    EXPECT_EQ(table->index(0, SourceTracksModel::RatingColumn).data().toString(), "★★★★☆");
    EXPECT_EQ(table->index(0, SourceTracksModel::FileColumn).data().toString(), "alive.mp3");
    EXPECT_FALSE(panel->table()->isColumnHidden(SourceTracksModel::PlayCountColumn));
    EXPECT_FALSE(table->index(0, 0).data(SourceTracksModel::DeadRole).toBool());
    EXPECT_TRUE(table->index(1, 0).data(SourceTracksModel::DeadRole).toBool());
    EXPECT_FALSE(table->index(1, SourceTracksModel::TitleColumn).data(Qt::DecorationRole).isNull());
    EXPECT_TRUE(table->index(1, SourceTracksModel::ArtistColumn).data(Qt::ToolTipRole).toString().contains("missing"));
    EXPECT_EQ(panel->countLabel()->text(), "2 tracks, 1 dead");

    // An applied change list: the table reads the playlist again. A bidi
    // override in the new title shows as a symbol instead of turning the row around.
    auto list = std::make_shared<ChangeList>();
    list->records.append({MusicTrack::withTrack(library, {first, 0, 0}), "name", "Alive",
                          "Alive" + QString(QChar(0x202E)) + "Again", "Alive", "Band", true});
    app.setChanges(list);
    app.applyChanges();
    ASSERT_TRUE(awaitLastRun(app));
    ASSERT_FALSE(app.changes());
    ASSERT_FALSE(window->progressSheet()->isVisible());
    EXPECT_EQ(window->statusLine()->text(), "1 change applied");
    ASSERT_TRUE(waitUntil(
        [&] { return table->index(0, SourceTracksModel::TitleColumn).data().toString() == "Alive\\u202EAgain"; }));

    // A folder source without a folder says so instead of showing the playlist's rows.
    app.setSelectedMethod(1);
    ASSERT_TRUE(loaded(0));
    EXPECT_EQ(panel->countLabel()->text(), "No folder chosen");
}
