// SPDX-License-Identifier: GPL-3.0-or-later
#include "library/musiclibrary.h"
#include "libraryimports.h"
#include "windowfixture.h"

#include <QMenuBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QUrl>

namespace {

QAction *fileMenuAction(MainWindow &window, const char *name)
{
    for (QAction *menu : window.menuBar()->actions())
        if (menu->menu())
            for (QAction *action : menu->menu()->actions())
                if (action->objectName() == QLatin1String(name))
                    return action;
    return nullptr;
}

} // namespace

// From the File menu a player's library and a playlist file come in; the
// export pane writes the playlist back out as M3U8.
TEST_F(WindowTest, FileMenuImportsFromAPlayerAndAPlaylistAndTheExportPaneWritesM3u8)
{
    const QString one = folder.addSeed("seed.mp3", "music/Ünï one.mp3");
    const QString two = folder.addSeed("seed.flac", "music/two.flac");
    const auto uri = [](const QString &path) { return QString::fromLatin1(QUrl::fromLocalFile(path).toEncoded()); };
    folder.addFile("rhythmbox/rhythmdb.xml",
                   QStringLiteral("<rhythmdb version=\"2.0\"><entry type=\"song\"><location>%1</location>"
                                  "<play-count>4</play-count></entry><entry type=\"song\"><location>%2</location>"
                                  "</entry><entry type=\"song\"><location>%3</location></entry></rhythmdb>")
                       .arg(uri(one), uri(two), uri(folder.filePath("music/gone.mp3")))
                       .toUtf8());
    folder.addFile("rhythmbox/playlists.xml",
                   QStringLiteral("<rhythmdb-playlists><playlist name=\"Evening\" type=\"static\"><location>%2</location>"
                                  "<location>%1</location></playlist><playlist name=\"Smart\" type=\"automatic\"/>"
                                  "</rhythmdb-playlists>")
                       .arg(uri(one), uri(two))
                       .toUtf8());
    launch();
    ASSERT_NE(fileMenuAction(*window, "importFromPlayer"), nullptr);
    ASSERT_NE(fileMenuAction(*window, "importPlaylist"), nullptr);
    LibraryImports *imports = window->libraryImports();
    QSignalSpy finished(imports, &LibraryImports::finished);

    imports->importFromPlayerAt(playerimport::Player::Rhythmbox, folder.filePath("rhythmbox"));
    ASSERT_TRUE(finished.wait(15000));
    ASSERT_EQ(port->alertTitles, QStringList{"Import Finished"});
    const QString report = port->alertMessages.last();
    EXPECT_TRUE(report.contains("2 of 3 tracks came over from Rhythmbox: 2 new, 0 changed, 0 unchanged.\n"
                                "Playlists: 1 added, 0 updated, 0 unchanged, 1 skipped.\n\"Evening\": 2 tracks\n"))
        << report.toStdString();
    EXPECT_TRUE(report.contains("gone.mp3: the file does not exist")) << report.toStdString();
    EXPECT_TRUE(report.contains("playlist \"Smart\": an automatic playlist")) << report.toStdString();
    EXPECT_TRUE(app.playlists().contains("Evening"));

    // The imported playlist, exported from the pane as M3U8 and read back in.
    app.setSelectedMethod(0);
    app.setSelectedPlaylist(int(app.playlists().indexOf("Evening")));
    port->savePath = folder.filePath("evening.m3u8");
    QPushButton *m3u8 = nullptr;
    for (int position = 0; position < MainWindow::PositionCount && !m3u8; ++position)
        if (window->pane(position))
            m3u8 = window->pane(position)->findChild<QPushButton *>("exportM3u8");
    ASSERT_NE(m3u8, nullptr);
    m3u8->click();
    ASSERT_TRUE(waitUntil([&] { return QFile::exists(port->savePath); }));
    EXPECT_EQ(port->saveRequests.last(), "Evening.m3u8");
    const QStringList lines = QString::fromUtf8(TestFolder::readAll(port->savePath)).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 5);
    EXPECT_EQ(lines[0], "#EXTM3U");
    EXPECT_EQ(lines[2], two);
    EXPECT_EQ(lines[4], one);

    imports->importPlaylistAt(port->savePath, "Evening again");
    ASSERT_TRUE(finished.wait(15000));
    EXPECT_EQ(port->alertTitles.last(), "Import Finished");
    EXPECT_TRUE(port->alertMessages.last().contains("\"Evening again\" holds 2 tracks; 0 of them are new"));
    const std::shared_ptr<MusicLibrary> library = app.library();
    const QList<TrackRef> original = library->tracksOf(library->playlistNamed("Evening")->id);
    const QList<TrackRef> copy = library->tracksOf(library->playlistNamed("Evening again")->id);
    ASSERT_EQ(copy.size(), 2);
    EXPECT_EQ(copy[0].trackId, original[0].trackId);
    EXPECT_EQ(copy[1].trackId, original[1].trackId);

    // A file that is no playlist is refused with its reason, and nothing is made.
    imports->importPlaylistAt(folder.addFile("notes.txt", "shopping"));
    ASSERT_TRUE(finished.wait(15000));
    EXPECT_EQ(port->alertTitles.last(), "Import Failed");
    EXPECT_TRUE(port->alertMessages.last().contains("not a playlist file"));
    EXPECT_EQ(library->userPlaylists().size(), 2);
}
