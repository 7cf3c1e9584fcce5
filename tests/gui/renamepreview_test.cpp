// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/musictrack.h"
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
    // Two MP3 files would be "3 - Seed Title.mp3": the second finds the name taken.
    // Blanks around a title stay out of the name.
    const QString purple = folder.addSeed("seed.mp3", "album/a.mp3");
    MusicTrack::withPath(purple).setTag("name", QStringLiteral("  Purple Rain "));
    folder.addSeed("seed.mp3", "album/b.mp3");
    folder.addSeed("seed.flac", "album/c.flac");
    folder.addSeed("seed.mp3", "album/d.mp3");
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
    ASSERT_TRUE(waitUntil([&] { return preview->plan().size() == 4; }, 15000));
    EXPECT_EQ(preview->summary()->text(), "3 files would be renamed, 1 would keep its name (name taken)");
    QStringList newNames, results;
    for (int row = 0; row < 4; ++row) {
        newNames << preview->table()->model()->index(row, 1).data().toString();
        results << preview->table()->model()->index(row, 2).data().toString();
    }
    newNames.sort();
    EXPECT_EQ(newNames, QStringList({"", "3 - Purple Rain.mp3", "3 - Seed Title.flac", "3 - Seed Title.mp3"}));
    EXPECT_EQ(results.count("keeps its name: name taken"), 1);
    EXPECT_EQ(results.count("will be renamed"), 3) << "nothing is renamed yet";
    EXPECT_EQ(names(), QStringList({"a.mp3", "b.mp3", "c.flac", "d.mp3"})) << "a preview renames nothing";
    preview->reject();

    // The run does as the preview said and the status line says so; the track table follows.
    window->pane(4)->findChild<QPushButton *>("performRename")->click();
    ASSERT_TRUE(awaitLastRun(app));
    ASSERT_FALSE(window->progressSheet()->isVisible());
    EXPECT_EQ(port->alertTitles, QStringList({"No Folder"}));
    EXPECT_EQ(window->statusLine()->text(), "3 files renamed, 1 kept its name (name taken)");
    const QStringList after = names();
    EXPECT_TRUE(after.contains("3 - Seed Title.mp3") && after.contains("3 - Seed Title.flac") &&
                after.contains("3 - Purple Rain.mp3"))
        << after.join(", ").toStdString();
    EXPECT_EQ(after.size(), 4);
    TrackTablePanel *panel = window->trackTable();
    ASSERT_TRUE(waitUntil([&] {
        if (panel->model()->isLoading() || panel->model()->rowCount() != 4)
            return false;
        QStringList shown;
        for (int row = 0; row < 4; ++row)
            shown << panel->model()->index(row, SourceTracksModel::FileColumn).data().toString();
        return shown.contains("3 - Seed Title.flac");
    }));

    // Run again: nothing left to rename, and that is said too.
    window->pane(4)->findChild<QPushButton *>("performRename")->click();
    ASSERT_TRUE(awaitLastRun(app));
    ASSERT_FALSE(window->progressSheet()->isVisible());
    EXPECT_TRUE(window->statusLine()->text().startsWith("Nothing was renamed: 4 files kept their names"))
        << window->statusLine()->text().toStdString();
}
