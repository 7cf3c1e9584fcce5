// SPDX-License-Identifier: GPL-3.0-or-later
#include "binding.h"
#include "panebuilder.h"
#include "panes.h"
#include "popupbutton.h"
#include "files/ratingconventions.h"
#include "tools/textencodings.h"
#include "files/embeddedpictures.h"
#include "operations/choices.h"
#include "support/windowport.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QSpinBox>

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

// Tags from File Name, Number Tracks, and Organize Files into Folders.
void namesNumbersFolders(PaneBuilder &b, QBoxLayout *left, QBoxLayout *right)
{
    AppDelegate *app = b.app();
    b.beginGroup(QObject::tr("Tags from File Name"), left);
    b.field(QObject::tr("Pattern:"), "fromFilenameString", QStringLiteral("#a/#l/#n - #t"));
    b.check(QObject::tr("Regular expression with named groups"), "fromFilenameRegular");
    b.check(QObject::tr("Read \"_\" as a space"), "fromFilenameUnderscores");
    b.check(QObject::tr("Trim spaces"), "fromFilenameTrim");
    b.check(QObject::tr("Only fill empty tags"), "fromFilenameKeepExisting");
    auto *fromFilename = b.button(QObject::tr("Take Tags"), &AppDelegate::performTagsFromFilename);
    fromFilename->setObjectName("performTagsFromFilename");
    b.form()->addRow(buttonRow({fromFilename}));
    b.endGroup();

    b.beginGroup(QObject::tr("Number Tracks (in the order shown)"), left);
    auto *start = new QSpinBox;
    start->setObjectName("numberStart");
    start->setRange(1, 9999);
    Binding::bind(start, "value", app, "numberStart");
    b.form()->addRow(QObject::tr("Start at:"), start);
    b.popUp(QObject::tr("Start again:"), "numberRestart",
            {QObject::tr("per album"), QObject::tr("per folder"), QObject::tr("never")});
    b.field(QObject::tr("Order by:"), "numberOrder", QObject::tr("album, discNumber, name (empty: as shown)"));
    b.check(QObject::tr("Set track totals"), "numberTotals");
    b.check(QObject::tr("Set disc numbers (a folder per disc)"), "numberDiscs");
    auto *number = b.button(QObject::tr("Number"), &AppDelegate::performNumberTracks);
    number->setObjectName("performNumberTracks");
    b.form()->addRow(buttonRow({number}));
    b.endGroup();

    b.beginGroup(QObject::tr("Ratings && Play Counts (library tracks)"), right);
    QStringList profiles{QObject::tr("any player (FMPS first)")};
    for (const QString &profile : ratingconventions::profileNames())
        profiles << ratingconventions::profileTitle(profile);
    b.popUp(QObject::tr("Profile:"), "ratingsProfile", profiles);
    auto *ratings = b.button(QObject::tr("Take from Files"), &AppDelegate::performImportRatings);
    ratings->setObjectName("performImportRatings");
    b.check(QObject::tr("Write unrated tracks too"), "ratingsUnrated");
    auto *write = b.button(QObject::tr("Write to Files"), &AppDelegate::performExportRatings);
    write->setObjectName("performExportRatings");
    b.form()->addRow(buttonRow({ratings, write}));
    b.endGroup();

    b.beginGroup(QObject::tr("Organize Files into Folders"), right);
    b.field(QObject::tr("Into:"), "organizeFolder", QObject::tr("a folder"));
    auto *choose = new QPushButton(QObject::tr("Choose…"));
    choose->setObjectName("chooseOrganizeFolder");
    QObject::connect(choose, &QPushButton::clicked, app, [app] {
        if (const std::optional<QString> chosen =
                app->port()->chooseFolder(QObject::tr("Choose the folder to organize the files into")))
            app->setOrganizeFolder(*chosen);
    });
    b.form()->addRow(buttonRow({choose}));
    b.field(QObject::tr("Pattern:"), "organizePattern", QStringLiteral("#a/#l/#n - #t"));
    b.check(QObject::tr("Take covers and other files along"), "organizeTakeAlong");
    b.check(QObject::tr("Remove folders left empty"), "organizeRemoveEmpty");
    auto *organize = b.button(QObject::tr("Organize"), &AppDelegate::performOrganize);
    organize->setObjectName("performOrganize");
    b.form()->addRow(buttonRow({organize}));
    b.endGroup();
}

// Cover Art: pictures embedded in the chosen tracks' files.
void coverArt(PaneBuilder &b, QBoxLayout *column)
{
    AppDelegate *app = b.app();
    b.beginGroup(QObject::tr("Cover Art"), column);
    b.field(QObject::tr("Image:"), "coverImage", QObject::tr("a JPEG or PNG file"));
    QStringList types;
    for (int t = 0; t <= 20; ++t)
        types << embeddedpictures::typeName(t);
    b.popUp(QObject::tr("As:"), "coverType", types);
    b.check(QObject::tr("Add beside pictures of the type"), "coverAddBeside");
    b.check(QObject::tr("Skip tracks with a front cover"), "coverSkipWithFront");
    auto *maxSize = new QSpinBox;
    maxSize->setObjectName("coverMaxSize");
    maxSize->setRange(0, 65535);
    maxSize->setSpecialValueText(QObject::tr("as it is"));
    maxSize->setSuffix(QObject::tr(" px"));
    Binding::bind(maxSize, "value", app, "coverMaxSize");
    b.form()->addRow(QObject::tr("Scale down to:"), maxSize);
    auto *add = b.button(QObject::tr("Add Image"), &AppDelegate::performAddCover);
    add->setObjectName("performAddCover");
    auto *fromFolder = b.button(QObject::tr("From Folder"), &AppDelegate::performCoverFromFolder);
    fromFolder->setObjectName("performCoverFromFolder");
    b.form()->addRow(buttonRow({add, fromFolder}));

    auto *removeType = new QComboBox;
    removeType->setObjectName("coverRemoveType");
    removeType->addItem(QObject::tr("every picture"));
    removeType->addItems(types);
    // The option counts types from 0 and every picture as -1; the list has it first.
    Binding::bind(
        removeType, "currentIndex", app, "coverRemoveType", [](const QVariant &v) { return QVariant(v.toInt() + 1); },
        [](const QVariant &v) { return QVariant(v.toInt() - 1); });
    b.form()->addRow(QObject::tr("Remove:"), removeType);
    auto *remove = b.button(QObject::tr("Remove"), &AppDelegate::performRemoveCovers);
    remove->setObjectName("performRemoveCovers");
    b.form()->addRow(buttonRow({remove}));

    b.field(QObject::tr("Extract into:"), "coverExtractFolder", QObject::tr("a folder"));
    b.field(QObject::tr("Names:"), "coverExtractPattern", QStringLiteral("#a - #l"));
    auto *extract = b.button(QObject::tr("Extract"), &AppDelegate::performExtractCovers);
    extract->setObjectName("performExtractCovers");
    b.form()->addRow(buttonRow({extract}));
    b.endGroup();
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
    // The tool takes the library's selection, not the track table's rows: how many, and which.
    auto *selection = new QLabel;
    selection->setObjectName("numericSelection");
    selection->setTextFormat(Qt::PlainText);
    b.form()->addRow(QObject::tr("Tracks:"), selection);
    auto *show = new QPushButton(QObject::tr("Show in Library"));
    show->setObjectName("showNumericSelection");
    show->setToolTip(QObject::tr("Shows the library's selection in the library browser"));
    show->setProperty("showsLibrarySelection", true);
    auto *numeric = b.button(QObject::tr("Change Numbers"), &AppDelegate::performNumeric);
    numeric->setObjectName("performNumeric");
    b.form()->addRow(buttonRow({show, numeric}));
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

    namesNumbersFolders(b, left, right);
    coverArt(b, right);

    left->addStretch();
    right->addStretch();
    b.finish({});
    return b.pane();
}

} // namespace panes
