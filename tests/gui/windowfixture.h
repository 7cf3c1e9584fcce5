// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/appdelegate.h"
#include "fakewindowport.h"
#include "library/musiclibrary.h"
#include "guiwindowport.h"
#include "app/lastrun.h"
#include "mainwindow.h"
#include "sourcetracksmodel.h"
#include "tracktablepanel.h"
#include "testfiles.h"
#include "userlocations.h"

#include <QCoreApplication>
#include <QItemSelectionModel>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QElapsedTimer>
#include <QTest>
#include <deque>
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

// Waits until the track table has read the source's rows, as many as given.
inline bool tableLoaded(const TrackTablePanel *panel, int rows)
{
    return waitUntil(
        [&] { return !panel->loadPending() && !panel->model()->isLoading() && panel->model()->rowCount() == rows; },
        15000);
}

// Selects the table's rows shown at these positions.
inline void selectShownRows(const TrackTablePanel *panel, const QList<int> &rows)
{
    QItemSelectionModel *selection = panel->table()->selectionModel();
    selection->clearSelection();
    for (const int row : rows)
        selection->select(panel->proxy()->index(row, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

// The window's own port with the person faked: alerts are recorded and
// answered from answers (1 default, 0 alternate, -1 other), else with the
// default button, folder panels are cancelled and save
// panels answered from savePath, instead of waiting for a click; the sheets
// are the window's.
class ScriptedWindowPort : public GuiWindowPort {
public:
    using GuiWindowPort::GuiWindowPort;
    QStringList alertTitles;
    QStringList alertMessages;
    QString savePath; // the save panel's answer; cancelled when empty
    QStringList saveRequests;
    std::deque<int> answers;
    int alert(const QString &title, const QString &message, const QString &, const QString &,
              const QString &) override
    {
        alertTitles << title;
        alertMessages << message;
        if (answers.empty())
            return 1;
        const int answer = answers.front();
        answers.pop_front();
        return answer;
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

    // Makes a library playlist of the tracks and chooses it as the source.
    void choosePlaylist(const QString &name, const QList<qint64> &trackIds)
    {
        auto library = app.library();
        library->addToPlaylist(library->createPlaylist(name), trackIds);
        app.refreshPlaylists();
        app.setSelectedMethod(0);
        app.setSelectedPlaylist(int(app.playlists().indexOf(name)));
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
