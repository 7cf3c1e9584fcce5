// SPDX-License-Identifier: GPL-3.0-or-later
#include "historywindow.h"
#include "operations/changesmodel.h"
#include "reviewsheet.h"
#include "windowfixture.h"

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTableView>

namespace {

QString cell(QTableView *table, int row, int column)
{
    return table->model()->index(row, column).data().toString();
}

QString title(const QString &path)
{
    return MusicTrack::withPath(path).valueForTag("name").toString();
}

} // namespace

class HistoryWindowTest : public WindowTest {
protected:
    QString historyPath() const { return folder.filePath("library/history.sqlite"); }

    // The Edit menu as the person opens it: it reads the history again.
    QAction *openEditMenu()
    {
        QMenu *edit = nullptr;
        for (QAction *menu : window->menuBar()->actions())
            if (menu->text() == "&Edit")
                edit = menu->menu();
        EXPECT_NE(edit, nullptr);
        if (edit)
            emit edit->aboutToShow();
        return window->undoAction();
    }

    QString undoText() { return openEditMenu()->text().replace("&&", "&"); }

    // Searches the titles of the album for "Seed" through the pane's button
    // and applies what the review shows.
    void replaceInTheWindow(const QString &replacement)
    {
        app.pathSelected(folder.filePath("album"));
        app.setSelectedTag(0);
        app.setSearchString("Seed");
        app.setReplaceString(replacement);
        window->showTab(0);
        window->pane(0)->findChild<QPushButton *>("performSearchReplace")->click();
        ASSERT_TRUE(awaitLastRun(app));
        ASSERT_TRUE(window->reviewSheet()->isVisible()) << port->alertTitles.join(", ").toStdString();
        window->reviewSheet()->applyButton()->click();
        ASSERT_TRUE(awaitLastRun(app));
        ASSERT_EQ(awaitLastRun(app)->kind, RunOutcome::Applied);
    }

    // Applies the review the undo opened, as it stands.
    void applyReview()
    {
        ASSERT_TRUE(awaitLastRun(app));
        ASSERT_TRUE(window->reviewSheet()->isVisible()) << port->alertMessages.join(", ").toStdString();
        window->reviewSheet()->applyButton()->click();
        ASSERT_TRUE(awaitLastRun(app));
        ASSERT_EQ(awaitLastRun(app)->kind, RunOutcome::Applied);
    }
};

TEST_F(HistoryWindowTest, ARunAppliedInTheWindowIsListedUndoneFromTheMenuAndRedoneFromTheHistory)
{
    const QStringList files = {folder.addSeed("seed.mp3", "album/one.mp3"), folder.addSeed("seed.flac", "album/two.flac"),
                               folder.addSeed("seed.ogg", "album/three.ogg")};
    launch();
    EXPECT_EQ(undoText(), "Undo");
    EXPECT_FALSE(window->undoAction()->isEnabled());
    window->showHistory();
    EXPECT_TRUE(window->historyWindow()->message()->isVisible());
    EXPECT_TRUE(window->historyWindow()->message()->text().contains("no runs")) << "an empty history says so";
    EXPECT_FALSE(QFile::exists(historyPath())) << "looking makes no history";
    window->historyWindow()->hide();

    // A line feed in a value is kept in the file and shown as a sign in the lists.
    ASSERT_NO_FATAL_FAILURE(replaceInTheWindow("Sown\nnew"));
    for (const QString &file : files)
        ASSERT_EQ(title(file), "Sown\nnew Title");
    EXPECT_EQ(undoText(), "Undo \"Search & Replace\" (3 changes)");
    EXPECT_TRUE(window->undoAction()->isEnabled());

    // Edited meanwhile: the undo leaves it alone.
    {
        MusicTrack edited = MusicTrack::withPath(files[2]);
        edited.setTag("name", QStringLiteral("Mine Now"));
    }
    window->showHistory();
    HistoryWindow *history = window->historyWindow();
    QTableView *runs = history->runTable();
    ASSERT_EQ(runs->model()->rowCount(), 1);
    EXPECT_TRUE(history->undoButton()->isEnabled());
    window->undoAction()->trigger();
    ASSERT_TRUE(awaitLastRun(app));
    ASSERT_TRUE(window->reviewSheet()->isVisible()) << port->alertMessages.join(", ").toStdString();
    EXPECT_FALSE(history->undoButton()->isEnabled()) << "no second list while one is under review";
    const QList<ChangeRecord> &records = app.changes()->records;
    ASSERT_EQ(records.size(), 3);
    for (const ChangeRecord &record : records) {
        SCOPED_TRACE(record.track.location().toStdString());
        EXPECT_EQ(record.tagToChange, "name");
        EXPECT_EQ(record.newTag, "Seed Title");
        EXPECT_EQ(record.enabled, record.track.location() != files[2]) << "a value changed since is not checked";
    }
    ASSERT_NO_FATAL_FAILURE(applyReview());
    EXPECT_EQ(title(files[0]), "Seed Title");
    EXPECT_EQ(title(files[1]), "Seed Title");
    EXPECT_EQ(title(files[2]), "Mine Now");
    EXPECT_EQ(undoText(), "Undo") << "an undo is no run the menu takes back";
    EXPECT_FALSE(window->undoAction()->isEnabled());

    // The open history follows: both runs, newest first, and the changes of the one chosen.
    EXPECT_FALSE(history->message()->isVisible());
    ASSERT_EQ(runs->model()->rowCount(), 2);
    EXPECT_EQ(cell(runs, 0, 2), "Undo");
    EXPECT_EQ(cell(runs, 0, 3), "run 1 (Search & Replace)");
    EXPECT_EQ(cell(runs, 0, 4), "2");
    EXPECT_EQ(cell(runs, 0, 5), "undo of 1");
    EXPECT_EQ(cell(runs, 1, 0), "1");
    EXPECT_EQ(cell(runs, 1, 3), "folder " + folder.filePath("album"));
    EXPECT_EQ(cell(runs, 1, 4), "3");
    EXPECT_EQ(cell(runs, 1, 5), "undone by 2");
    EXPECT_EQ(QDateTime::fromString(cell(runs, 1, 1), "yyyy-MM-dd HH:mm:ss").isValid(), true);
    ASSERT_TRUE(history->chooseRun(1));
    EXPECT_FALSE(history->undoButton()->isEnabled()) << "an undone run cannot be undone again";
    QTableView *changes = history->changeTable();
    ASSERT_EQ(changes->model()->rowCount(), 3);
    QStringList changed;
    for (int row = 0; row < 3; ++row) {
        changed << cell(changes, row, 0);
        EXPECT_EQ(cell(changes, row, 1), "name");
        EXPECT_EQ(cell(changes, row, 2), "\u201CSeed Title\u201D \u2192 \u201CSown\u240Anew Title\u201D");
    }
    changed.sort();
    QStringList all = files;
    all.sort();
    EXPECT_EQ(changed.join('\n').toStdString(), all.join('\n').toStdString());

    // Undoing the undo puts the run back in effect, and it can be undone again.
    ASSERT_TRUE(history->chooseRun(2));
    EXPECT_EQ(changes->model()->rowCount(), 2);
    ASSERT_TRUE(history->undoButton()->isEnabled());
    history->undoButton()->click();
    ASSERT_NO_FATAL_FAILURE(applyReview());
    EXPECT_EQ(title(files[0]), "Sown\nnew Title");
    EXPECT_EQ(title(files[2]), "Mine Now");
    ASSERT_TRUE(waitUntil([&] { return runs->model()->rowCount() == 3; })) << "the list follows the run";
    EXPECT_EQ(cell(runs, 0, 5), "undo of 2");
    ASSERT_TRUE(history->chooseRun(1));
    EXPECT_TRUE(history->undoButton()->isEnabled());
    EXPECT_EQ(undoText(), "Undo \"Search & Replace\" (3 changes)");
}

TEST_F(HistoryWindowTest, ADamagedHistoryIsToldWhileRunsAndTheMenuGoOn)
{
    const QString file = folder.addSeed("seed.mp3", "album/one.mp3");
    QDir().mkpath(folder.filePath("library"));
    const QByteArray damage(2048, '\x07');
    {
        QFile history(historyPath());
        ASSERT_TRUE(history.open(QIODevice::WriteOnly));
        history.write(damage);
    }
    launch();
    EXPECT_EQ(undoText(), "Undo");
    EXPECT_FALSE(window->undoAction()->isEnabled());
    EXPECT_TRUE(window->undoAction()->toolTip().contains("left untouched"))
        << window->undoAction()->toolTip().toStdString();

    window->showHistory();
    HistoryWindow *history = window->historyWindow();
    EXPECT_TRUE(history->message()->isVisible());
    EXPECT_TRUE(history->message()->text().contains(historyPath())) << history->message()->text().toStdString();
    EXPECT_TRUE(history->message()->text().contains("left untouched"));
    EXPECT_EQ(history->runTable()->model()->rowCount(), 0);
    EXPECT_FALSE(history->undoButton()->isEnabled());

    // A run still writes and says it was not recorded; the history is left as it was.
    ASSERT_NO_FATAL_FAILURE(replaceInTheWindow("Sown"));
    EXPECT_EQ(title(file), "Sown Title");
    EXPECT_TRUE(window->statusLine()->text().contains("The history could not record this run")) << window->statusLine()->text().toStdString();
    EXPECT_EQ(TestFolder::readAll(historyPath()), damage);
    EXPECT_TRUE(waitUntil([&] { return history->message()->isVisible(); }));
    EXPECT_EQ(undoText(), "Undo");
    window->undoAction()->trigger(); // disabled: nothing starts
    EXPECT_FALSE(window->reviewSheet()->isVisible());

    // Mended, the history is read again the next time it is looked at.
    ASSERT_TRUE(QFile::remove(historyPath()));
    window->showHistory();
    EXPECT_TRUE(history->message()->text().contains("no runs")) << history->message()->text().toStdString();
}
