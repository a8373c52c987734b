// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "OscCommands.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <lo/lo.h>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <type_traits>

class PadDeck;

// The pads over OSC, for a tablet or another program: off unless the settings file's main
// section names a UDP port ("OscPort=9000"; "off" by default), and bound to the local machine
// (127.0.0.1) unless "OscAddress" names another of the machine's addresses ("0.0.0.0": every
// network the machine is on; anyone there may then play the pads).
//
// A thread of its own waits for datagrams on the socket, reads each with ParseOscPacket and
// hands what it asks for to the UI thread; nothing else happens on that thread. (The socket is
// Quendel's own rather than a liblo server's, whose UDP servers listen on every network the
// machine is on, whatever address they are given; liblo reads and writes the messages.)
//
// On the UI thread a command plays the deck as a press on the bar does. The last sender hears
// the state after each of its commands, and whenever the lights, the playing pad or the tempo
// change: "/quendel/pads" with 28 ints (1 lit, 0 dark), "/quendel/playing i" (pad 1..28, 0 when
// none plays) and "/quendel/tempo f" (BPM, 0 = off).
class OscServer : public QObject {
    Q_OBJECT
public:
    // Commands handed to the UI thread and not yet played; a flood past this is dropped.
    static constexpr int kMaxWaiting = 256;
    static constexpr int kMinPort = 1024;
    static constexpr int kMaxPort = 65535;

    // Where the settings file asks the server to listen.
    struct Place {
        QString address = QStringLiteral("127.0.0.1");
        int port = 0;
    };
    // From a settings file's text: nothing when OscPort is off, missing or empty; nothing too
    // for a value that is no port 1024..65535 ("abc", "80"), and then `problem` says so.
    static std::optional<Place> PlaceIn(const QByteArray& settings, QString* problem = nullptr);

    // The server the settings file's text asks for; nothing when OSC is off or its port cannot be
    // opened. Why not is said once, on stderr and to `report` (for the status line).
    static std::unique_ptr<OscServer>
    FromSettings(PadDeck& deck, const QByteArray& settings,
                 const std::function<void(const QString&)>& report);

    // Listens on address (a numeric IPv4 or IPv6 address, or "localhost") and UDP port
    // (0: any free port, for tests). When it cannot, isOpen() is false and problem() says why.
    OscServer(PadDeck& deck, const QString& address, int port, QObject* parent = nullptr);
    ~OscServer() override;
    OscServer(const OscServer&) = delete;
    OscServer& operator=(const OscServer&) = delete;

    bool isOpen() const { return m_socket >= 0; }
    // The UDP port bound; 0 when not open.
    int port() const { return m_port; }
    // "OSC port 9000 cannot be opened", empty when open.
    const QString& problem() const { return m_problem; }
    // Commands dropped because too many waited for the UI thread.
    int dropped() const { return m_dropped.load(std::memory_order_relaxed); }

private:
    bool open(const QString& address, int port);
    void receive(); // the receiving thread
    // The UI thread.
    void play(const RemoteCommand& command, const std::string& host, const std::string& port);
    void replyTo(const std::string& host, const std::string& port);
    void sendState();

    PadDeck& m_deck;
    int m_socket = -1;
    int m_stopFd = -1; // an eventfd: the receiving thread ends when it turns readable
    int m_port = 0;
    QString m_problem;
    std::thread m_thread;
    std::atomic<int> m_waiting{0};
    std::atomic<int> m_dropped{0};

    // Where the state goes: the last sender.
    std::string m_replyHost;
    std::string m_replyPort;
    std::unique_ptr<std::remove_pointer_t<lo_address>, void (*)(lo_address)> m_reply{
        nullptr, lo_address_free};
    QTimer m_stateDue; // the deck's changes of one UI event are sent once
};
