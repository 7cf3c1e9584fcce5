// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Sends the process's diagnostic messages (Qt's qDebug .. qCritical: the
// apply engine's caught errors and their "failure ..." lines, a binding that
// does not resolve) to the system log (syslog, read with journalctl) under
// the program's name, instead of standard error: standard error carries only
// what is said to the person. QT_FORCE_STDERR_LOGGING=1 keeps them on
// standard error, for a developer. Call once, early in main.
void sendDiagnosticsToSystemLog(const char *programName);
