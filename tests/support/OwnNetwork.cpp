// SPDX-License-Identifier: GPL-3.0-or-later
#include "OwnNetwork.h"

#include <arpa/inet.h>
#include <cstring>
#include <net/if.h>
#include <net/route.h>
#include <netinet/in.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

sockaddr_in ipv4(const char* address)
{
    sockaddr_in in{};
    in.sin_family = AF_INET;
    inet_pton(AF_INET, address, &in.sin_addr);
    return in;
}

} // namespace

bool EnterOwnNetwork()
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
