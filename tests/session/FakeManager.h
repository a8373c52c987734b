// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "remote/OscPackets.h"

#include <QString>

#include <chrono>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

// A session manager for the tests: a UDP socket on 127.0.0.1 (any free port) that reads and
// writes its messages with liblo, answering whoever spoke to it last.
class FakeManager {
public:
    // A message as liblo reads it: the address, the types and each argument as text or number.
    struct Received {
        std::string path;
        std::string types;
        std::vector<std::string> texts; // per argument; "" for a number
        std::vector<int> numbers;       // per argument; 0 for a text
    };

    FakeManager()
    {
        m_fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(m_fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
        socklen_t size = sizeof address;
        getsockname(m_fd, reinterpret_cast<sockaddr*>(&address), &size);
        m_port = ntohs(address.sin_port);
    }
    ~FakeManager() { close(m_fd); }
    FakeManager(const FakeManager&) = delete;
    FakeManager& operator=(const FakeManager&) = delete;

    int port() const { return m_port; }
    QString url(const char* host = "127.0.0.1") const
    {
        return QStringLiteral("osc.udp://%1:%2/").arg(QLatin1String(host)).arg(m_port);
    }

    // The next message, skipping nothing; nothing when none came within `wait`.
    std::optional<Received> receive(std::chrono::milliseconds wait = std::chrono::seconds(20))
    {
        pollfd ready{m_fd, POLLIN, 0};
        if (poll(&ready, 1, static_cast<int>(wait.count())) <= 0)
            return std::nullopt;
        std::vector<char> packet(64 * 1024);
        socklen_t size = sizeof m_client;
        const ssize_t got = recvfrom(m_fd, packet.data(), packet.size(), 0,
                                     reinterpret_cast<sockaddr*>(&m_client), &size);
        if (got <= 0)
            return std::nullopt;
        int result = 0;
        const std::unique_ptr<std::remove_pointer_t<lo_message>, void (*)(lo_message)> message(
            lo_message_deserialise(packet.data(), static_cast<std::size_t>(got), &result),
            lo_message_free);
        if (!message)
            return std::nullopt;
        Received read{packet.data(), lo_message_get_types(message.get()), {}, {}};
        lo_arg** argv = lo_message_get_argv(message.get());
        for (std::size_t i = 0; i < read.types.size(); ++i) {
            const bool text = read.types[i] == 's';
            read.texts.push_back(text ? std::string(reinterpret_cast<const char*>(argv[i]))
                                      : std::string());
            int number = 0;
            if (read.types[i] == 'i')
                std::memcpy(&number, static_cast<const void*>(argv[i]), sizeof number);
            read.numbers.push_back(number);
        }
        return read;
    }

    // To whoever spoke last.
    void send(const std::vector<char>& packet) const { sendFrom(m_fd, packet); }
    void send(const char* path, const std::vector<OscArg>& args = {}) const
    {
        send(OscPacket(path, args));
    }
    // From another socket: a stranger on the machine, not the manager.
    void sendFrom(int fd, const std::vector<char>& packet) const
    {
        sendto(fd, packet.data(), packet.size(), 0, reinterpret_cast<const sockaddr*>(&m_client),
               sizeof m_client);
    }

private:
    int m_fd = -1;
    int m_port = 0;
    sockaddr_in m_client{};
};

inline OscArg Text(const std::string& text)
{
    return {'s', 0, text};
}
inline OscArg Int(int number)
{
    return {'i', static_cast<double>(number)};
}
