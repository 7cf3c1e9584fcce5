// SPDX-License-Identifier: GPL-3.0-or-later
#include "librarycommands.h"

#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    QStringList args = app.arguments().mid(1);
    QString libraryPath;
    if (args.size() >= 2 && args.first() == "--library") {
        libraryPath = args.at(1);
        args = args.mid(2);
    }
    if (!args.isEmpty() && args.first() == "library")
        return int(runLibraryCommand(args.mid(1), libraryPath, out, err));
    out << "usage: quavertin-cli [--library FILE] [--playlist NAME | --folder DIR | --selection] TOOL [options]\n"
           "       quavertin-cli [--library FILE] library COMMAND (see quavertin-cli library --help)\n";
    return 0;
}
