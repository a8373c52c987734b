// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

class QSocketNotifier;

// Quendel as one program of a studio session: a session manager speaking the NSM protocol starts
// it with NSM_URL naming the manager's UDP address ("osc.udp://host:port/"), hands it the folder
// it is to keep its files in, and later asks it to save and shows or hides its window.
//
// The client talks from a UDP socket of its own and hears nothing but the manager's address and
// port (a manager on this machine: loopback only); liblo only reads and writes the messages. The
// start talks to it before the event loop runs (announce, then a bounded wait for the folder); once
// the bar shows, the event loop reads what the manager sends.
class NsmClient : public QObject {
    Q_OBJECT
public:
    // The manager's errors for a request, as the protocol numbers them.
    static constexpr int kGeneralError = -1;
    static constexpr int kCreateFailed = -10;

    // What the manager opens: the path to keep Quendel's files under, the session's name for the
    // program and its id.
    struct Open {
        QString path;
        QString displayName;
        QString clientId;
    };

    // What the event loop hands on. save answers an empty text when everything is on disk, else
    // why not; showGui shows (true) or hides the window.
    struct Handlers {
        std::function<QString()> save;
        std::function<void(bool show)> showGui;
    };

    // A manager's address from NSM_URL: nothing, and `problem` says why, when it is no
    // "osc.udp://host:port/" address.
    struct Address {
        QString host;
        int port = 0;
    };
    static std::optional<Address> ParseUrl(const QString& url, QString* problem = nullptr);

    // Connects to the manager NSM_URL names. When it cannot, isConnected() is false and problem()
    // says why.
    explicit NsmClient(const QString& url, QObject* parent = nullptr);
    ~NsmClient() override;
    NsmClient(const NsmClient&) = delete;
    NsmClient& operator=(const NsmClient&) = delete;

    bool isConnected() const { return m_socket >= 0; }
    const QString& problem() const { return m_problem; }

    // Tells the manager who is here: name, capabilities (":optional-gui:"), the program file's
    // name, protocol version 1.2 and the process id.
    bool announce(const QString& name, const QString& capabilities, const QString& executable,
                  std::int64_t pid);

    // Reads what the manager sends until it opens a session or `wait` is over. Nothing when it
    // did not open in time or refused the announce (problem() then says so).
    std::optional<Open> waitForOpen(std::chrono::milliseconds wait);

    // The answer to an open: done, or an error code (kGeneralError...) with what went wrong.
    void replyOpened(const QString& message);
    void refuseOpen(int code, const QString& message);

    // From now on the event loop answers the manager: save, the window shown or hidden, and a
    // second open (a switch to another session, which Quendel does not do while running).
    void listen(Handlers handlers);

    // Tells the manager whether the window shows.
    void reportGui(bool shown);

private:
    using Arg = std::variant<std::int32_t, std::string>;
    struct Message {
        std::string path;
        std::vector<Arg> args;
    };
    static std::optional<Message> Read(const void* data, std::size_t size);
    bool connectTo(const Address& address);
    bool fromManager(const void* address, std::size_t size) const;
    bool send(const char* path, const std::vector<Arg>& args);
    std::optional<Message> receive();
    void answer(const Message& message);

    int m_socket = -1;
    std::string m_manager; // the manager's socket address, as bytes
    bool m_managerIsLocal = false;
    QString m_problem;
    Handlers m_handlers;
    std::unique_ptr<QSocketNotifier> m_notifier;
};
