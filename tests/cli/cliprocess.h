// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "userlocations.h"

#include <QProcess>
#include <QString>
#include <QStringList>

// What one run of the built quavertin-cli gave back.
struct CliResult {
    int status = -1;
    QString out;
    QString err;
};

// Runs the built program as a script would: no terminal, no standard input,
// the user's places taken from locations and no library named by the
// environment. A run that does not end within a minute gives status -1.
inline CliResult runCli(const QStringList &args, const ScopedUserLocations &locations)
{
    QProcess process;
    process.setProcessEnvironment(locations.programEnvironment());
    process.start(QStringLiteral(QUAVERTIN_CLI), args);
    process.closeWriteChannel();
    if (!process.waitForFinished(60000))
        return {};
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}
