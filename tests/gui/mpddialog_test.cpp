// SPDX-License-Identifier: GPL-3.0-or-later
#include "library/mpdclient.h"
#include "library/musiclibrary.h"
#include "mpddialog.h"
#include "mpdserver.h"
#include "operations/choices.h"
#include "reviewsheet.h"
#include "windowfixture.h"

#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QSpinBox>

// File → Sync with MPD… opens the dialog; Push goes through the window's
// review sheet, and what it applied is in MPD's stickers.
TEST_F(WindowTest, SyncWithMpdPushesThroughTheReviewSheet)
{
    const QString music = folder.addFolder("music");
    const QString file = folder.addSeed("seed.mp3", "music/song.mp3");
    launch();
    const qint64 id = app.library()->importFile({file, {{"name", "song"}, {"rating", 100}, {"playedCount", 7}}});
    app.library()->setSelection({id});
    app.setSelectedMethod(choices::SelectionSource);
    MpdServer server(music);
    REQUIRE_MPD(server);
    const MpdAddress address{QStringLiteral("127.0.0.1"), server.port(), {}, 5000};
    MpdClient(address).updateDatabase(20000);

    QAction *sync = nullptr;
    for (QAction *menu : window->menuBar()->actions())
        if (menu->menu())
            for (QAction *action : menu->menu()->actions())
                if (action->objectName() == QLatin1String("syncWithMpd"))
                    sync = action;
    ASSERT_NE(sync, nullptr);
    sync->trigger();
    auto *dialog = window->findChild<MpdDialog *>();
    ASSERT_TRUE(dialog && dialog->isVisible());
    EXPECT_EQ(dialog->findChild<QSpinBox *>("mpdRatingScale")->value(), 10);
    dialog->findChild<QLineEdit *>("mpdHost")->setText("127.0.0.1");
    dialog->findChild<QSpinBox *>("mpdPort")->setValue(server.port());
    dialog->findChild<QLineEdit *>("mpdMusicFolder")->setText(music);
    dialog->findChild<QPushButton *>("mpdPush")->click();
    EXPECT_FALSE(dialog->isVisible());
    ASSERT_TRUE(awaitLastRun(app));
    ASSERT_TRUE(window->reviewSheet()->isVisible()) << port->alertMessages.join(", ").toStdString();
    window->reviewSheet()->applyButton()->click();
    ASSERT_EQ(awaitLastRun(app)->kind, RunOutcome::Applied);

    MpdClient mpd(address);
    EXPECT_EQ(mpd.sticker("song.mp3", "rating"), QStringLiteral("10"));
    EXPECT_EQ(mpd.sticker("song.mp3", "playCount"), QStringLiteral("7"));
    // The next time the dialog opens it remembers where MPD was.
    sync->trigger();
    EXPECT_EQ(dialog->findChild<QLineEdit *>("mpdMusicFolder")->text(), music);
}
