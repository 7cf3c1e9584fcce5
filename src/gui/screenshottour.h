// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <memory>

class AppDelegate;
class GuiWindowPort;
class MainWindow;

// Saves pictures of the running window into dir for the documentation and
// for checking the layout by eye: pane-0.png … pane-6.png, help.png, review.png (the
// review sheet over the real tracks of musicFolder, upper-casing their
// titles; skipped without a folder), tag-panel.png (three of its tracks in the
// tag panel), cover.png (the picture view over the folder's first tracks),
// main-window.png, library.png; then quits. Driven by the
// event loop so that every picture shows a settled window. The controller is
// made with screenshotTourPort().
std::unique_ptr<GuiWindowPort> screenshotTourPort();
void startScreenshotTour(MainWindow *window, AppDelegate *app, const QString &dir, const QString &musicFolder);
