// SPDX-License-Identifier: GPL-3.0-or-later
#include "library/musiclibrary.h"
#include "operations/changelist.h"
#include "reviewsheet.h"
#include "sourcetracksmodel.h"
#include "tracktablepanel.h"
#include "windowfixture.h"

#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QTableView>

namespace {

class TrackScopeTest : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        launch();
        panel = window->trackTable();
    }

    bool loaded(int rows) { return tableLoaded(panel, rows); }
    void selectShownRows(const QList<int> &rows) { ::selectShownRows(panel, rows); }

    QString scopeLabel(int pane) const
    {
        return window->pane(pane)->findChild<QLabel *>("trackScope")->text();
    }

    // Runs upper case over the titles from the capitalization pane; the
    // titles of the records the review holds, or nothing when none opened.
    QStringList capitalizeReviewed()
    {
        app.setSelectedTag(0);
        app.setSelectedCapitalizationMethod(1);
        window->showTab(1);
        window->pane(1)->findChild<QPushButton *>("performCapitalization")->click();
        if (!awaitLastRun(app) || !app.changes())
            return {};
        QStringList reviewed;
        for (const ChangeRecord &record : app.changes()->records)
            reviewed << (record.track.isLibraryTrack() ? record.track.location() : record.track.path());
        window->reviewSheet()->cancelButton()->click();
        return reviewed;
    }

    TrackTablePanel *panel = nullptr;
};

} // namespace

TEST_F(TrackScopeTest, ToolsTakeTheSelectedRowsElseTheShownOnesElseTheWholeFolder)
{
    QStringList paths;
    for (int i = 0; i < 10; ++i)
        paths << folder.addSeed("seed.mp3", QStringLiteral("album/%1 %2.mp3").arg(i).arg(i < 4 ? "Owls" : "Song"));
    app.pathSelected(folder.filePath("album"));
    ASSERT_TRUE(loaded(10));
    EXPECT_EQ(scopeLabel(1), "all 10 tracks");
    EXPECT_EQ(scopeLabel(0), "all 10 tracks");

    // Sorted backwards, so that the rows shown are not the source's order.
    panel->table()->sortByColumn(SourceTracksModel::FileColumn, Qt::DescendingOrder);
    selectShownRows({0, 2, 4});
    EXPECT_EQ(scopeLabel(1), "3 selected tracks");
    const QStringList chosen = {paths.at(9), paths.at(7), paths.at(5)};
    QStringList reviewed = capitalizeReviewed();
    EXPECT_EQ(QSet<QString>(reviewed.begin(), reviewed.end()), QSet<QString>(chosen.begin(), chosen.end()));
    EXPECT_EQ(reviewed.size(), 3);

    // A filter without a selection: the shown rows; the selection wins over it.
    panel->table()->selectionModel()->clearSelection();
    panel->filterBox()->setText("owls");
    ASSERT_EQ(panel->proxy()->rowCount(), 4);
    EXPECT_EQ(scopeLabel(1), "4 shown tracks");
    reviewed = capitalizeReviewed();
    EXPECT_EQ(QSet<QString>(reviewed.begin(), reviewed.end()),
              QSet<QString>({paths.at(0), paths.at(1), paths.at(2), paths.at(3)}));
    selectShownRows({1});
    EXPECT_EQ(scopeLabel(1), "1 selected track");
    EXPECT_EQ(capitalizeReviewed().size(), 1);
    // A filter that hides every row leaves nothing to work on, and says so
    // rather than that the tracks already hold the change.
    panel->filterBox()->setText("no such title");
    EXPECT_EQ(scopeLabel(1), "0 shown tracks");
    EXPECT_TRUE(capitalizeReviewed().isEmpty());
    ASSERT_FALSE(port->alertTitles.isEmpty());
    EXPECT_EQ(port->alertTitles.last(), "No Tracks");
    panel->filterBox()->setText("owls");
    ASSERT_EQ(panel->proxy()->rowCount(), 4);

    // Applying the chosen rows writes them alone; the others stay byte for byte.
    const QByteArray untouched = TestFolder::readAll(paths.at(5));
    selectShownRows({0, 3});
    app.setSelectedTag(0);
    app.setSelectedCapitalizationMethod(1);
    window->pane(1)->findChild<QPushButton *>("performCapitalization")->click();
    ASSERT_TRUE(awaitLastRun(app));
    ASSERT_TRUE(app.changes());
    EXPECT_EQ(app.changes()->records.size(), 2);
    window->reviewSheet()->applyButton()->click();
    ASSERT_TRUE(awaitLastRun(app));
    EXPECT_EQ(panel->statusLine()->text(), "2 changes applied");
    EXPECT_EQ(TestFolder::readAll(paths.at(5)), untouched);
    // The files just written reach the table's watcher as well: its reading
    // again is let begin before the table is looked at.
    QTest::qWait(200);

    // Nothing hidden, nothing selected: the whole source again; a hidden
    // table narrows nothing, as its rows are not read.
    panel->filterBox()->clear();
    panel->table()->clearSelection();
    ASSERT_TRUE(loaded(10));
    EXPECT_EQ(scopeLabel(1), "all 10 tracks");
    selectShownRows({0});
    window->setTrackTableShown(false);
    EXPECT_EQ(scopeLabel(1), "");
    EXPECT_EQ(capitalizeReviewed().size(), 8);
}

TEST_F(TrackScopeTest, LibraryRowsAreChosenByTrackWhateverTheirOrder)
{
    auto library = app.library();
    QList<qint64> ids;
    for (int i = 0; i < 6; ++i) {
        const QString path = folder.addSeed("seed.flac", QStringLiteral("lib/%1.flac").arg(i));
        ids << library->importFile({path, {{"name", "Seed Title"}, {"artist", "Band"}}});
    }
    choosePlaylist("Mix", ids);
    ASSERT_TRUE(loaded(6)) << panel->countLabel()->text().toStdString();
    // The selected library tracks are named by the library, so a sort in between changes nothing.
    panel->table()->sortByColumn(SourceTracksModel::FileColumn, Qt::DescendingOrder);
    selectShownRows({0, 1});
    EXPECT_EQ(scopeLabel(1), "2 selected tracks");
    const QStringList reviewed = capitalizeReviewed();
    EXPECT_EQ(QSet<QString>(reviewed.begin(), reviewed.end()),
              QSet<QString>({folder.filePath("lib/5.flac"), folder.filePath("lib/4.flac")}));
}
