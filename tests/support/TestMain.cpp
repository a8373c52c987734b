// SPDX-License-Identifier: GPL-3.0-or-later
#include "TestEnvironment.h"

#include <gtest/gtest.h>

// The main of every test program without windows.
int main(int argc, char** argv)
{
    SetTestEnvironmentDefaults();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
