// SPDX-License-Identifier: GPL-3.0-or-later
#include "systemlog.h"

#include <QString>
#include <QtGlobal>

#include <syslog.h>

namespace {

void toSystemLog(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    int priority = LOG_WARNING;
    switch (type) {
    case QtDebugMsg:
        priority = LOG_DEBUG;
        break;
    case QtInfoMsg:
        priority = LOG_INFO;
        break;
    case QtWarningMsg:
        priority = LOG_WARNING;
        break;
    case QtCriticalMsg:
        priority = LOG_ERR;
        break;
    case QtFatalMsg:
        priority = LOG_CRIT;
        break;
    }
    syslog(priority, "%s", message.toLocal8Bit().constData());
}

} // namespace

void sendDiagnosticsToSystemLog(const char *programName)
{
    if (qEnvironmentVariableIntValue("QT_FORCE_STDERR_LOGGING") != 0)
        return;
    openlog(programName, LOG_PID, LOG_USER);
    qInstallMessageHandler(&toSystemLog);
}
