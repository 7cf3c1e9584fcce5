// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/appdelegate.h"
#include "binding.h"
#include "documents.h"
#include "panes.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace panes {

namespace {

QTextBrowser *documentView(AppDelegate *app, const char *urlProperty)
{
    auto *view = new QTextBrowser;
    view->setObjectName(QString::fromLatin1(urlProperty));
    view->setOpenExternalLinks(true);
    Binding::observe(view, app, urlProperty, [view](const QVariant &name) {
        if (!name.toString().isEmpty())
            documents::load(view, name.toString());
    });
    return view;
}

} // namespace

QWidget *about(AppDelegate *app)
{
    auto *pane = new QWidget;
    pane->setObjectName("aboutView");

    auto *icon = new QLabel;
    icon->setPixmap(QIcon(QStringLiteral(":/icons/quavertin.svg")).pixmap(72, 72));
    auto *name = new QLabel(QStringLiteral("Quavertin"));
    QFont big = name->font();
    big.setPointSizeF(big.pointSizeF() * 1.8);
    big.setBold(true);
    name->setFont(big);
    auto *version = new QLabel;
    version->setObjectName("version");
    Binding::bind(version, "text", app, "version");
    auto *build = new QLabel;
    build->setObjectName("build");
    Binding::bind(build, "text", app, "build");

    auto *texts = new QVBoxLayout;
    texts->addWidget(name);
    texts->addWidget(version);
    texts->addWidget(build);
    texts->addStretch();

    auto *links = new QVBoxLayout;
    const QList<QPair<QString, int>> choices = {{QObject::tr("Send Support Mail…"), 1},
                                                {QObject::tr("Join the Beta Test…"), 2},
                                                {QObject::tr("Product Page"), 3}};
    for (const auto &[label, choice] : choices) {
        auto *button = new QPushButton(label);
        button->setProperty("tag", choice);
        QObject::connect(button, &QPushButton::clicked, app, [app, choice] { app->openURL(choice); });
        links->addWidget(button);
    }
    links->addStretch();

    auto *head = new QHBoxLayout;
    head->addWidget(icon, 0, Qt::AlignTop);
    head->addLayout(texts, 1);
    head->addLayout(links);

    auto *tabs = new QTabWidget;
    tabs->setObjectName("aboutDocuments");
    tabs->addTab(documentView(app, "aboutURL"), QObject::tr("Credits"));
    tabs->addTab(documentView(app, "historyURL"), QObject::tr("History"));
    tabs->addTab(documentView(app, "faqURL"), QObject::tr("FAQ"));
    tabs->addTab(documentView(app, "readmeURL"), QObject::tr("Documentation"));

    auto *layout = new QVBoxLayout(pane);
    layout->addLayout(head);
    layout->addWidget(tabs, 1);
    pane->setMinimumHeight(420);
    return pane;
}

} // namespace panes
