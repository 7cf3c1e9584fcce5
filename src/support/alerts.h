// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "windowport.h"

#include <QString>

// The port that alerts and panels go to. Set by the front end at start-up
// (main thread); tests set a scripted one. Without a port, alerts are logged
// and answered with the default button.
void setWindowPort(WindowPort *port);
WindowPort *windowPort();

// A modal alert: 1 for the default button, 0 for the alternate, -1 for the
// other. Safe from any thread: a worker waits until the person has answered on
// the main thread.
int alertPanel(const QString &title, const QString &message, const QString &defaultButton = QStringLiteral("OK"),
               const QString &alternateButton = {}, const QString &otherButton = {});

// alertPanel with the application's name as its title.
int alertPanelApp(const QString &message, const QString &defaultButton = QStringLiteral("OK"),
                  const QString &alternateButton = {}, const QString &otherButton = {});

// Runs fn on the main thread and waits for it; runs it at once when already there.
void runOnMainAndWait(const std::function<void()> &fn);
