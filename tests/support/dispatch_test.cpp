// SPDX-License-Identifier: GPL-3.0-or-later
#include "fakewindowport.h"
#include "support/alerts.h"
#include "support/dispatch.h"

#include <QCoreApplication>
#include <QThread>
#include <gtest/gtest.h>

TEST(Dispatch, MainBlocksRunInPostedOrderEvenFromTheMainThread)
{
    QStringList order;
    dispatchAsyncMain([&] { order << "first"; });
    order << "caller";
    dispatchAsyncMain([&] { order << "second"; });
    QCoreApplication::processEvents();
    EXPECT_EQ(order, (QStringList{"caller", "first", "second"}));
}

TEST(Dispatch, WorkerAlertWaitsForTheAnswerOnTheMainThread)
{
    ScopedFakePort port;
    port->alertAnswers = {0};
    int answer = 42;
    dispatchAsyncBackground([&] {
        EXPECT_TRUE(onBackgroundWorker());
        answer = alertPanel(port.get(), "Title", "Message", "OK", "Cancel");
    });
    waitForBackground();
    EXPECT_EQ(answer, 0);
    ASSERT_EQ(port->alerts.size(), 1);
    EXPECT_EQ(port->alerts[0].buttons, (QStringList{"OK", "Cancel"}));
}

TEST(Dispatch, LargeStackRunsDeepRecursionAndPassesExceptionsBack)
{
    std::function<int(int)> depth = [&](int n) -> int {
        volatile char pad[512];
        pad[0] = char(n);
        return n == 0 ? pad[0] : depth(n - 1) + 1;
    };
    int result = 0;
    // 100,000 frames of more than half a kilobyte: far beyond an 8 MiB stack.
    runWithLargeStack([&] { result = depth(100000); });
    EXPECT_EQ(result, 100000);
    EXPECT_THROW(runWithLargeStack([] { throw std::runtime_error("boom"); }), std::runtime_error);
}

TEST(Alerts, AnAlertWithNoPortFailsLoudlyOnEveryThread)
{
    EXPECT_THROW(alertPanel(nullptr, "Title", "Message"), NoWindowPort);
    EXPECT_THROW(alertPanelApp(nullptr, "Message", "OK", "Cancel"), NoWindowPort);
    // On the worker the failure reaches the code that raised the alert, named.
    QString caught;
    dispatchAsyncBackground([&] {
        try {
            alertPanel(nullptr, "Worker Title", "Message");
        } catch (const NoWindowPort &e) {
            caught = QString::fromUtf8(e.what());
        }
    });
    waitForBackground();
    EXPECT_TRUE(caught.contains("Worker Title")) << caught.toStdString();
}
