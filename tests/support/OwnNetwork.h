// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Moves the calling process, while it has a single thread, into a network namespace of its own
// whose only interface is a loopback, up and taking multicast (groups routed to it): what a
// program announcing itself by multicast (Ableton Link) sends there reaches nothing but the
// process itself. False when no namespace could be made (not root, no namespaces) or its
// loopback not set up; then nothing that announces itself may start.
bool EnterOwnNetwork();

// Whether this test program runs in a network namespace of its own (see OwnNetworkMain.cpp).
bool OwnNetworkReady();
