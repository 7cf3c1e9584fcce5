// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QProcessEnvironment>
#include <QString>
#include <QTemporaryDir>

// Points the user's data, state and settings locations into a temporary
// folder for the life of the object, so a test never reads or writes the
// real home. Restores the environment afterwards; settings stay pointed at
// the removed folder, so a later test cannot reach the real settings either.
class ScopedUserLocations {
public:
    ScopedUserLocations();
    ~ScopedUserLocations();
    ScopedUserLocations(const ScopedUserLocations &) = delete;
    ScopedUserLocations &operator=(const ScopedUserLocations &) = delete;

    QString dataHome() const;     // $XDG_DATA_HOME
    QString stateHome() const;    // $XDG_STATE_HOME
    QString settingsHome() const; // where QSettings keeps user files
    // For a program the test starts: these places, and no library named by the environment.
    QProcessEnvironment programEnvironment() const;

private:
    QTemporaryDir dir_;
    QByteArray oldData_, oldState_;
    bool hadData_, hadState_;
};
