// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/appdelegate.h"
#include "fakewindowport.h"
#include "guiwindowport.h"
#include "app/lastrun.h"
#include "mainwindow.h"
#include "testfiles.h"
#include "userlocations.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTest>
#include <gtest/gtest.h>
#include <functional>
#include <memory>

// Runs the event loop until the condition holds or the time is up.
inline bool waitUntil(const std::function<bool()> &condition, int milliseconds = 5000)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > milliseconds)
            return false;
        QTest::qWait(20);
    }
    return true;
}

// The window's own port with the person faked: alerts are recorded and
// answered with the default button, folder panels are cancelled and save
// panels answered from savePath, instead of waiting for a click; the sheets
// are the window's.
class ScriptedWindowPort : public GuiWindowPort {
public:
    using GuiWindowPort::GuiWindowPort;
    QStringList alertTitles;
    QStringList alertMessages;
    QString savePath; // the save panel's answer; cancelled when empty
    QStringList saveRequests;
    int alert(const QString &title, const QString &message, const QString &, const QString &,
              const QString &) override
    {
        alertTitles << title;
        alertMessages << message;
        return 1;
    }
    std::optional<QString> chooseFolder(const QString &) override { return std::nullopt; }
    std::optional<QString> chooseSaveFile(const QString &suggestedName, const QString &fileType) override
    {
        saveRequests << suggestedName + "." + fileType;
        return savePath.isEmpty() ? std::nullopt : std::optional<QString>(savePath);
    }
};

// The real window over a real controller, with the library and the settings
// in temporary folders and the window's own port handed to it. Offscreen.
class WindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        app.setLibraryPath(folder.filePath(QStringLiteral("library/library.sqlite")));
        window = std::make_unique<MainWindow>(&app);
        port->setWindow(window.get());
    }

    void TearDown() override { window.reset(); }

    // Start-up as the application does it, the window shown at a known place.
    void launch()
    {
        app.applicationDidFinishLaunching();
        window->move(40, 120);
        window->show();
        QCoreApplication::processEvents();
    }

    ScopedUserLocations locations;
    TestFolder folder;
    std::unique_ptr<ScriptedWindowPort> port = std::make_unique<ScriptedWindowPort>();
    // The maker's addresses the controller opened go here when a test sets it.
    UrlOpener urlOpener;
    AppDelegate app{*port, [this](const QUrl &url) {
                        if (urlOpener)
                            urlOpener(url);
                    }};
    std::unique_ptr<MainWindow> window;
};
