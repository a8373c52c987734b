// SPDX-License-Identifier: GPL-3.0-or-later
// The main of test programs that announce themselves on the network (Ableton Link multicasts on
// every interface it finds): before anything else, while the process has a single thread, it
// moves into a network namespace of its own (see EnterOwnNetwork). Where none can be made (not
// root, no namespaces), OwnNetworkReady() says so and the tests that need one skip.

#include "OwnNetwork.h"
#include "TestEnvironment.h"

#include <QApplication>
#include <gtest/gtest.h>

namespace {
bool g_ownNetwork = false;
} // namespace

bool OwnNetworkReady()
{
    return g_ownNetwork;
}

int main(int argc, char** argv)
{
    g_ownNetwork = EnterOwnNetwork();
    SetTestEnvironmentDefaults();
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
