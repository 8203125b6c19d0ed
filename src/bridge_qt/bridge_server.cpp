// SPDX-License-Identifier: MIT
#include "bridge_qt/bridge_server.hpp"

#include "link/traffic.hpp"

#include <QRandomGenerator>
#include <QTcpSocket>

namespace tova {
namespace {

QString peer(const QTcpSocket* s) {
    const QHostAddress a = s->peerAddress();
    return (a.protocol() == QAbstractSocket::IPv6Protocol ? QStringLiteral("[%1]:%2") : QStringLiteral("%1:%2"))
        .arg(a.toString())
        .arg(s->peerPort());
}

// Eight hexadecimal digits from the system's random source, for a PJLink greeting.
std::string randomValue() {
    return QStringLiteral("%1").arg(QRandomGenerator::system()->generate(), 8, 16, QLatin1Char('0')).toStdString();
}

} // namespace

BridgeServer::BridgeServer(BridgeOptions options, SerialControl& line)
    : m_options(std::move(options)), m_queue(line, m_timeout, m_guard, m_clock),
      m_keeper(line, m_retry, m_queue, m_options.settings), m_clients(m_options.maxClients) {
    m_queue.verbose = m_options.verbose;
    m_queue.log = [this](const std::string& s) { say(QString::fromStdString(s)); };
    m_queue.onDropped = [this](const Dropped& d) { say(QString::fromStdString(bridge::describeDropped(d))); };
    m_keeper.log = [this](const std::string& s) { say(QString::fromStdString(s)); };
    m_keeper.onDown = [this] {
        for (ClientId id : m_clients.lostDevice())
            if (auto it = m_connections.find(id); it != m_connections.end()) it->second.socket->disconnectFromHost();
    };
    for (const auto& option : m_options.pjlink) {
        auto l = std::make_unique<Listener>();
        l->option = option;
        l->config = bridge::projectorConfig(m_options.defaults, option);
        m_listeners.push_back(std::move(l));
    }
    if (m_options.share) {
        auto l = std::make_unique<Listener>();
        l->option = *m_options.share;
        l->kind = bridge::ClientKind::SharedLine;
        m_listeners.push_back(std::move(l));
    }
}

BridgeServer::~BridgeServer() {
    for (auto& [id, c] : m_connections) {
        c.pjlink.reset();
        c.shared.reset();
        c.socket->disconnect(this);
        c.socket->abort();
        c.socket->deleteLater();
    }
}

void BridgeServer::say(const QString& text) const {
    if (log) log(text);
}

bool BridgeServer::listen(QString& error) {
    for (auto& l : m_listeners) {
        const QHostAddress host(QString::fromStdString(l->option.host));
        const QString where = QString::fromStdString(formatHostPort({l->option.host, l->option.port}));
        if (host.isNull()) {
            error = QStringLiteral("%1: not an IP address").arg(where);
            return false;
        }
        if (!l->server.listen(host, static_cast<quint16>(l->option.port))) {
            error = QStringLiteral("%1: %2").arg(where, l->server.errorString());
            return false;
        }
        connect(&l->server, &QTcpServer::newConnection, this, [this, listener = l.get()] { accept(*listener); });
        const bool pjlink = l->kind == bridge::ClientKind::Pjlink;
        say(QStringLiteral("%1 on %2:%3%4")
                .arg(pjlink ? QStringLiteral("PJLink") : QStringLiteral("shared line"),
                     QString::fromStdString(l->option.host))
                .arg(l->server.serverPort())
                .arg(pjlink && !l->config.prefix.empty()
                         ? QStringLiteral(" for projector %1").arg(QString::fromStdString(l->config.prefix))
                         : QString()));
    }
    return true;
}

void BridgeServer::accept(Listener& l) {
    while (QTcpSocket* s = l.server.nextPendingConnection()) {
        const auto admitted = m_clients.admit(l.kind);
        if (!admitted) {
            say(QStringLiteral("client %1 refused: %2 clients already").arg(peer(s)).arg(m_clients.limit()));
            s->abort();
            s->deleteLater();
            continue;
        }
        const ClientId id = *admitted;
        const bool pjlink = l.kind == bridge::ClientKind::Pjlink;
        Connection& c = m_connections[id];
        c.socket = s;
        c.who = QStringLiteral("%1 client %2 on %3:%4")
                    .arg(pjlink ? QStringLiteral("PJLink") : QStringLiteral("shared-line"), peer(s),
                         QString::fromStdString(l.option.host))
                    .arg(l.server.serverPort());
        // An idle shared-line client may be a panel left alone for hours: keep-alive finds the dead.
        s->setSocketOption(QAbstractSocket::KeepAliveOption, 1);
        s->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        auto send = [s](const std::string& bytes) { s->write(bytes.data(), qint64(bytes.size())); };
        auto close = [s] { s->disconnectFromHost(); };
        if (pjlink) {
            c.idle = std::make_unique<QtTimer>();
            c.pjlink = std::make_unique<bridge::PjlinkSession>(id, l.config, l.mute, m_queue, *c.idle, randomValue());
            c.pjlink->send = send;
            c.pjlink->close = close;
        } else {
            c.shared = std::make_unique<bridge::SharedLineClient>(id, m_queue);
            c.shared->send = send;
            c.shared->close = close;
            c.shared->log = [this, who = c.who](const std::string& text) {
                say(QStringLiteral("%1: %2").arg(who, QString::fromStdString(text)));
            };
        }
        connect(s, &QTcpSocket::readyRead, this, [this, id] {
            auto it = m_connections.find(id);
            if (it == m_connections.end()) return;
            const QByteArray in = it->second.socket->readAll();
            const std::string_view bytes(in.constData(), std::size_t(in.size()));
            if (it->second.pjlink) it->second.pjlink->received(bytes);
            else if (it->second.shared) it->second.shared->received(bytes);
        });
        // Dropped after whatever closed it has returned: a session may close itself.
        connect(s, &QTcpSocket::disconnected, this, [this, id] { drop(id); }, Qt::QueuedConnection);
        say(QStringLiteral("%1 connected").arg(c.who));
        if (c.pjlink) c.pjlink->start();
    }
}

void BridgeServer::drop(ClientId id) {
    auto it = m_connections.find(id);
    if (it == m_connections.end()) return;
    say(QStringLiteral("%1 disconnected").arg(it->second.who));
    QTcpSocket* s = it->second.socket;
    m_connections.erase(it); // its session forgets its lines first
    m_clients.remove(id);
    s->deleteLater();
}

} // namespace tova
