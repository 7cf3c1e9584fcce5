// SPDX-License-Identifier: GPL-3.0-or-later
#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTextStream(stdout) << "usage: quavertin-cli [--library FILE] [--playlist NAME | --folder DIR | --selection] TOOL [options]\n";
    return 0;
}
