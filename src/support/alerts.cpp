// SPDX-License-Identifier: GPL-3.0-or-later
#include "alerts.h"

#include "buildinfo.h"

#include <QCoreApplication>
#include <QThread>

namespace {
bool onMainThread()
{
    auto *app = QCoreApplication::instance();
    return !app || QThread::currentThread() == app->thread();
}
} // namespace

NoWindowPort::NoWindowPort(const QString &title)
    : std::logic_error("An alert was raised with no window port to show it: " + title.toStdString())
{
}

void runOnMainAndWait(const std::function<void()> &fn)
{
    if (onMainThread()) {
        fn();
        return;
    }
    QMetaObject::invokeMethod(QCoreApplication::instance(), fn, Qt::BlockingQueuedConnection);
}

int alertPanel(WindowPort *port, const QString &title, const QString &message, const QString &defaultButton,
               const QString &alternateButton, const QString &otherButton)
{
    if (!port)
        throw NoWindowPort(title);
    int answer = 1;
    runOnMainAndWait([&] { answer = port->alert(title, message, defaultButton, alternateButton, otherButton); });
    return answer;
}

int alertPanelApp(WindowPort *port, const QString &message, const QString &defaultButton,
                  const QString &alternateButton, const QString &otherButton)
{
    return alertPanel(port, QString::fromUtf8(buildinfo::bundleName), message, defaultButton, alternateButton,
                      otherButton);
}
