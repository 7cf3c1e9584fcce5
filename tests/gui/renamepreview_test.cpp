// SPDX-License-Identifier: GPL-3.0-or-later
#include "progresssheet.h"
#include "renamepreview.h"
#include "sourcetracksmodel.h"
#include "tracktablepanel.h"
#include "windowfixture.h"

#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QTableView>

TEST_F(WindowTest, ThePreviewListsEveryNewNameRenamingNothingAndTheRunThenSaysWhatItDid)
{
    // Both MP3 files would be "3 - Seed Title.mp3": the second finds the name taken.
    folder.addSeed("seed.mp3", "album/a.mp3");
    folder.addSeed("seed.mp3", "album/b.mp3");
    folder.addSeed("seed.flac", "album/c.flac");
    const QString album = folder.filePath("album");
    const auto names = [&] { return QDir(album).entryList(QDir::Files, QDir::Name); };
    launch();
    window->showTab(4);
    auto *previewButton = window->pane(4)->findChild<QPushButton *>("previewRename");
    ASSERT_NE(previewButton, nullptr);

    // Without a folder the preview refuses as the tool does.
    previewButton->click();
    EXPECT_EQ(port->alertTitles, QStringList({"No Folder"}));
    EXPECT_FALSE(window->renamePreview()->isVisible());

    app.pathSelected(album);
    previewButton->click();
    RenamePreview *preview = window->renamePreview();
    ASSERT_TRUE(preview->isVisible());
    ASSERT_TRUE(waitUntil([&] { return preview->plan().size() == 3; }, 15000));
    EXPECT_EQ(preview->summary()->text(), "2 files would be renamed, 1 would keep its name (name taken)");
    QStringList newNames, results;
    for (int row = 0; row < 3; ++row) {
        newNames << preview->table()->model()->index(row, 1).data().toString();
        results << preview->table()->model()->index(row, 2).data().toString();
    }
    newNames.sort();
    EXPECT_EQ(newNames, QStringList({"", "3 - Seed Title.flac", "3 - Seed Title.mp3"}));
    EXPECT_EQ(results.count("keeps its name: name taken"), 1);
    EXPECT_EQ(names(), QStringList({"a.mp3", "b.mp3", "c.flac"})) << "a preview renames nothing";
    preview->reject();

    // The run does as the preview said and the status line says so; the track table follows.
    window->pane(4)->findChild<QPushButton *>("performRename")->click();
    ASSERT_TRUE(awaitLastRun(app));
    ASSERT_FALSE(window->progressSheet()->isVisible());
    EXPECT_EQ(port->alertTitles, QStringList({"No Folder"}));
    EXPECT_EQ(window->statusLine()->text(), "2 files renamed, 1 kept its name (name taken)");
    const QStringList after = names();
    EXPECT_TRUE(after.contains("3 - Seed Title.mp3") && after.contains("3 - Seed Title.flac")) << after.join(", ").toStdString();
    EXPECT_EQ(after.size(), 3);
    TrackTablePanel *panel = window->trackTable();
    ASSERT_TRUE(waitUntil([&] {
        if (panel->model()->isLoading() || panel->model()->rowCount() != 3)
            return false;
        QStringList shown;
        for (int row = 0; row < 3; ++row)
            shown << panel->model()->index(row, SourceTracksModel::FileColumn).data().toString();
        return shown.contains("3 - Seed Title.flac");
    }));

    // Run again: nothing left to rename, and that is said too.
    window->pane(4)->findChild<QPushButton *>("performRename")->click();
    ASSERT_TRUE(awaitLastRun(app));
    ASSERT_FALSE(window->progressSheet()->isVisible());
    EXPECT_TRUE(window->statusLine()->text().startsWith("Nothing was renamed: 3 files kept their names"))
        << window->statusLine()->text().toStdString();
}
