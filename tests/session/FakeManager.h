// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "remote/OscPackets.h"

#include <QCoreApplication>
#include <QString>

#include <chrono>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <arpa/inet.h>
#include <poll.h>
#include <unistd.h>

// A session manager for the tests: a UDP socket on 127.0.0.1 (any free port) that reads and
// writes its messages with liblo, answering whoever spoke to it last.
class FakeManager {
public:
    // A message as liblo reads it; a number argument comes as its decimal text.
    struct Received {
        std::string path;
        std::string types;
        std::vector<std::string> args;
    };

    FakeManager()
    {
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

    QString url(const char* host = "127.0.0.1") const
    {
        return QStringLiteral("osc.udp://%1:%2/").arg(QLatin1String(host)).arg(m_port);
    }

    // The next message within `wait`, nothing when none came.
    std::optional<Received> receive(std::chrono::milliseconds wait = std::chrono::seconds(20))
    {
        pollfd ready{m_fd, POLLIN, 0};
        std::vector<char> packet(64 * 1024);
        socklen_t size = sizeof m_client;
        if (poll(&ready, 1, static_cast<int>(wait.count())) <= 0)
            return std::nullopt;
        const ssize_t got = recvfrom(m_fd, packet.data(), packet.size(), 0,
                                     reinterpret_cast<sockaddr*>(&m_client), &size);
        int result = 0;
        lo_message message =
            got > 0 ? lo_message_deserialise(packet.data(), got, &result) : nullptr;
        if (!message)
            return std::nullopt;
        Received read{packet.data(), lo_message_get_types(message), {}};
        for (std::size_t i = 0; i < read.types.size(); ++i) {
            const char* arg = reinterpret_cast<const char*>(lo_message_get_argv(message)[i]);
            std::int32_t number = 0;
            std::memcpy(&number, arg, sizeof number);
            read.args.push_back(read.types[i] == 's' ? std::string(arg) : std::to_string(number));
        }
        lo_message_free(message);
        return read;
    }

    // While the event loop runs the client, the next thing the manager hears.
    std::optional<Received> answer()
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (std::chrono::steady_clock::now() < deadline) {
            QCoreApplication::processEvents();
            if (auto message = receive(std::chrono::milliseconds(10)))
                return message;
        }
        return std::nullopt;
    }

    // To whoever spoke last; from `from` instead of the manager's socket when given.
    void send(const std::vector<char>& packet, int from = -1) const
    {
        sendto(from >= 0 ? from : m_fd, packet.data(), packet.size(), 0,
               reinterpret_cast<const sockaddr*>(&m_client), sizeof m_client);
    }
    void send(const char* path, const std::vector<OscArg>& args = {}) const
    {
        send(OscPacket(path, args));
    }

private:
    int m_fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    int m_port = 0;
    sockaddr_in m_client{};
};

inline OscArg Text(const std::string& text)
{
    return {'s', 0, text};
}
