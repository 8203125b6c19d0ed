// SPDX-License-Identifier: MIT
#pragma once
// The bridge on the network: a TCP listener per PJLink projector and per shared line, each
// connection a PJLink session or a shared-line client of the one exchange queue on the line.
// Every client is bounded: its slot, its unsent replies, its time to authenticate; accepting
// goes on whatever the clients do.
#include "bridge/bridge_settings.hpp"
#include "bridge/client_bounds.hpp"
#include "bridge/client_registry.hpp"
#include "bridge/device_keeper.hpp"
#include "bridge/log_limiter.hpp"
#include "bridge/pjlink_session.hpp"
#include "bridge/shared_line.hpp"
#include "link/exchange_queue.hpp"
#include "qt/qt_timer.hpp"

#include <QHostAddress>
#include <QObject>
#include <QTcpServer>
#include <QTimer>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

class QTcpSocket;

namespace tova {

// A listener as the bridge serves it: its address looked up, its projector's settings.
struct ListenerPlan {
    bridge::ListenerSpec spec;
    QHostAddress address;
    bridge::ProjectorConfig config; // PJLink: the projector, its password read
    int maxClients = 0;
};

struct BridgeOptions {
    std::vector<ListenerPlan> listeners;
    LineSettings settings;
    bool verbose = false;
};

class BridgeServer : public QObject {
    Q_OBJECT
  public:
    // Connections waiting to be accepted: a storm of clients is greeted, not turned away.
    static constexpr int kBacklog = 256;
    // What is read from a client at a time, and at most held unread for it.
    static constexpr qint64 kReadChunk = 4096;

    BridgeServer(BridgeOptions options, SerialControl& line);
    ~BridgeServer() override;

    std::function<void(const QString&)> log;
    // Binds every listener; false with what failed in error.
    bool listen(QString& error);
    void start() { m_keeper.start(); }
    // The passwords read again, by listener (nullopt: as it is); says which changed.
    void setPasswords(const std::vector<std::optional<std::string>>& passwords);

  private:
    struct Listener {
        ListenerPlan plan;
        bridge::MuteState mute;
        int index = 0; // in the registry
        QTcpServer server;
        QString name; // as the log names it
        bool paused = false;
    };
    struct Connection {
        QTcpSocket* socket = nullptr;
        Listener* listener = nullptr;
        std::unique_ptr<QtTimer> idle, stall;
        std::unique_ptr<bridge::OutputBound> bound;
        std::unique_ptr<bridge::PjlinkSession> pjlink;
        std::unique_ptr<bridge::SharedLineClient> shared;
        QString who, address;
    };
    void accept(Listener& l);
    void serve(Listener& l, QTcpSocket* s, ClientId id);
    void readFrom(ClientId id);
    void drop(ClientId id);
    void resumeAccepting();
    void say(const QString& text) const;
    void sayLimited(const QString& kind, const QString& text);

    BridgeOptions m_options;
    SteadyClock m_clock;
    QtTimer m_timeout, m_guard, m_retry, m_logWindow;
    ExchangeQueue m_queue;
    bridge::DeviceKeeper m_keeper;
    bridge::ClientRegistry m_clients;
    bridge::DigestBackoff m_backoff{m_clock};
    bridge::LogLimiter m_limiter{m_clock, m_logWindow};
    std::vector<std::unique_ptr<Listener>> m_listeners;
    std::map<ClientId, Connection> m_connections;
    QTimer m_acceptRetry;
};

} // namespace tova
