// SPDX-License-Identifier: GPL-3.0-or-later
#include "NsmClient.h"

#include <QSocketNotifier>
#include <QUrl>

#include <lo/lo.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <type_traits>

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr std::size_t kMaxPacket = 64 * 1024;
constexpr char kAnnounce[] = "/nsm/server/announce";
constexpr char kOpen[] = "/nsm/client/open";
constexpr char kSave[] = "/nsm/client/save";
constexpr std::int32_t kApiMajor = 1;
constexpr std::int32_t kApiMinor = 2;

using MessagePtr = std::unique_ptr<std::remove_pointer_t<lo_message>, void (*)(lo_message)>;

std::string utf8(const QString& text)
{
    return text.toStdString();
}

QString text(const std::string& bytes)
{
    return QString::fromStdString(bytes);
}

bool isLoopback(const sockaddr* address)
{
    if (address->sa_family == AF_INET) {
        const auto* v4 = reinterpret_cast<const sockaddr_in*>(address);
        return (ntohl(v4->sin_addr.s_addr) >> 24) == IN_LOOPBACKNET;
    }
    return address->sa_family == AF_INET6 &&
           IN6_IS_ADDR_LOOPBACK(&reinterpret_cast<const sockaddr_in6*>(address)->sin6_addr);
}

int portOf(const sockaddr* address)
{
    if (address->sa_family == AF_INET)
        return ntohs(reinterpret_cast<const sockaddr_in*>(address)->sin_port);
    if (address->sa_family == AF_INET6)
        return ntohs(reinterpret_cast<const sockaddr_in6*>(address)->sin6_port);
    return -1;
}

} // namespace

std::optional<NsmClient::Address> NsmClient::ParseUrl(const QString& url, QString* problem)
{
    const QUrl parsed(url.trimmed(), QUrl::StrictMode);
    const int port = parsed.port();
    if (!parsed.isValid() || parsed.scheme() != QStringLiteral("osc.udp") ||
        parsed.host().isEmpty() || port < 1 || port > 65535) {
        if (problem)
            *problem = QStringLiteral("NSM_URL \"%1\" is no osc.udp://host:port/ address").arg(url);
        return std::nullopt;
    }
    return Address{parsed.host(), port};
}

NsmClient::NsmClient(const QString& url, QObject* parent) : QObject(parent)
{
    if (const std::optional<Address> address = ParseUrl(url, &m_problem))
        connectTo(*address);
}

NsmClient::~NsmClient()
{
    m_notifier.reset();
    if (m_socket >= 0)
        close(m_socket);
}

bool NsmClient::connectTo(const Address& address)
{
    const auto fail = [&](const char* why) {
        m_problem = QStringLiteral("the session manager at %1 port %2 cannot be reached: %3")
                        .arg(address.host)
                        .arg(address.port)
                        .arg(QString::fromLocal8Bit(why));
        if (m_socket >= 0)
            close(m_socket);
        m_socket = -1;
        return false;
    };
    // "localhost" may resolve to ::1 first while the manager listens on IPv4 only; a manager on
    // this machine is reached on 127.0.0.1 as it says in its own address.
    const std::string host =
        address.host.compare(QStringLiteral("localhost"), Qt::CaseInsensitive) == 0
            ? std::string("127.0.0.1")
            : utf8(address.host);
    const std::string port = std::to_string(address.port);
    addrinfo* found = nullptr;
    // IPv4 first, as the manager's own address is most often one; then whatever the name has.
    for (const int family : {AF_INET, AF_UNSPEC}) {
        addrinfo hints{};
        hints.ai_family = family;
        hints.ai_socktype = SOCK_DGRAM;
        hints.ai_flags = AI_NUMERICSERV;
        if (getaddrinfo(host.c_str(), port.c_str(), &hints, &found) == 0 && found)
            break;
        found = nullptr;
    }
    if (!found)
        return fail("no such address");
    const std::unique_ptr<addrinfo, void (*)(addrinfo*)> own(found, freeaddrinfo);
    m_socket = socket(found->ai_family, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (m_socket < 0)
        return fail(std::strerror(errno));
    // A manager on this machine is talked to over the loopback interface only. The socket is
    // not connected to it: a manager named by the machine's own name (127.0.1.1) answers from
    // 127.0.0.1, which a connected socket would not hear.
    m_managerIsLocal = isLoopback(found->ai_addr);
    if (m_managerIsLocal) {
        sockaddr_storage local{};
        socklen_t localSize = 0;
        if (found->ai_family == AF_INET) {
            auto* v4 = reinterpret_cast<sockaddr_in*>(&local);
            v4->sin_family = AF_INET;
            v4->sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            localSize = sizeof *v4;
        } else {
            auto* v6 = reinterpret_cast<sockaddr_in6*>(&local);
            v6->sin6_family = AF_INET6;
            v6->sin6_addr = in6addr_loopback;
            localSize = sizeof *v6;
        }
        if (bind(m_socket, reinterpret_cast<const sockaddr*>(&local), localSize) != 0)
            return fail(std::strerror(errno));
    }
    m_manager.assign(reinterpret_cast<const char*>(found->ai_addr), found->ai_addrlen);
    m_problem.clear();
    return true;
}

bool NsmClient::fromManager(const void* address, std::size_t size) const
{
    const auto* from = static_cast<const sockaddr*>(address);
    const auto* manager = reinterpret_cast<const sockaddr*>(m_manager.data());
    if (portOf(from) != portOf(manager))
        return false;
    // On this machine the manager may answer from another of the loopback addresses.
    if (m_managerIsLocal)
        return isLoopback(from);
    return size == m_manager.size() && std::memcmp(address, m_manager.data(), size) == 0;
}

bool NsmClient::send(const char* path, const std::vector<Arg>& args)
{
    if (m_socket < 0)
        return false;
    const MessagePtr message(lo_message_new(), lo_message_free);
    if (!message)
        return false;
    for (const Arg& arg : args) {
        if (const auto* number = std::get_if<std::int32_t>(&arg))
            lo_message_add_int32(message.get(), *number);
        else
            lo_message_add_string(message.get(), std::get<std::string>(arg).c_str());
    }
    std::size_t size = 0;
    void* bytes = lo_message_serialise(message.get(), path, nullptr, &size);
    if (!bytes)
        return false;
    // A manager that went away is no error of the pads: it restarts Quendel when it comes back.
    const bool sent =
        sendto(m_socket, bytes, size, MSG_NOSIGNAL,
               reinterpret_cast<const sockaddr*>(m_manager.data()),
               static_cast<socklen_t>(m_manager.size())) == static_cast<ssize_t>(size);
    std::free(bytes);
    return sent;
}

std::optional<NsmClient::Message> NsmClient::Read(const void* data, std::size_t size)
{
    // An address and a type string, four bytes each at least; bundles ("#bundle") are not taken.
    if (!data || size < 4 || size > kMaxPacket || size % 4 != 0 ||
        static_cast<const char*>(data)[0] != '/')
        return std::nullopt;
    // liblo's reader wants writable bytes.
    std::vector<char> copy(static_cast<const char*>(data), static_cast<const char*>(data) + size);
    int result = 0;
    const MessagePtr message(lo_message_deserialise(copy.data(), copy.size(), &result),
                             lo_message_free);
    if (!message || result != 0)
        return std::nullopt;
    Message read{copy.data(), {}}; // the address ends at its first zero byte, which is there
    const char* types = lo_message_get_types(message.get());
    lo_arg** argv = lo_message_get_argv(message.get());
    const int argc = lo_message_get_argc(message.get());
    if (argc > 0 && (!types || !argv || std::strlen(types) != static_cast<std::size_t>(argc)))
        return std::nullopt;
    for (int i = 0; i < argc; ++i) {
        if (types[i] == LO_INT32) {
            std::int32_t number = 0; // liblo's arguments lie on 4-byte boundaries only
            std::memcpy(&number, static_cast<const void*>(argv[i]), sizeof number);
            read.args.emplace_back(number);
        } else if (types[i] == LO_STRING) {
            // A text argument is its characters, where the argument lies.
            read.args.emplace_back(std::string(reinterpret_cast<const char*>(argv[i])));
        } else {
            return std::nullopt; // the protocol sends nothing else
        }
    }
    return read;
}

std::optional<NsmClient::Message> NsmClient::receive()
{
    // One byte more than a packet may hold tells an oversized one.
    std::vector<char> packet(kMaxPacket + 1);
    for (;;) {
        sockaddr_storage from{};
        socklen_t fromSize = sizeof from;
        const ssize_t size = recvfrom(m_socket, packet.data(), packet.size(), MSG_TRUNC,
                                      reinterpret_cast<sockaddr*>(&from), &fromSize);
        if (size < 0) {
            if (errno == EINTR)
                continue;
            return std::nullopt; // nothing more waiting
        }
        if (!fromManager(&from, fromSize))
            continue; // someone else on the machine: only the manager is heard
        if (std::optional<Message> message = Read(packet.data(), static_cast<std::size_t>(size)))
            return message;
    }
}

bool NsmClient::announce(const QString& name, const QString& capabilities,
                         const QString& executable, std::int64_t pid)
{
    if (send(kAnnounce, {utf8(name), utf8(capabilities), utf8(executable), kApiMajor, kApiMinor,
                         static_cast<std::int32_t>(pid)}))
        return true;
    if (isConnected())
        m_problem = QStringLiteral("the session manager cannot be told that Quendel is here");
    return false;
}

std::optional<NsmClient::Open> NsmClient::waitForOpen(std::chrono::milliseconds wait)
{
    if (m_socket < 0)
        return std::nullopt;
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + wait;
    for (;;) {
        while (const std::optional<Message> message = receive()) {
            const auto& args = message->args;
            const auto textAt = [&](std::size_t i) -> const std::string* {
                return i < args.size() ? std::get_if<std::string>(&args[i]) : nullptr;
            };
            if (message->path == kOpen && args.size() == 3 && textAt(0) && textAt(1) && textAt(2))
                return Open{text(*textAt(0)), text(*textAt(1)), text(*textAt(2))};
            // The answer to the announce matters only when it refuses Quendel.
            const std::string* about = textAt(0);
            if (message->path == "/error" && about && *about == kAnnounce) {
                const std::string* why = textAt(2);
                m_problem = QStringLiteral("the session manager refused Quendel: %1")
                                .arg(why ? text(*why) : QStringLiteral("no reason given"));
                return std::nullopt;
            }
        }
        const auto left =
            std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0)
            break;
        pollfd waitFor{m_socket, POLLIN, 0};
        if (poll(&waitFor, 1, static_cast<int>(left)) < 0 && errno != EINTR)
            break;
    }
    m_problem = QStringLiteral("the session manager did not open a session in time");
    return std::nullopt;
}

void NsmClient::replyOpened(const QString& message)
{
    send("/reply", {std::string(kOpen), utf8(message)});
}

void NsmClient::refuseOpen(int code, const QString& message)
{
    send("/error", {std::string(kOpen), static_cast<std::int32_t>(code), utf8(message)});
}

void NsmClient::reportGui(bool shown)
{
    send(shown ? "/nsm/client/gui_is_shown" : "/nsm/client/gui_is_hidden", {});
}

void NsmClient::listen(Handlers handlers)
{
    if (m_socket < 0)
        return;
    m_handlers = std::move(handlers);
    m_notifier = std::make_unique<QSocketNotifier>(m_socket, QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, [this] {
        while (const std::optional<Message> message = receive())
            answer(*message);
    });
}

void NsmClient::answer(const Message& message)
{
    const std::string& path = message.path;
    if (path == kSave) {
        const QString problem = m_handlers.save ? m_handlers.save() : QString();
        if (problem.isEmpty())
            send("/reply", {std::string(kSave), std::string("Saved")});
        else
            send("/error", {std::string(kSave), kGeneralError, utf8(problem)});
    } else if (path == "/nsm/client/show_optional_gui" || path == "/nsm/client/hide_optional_gui") {
        const bool show = path == "/nsm/client/show_optional_gui";
        if (m_handlers.showGui)
            m_handlers.showGui(show);
        reportGui(show);
    } else if (path == kOpen) {
        // Settings and sounds are read from the session's folder at the start, and the windows
        // hold them from then on: a switch would leave them half in the old session.
        refuseOpen(kGeneralError, QStringLiteral("Quendel cannot switch sessions: restart it"));
    }
    // Anything else (session_is_loaded, a late answer to the announce) asks nothing of Quendel.
}
