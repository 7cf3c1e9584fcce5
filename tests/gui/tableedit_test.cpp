// SPDX-License-Identifier: GPL-3.0-or-later
#include "celleditdelegate.h"
#include "librarybrowser.h"
#include "librarytracksmodel.h"
#include "files/filetags.h"
#include "library/historystore.h"
#include "library/musiclibrary.h"
#include "operations/changelist.h"
#include "pendingedits.h"
#include "reviewsheet.h"
#include "sourcetracksmodel.h"
#include "tracktablepanel.h"
#include "windowfixture.h"

#include <QAction>
#include <QApplication>
#include <QWindow>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QTableView>

#include <taglib/id3v1tag.h>
#include <taglib/mpegfile.h>

namespace {

class TableEditTest : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        launch();
        panel = window->trackTable();
        pending = window->pendingEdits();
    }

    bool loaded(int rows) { return tableLoaded(panel, rows); }
    void selectShownRows(const QList<int> &rows) { ::selectShownRows(panel, rows); }

    // Opens the editor of a shown cell with F2, as the person does, keeping the selection.
    QLineEdit *editCell(int row, int column)
    {
        QTableView *table = panel->table();
        // An editor closed before is gone first.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        table->selectionModel()->setCurrentIndex(panel->proxy()->index(row, column), QItemSelectionModel::NoUpdate);
        table->setFocus();
        QTest::keyClick(table, Qt::Key_F2);
        return qobject_cast<QLineEdit *>(panel->cellEditor()->openEditor());
    }

    // Types text over the cell's value and presses Return.
    void typeInto(int row, int column, const QString &text)
    {
        QLineEdit *editor = editCell(row, column);
        ASSERT_TRUE(editor);
        editor->selectAll();
        if (text.isEmpty())
            QTest::keyClick(editor, Qt::Key_Delete);
        // Typed key by key; a control character (which a key would act on) is put in as it is.
        for (const QChar c : text) {
            if (c.isPrint())
                QTest::keyClick(editor, c.toLatin1());
            else
                editor->insert(QString(c));
        }
        QTest::keyClick(editor, Qt::Key_Return);
        QCoreApplication::processEvents();
    }

    QString shown(int row, int column) const { return panel->proxy()->index(row, column).data().toString(); }
    bool isPending(int row, int column) const
    {
        return panel->proxy()->index(row, column).data(SourceTracksModel::PendingRole).toBool();
    }

    TrackTablePanel *panel = nullptr;
    PendingEdits *pending = nullptr;
};

} // namespace

TEST_F(TableEditTest, ACellEditedForThreeLibraryRowsIsSavedReviewedUndoneAndKeepsTheSelection)
{
    auto library = app.library();
    QList<qint64> ids;
    QStringList paths;
    for (int i = 0; i < 10; ++i) {
        paths << folder.addSeed("seed.mp3", QStringLiteral("lib/%1.mp3").arg(i));
        filetags::write(paths.last(), "album", QStringLiteral("Album %1").arg(i));
        ids << library->importFile({paths.last(), {{"name", QStringLiteral("Song %1").arg(i)},
                                                   {"album", QStringLiteral("Album %1").arg(i)}}});
    }
    choosePlaylist("Mix", ids);
    ASSERT_TRUE(loaded(10)) << panel->countLabel()->text().toStdString();
    const int album = SourceTracksModel::AlbumColumn;

    // Three rows with three albums: the editor says so and leaves them alone unless typed over.
    selectShownRows({1, 4, 6});
    QLineEdit *editor = editCell(4, album);
    ASSERT_TRUE(editor);
    EXPECT_EQ(editor->text(), "");
    EXPECT_EQ(editor->placeholderText(), "<several values>");
    QTest::keyClick(editor, Qt::Key_Return);
    EXPECT_TRUE(pending->isEmpty());

    // Typed over: every selected row holds it, pending, and is counted.
    typeInto(4, album, "Owls\x1b");
    EXPECT_EQ(pending->count(), 3);
    for (const int row : {1, 4, 6}) {
        EXPECT_TRUE(isPending(row, album)) << row;
        EXPECT_EQ(shown(row, album), QString("Owls") + QChar(0x241B)) << row; // the escape shows as its symbol
    }
    EXPECT_FALSE(isPending(0, album));
    EXPECT_EQ(shown(0, album), "Album 0");
    EXPECT_EQ(window->windowTitle(), "Quavertin — 3 unsaved changes");
    EXPECT_TRUE(panel->pendingLine()->text().startsWith("3 unsaved changes")) << panel->pendingLine()->text().toStdString();
    EXPECT_EQ(library->property(TrackRef{ids[4]}, "album").toString(), "Album 4");
    EXPECT_EQ(filetags::read(paths[4], {"album"}).value("album").toString(), "Album 4");

    // Refused when typed: nothing more pending, the reason shown.
    typeInto(4, SourceTracksModel::YearColumn, "abc");
    ASSERT_TRUE(waitUntil([&] { return port->alertTitles.size() == 1; }));
    EXPECT_EQ(port->alertTitles.last(), "Invalid Value");
    EXPECT_TRUE(port->alertMessages.last().contains("'abc'"));
    typeInto(4, SourceTracksModel::TrackColumn, "2147483648");
    ASSERT_TRUE(waitUntil([&] { return port->alertTitles.size() == 2; }));
    EXPECT_EQ(pending->count(), 3);

    // Saved through the review: three records, written to the files and the rows, one run in the history.
    window->saveChangesAction()->trigger();
    ASSERT_TRUE(awaitLastRun(app));
    ASSERT_TRUE(app.changes());
    EXPECT_EQ(app.changes()->tool, "Edit Tags");
    EXPECT_EQ(app.changes()->records.size(), 3);
    window->reviewSheet()->applyButton()->click();
    ASSERT_TRUE(awaitLastRun(app));
    EXPECT_TRUE(pending->isEmpty());
    EXPECT_EQ(window->windowTitle(), "Quavertin");
    EXPECT_FALSE(panel->pendingLine()->isVisible());
    QStringList written;
    for (int i = 0; i < 10; ++i)
        if (filetags::read(paths[i], {"album"}).value("album").toString() == "Owls\x1b")
            written << QString::number(i);
    EXPECT_EQ(written, QStringList({"1", "4", "6"}));
    EXPECT_EQ(library->property(TrackRef{ids[6]}, "album").toString(), "Owls\x1b");
    EXPECT_EQ(library->property(TrackRef{ids[5]}, "album").toString(), "Album 5");
    const QList<HistoryRun> runs = HistoryStore(HistoryStore::pathBeside(app.libraryPath())).runs();
    ASSERT_EQ(runs.size(), 1);
    EXPECT_EQ(runs[0].tool, "Edit Tags");
    EXPECT_EQ(runs[0].count, 3);

    // The table reads the tracks again and keeps the three rows selected.
    QTest::qWait(200);
    ASSERT_TRUE(loaded(10));
    QList<int> selected;
    for (const QModelIndex &index : panel->table()->selectionModel()->selectedRows())
        selected << index.row();
    std::sort(selected.begin(), selected.end());
    EXPECT_EQ(selected, QList<int>({1, 4, 6}));

    // Undo names the run and takes it back like any other.
    window->updateUndoAction();
    EXPECT_EQ(window->undoAction()->text(), "Undo \"Edit Tags\" (3 changes)");
    window->undoAction()->trigger();
    ASSERT_TRUE(awaitLastRun(app));
    ASSERT_TRUE(app.changes());
    window->reviewSheet()->applyButton()->click();
    ASSERT_TRUE(awaitLastRun(app));
    EXPECT_EQ(filetags::read(paths[4], {"album"}).value("album").toString(), "Album 4");
    EXPECT_EQ(library->property(TrackRef{ids[1]}, "album").toString(), "Album 1");
}

TEST_F(TableEditTest, PendingEditsAreDroppedOrKeptAsThePersonAnswersAndAFileWithoutRoomRefuses)
{
    QStringList paths;
    for (int i = 0; i < 3; ++i)
        paths << folder.addSeed("seed.mp3", QStringLiteral("album/%1.mp3").arg(i));
    // An MP3 whose only tag is ID3v1, which has no album artist field.
    const QString old = folder.addSeed("seed.mp3", "album/old.mp3");
    {
        TagLib::MPEG::File file(QFile::encodeName(old).constData());
        file.ID3v1Tag(true)->setTitle("Old");
        ASSERT_TRUE(file.save(TagLib::MPEG::File::ID3v1, TagLib::File::StripOthers));
    }
    const QByteArray oldBytes = TestFolder::readAll(old);
    app.pathSelected(folder.filePath("album"));
    ASSERT_TRUE(loaded(4));
    panel->table()->sortByColumn(SourceTracksModel::FileColumn, Qt::AscendingOrder); // 0, 1, 2, old

    selectShownRows({3});
    typeInto(3, SourceTracksModel::AlbumArtistColumn, "Band");
    ASSERT_TRUE(waitUntil([&] { return !port->alertTitles.isEmpty(); }));
    EXPECT_TRUE(port->alertMessages.last().contains("only an ID3v1 tag")) << port->alertMessages.last().toStdString();
    EXPECT_TRUE(pending->isEmpty());
    // A field the tag has stays editable.
    typeInto(3, SourceTracksModel::TitleColumn, "Older");
    EXPECT_EQ(pending->count(), 1);

    // Escape drops what is pending; so does File → Revert Changes.
    panel->table()->setFocus();
    QTest::keyClick(panel->table(), Qt::Key_Escape);
    EXPECT_TRUE(pending->isEmpty());
    EXPECT_EQ(shown(3, SourceTracksModel::TitleColumn), "Old");
    typeInto(0, SourceTracksModel::TitleColumn, "One");
    window->revertChangesAction()->trigger();
    EXPECT_TRUE(pending->isEmpty());
    EXPECT_FALSE(window->saveChangesAction()->isEnabled());

    // A file another program changes while the save is in review: the save stops before it,
    // offers to read the tracks again, and the value stays pending.
    typeInto(0, SourceTracksModel::TitleColumn, "One");
    window->saveChangesAction()->trigger();
    ASSERT_TRUE(awaitLastRun(app));
    ASSERT_TRUE(app.changes());
    filetags::write(paths[0], "name", "Changed Elsewhere");
    window->reviewSheet()->applyButton()->click();
    ASSERT_TRUE(awaitLastRun(app));
    EXPECT_TRUE(port->alertTitles.contains("Tracks Changed Elsewhere")) << port->alertTitles.join(" | ").toStdString();
    EXPECT_EQ(pending->count(), 1);
    EXPECT_EQ(filetags::read(paths[0], {"name"}).value("name").toString(), "Changed Elsewhere");
    ASSERT_TRUE(loaded(4));

    // Changing the source asks: cancelled, the source and the edit stay.
    const int alerts = int(port->alertTitles.size());
    port->answers = {-1};
    app.pathSelected(folder.path());
    ASSERT_TRUE(waitUntil([&] { return port->alertTitles.size() == alerts + 1; }));
    EXPECT_EQ(port->alertTitles.last(), "Unsaved Changes");
    QTest::qWait(50);
    EXPECT_EQ(app.folderPath(), folder.filePath("album"));
    EXPECT_EQ(pending->count(), 1);
    EXPECT_EQ(panel->model()->rowCount(), 4);

    // Saved instead: the review first, then the source asked for.
    port->answers = {1};
    app.pathSelected(folder.path());
    ASSERT_TRUE(waitUntil([&] { return app.changes() != nullptr; }, 15000));
    window->reviewSheet()->applyButton()->click();
    ASSERT_TRUE(awaitLastRun(app));
    ASSERT_TRUE(waitUntil([&] { return app.folderPath() == folder.path(); }));
    EXPECT_TRUE(pending->isEmpty());
    EXPECT_EQ(filetags::read(paths[0], {"name"}).value("name").toString(), "One");
    ASSERT_TRUE(loaded(4));
    typeInto(0, SourceTracksModel::TitleColumn, "Two");
    ASSERT_EQ(pending->count(), 1);

    // Quitting asks too: cancelled, the window stays; discarded, it closes and nothing was written.
    port->answers = {-1};
    EXPECT_FALSE(window->close());
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(port->alertTitles.last(), "Unsaved Changes");
    EXPECT_EQ(pending->count(), 1);
    port->answers = {0};
    EXPECT_TRUE(window->close());
    EXPECT_TRUE(pending->isEmpty());
    EXPECT_EQ(filetags::read(paths[0], {"name"}).value("name").toString(), "One");
    EXPECT_EQ(TestFolder::readAll(old), oldBytes);
}

TEST_F(TableEditTest, NumberTracksTakesTheRowsInTheOrderTheTableShows)
{
    QStringList paths;
    for (const char *name : {"a", "b", "c", "d"})
        paths << folder.addSeed("seed.mp3", QStringLiteral("album/%1.mp3").arg(QLatin1String(name)));
    app.pathSelected(folder.filePath("album"));
    ASSERT_TRUE(loaded(4));
    panel->table()->sortByColumn(SourceTracksModel::FileColumn, Qt::DescendingOrder);
    window->showTab(5);
    window->pane(5)->findChild<QPushButton *>("performNumberTracks")->click();
    ASSERT_TRUE(awaitLastRun(app));
    ASSERT_TRUE(app.changes());
    window->reviewSheet()->applyButton()->click();
    ASSERT_TRUE(awaitLastRun(app));
    QStringList numbers;
    for (const QString &path : paths)
        numbers << filetags::read(path, {"number"}).value("number").toString();
    EXPECT_EQ(numbers, QStringList({"4", "3", "2", "1"}));
}

TEST_F(TableEditTest, TheNumericChangerPaneCountsTheLibrarySelectionAndShowsIt)
{
    auto library = app.library();
    QList<qint64> ids;
    for (int i = 0; i < 4; ++i)
        ids << library->importFile({folder.addSeed("seed.flac", QStringLiteral("lib/%1.flac").arg(i)),
                                    {{"name", QStringLiteral("Song %1").arg(i)}}});
    library->setSelection({ids[1], ids[3]});
    window->showTab(5);
    QLabel *count = window->pane(5)->findChild<QLabel *>("numericSelection");
    ASSERT_TRUE(count);
    EXPECT_EQ(count->text(), "2 tracks in the library's selection");
    window->pane(5)->findChild<QPushButton *>("showNumericSelection")->click();
    LibraryBrowser *browser = window->libraryBrowser();
    ASSERT_TRUE(waitUntil([&] { return browser->isVisible(); }));
    QList<qint64> shown;
    for (const QModelIndex &index : browser->trackTable()->selectionModel()->selectedRows())
        shown << browser->trackModel()->ref(index.row()).trackId;
    std::sort(shown.begin(), shown.end());
    EXPECT_EQ(shown, QList<qint64>({ids[1], ids[3]}));
    // Choosing other rows there stores them as the selection, and the pane follows.
    browser->trackTable()->selectionModel()->select(browser->trackModel()->index(0, 0),
                                                     QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    browser->storeSelection();
    EXPECT_EQ(count->text(), "1 track in the library's selection");
}

TEST_F(TableEditTest, ADoubleClickOnOneOfSeveralSelectedRowsEditsThemAllAndAClickNarrowsToIt)
{
    for (const char *name : {"a", "b", "c", "d"})
        folder.addSeed("seed.mp3", QStringLiteral("music/%1.mp3").arg(name));
    app.pathSelected(folder.filePath("music"));
    ASSERT_TRUE(loaded(4));
    QTableView *table = panel->table();
    const auto selectedRows = [&] { return table->selectionModel()->selectedRows().size(); };
    // The person's own clicks, as the window system delivers them: press, release, press (a double-click), release.
    const QPoint cell = table->viewport()->mapTo(
        window.get(), table->visualRect(panel->proxy()->index(1, SourceTracksModel::AlbumColumn)).center());

    selectShownRows({0, 1, 2});
    QTest::mouseDClick(window->windowHandle(), Qt::LeftButton, {}, cell);
    auto *editor = qobject_cast<QLineEdit *>(panel->cellEditor()->openEditor());
    ASSERT_TRUE(editor);
    EXPECT_EQ(selectedRows(), 3);
    editor->setText("Night Drives");
    QTest::keyClick(editor, Qt::Key_Return);
    QCoreApplication::processEvents();
    for (const int row : {0, 1, 2}) {
        EXPECT_TRUE(isPending(row, SourceTracksModel::AlbumColumn)) << row;
        EXPECT_EQ(shown(row, SourceTracksModel::AlbumColumn), "Night Drives") << row;
    }
    EXPECT_FALSE(isPending(3, SourceTracksModel::AlbumColumn));
    // Closing the editor narrows nothing afterwards.
    QTest::qWait(QApplication::doubleClickInterval() + 200);
    EXPECT_EQ(selectedRows(), 3);

    // One click on a selected row: the selection stays while a double-click may follow, then it is that row.
    QTest::mouseClick(window->windowHandle(), Qt::LeftButton, {}, cell);
    EXPECT_EQ(selectedRows(), 3);
    EXPECT_TRUE(waitUntil([&] { return selectedRows() == 1; }, 5000));
    EXPECT_TRUE(table->selectionModel()->isRowSelected(1));
    pending->clear();
}
