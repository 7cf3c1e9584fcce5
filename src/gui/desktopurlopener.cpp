// SPDX-License-Identifier: GPL-3.0-or-later
#include "desktopurlopener.h"

#include "support/alerts.h"
#include "support/dispatch.h"

#include <QClipboard>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QThread>

UrlOpener desktopUrlOpener(WindowPort &port, std::function<bool(const QUrl &)> open)
{
    if (!open)
        open = [](const QUrl &url) { return QDesktopServices::openUrl(url); };
    return [&port, open](const QUrl &url) {
        const auto attempt = [&port, open, url] {
            if (open(url))
                return;
            const bool mail = url.scheme() == QLatin1String("mailto");
            // A mail address is pasted into a mail program without its subject and body.
            const QString address = mail ? url.path() : url.toString();
            QGuiApplication::clipboard()->setText(address);
            alertPanel(&port, mail ? QStringLiteral("No Mail Program") : QStringLiteral("No Web Browser"),
                       QStringLiteral("No program on this computer opens '%1'. The address has been copied to the "
                                      "clipboard, so you can paste it where you want to use it.")
                           .arg(address));
        };
        // The alert belongs to the main thread.
        if (QThread::currentThread() == qApp->thread())
            attempt();
        else
            dispatchAsyncMain(attempt);
    };
}
