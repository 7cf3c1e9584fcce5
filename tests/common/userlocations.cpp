// SPDX-License-Identifier: GPL-3.0-or-later
#include "userlocations.h"

#include <QDir>
#include <QSettings>
#include <stdexcept>

ScopedUserLocations::ScopedUserLocations()
    : oldData_(qgetenv("XDG_DATA_HOME")), oldState_(qgetenv("XDG_STATE_HOME")),
      hadData_(qEnvironmentVariableIsSet("XDG_DATA_HOME")), hadState_(qEnvironmentVariableIsSet("XDG_STATE_HOME"))
{
    if (!dir_.isValid())
        throw std::runtime_error("cannot create a temporary folder");
    QDir(dir_.path()).mkpath("data");
    QDir(dir_.path()).mkpath("state");
    QDir(dir_.path()).mkpath("config");
    qputenv("XDG_DATA_HOME", dataHome().toLocal8Bit());
    qputenv("XDG_STATE_HOME", stateHome().toLocal8Bit());
    // QSettings reads XDG_CONFIG_HOME once per process, so its path is set directly.
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsHome());
}

ScopedUserLocations::~ScopedUserLocations()
{
    if (hadData_)
        qputenv("XDG_DATA_HOME", oldData_);
    else
        qunsetenv("XDG_DATA_HOME");
    if (hadState_)
        qputenv("XDG_STATE_HOME", oldState_);
    else
        qunsetenv("XDG_STATE_HOME");
}

QString ScopedUserLocations::dataHome() const
{
    return dir_.path() + "/data";
}

QString ScopedUserLocations::stateHome() const
{
    return dir_.path() + "/state";
}

QString ScopedUserLocations::settingsHome() const
{
    return dir_.path() + "/config";
}

QProcessEnvironment ScopedUserLocations::programEnvironment() const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_DATA_HOME"), dataHome());
    env.insert(QStringLiteral("XDG_STATE_HOME"), stateHome());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), settingsHome());
    env.remove(QStringLiteral("QUAVERTIN_LIBRARY"));
    return env;
}
