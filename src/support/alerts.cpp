// SPDX-License-Identifier: GPL-3.0-or-later
#include "alerts.h"

#include "buildinfo.h"

#include <QCoreApplication>
#include <QDebug>
#include <QThread>

#include <atomic>

namespace {
std::atomic<WindowPort *> currentPort{nullptr};

bool onMainThread()
{
    auto *app = QCoreApplication::instance();
    return !app || QThread::currentThread() == app->thread();
}
} // namespace

void setWindowPort(WindowPort *port)
{
    currentPort.store(port);
}

WindowPort *windowPort()
{
    return currentPort.load();
}

void runOnMainAndWait(const std::function<void()> &fn)
{
    if (onMainThread()) {
        fn();
        return;
    }
    QMetaObject::invokeMethod(QCoreApplication::instance(), fn, Qt::BlockingQueuedConnection);
}

int alertPanel(const QString &title, const QString &message, const QString &defaultButton,
               const QString &alternateButton, const QString &otherButton)
{
    int answer = 1;
    runOnMainAndWait([&] {
        if (WindowPort *port = windowPort()) {
            answer = port->alert(title, message, defaultButton, alternateButton, otherButton);
        } else {
            qWarning().noquote() << title + QStringLiteral(": ") + message;
        }
    });
    return answer;
}

int alertPanelApp(const QString &message, const QString &defaultButton, const QString &alternateButton,
                  const QString &otherButton)
{
    return alertPanel(QString::fromUtf8(buildinfo::bundleName), message, defaultButton, alternateButton,
                      otherButton);
}
