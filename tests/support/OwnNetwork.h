// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Whether this test program runs in a network namespace of its own (see OwnNetworkMain.cpp):
// only then may it speak on the network as a program announcing itself by multicast does.
bool OwnNetworkReady();
