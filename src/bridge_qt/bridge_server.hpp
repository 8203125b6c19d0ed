// SPDX-License-Identifier: MIT
#pragma once
// The bridge on the network: a TCP listener per PJLink projector and per shared line, each
// connection a PJLink session or a shared-line client of the one exchange queue on the line.
// Every client is bounded: its slot, its unsent replies, its time to authenticate; accepting
// goes on whatever the clients do.
#include "bridge/pjlink/announcer.hpp"
#include "bridge/bridge_settings.hpp"
#include "bridge/client_bounds.hpp"
#include "bridge/client_registry.hpp"
#include "bridge/device_keeper.hpp"
#include "bridge/log_limiter.hpp"
#include "bridge/metrics.hpp"
#include "bridge/pjlink/pjlink_session.hpp"
#include "bridge/poller.hpp"
#include "bridge/projector_state.hpp"
#include "bridge/shared_line.hpp"
#include "link/exchange_queue.hpp"
#include "qt/qt_timer.hpp"
#include "bridge_qt/bridge_plan.hpp"
#include "bridge_qt/web/web_front.hpp"
#include "bridge_qt/tcp_server.hpp"

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
class QUdpSocket;

namespace tova {

class BridgeServer : public QObject {
    Q_OBJECT
  public:
    // Connections waiting to be accepted: a storm of clients is greeted, not turned away.
    static constexpr int kBacklog = 256;
    // What is read from a client at a time, and at most held unread for it.
    static constexpr qint64 kReadChunk = qint64(bridge::kClientReadChunk);

    // log: every line the bridge says, as it says it.
    BridgeServer(BridgePlan options, SerialControl& line, std::function<void(const QString&)> log);
    ~BridgeServer() override;

    // Binds every listener; false with what failed in error.
    bool listen(QString& error);
    void start();
    // The passwords read again, by listener, and the web remote's (nullopt: as it is); says
    // which changed.
    void setPasswords(const std::vector<std::optional<std::string>>& passwords, std::optional<std::string> web);
    // /metrics as it stands.
    std::string metrics() const;
    // What the bridge did, for its last log line: exchanges, polls, the longest wait for a status.
    QString summary() const;
    // A line of the log that a flood cannot multiply: summarised by kind.
    void sayLimited(const QString& kind, const QString& text, const QString& from = {});

  private:
    struct Listener {
        Listener(ListenerPlan p, int registered, std::function<std::chrono::milliseconds()> wait)
            : plan(std::move(p)), index(registered), server(std::move(wait)) {}
        ListenerPlan plan;
        bridge::ProjectorState* state = nullptr; // PJLink: its projector's
        int index = 0; // in the registry
        TcpServer server;
        QString name; // as the log names it
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
    // Closes a connection that has done nothing, for a newcomer.
    void makeRoom(ClientId id);
    bool listenForSearches(QString& error);
    QUdpSocket& sender(const QString& from);
    bool forbidden(const QString& address) const;
    // What the bridge knows of the projector at this address on the line, polled; made once.
    bridge::ProjectorState& projector(const std::string& prefix);
    void startWeb();
    void say(const QString& text) const;

    BridgePlan m_options;
    std::function<void(const QString&)> m_log;
    SteadyClock m_clock;
    QtTimer m_timeout, m_guard, m_retry, m_logWindow, m_searchTurns;
    ExchangeQueue m_queue;
    bridge::DeviceKeeper m_keeper;
    bridge::ClientRegistry m_clients{m_clock};
    bridge::DigestBackoff m_backoff{m_clock};
    bridge::LogLimiter m_limiter;
    std::vector<std::unique_ptr<Listener>> m_listeners;
    std::map<ClientId, Connection> m_connections;
    // What the bridge knows of each projector, by its address on the line; their pollers.
    std::map<std::string, std::unique_ptr<bridge::ProjectorState>> m_states;
    std::vector<std::unique_ptr<QtTimer>> m_pollTimers;
    std::vector<std::unique_ptr<bridge::Poller>> m_pollers;
    bridge::Announcer m_announcer;
    std::unique_ptr<QUdpSocket> m_search;
    std::map<QString, std::unique_ptr<QUdpSocket>> m_senders; // by the address they send from
    bridge::LineStats m_stats;
    std::uint64_t m_pjlinkFailures = 0;
    std::vector<bridge::ServedProjector> m_projectors; // as the web remote and the metrics name them
    std::unique_ptr<WebFront> m_web;
};

} // namespace tova
