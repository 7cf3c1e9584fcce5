// SPDX-License-Identifier: GPL-3.0-or-later
#include "documents.h"

#include <QFile>
#include <QTextBrowser>

namespace documents {

QString resourcePath(const QString &name)
{
    return QStringLiteral(":/documents/") + name;
}

QUrl url(const QString &name)
{
    QUrl result;
    result.setScheme(QStringLiteral("qrc"));
    result.setPath(QStringLiteral("/documents/") + name);
    return result;
}

void load(QTextBrowser *browser, const QString &name)
{
    if (!QFile::exists(resourcePath(name))) {
        browser->setPlainText(QStringLiteral("The document \"%1\" is missing from this build.").arg(name));
        return;
    }
    browser->setSource(url(name), QTextDocument::HtmlResource);
}

} // namespace documents
