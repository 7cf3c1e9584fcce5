// SPDX-License-Identifier: GPL-3.0-or-later
#include <QApplication>
#include <QMainWindow>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName("Quavertin");
    QCoreApplication::setApplicationName("Quavertin");
    QMainWindow window;
    window.setWindowTitle("Quavertin");
    window.resize(640, 420);
    window.show();
    return app.exec();
}
