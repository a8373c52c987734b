// SPDX-License-Identifier: GPL-3.0-or-later
#include "OscServer.h"

#include "core/PadBanks.h"
#include "core/PadCount.h"
#include "core/ProgramState.h"
#include "core/SettingsStore.h"
#include "deck/PadDeck.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include <netdb.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

std::optional<OscServer::Place> OscServer::PlaceIn(const QByteArray& settings, QString* problem)
{
    const QString title = AppModul::AppTitle;
    const QString portText =
        SettingIn(settings, title, QStringLiteral("OscPort"), QStringLiteral("off")).trimmed();
    if (portText.isEmpty() || portText.compare(QStringLiteral("off"), Qt::CaseInsensitive) == 0)
        return std::nullopt;
    bool ok = false;
    const int port = portText.toInt(&ok, 10);
    if (!ok || port < kMinPort || port > kMaxPort) {
        if (problem)
            *problem = QStringLiteral("OSC port \"%1\" is no port from %2 to %3: OSC stays off")
                           .arg(portText)
                           .arg(kMinPort)
                           .arg(kMaxPort);
        return std::nullopt;
    }
    Place place;
    place.port = port;
    const QString address =
        SettingIn(settings, title, QStringLiteral("OscAddress"), QString()).trimmed();
    if (!address.isEmpty())
        place.address = address;
    return place;
}

std::unique_ptr<OscServer>
OscServer::FromSettings(PadDeck& deck, const QByteArray& settings,
                        const std::function<void(const QString&)>& report)
{
    QString problem;
    const std::optional<Place> place = PlaceIn(settings, &problem);
    if (place) {
        auto server = std::make_unique<OscServer>(deck, place->address, place->port);
        if (server->isOpen())
            return server;
        problem = server->problem(); // said on stderr with its cause
    } else if (!problem.isEmpty()) {
        std::fprintf(stderr, "quendel: %s\n", qUtf8Printable(problem));
    }
    if (!problem.isEmpty() && report)
        report(problem);
    return nullptr;
}

OscServer::OscServer(PadDeck& deck, const QString& address, int port, QObject* parent)
    : QObject(parent), m_deck(deck)
{
    m_stateDue.setSingleShot(true);
    m_stateDue.setInterval(0);
    connect(&m_stateDue, &QTimer::timeout, this, &OscServer::sendState);
    if (!open(address, port))
        return;
    // Every redraw of the pads, a new playing pad, a tempo from anywhere (the strip, MIDI, a
    // tap) reaches the client, once per UI event.
    const auto due = [this] {
        if (m_reply)
            m_stateDue.start();
    };
    connect(&m_deck, &PadDeck::padLit, this, due);
    connect(&m_deck, &PadDeck::activePadChanged, this, due);
    connect(&m_deck, &PadDeck::bankShown, this, due);
    connect(&m_deck.Songs, &Setlist::changed, this, due);
    connect(&m_deck.Tempo, &SessionTempo::changed, this, due);
    m_thread = std::thread([this] { receive(); });
}

OscServer::~OscServer()
{
    if (m_thread.joinable()) {
        const std::uint64_t one = 1;
        if (write(m_stopFd, &one, sizeof one) < 0)
            std::perror("quendel: stopping the OSC server");
        m_thread.join();
    }
    if (m_socket >= 0)
        close(m_socket);
    if (m_stopFd >= 0)
        close(m_stopFd);
}

bool OscServer::open(const QString& address, int port)
{
    const QString place = address.compare(QStringLiteral("localhost"), Qt::CaseInsensitive) == 0
                              ? QStringLiteral("127.0.0.1")
                              : address;
    const auto fail = [&](const char* why) {
        m_problem = QStringLiteral("OSC port %1 cannot be opened").arg(port);
        std::fprintf(stderr, "quendel: OSC port %d on %s cannot be opened: %s\n", port,
                     qPrintable(address), why);
        if (m_socket >= 0)
            close(m_socket);
        m_socket = -1;
        return false;
    };
    if (port < 0 || port > kMaxPort)
        return fail("no port");

    // A numeric address only: a name would be looked up on the UI thread, maybe over the network.
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_DGRAM;
    hints.ai_flags = AI_NUMERICHOST | AI_NUMERICSERV | AI_PASSIVE;
    addrinfo* found = nullptr;
    const std::string portText = std::to_string(port);
    const int lookup = getaddrinfo(place.toUtf8().constData(), portText.c_str(), &hints, &found);
    if (lookup != 0 || !found)
        return fail(lookup != 0 ? gai_strerror(lookup) : "no such address");
    const std::unique_ptr<addrinfo, void (*)(addrinfo*)> own(found, freeaddrinfo);

    m_socket = socket(found->ai_family, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (m_socket < 0)
        return fail(std::strerror(errno));
    if (bind(m_socket, found->ai_addr, found->ai_addrlen) != 0)
        return fail(std::strerror(errno));
    sockaddr_storage bound{};
    socklen_t boundSize = sizeof bound;
    char portName[NI_MAXSERV] = {};
    if (getsockname(m_socket, reinterpret_cast<sockaddr*>(&bound), &boundSize) != 0 ||
        getnameinfo(reinterpret_cast<sockaddr*>(&bound), boundSize, nullptr, 0, portName,
                    sizeof portName, NI_NUMERICSERV) != 0)
        return fail("no port bound");
    m_stopFd = eventfd(0, EFD_CLOEXEC);
    if (m_stopFd < 0)
        return fail(std::strerror(errno));
    m_port = std::atoi(portName);
    return true;
}

void OscServer::receive()
{
    // One byte more than a packet may hold tells an oversized one (MSG_TRUNC gives its size).
    std::vector<unsigned char> packet(kMaxOscPacket + 1);
    pollfd waits[2] = {{m_socket, POLLIN, 0}, {m_stopFd, POLLIN, 0}};
    for (;;) {
        if (poll(waits, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            std::perror("quendel: OSC server");
            return;
        }
        if (waits[1].revents != 0)
            return;
        if ((waits[0].revents & (POLLERR | POLLNVAL)) != 0 && (waits[0].revents & POLLIN) == 0)
            return;
        sockaddr_storage from{};
        socklen_t fromSize = sizeof from;
        const ssize_t size = recvfrom(m_socket, packet.data(), packet.size(), MSG_TRUNC,
                                      reinterpret_cast<sockaddr*>(&from), &fromSize);
        if (size < 0)
            continue; // an ICMP error for an earlier reply, an interrupted call: wait again
        const std::optional<RemoteCommand> command =
            ParseOscPacket(packet.data(), static_cast<std::size_t>(size));
        if (!command)
            continue;
        char host[NI_MAXHOST] = {};
        char port[NI_MAXSERV] = {};
        if (getnameinfo(reinterpret_cast<sockaddr*>(&from), fromSize, host, sizeof host, port,
                        sizeof port, NI_NUMERICHOST | NI_NUMERICSERV) != 0)
            continue;
        if (m_waiting.fetch_add(1, std::memory_order_relaxed) >= kMaxWaiting) {
            m_waiting.fetch_sub(1, std::memory_order_relaxed);
            m_dropped.fetch_add(1, std::memory_order_relaxed);
            continue;
        }
        QMetaObject::invokeMethod(
            this,
            [this, command = *command, host = std::string(host), port = std::string(port)] {
                m_waiting.fetch_sub(1, std::memory_order_relaxed);
                play(command, host, port);
            },
            Qt::QueuedConnection);
    }
}

void OscServer::play(const RemoteCommand& command, const std::string& host, const std::string& port)
{
    replyTo(host, port);
    using Kind = RemoteCommand::Kind;
    switch (command.kind) {
    case Kind::Press:
        m_deck.press(command.pad - 1);
        break;
    case Kind::Release:
        m_deck.release(command.pad - 1);
        break;
    case Kind::Stop:
        // As the tuner's page does: nothing sounds, and the pad that played goes dark.
        m_deck.silence();
        m_deck.forgetActivePad();
        for (int pad = 0; pad < kPadCount; ++pad)
            if (m_deck.isLit(pad)) // a pad held after a press that found nothing
                m_deck.setLit(pad, false);
        break;
    case Kind::Tempo:
        m_deck.Tempo.setTempo(command.tempo);
        break;
    case Kind::Transpose:
        m_deck.Tempo.setTranspose(command.semitones, command.cents);
        break;
    case Kind::Next:
    case Kind::Previous:
        m_deck.step(command.kind == Kind::Next ? 1 : -1);
        break;
    case Kind::Bank:
        m_deck.showBank(command.bank - 1);
        break;
    case Kind::Song:
        m_deck.Songs.choose(command.song - 1);
        break;
    case Kind::NextSong:
        m_deck.Songs.next();
        break;
    case Kind::PreviousSong:
        m_deck.Songs.previous();
        break;
    case Kind::Hello:
        break;
    }
    // The answer to the command says all its changes; they need not go again.
    m_stateDue.stop();
    sendState();
}

void OscServer::replyTo(const std::string& host, const std::string& port)
{
    if (m_reply && host == m_replyHost && port == m_replyPort)
        return;
    m_reply.reset(lo_address_new(host.c_str(), port.c_str()));
    m_replyHost = host;
    m_replyPort = port;
}

void OscServer::sendState()
{
    if (!m_reply)
        return;
    const auto send = [this](const char* path, auto fill) {
        lo_message message = lo_message_new();
        if (!message)
            return;
        fill(message);
        // A client that went away is no error of the pads: the next command brings a new one.
        lo_send_message(m_reply.get(), path, message);
        lo_message_free(message);
    };
    send("/quendel/pads", [this](lo_message message) {
        for (int pad = 0; pad < kPadCount; ++pad)
            lo_message_add_int32(message, m_deck.isLit(pad) ? 1 : 0);
    });
    send("/quendel/playing", [this](lo_message message) {
        lo_message_add_int32(message,
                             m_deck.shownActivePad() < kPadCount ? m_deck.shownActivePad() + 1 : 0);
    });
    send("/quendel/tempo", [this](lo_message message) {
        lo_message_add_float(message, static_cast<float>(m_deck.Tempo.now().tempo));
    });
    send("/quendel/bank",
         [](lo_message message) { lo_message_add_int32(message, PadBanks::Shown() + 1); });
    send("/quendel/song",
         [this](lo_message message) { lo_message_add_int32(message, m_deck.Songs.current() + 1); });
}
