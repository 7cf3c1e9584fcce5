// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class AppDelegate;
class QWidget;

// The panes of the tab view, by toolbar position. Each one holds the option
// controls of its tools bound to the controller, and their run buttons.
namespace panes {

QWidget *searchReplace(AppDelegate *app);   // 0
QWidget *capitalization(AppDelegate *app);  // 1
QWidget *playlistManager(AppDelegate *app); // 2
QWidget *dataMover(AppDelegate *app);       // 3
QWidget *filename(AppDelegate *app);        // 4
QWidget *misc(AppDelegate *app);            // 5
QWidget *about(AppDelegate *app);           // 6 and 7

} // namespace panes
