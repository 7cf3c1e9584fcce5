// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/appdelegate.h"
#include "buildinfo.h"
#include "desktopurlopener.h"
#include "guiwindowport.h"
#include "mainwindow.h"
#include "screenshottour.h"
#include "support/systemlog.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QIcon>

int main(int argc, char **argv)
{
    QApplication application(argc, argv);
    sendDiagnosticsToSystemLog("quavertin");
    QCoreApplication::setOrganizationName(QStringLiteral("Quavertin"));
    QCoreApplication::setApplicationName(QStringLiteral("Quavertin"));
    QGuiApplication::setDesktopFileName(QStringLiteral("org.quavertin.Quavertin"));
    QGuiApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/quavertin.svg")));
    QCoreApplication::setApplicationVersion(QString::fromLatin1(buildinfo::shortVersionString));

    QCommandLineParser options;
    options.setApplicationDescription(QStringLiteral("Batch-edits the metadata of music."));
    options.addHelpOption();
    options.addVersionOption();
    const QCommandLineOption library(QStringLiteral("library"),
                                     QStringLiteral("The music library file (default $QUAVERTIN_LIBRARY, else "
                                                    "$XDG_DATA_HOME/Quavertin/library.sqlite)."),
                                     QStringLiteral("FILE"));
    options.addOption(library);
    options.process(application);

    // A documented test hook: QUAVERTIN_SCREENSHOTS=DIR saves a picture of
    // every pane, the review sheet and the library browser, then quits.
    const QString screenshots = qEnvironmentVariable("QUAVERTIN_SCREENSHOTS");
    const std::unique_ptr<GuiWindowPort> port =
        screenshots.isEmpty() ? std::make_unique<GuiWindowPort>() : screenshotTourPort();
    AppDelegate app(*port, desktopUrlOpener(*port));
    if (options.isSet(library))
        app.setLibraryPath(options.value(library));
    MainWindow window(&app);
    port->setWindow(&window);

    window.handleFirstLaunch();
    app.applicationDidFinishLaunching();
    window.show();

    if (!screenshots.isEmpty())
        startScreenshotTour(&window, &app, screenshots, qEnvironmentVariable("QUAVERTIN_SCREENSHOT_FOLDER"));

    return application.exec();
}
