// SPDX-License-Identifier: GPL-3.0-or-later
#include "binding.h"
#include "panebuilder.h"
#include "panes.h"
#include "popupbutton.h"
#include "tools/textencodings.h"
#include "operations/choices.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLocale>

namespace panes {

namespace {

// The number field holds a number or nothing, never text.
QVariant numberFromText(const QVariant &text)
{
    const QString s = text.toString().trimmed();
    bool ok = false;
    double value = QLocale().toDouble(s, &ok);
    if (!ok)
        value = s.toDouble(&ok);
    return ok ? QVariant(value) : QVariant();
}

QVariant textFromNumber(const QVariant &number)
{
    return number.isValid() ? QVariant(QLocale().toString(number.toDouble(), 'g', 15)) : QVariant(QString());
}

QWidget *buttonRow(const QList<QPushButton *> &buttons)
{
    auto *row = new QWidget;
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addStretch();
    for (QPushButton *button : buttons)
        layout->addWidget(button);
    return row;
}

} // namespace

QWidget *misc(AppDelegate *app)
{
    PaneBuilder b(app, QStringLiteral("miscView"));
    b.addSourceChooser();
    auto *grid = new QGridLayout;
    auto *left = new QVBoxLayout;
    auto *right = new QVBoxLayout;
    grid->addLayout(left, 0, 0);
    grid->addLayout(right, 0, 1);
    static_cast<QBoxLayout *>(b.pane()->layout())->addLayout(grid);

    b.beginGroup(QObject::tr("Numeric Tag Changer (library selection)"), left);
    b.popUp(QObject::tr("Tag:"), "selectedNumericTag", "readableIntegerTags");
    b.popUp(QObject::tr("Change:"), "selectedNumeric", {QObject::tr("set to"), QObject::tr("add"), QObject::tr("subtract")});
    auto *number = new QLineEdit;
    number->setObjectName("numericString");
    number->setPlaceholderText(QObject::tr("a number"));
    Binding::bind(number, "text", app, "numericString", textFromNumber, numberFromText);
    b.form()->addRow(QObject::tr("Number:"), number);
    auto *numeric = b.button(QObject::tr("Change Numbers"), &AppDelegate::performNumeric);
    numeric->setObjectName("performNumeric");
    b.form()->addRow(buttonRow({numeric}));
    b.endGroup();

    b.beginGroup(QObject::tr("Encoding Conversion"), left);
    b.popUp(QObject::tr("Tag:"), "selectedTag", "allReadableTags");
    const QStringList encodings = textencodings::displayNames();
    b.popUp(QObject::tr("From:"), "selectedEncodingFrom", encodings);
    b.popUp(QObject::tr("To:"), "selectedEncodingTo", encodings);
    auto *encoding = b.button(QObject::tr("Convert"), &AppDelegate::performEncoding);
    encoding->setObjectName("performEncoding");
    b.form()->addRow(buttonRow({encoding}));
    b.endGroup();

    b.beginGroup(QObject::tr("Playlist Export"), right);
    auto *text = new QPushButton(QObject::tr("Export Text…"));
    text->setObjectName("exportText");
    QObject::connect(text, &QPushButton::clicked, app, [app] { app->performExport(int(choices::ExportFormat::Text)); });
    auto *xml = new QPushButton(QObject::tr("Export XML…"));
    xml->setObjectName("exportXml");
    QObject::connect(xml, &QPushButton::clicked, app, [app] { app->performExport(int(choices::ExportFormat::Xml)); });
    b.form()->addRow(buttonRow({text, xml}));
    auto *m3u8 = new QPushButton(QObject::tr("Export M3U8…"));
    m3u8->setObjectName("exportM3u8");
    QObject::connect(m3u8, &QPushButton::clicked, app, [app] { app->performExport(int(choices::ExportFormat::M3u8)); });
    auto *xspf = new QPushButton(QObject::tr("Export XSPF…"));
    xspf->setObjectName("exportXspf");
    QObject::connect(xspf, &QPushButton::clicked, app, [app] { app->performExport(int(choices::ExportFormat::Xspf)); });
    b.form()->addRow(buttonRow({m3u8, xspf}));
    b.endGroup();

    b.beginGroup(QObject::tr("Dead Tracks (selected playlist)"), right);
    auto *dead = b.button(QObject::tr("Remove Dead Tracks"), &AppDelegate::performDead);
    dead->setObjectName("performDead");
    auto *fix = b.button(QObject::tr("Relink…"), &AppDelegate::performFix);
    fix->setObjectName("performFix");
    b.form()->addRow(buttonRow({dead, fix}));
    b.endGroup();

    b.beginGroup(QObject::tr("Size Calculator"), right);
    b.popUp(QObject::tr("Convert to:"), "selectedBitrate", {QStringLiteral("128 kbps"), QStringLiteral("192 kbps"), QStringLiteral("256 kbps")});
    auto *calculate = b.button(QObject::tr("Calculate"), &AppDelegate::performCalculate);
    calculate->setObjectName("performCalculate");
    b.form()->addRow(buttonRow({calculate}));
    b.endGroup();

    left->addStretch();
    right->addStretch();
    b.finish({});
    return b.pane();
}

} // namespace panes
