// SPDX-License-Identifier: GPL-3.0-or-later
#include "helpsheet.h"
#include "operations/changesmodel.h"
#include "progresssheet.h"
#include "reviewsheet.h"
#include "windowfixture.h"

#include <QApplication>
#include <QFile>
#include <QIcon>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTableView>
#include <QToolButton>

namespace {

std::shared_ptr<ChangeList> tagList(const TestFolder &folder, int count, const QString &tag = "name")
{
    auto list = std::make_shared<ChangeList>();
    const MusicTrack track = MusicTrack::withPath(folder.filePath("song.mp3"));
    list->records.reserve(count);
    for (int i = 0; i < count; ++i)
        list->records.append({track, tag, QStringLiteral("old %1").arg(i), QStringLiteral("new %1").arg(i),
                              QStringLiteral("Title %1").arg(i), QStringLiteral("Artist"), true});
    return list;
}

std::shared_ptr<ChangeList> membershipList(const TestFolder &folder, int count)
{
    auto list = tagList(folder, count);
    for (ChangeRecord &record : list->records)
        record.tagToChange = record.oldTag = record.newTag = QString();
    list->playlist = true;
    list->remove = 0;
    return list;
}

} // namespace

class ReviewSheetTest : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        folder.addSeed("seed.mp3", "song.mp3");
        launch();
    }

    void review(std::shared_ptr<ChangeList> list)
    {
        app.setChanges(std::move(list));
        app.beginChanges();
        QCoreApplication::processEvents();
    }

    void selectRows(const QList<int> &rows)
    {
        QTableView *table = window->reviewSheet()->table();
        table->clearSelection();
        for (int row : rows)
            table->selectionModel()->select(table->model()->index(row, 0),
                                            QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }

    QList<bool> enabled() const
    {
        QList<bool> flags;
        for (const ChangeRecord &record : app.changes()->records)
            flags << record.enabled;
        return flags;
    }
};

TEST_F(ReviewSheetTest, OpensWindowModalWithTheSummaryAndOneCheckedRowPerRecord)
{
    review(tagList(folder, 25));
    ReviewSheet *sheet = window->reviewSheet();
    ASSERT_TRUE(sheet->isVisible());
    EXPECT_EQ(sheet->windowModality(), Qt::WindowModal);
    EXPECT_EQ(sheet->summary()->text(), "Checked tracks of these 25 tracks will get their tag 'Title' changed:");
    QAbstractItemModel *model = sheet->table()->model();
    ASSERT_EQ(model->rowCount(), 25);
    EXPECT_EQ(model->index(3, ChangesModel::CheckColumn).data(Qt::CheckStateRole).toInt(), Qt::Checked);
    EXPECT_EQ(model->index(3, ChangesModel::TitleColumn).data().toString(), "Title 3");
    EXPECT_EQ(model->index(3, ChangesModel::NewColumn).data().toString(), "new 3");
    // While the sheet is up the window takes no input, so no other run can start.
    EXPECT_EQ(QApplication::activeModalWidget(), sheet);
}

TEST_F(ReviewSheetTest, ChecksAndUnchecksOnlyTheSelectedRows)
{
    review(tagList(folder, 5));
    ReviewSheet *sheet = window->reviewSheet();
    selectRows({0, 2, 4});
    sheet->uncheckButton()->click();
    EXPECT_EQ(enabled(), QList<bool>({false, true, false, true, false}));
    EXPECT_EQ(sheet->table()->model()->index(2, 0).data(Qt::CheckStateRole).toInt(), Qt::Unchecked);

    selectRows({2, 3});
    sheet->checkButton()->click();
    EXPECT_EQ(enabled(), QList<bool>({false, true, true, true, false}));

    // Nothing selected: nothing changes.
    sheet->table()->clearSelection();
    sheet->uncheckButton()->click();
    EXPECT_EQ(enabled(), QList<bool>({false, true, true, true, false}));
}

TEST_F(ReviewSheetTest, ValueColumnsAreHiddenForMembershipListsAndShownAgainForTagLists)
{
    QTableView *table = window->reviewSheet()->table();
    review(membershipList(folder, 3));
    for (int column : {ChangesModel::TagColumn, ChangesModel::OldColumn, ChangesModel::NewColumn})
        EXPECT_TRUE(table->isColumnHidden(column)) << column;
    for (int column : {ChangesModel::CheckColumn, ChangesModel::TitleColumn, ChangesModel::ArtistColumn})
        EXPECT_FALSE(table->isColumnHidden(column)) << column;
    window->reviewSheet()->cancelButton()->click();

    review(tagList(folder, 3));
    for (int column = 0; column < ChangesModel::ColumnCount; ++column)
        EXPECT_FALSE(table->isColumnHidden(column)) << column;
}

TEST_F(ReviewSheetTest, CancelDiscardsTheListAndASecondCancelIsHarmless)
{
    review(tagList(folder, 2));
    ReviewSheet *sheet = window->reviewSheet();
    sheet->cancelButton()->click();
    EXPECT_FALSE(sheet->isVisible());
    EXPECT_EQ(app.changes(), nullptr);
    sheet->reject();
    EXPECT_FALSE(sheet->isVisible());
    EXPECT_EQ(app.changes(), nullptr);
}

TEST_F(ReviewSheetTest, AHundredThousandRecordsAreOneModelNotAWidgetPerRow)
{
    review(tagList(folder, 100000));
    ReviewSheet *sheet = window->reviewSheet();
    QTableView *table = sheet->table();
    EXPECT_EQ(table->model()->rowCount(), 100000);
    EXPECT_LT(sheet->findChildren<QWidget *>().size(), 200);
    table->selectAll();
    sheet->uncheckButton()->click();
    EXPECT_FALSE(app.changes()->records.first().enabled);
    EXPECT_FALSE(app.changes()->records.last().enabled);
    table->scrollToBottom();
    QCoreApplication::processEvents();
    EXPECT_GT(table->rowAt(table->viewport()->height() - 2), 99000);
}

TEST_F(ReviewSheetTest, ProgressSheetFollowsTheControllersTextsAndCountsWhereItCan)
{
    app.beginProgress(QStringLiteral("Collecting changes…"));
    ProgressSheet *sheet = window->progressSheet();
    ASSERT_TRUE(sheet->isVisible());
    EXPECT_EQ(sheet->windowModality(), Qt::WindowModal);
    EXPECT_EQ(sheet->title()->text(), QStringLiteral("Collecting changes…"));
    EXPECT_EQ(sheet->bar()->maximum(), 0) << "busy until a count is known";

    app.setProgress(QStringLiteral("3/120 - Intro"));
    EXPECT_TRUE(waitUntil([&] { return sheet->detail()->text() == "3/120 - Intro"; }));
    EXPECT_EQ(sheet->bar()->maximum(), 120);
    EXPECT_EQ(sheet->bar()->value(), 3);

    app.setProgress(QStringLiteral("Preparation"));
    EXPECT_TRUE(waitUntil([&] { return sheet->detail()->text() == "Preparation"; }));
    EXPECT_EQ(sheet->bar()->maximum(), 0);

    // Escape does not end a run.
    sheet->reject();
    EXPECT_TRUE(sheet->isVisible());
    app.endProgress();
    EXPECT_FALSE(sheet->isVisible());
}

TEST_F(ReviewSheetTest, RunButtonReviewAndApplyWriteOnlyTheCheckedTracks)
{
    folder.addSeed("seed.flac", "album/two.flac");
    folder.addSeed("seed.ogg", "album/three.ogg");
    folder.addSeed("seed.mp3", "album/one.mp3");
    app.pathSelected(folder.filePath("album"));
    app.setSelectedTag(0);
    app.setSelectedCapitalizationMethod(1); // upper case
    window->showTab(1);
    auto *run = window->pane(1)->findChild<QPushButton *>("performCapitalization");
    ASSERT_NE(run, nullptr);
    run->click();

    ReviewSheet *sheet = window->reviewSheet();
    ASSERT_TRUE(awaitLastRun(app));
    ASSERT_TRUE(sheet->isVisible()) << port->alertTitles.join(", ").toStdString();
    ASSERT_EQ(app.changes()->records.size(), 3);
    EXPECT_FALSE(window->progressSheet()->isVisible());
    const QString untouched = app.changes()->records.first().track.location();
    selectRows({0});
    sheet->uncheckButton()->click();
    sheet->applyButton()->click();
    EXPECT_FALSE(sheet->isVisible());
    ASSERT_TRUE(awaitLastRun(app));
    ASSERT_FALSE(app.changes());
    ASSERT_FALSE(window->progressSheet()->isVisible());
    EXPECT_TRUE(port->alertTitles.isEmpty()) << port->alertTitles.join(", ").toStdString();

    for (const QString name : {"one.mp3", "two.flac", "three.ogg"}) {
        const QString path = folder.filePath("album/" + name);
        SCOPED_TRACE(name.toStdString());
        EXPECT_EQ(MusicTrack::withPath(path).valueForTag("name").toString(),
                  path == untouched ? "Seed Title" : "SEED TITLE");
    }
}

// A file the save would refuse comes unchecked, marked, its reason in the
// tool tip; checked anyway, its write fails and the run stops there.
TEST_F(ReviewSheetTest, ARowWhoseFileTheSaveWouldRefuseComesUncheckedAndMarked)
{
    folder.addSeed("seed.mp3", "album/a.mp3");
    const QByteArray cut = TestFolder::readAll(TestFolder::seedPath("seed.wav")).left(1000);
    const QString cutPath = folder.addFile("album/b.wav", cut);
    app.pathSelected(folder.filePath("album"));
    app.setSelectedTag(0);
    app.setSelectedCapitalizationMethod(1); // upper case
    window->showTab(1);
    window->pane(1)->findChild<QPushButton *>("performCapitalization")->click();
    ReviewSheet *sheet = window->reviewSheet();
    ASSERT_TRUE(awaitLastRun(app));
    ASSERT_TRUE(sheet->isVisible()) << port->alertTitles.join(", ").toStdString();
    ASSERT_EQ(app.changes()->records.size(), 2);
    // The folder lists its files in no set order.
    const int refused = app.changes()->records.at(0).track.path() == cutPath ? 0 : 1;
    const int good = 1 - refused;
    EXPECT_FALSE(enabled().at(refused));
    EXPECT_TRUE(enabled().at(good));

    const QAbstractItemModel *table = sheet->table()->model();
    const QString reason = "The file is cut off: its RIFF header claims more bytes than the file holds";
    for (int column : {int(ChangesModel::CheckColumn), int(ChangesModel::TitleColumn), int(ChangesModel::NewColumn)}) {
        EXPECT_TRUE(table->index(refused, column).data(Qt::ToolTipRole).toString().contains(reason)) << column;
        EXPECT_FALSE(table->index(good, column).data(Qt::ToolTipRole).toString().contains("cannot be written")) << column;
    }
    EXPECT_FALSE(table->index(refused, ChangesModel::CheckColumn).data(Qt::DecorationRole).value<QIcon>().isNull());
    EXPECT_FALSE(table->index(good, ChangesModel::CheckColumn).data(Qt::DecorationRole).isValid());

    selectRows({refused});
    sheet->checkButton()->click();
    sheet->applyButton()->click();
    ASSERT_TRUE(awaitLastRun(app));
    EXPECT_EQ(port->alertTitles, QStringList{"Changes Not Completed"});
    // The run stops at the refused file: what comes before it is written, what comes after is not.
    EXPECT_EQ(MusicTrack::withPath(folder.filePath("album/a.mp3")).title(), good < refused ? "SEED TITLE" : "Seed Title");
    EXPECT_EQ(TestFolder::readAll(cutPath), cut);
}

TEST_F(ReviewSheetTest, TheCheckBoxOfARowTogglesFromTheKeyboard)
{
    review(tagList(folder, 3));
    QTableView *table = window->reviewSheet()->table();
    table->setFocus();
    table->setCurrentIndex(table->model()->index(1, ChangesModel::CheckColumn));
    QTest::keyClick(table, Qt::Key_Space);
    EXPECT_EQ(enabled(), QList<bool>({true, false, true}));
    QTest::keyClick(table, Qt::Key_Space);
    EXPECT_EQ(enabled(), QList<bool>({true, true, true}));
}

TEST_F(ReviewSheetTest, WhileASheetIsUpTheWindowTakesNoClicks)
{
    auto *help = window->pane(0)->findChild<QToolButton *>("helpButton");
    ASSERT_NE(help, nullptr);
    // Clicks as the window system delivers them, where modality is decided.
    const auto click = [&] {
        const QPoint at = help->mapTo(window.get(), help->rect().center());
        QTest::mouseClick(window->windowHandle(), Qt::LeftButton, {}, at);
        QCoreApplication::processEvents();
    };
    app.beginProgress(QStringLiteral("Applying changes…"));
    click();
    EXPECT_FALSE(window->helpSheet()->isVisible());
    app.endProgress();
    click();
    EXPECT_TRUE(window->helpSheet()->isVisible());
    app.closeHelp();
}

TEST_F(ReviewSheetTest, AFolderSourceWithoutAFolderIsToldAndTheSheetCloses)
{
    app.setSelectedMethod(1);
    app.setSelectedCapitalizationMethod(1);
    window->showTab(1);
    window->pane(1)->findChild<QPushButton *>("performCapitalization")->click();
    ASSERT_TRUE(awaitLastRun(app));
    ASSERT_FALSE(port->alertTitles.isEmpty());
    ASSERT_FALSE(window->progressSheet()->isVisible());
    EXPECT_EQ(port->alertTitles, QStringList{"No Folder"});
    EXPECT_EQ(port->alertMessages, QStringList{"You didn't select a folder with music files to operate on."});
    EXPECT_FALSE(window->reviewSheet()->isVisible());
    EXPECT_EQ(app.changes(), nullptr);
}

TEST_F(ReviewSheetTest, TheTwoExportButtonsChooseTextAndXml)
{
    folder.addSeed("seed.flac", "album/two.flac");
    app.pathSelected(folder.filePath("album"));
    window->showTab(5);
    for (const QString &format : {QStringLiteral("Text"), QStringLiteral("Xml")}) {
        SCOPED_TRACE(format.toStdString());
        port->savePath = folder.filePath("export." + format.toLower());
        window->pane(5)->findChild<QPushButton *>("export" + format)->click();
        ASSERT_TRUE(awaitLastRun(app));
        ASSERT_TRUE(QFile::exists(port->savePath));
        ASSERT_FALSE(window->progressSheet()->isVisible());
        const QString written = QString::fromUtf8(TestFolder::readAll(port->savePath));
        EXPECT_TRUE(written.contains("Seed Title"));
        EXPECT_EQ(written.startsWith("<?xml"), format == "Xml");
    }
    ASSERT_EQ(port->saveRequests.size(), 2);
    EXPECT_TRUE(port->saveRequests.at(0).endsWith(".txt"));
    EXPECT_TRUE(port->saveRequests.at(1).endsWith(".xml"));
}
