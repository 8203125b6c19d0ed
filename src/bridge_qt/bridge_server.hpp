// SPDX-License-Identifier: MIT
#pragma once
// The bridge's transport: a TCP listener per PJLink projector and per shared line, the search
// socket and the web listener, each connection's bytes handed to the core by id and the core's
// bytes, closes and datagrams carried out. Accepting goes on whatever the clients do; what
// each client may do is the core's.
#include "bridge/bridge_core.hpp"
#include "bridge_qt/bridge_plan.hpp"
#include "bridge_qt/tcp_server.hpp"
#include "bridge_qt/web/web_front.hpp"
#include "qt/qt_timer.hpp"

#include <QHostAddress>
#include <QObject>

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

    using Log = std::function<void(bridge::Priority, const QString&)>;
    // log: every line the bridge says, as it says it.
    BridgeServer(BridgePlan plan, SerialControl& line, Log log);
    ~BridgeServer() override;

    // Binds every listener; false with what failed in error.
    bool listen(QString& error);
    void start() { m_core->start(); }
    // The passwords read again, by listener, and the web remote's (nullopt: as it is).
    void setPasswords(const std::vector<std::optional<std::string>>& passwords, std::optional<std::string> web);
    std::string metrics() const { return m_core->metrics(); }
    QString summary() const { return QString::fromStdString(m_core->summary()); }
    // A line of the log that a flood cannot multiply: summarised by kind.
    void sayLimited(const QString& kind, const QString& text, const QString& from = {});

  private:
    void accept(int listener);
    void serve(QTcpSocket* s, ClientId id);
    void readFrom(ClientId id);
    void drop(ClientId id);
    bool listenForSearches(QString& error);
    QUdpSocket& sender(const QString& from);
    bool forbidden(const QString& address) const;
    QString macFor(const ListenerPlan& l) const;

    BridgePlan m_plan;
    Log m_log;
    SteadyClock m_clock;
    std::unique_ptr<bridge::BridgeCore> m_core;
    std::vector<std::unique_ptr<TcpServer>> m_servers; // by listener
    std::map<ClientId, QTcpSocket*> m_sockets;
    std::unique_ptr<QUdpSocket> m_search;
    std::map<QString, std::unique_ptr<QUdpSocket>> m_senders; // by the address they send from
    std::unique_ptr<WebFront> m_web;
};

} // namespace tova
