// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/fileutils.h"
#include "windowfixture.h"

#include <QGraphicsOpacityEffect>
#include <QLabel>

namespace {

double opacity(QWidget *widget)
{
    auto *effect = qobject_cast<QGraphicsOpacityEffect *>(widget->graphicsEffect());
    return effect ? effect->opacity() : 1.0;
}

// One launch of the window: counts it and handles the hint, as start-up does.
struct Launch {
    ScopedFakePort port;
    AppDelegate app{*port};
    MainWindow window{&app};

    Launch()
    {
        window.handleFirstLaunch();
        app.applicationDidFinishLaunching();
        window.show();
        QCoreApplication::processEvents();
    }
};

} // namespace

TEST(FirstLaunchHint, ShownAndFadedOnTheFirstTwoLaunchesHiddenAtOnceFromTheThird)
{
    ScopedUserLocations locations;

    for (int launch = 1; launch <= 2; ++launch) {
        SCOPED_TRACE(launch);
        Launch first;
        EXPECT_EQ(files::defaultInt("Launches"), launch);
        QLabel *hint = first.window.helpView();
        EXPECT_TRUE(hint->isVisible());
        EXPECT_FALSE(hint->pixmap().isNull());
        // Fully there for four seconds ...
        QTest::qWait(3500);
        EXPECT_TRUE(hint->isVisible());
        EXPECT_DOUBLE_EQ(opacity(hint), 1.0);
        // ... then fading over one second, and gone.
        EXPECT_TRUE(waitUntil([hint] { return opacity(hint) < 1.0; }, 1200));
        EXPECT_TRUE(hint->isVisible());
        EXPECT_TRUE(waitUntil([hint] { return !hint->isVisible(); }, 2500));
        EXPECT_LT(opacity(hint), 0.05);
    }

    Launch third;
    EXPECT_EQ(files::defaultInt("Launches"), 3);
    EXPECT_FALSE(third.window.helpView()->isVisible());
    QTest::qWait(100);
    EXPECT_FALSE(third.window.helpView()->isVisible());
}
