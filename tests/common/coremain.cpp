// SPDX-License-Identifier: GPL-3.0-or-later
#include <QCoreApplication>
#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    // Dispatch to the main loop, settings and the worker all need the application object.
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName("QuavertinTests");
    QCoreApplication::setApplicationName("QuavertinTests");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
