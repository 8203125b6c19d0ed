// SPDX-License-Identifier: MIT
#pragma once
// The bridge on the network: a TCP listener per --pjlink projector and one for --share, each
// connection a PJLink session or a shared-line client of the one exchange queue on the line.
#include "bridge/client_registry.hpp"
#include "bridge/device_keeper.hpp"
#include "bridge/listener_option.hpp"
#include "bridge/pjlink_session.hpp"
#include "bridge/shared_line.hpp"
#include "link/exchange_queue.hpp"
#include "qt/qt_timer.hpp"

#include <QHostAddress>
#include <QObject>
#include <QTcpServer>

#include <functional>
#include <map>
#include <memory>
#include <vector>

class QTcpSocket;

namespace tova {

struct BridgeOptions {
    std::vector<bridge::ListenerOption> pjlink;
    std::optional<bridge::ListenerOption> share;
    bridge::ProjectorConfig defaults; // name, inputs, password and info for every projector
    LineSettings settings;
    int maxClients = 32;
    bool verbose = false;
};

class BridgeServer : public QObject {
    Q_OBJECT
  public:
    BridgeServer(BridgeOptions options, SerialControl& line);
    ~BridgeServer() override;

    std::function<void(const QString&)> log;
    // Binds every listener; false with what failed in error.
    bool listen(QString& error);
    void start() { m_keeper.start(); }

  private:
    struct Listener {
        bridge::ListenerOption option;
        bridge::ProjectorConfig config;
        bridge::MuteState mute;
        bridge::ClientKind kind = bridge::ClientKind::Pjlink;
        QTcpServer server;
    };
    struct Connection {
        QTcpSocket* socket = nullptr;
        std::unique_ptr<QtTimer> idle;
        std::unique_ptr<bridge::PjlinkSession> pjlink;
        std::unique_ptr<bridge::SharedLineClient> shared;
        QString who;
    };
    void accept(Listener& l);
    void drop(ClientId id);
    void say(const QString& text) const;

    BridgeOptions m_options;
    SteadyClock m_clock;
    QtTimer m_timeout, m_guard, m_retry;
    ExchangeQueue m_queue;
    bridge::DeviceKeeper m_keeper;
    bridge::ClientRegistry m_clients;
    std::vector<std::unique_ptr<Listener>> m_listeners;
    std::map<ClientId, Connection> m_connections;
};

} // namespace tova
