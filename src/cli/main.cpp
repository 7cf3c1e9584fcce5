// SPDX-License-Identifier: GPL-3.0-or-later
#include "clirunner.h"
#include "support/systemlog.h"

#include <QCoreApplication>
#include <QTextStream>

#include <cstdio>
#include <unistd.h>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    sendDiagnosticsToSystemLog("quavertin-cli");
    QCoreApplication::setOrganizationName(QStringLiteral("Quavertin"));
    QCoreApplication::setApplicationName(QStringLiteral("Quavertin"));
    QTextStream out(stdout);
    QTextStream err(stderr);
    const bool interactive = isatty(STDIN_FILENO) && isatty(STDERR_FILENO);
    const ExitCode status =
        cli::runMain(app.arguments().mid(1), out, err, stdin, interactive, isatty(STDERR_FILENO));
    out.flush();
    err.flush();
    return int(status);
}
