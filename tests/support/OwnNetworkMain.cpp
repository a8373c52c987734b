// SPDX-License-Identifier: GPL-3.0-or-later
// The main of test programs that announce themselves on the network (Ableton Link multicasts on
// every interface it finds): before anything else, while the process has a single thread, it
// moves into a network namespace of its own whose only interface is a loopback, up and taking
// multicast. What it sends then reaches nothing but itself. Where no namespace can be made
// (not root, no namespaces), OwnNetworkReady() says so and the tests that need one skip.

#include "OwnNetwork.h"
#include "TestEnvironment.h"

#include <QApplication>
#include <arpa/inet.h>
#include <cstring>
#include <gtest/gtest.h>
#include <net/if.h>
#include <net/route.h>
#include <netinet/in.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

bool g_ownNetwork = false;

sockaddr_in ipv4(const char* address)
{
    sockaddr_in in{};
    in.sin_family = AF_INET;
    inet_pton(AF_INET, address, &in.sin_addr);
    return in;
}

bool enterOwnNetwork()
{
    if (unshare(CLONE_NEWNET) != 0)
        return false;
    const int control = socket(AF_INET, SOCK_DGRAM, 0);
    if (control < 0)
        return false;
    ifreq loopback{};
    std::strncpy(loopback.ifr_name, "lo", IFNAMSIZ - 1);
    bool up = ioctl(control, SIOCGIFFLAGS, &loopback) == 0;
    loopback.ifr_flags = static_cast<short>(loopback.ifr_flags | IFF_UP | IFF_MULTICAST);
    up = up && ioctl(control, SIOCSIFFLAGS, &loopback) == 0;
    // Multicast groups are routed to the loopback: there is no other way out.
    rtentry route{};
    const sockaddr_in group = ipv4("224.0.0.0");
    const sockaddr_in mask = ipv4("240.0.0.0");
    std::memcpy(&route.rt_dst, &group, sizeof group);
    std::memcpy(&route.rt_genmask, &mask, sizeof mask);
    char device[] = "lo";
    route.rt_dev = device;
    route.rt_flags = RTF_UP;
    up = up && ioctl(control, SIOCADDRT, &route) == 0;
    close(control);
    return up;
}

} // namespace

bool OwnNetworkReady()
{
    return g_ownNetwork;
}

int main(int argc, char** argv)
{
    g_ownNetwork = enterOwnNetwork();
    SetTestEnvironmentDefaults();
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
