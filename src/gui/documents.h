// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QUrl>

class QTextBrowser;

// The help and about documents shipped inside the application, found by the
// base names the controller uses ("help_4.html", "Read Me.html").
namespace documents {

// The resource path of a document, whether or not it exists.
QString resourcePath(const QString &name);
QUrl url(const QString &name);

// Shows the document in the browser; the browser shows a short notice when
// the application was built without it.
void load(QTextBrowser *browser, const QString &name);

} // namespace documents
