// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "windowport.h"

#include <QString>

#include <stdexcept>

// An alert that had no port to go to: a fault of the caller, never a silent "OK".
class NoWindowPort : public std::logic_error {
public:
    explicit NoWindowPort(const QString &title);
};

// A modal alert on the port the caller was given (the controller's, handed
// down to what it starts): 1 for the default button, 0 for the alternate, -1
// for the other. Safe from any thread: a worker waits until the person has
// answered on the main thread. Without a port it throws NoWindowPort.
int alertPanel(WindowPort *port, const QString &title, const QString &message,
               const QString &defaultButton = QStringLiteral("OK"), const QString &alternateButton = {},
               const QString &otherButton = {});

// alertPanel with the application's name as its title.
int alertPanelApp(WindowPort *port, const QString &message, const QString &defaultButton = QStringLiteral("OK"),
                  const QString &alternateButton = {}, const QString &otherButton = {});

// Runs fn on the main thread and waits for it; runs it at once when already there.
void runOnMainAndWait(const std::function<void()> &fn);
