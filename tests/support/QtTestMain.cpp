// SPDX-License-Identifier: GPL-3.0-or-later
#include "TestEnvironment.h"

#include <QApplication>
#include <gtest/gtest.h>

// One QApplication for the whole test binary: window tests run the real windows.
int main(int argc, char** argv)
{
    SetTestEnvironmentDefaults();
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
