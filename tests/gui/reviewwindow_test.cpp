// SPDX-License-Identifier: GPL-3.0-or-later
#include "operations/changesmodel.h"
#include "reviewsheet.h"
#include "reviewtablemodel.h"
#include "windowfixture.h"

#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableView>

namespace {

QString title(const QString &path)
{
    return MusicTrack::withPath(path).valueForTag("name").toString();
}

} // namespace

class ReviewWindowTest : public WindowTest {
protected:
    // Capitalizes the titles of the folder in upper case through the pane's button.
    void capitalize(const QString &path)
    {
        app.pathSelected(path);
        app.setSelectedTag(0);
        app.setSelectedCapitalizationMethod(1);
        window->showTab(1);
        window->pane(1)->findChild<QPushButton *>("performCapitalization")->click();
        ASSERT_TRUE(awaitLastRun(app));
        ASSERT_TRUE(window->reviewSheet()->isVisible()) << port->alertMessages.join(", ").toStdString();
    }

    void apply()
    {
        ASSERT_TRUE(window->reviewSheet()->isVisible()) << port->alertMessages.join(", ").toStdString();
        window->reviewSheet()->applyButton()->click();
        ASSERT_TRUE(awaitLastRun(app));
        ASSERT_EQ(awaitLastRun(app)->kind, RunOutcome::Applied);
    }

    QString cell(int row, int column, int role = Qt::DisplayRole)
    {
        return window->reviewSheet()->table()->model()->index(row, column).data(role).toString();
    }
};

TEST_F(ReviewWindowTest, TheReviewShowsEveryColumnTheTagsDisplayNameEachFilesPathAndAWholeCount)
{
    const QString deep = "music/An Artist With A Rather Long Name/The Album That Has An Even Longer Name";
    const QStringList files = {folder.addSeed("seed.mp3", deep + "/01 first.mp3"),
                               folder.addSeed("seed.flac", deep + "/02 second.flac")};
    launch();
    ASSERT_NO_FATAL_FAILURE(capitalize(folder.filePath("music")));
    ReviewSheet *sheet = window->reviewSheet();
    QTableView *table = sheet->table();
    EXPECT_EQ(sheet->summary()->text(), "Checked tracks of these 2 tracks will get their tag 'Title' changed:");
    QStringList paths;
    for (int row = 0; row < 2; ++row) {
        EXPECT_EQ(cell(row, ChangesModel::TagColumn), "Title");
        paths << cell(row, ReviewTableModel::FileColumn);
    }
    paths.sort();
    EXPECT_EQ(paths, files);

    // Opened at its own size, every column is in view, the file's too, when
    // the screen has the room (the offscreen screen is 800 pixels wide).
    EXPECT_EQ(sheet->size(), sheet->fittingSize());
    const int room = int(sheet->screen()->availableGeometry().width() * 0.95);
    EXPECT_EQ(sheet->fittingSize().width() >= room,
              sheet->fittingSize().width() == room) << "as wide as the columns, or as the screen allows";
    QHeaderView *header = table->horizontalHeader();
    if (sheet->width() < room) {
    EXPECT_LE(header->sectionViewportPosition(ChangesModel::NewColumn) + header->sectionSize(ChangesModel::NewColumn),
              table->viewport()->width());
    EXPECT_GE(header->sectionSize(ReviewTableModel::FileColumn), 200);
    EXPECT_LE(header->sectionViewportPosition(ReviewTableModel::FileColumn) +
                  header->sectionSize(ReviewTableModel::FileColumn),
              table->viewport()->width());
    }

    // The count keeps room for its longest text, so no digit of an earlier one stays beside it.
    QLabel *count = sheet->checkedCount();
    EXPECT_EQ(count->text(), "2 of 2 checked");
    const int countWidth = count->width();
    table->selectAll();
    sheet->uncheckButton()->click();
    QCoreApplication::processEvents();
    EXPECT_EQ(count->text(), "0 of 2 checked");
    EXPECT_EQ(count->width(), countWidth) << "the label neither shrinks nor moves";
    EXPECT_GE(count->contentsRect().width(), count->fontMetrics().horizontalAdvance("2 of 2 checked"));

    // The person's size is the one the sheet opens at next time.
    sheet->resize(700, 380);
    QCoreApplication::processEvents();
    sheet->cancelButton()->click();
    ASSERT_FALSE(sheet->isVisible());
    ASSERT_NO_FATAL_FAILURE(capitalize(folder.filePath("music")));
    EXPECT_EQ(sheet->size(), QSize(700, 380));
    EXPECT_EQ(count->text(), "2 of 2 checked");
}

TEST_F(ReviewWindowTest, AnUndoSaysSoFollowsFilesThroughLaterRenamesAndShowsWhyARowIsUnchecked)
{
    const QStringList files = {folder.addSeed("seed.mp3", "album/a.mp3"), folder.addSeed("seed.flac", "album/b.flac"),
                               folder.addSeed("seed.ogg", "album/c.ogg")};
    launch();
    // Run 1 changes the titles, run 2 renames the files after them.
    ASSERT_NO_FATAL_FAILURE(capitalize(folder.filePath("album")));
    ASSERT_NO_FATAL_FAILURE(apply());
    EXPECT_EQ(window->statusLine()->text(), "3 changes applied");
    window->showTab(4);
    window->pane(4)->findChild<QPushButton *>("performRename")->click();
    ASSERT_TRUE(awaitLastRun(app));
    const QString album = folder.filePath("album");
    ASSERT_EQ(QDir(album).entryList(QDir::Files, QDir::Name),
              QStringList({"3 - SEED TITLE.flac", "3 - SEED TITLE.mp3", "3 - SEED TITLE.ogg"}));
    // Another program then moves one of them where no history knows.
    ASSERT_TRUE(QDir().mkpath(folder.filePath("elsewhere")));
    ASSERT_TRUE(QFile::rename(album + "/3 - SEED TITLE.ogg", folder.filePath("elsewhere/c.ogg")));

    app.performUndo(1);
    ASSERT_TRUE(awaitLastRun(app));
    ASSERT_TRUE(window->reviewSheet()->isVisible()) << port->alertMessages.join(", ").toStdString();
    EXPECT_EQ(window->reviewSheet()->summary()->text(),
              "Undo of run 1 (Capitalization). Checked tracks of these 3 tracks will get their tag 'Title' changed:");
    const QList<ChangeRecord> &records = app.changes()->records;
    ASSERT_EQ(records.size(), 3);
    int gone = -1;
    for (int row = 0; row < 3; ++row) {
        const ChangeRecord &record = records.at(row);
        if (record.track.path().endsWith(".ogg")) {
            gone = row;
            continue;
        }
        EXPECT_TRUE(record.enabled) << "followed to " << record.track.path().toStdString();
        EXPECT_TRUE(record.track.path().startsWith(album + "/3 - SEED TITLE.")) << record.track.path().toStdString();
        EXPECT_EQ(cell(row, ChangesModel::TitleColumn), "SEED TITLE");
        EXPECT_EQ(cell(row, ReviewTableModel::FileColumn), record.track.path());
    }
    ASSERT_GE(gone, 0);
    EXPECT_FALSE(records.at(gone).enabled);
    // The window says why, as the command line does under the row.
    EXPECT_EQ(records.at(gone).note, "cannot be read now: the file is gone");
    EXPECT_EQ(cell(gone, ChangesModel::TitleColumn), "Seed Title (cannot be read now: the file is gone)");
    EXPECT_EQ(cell(gone, ChangesModel::NewColumn, Qt::ToolTipRole), "cannot be read now: the file is gone");
    EXPECT_FALSE(window->reviewSheet()->table()->model()->index(gone, ChangesModel::TitleColumn)
                     .data(Qt::DecorationRole)
                     .isNull());

    ASSERT_NO_FATAL_FAILURE(apply());
    EXPECT_EQ(window->statusLine()->text(), "Undo of run 1: 2 changes applied");
    EXPECT_EQ(title(album + "/3 - SEED TITLE.mp3"), "Seed Title");
    EXPECT_EQ(title(album + "/3 - SEED TITLE.flac"), "Seed Title");
    EXPECT_EQ(title(folder.filePath("elsewhere/c.ogg")), "SEED TITLE");
}
