// SPDX-License-Identifier: MIT
#include "bridge_qt/bridge_server.hpp"

#include "bridge_qt/random_hex.hpp"
#include "core/host_port.hpp"

#include <QNetworkDatagram>
#include <QNetworkInterface>
#include <QTcpSocket>
#include <QTimer>
#include <QUdpSocket>

namespace tova {
namespace {

QString addressOf(const QTcpSocket* s) { return addressText(s->peerAddress()); }

QString peer(const QTcpSocket* s) {
    const QString a = addressOf(s);
    return (a.contains(QLatin1Char(':')) ? QStringLiteral("[%1]:%2") : QStringLiteral("%1:%2")).arg(a).arg(s->peerPort());
}

} // namespace

BridgeServer::BridgeServer(BridgePlan plan, SerialControl& line, Log log)
    : m_plan(std::move(plan)), m_log(std::move(log)) {
    bridge::BridgeCore::Events events{
        .log = [this](bridge::Priority p, const std::string& s) { if (m_log) m_log(p, QString::fromStdString(s)); },
        .send =
            [this](ClientId id, const std::string& bytes) -> std::size_t {
                const auto it = m_sockets.find(id);
                if (it == m_sockets.end()) return 0;
                it->second->write(bytes.data(), qint64(bytes.size()));
                return static_cast<std::size_t>(it->second->bytesToWrite());
            },
        .close = [this](ClientId id) { if (const auto it = m_sockets.find(id); it != m_sockets.end()) it->second->disconnectFromHost(); },
        .abort = [this](ClientId id) { if (const auto it = m_sockets.find(id); it != m_sockets.end()) it->second->abort(); },
        .readAgain = [this](ClientId id) { QTimer::singleShot(0, this, [this, id] { readFrom(id); }); },
        .datagram =
            [this](const bridge::Datagram& d) {
                sender(QString::fromStdString(d.from))
                    .writeDatagram(d.bytes.data(), qint64(d.bytes.size()), QHostAddress(QString::fromStdString(d.to.address)),
                                   static_cast<quint16>(d.to.port));
            },
        .forbidden = [this](const std::string& a) { return forbidden(QString::fromStdString(a)); },
        .random = randomHex,
        .file = webPageFile,
        .webConnections = [this] { return m_web ? std::size_t(m_web->connections()) : std::size_t(0); }};
    m_core = std::make_unique<bridge::BridgeCore>(line, m_clock, [] { return std::make_unique<QtTimer>(); }, m_plan.core,
                                                  std::move(events));
    for (std::size_t i = 0; i < m_plan.listeners.size(); ++i)
        m_servers.push_back(std::make_unique<TcpServer>([this, i] { return m_core->wait(int(i)); }));
    if (m_plan.web)
        m_web = std::make_unique<WebFront>(*m_plan.web, *m_plan.core.web, *m_core,
                                           WebFront::Callbacks{[this](bridge::Priority p, const QString& s) { if (m_log) m_log(p, s); },
                                                               [this](const QString& kind, const QString& s, const QString& from) {
                                                                   sayLimited(kind, s, from);
                                                               }});
}

BridgeServer::~BridgeServer() {
    for (auto& [id, s] : m_sockets) {
        s->disconnect(this);
        s->abort();
        s->deleteLater();
    }
}

void BridgeServer::sayLimited(const QString& kind, const QString& text, const QString& from) {
    m_core->sayLimited(kind.toStdString(), text.toStdString(), from.toStdString());
}

void BridgeServer::setPasswords(const std::vector<std::optional<std::string>>& passwords, std::optional<std::string> web) {
    m_core->setPasswords(passwords, std::move(web));
    if (m_web) m_web->closeEndedSessions(); // a new password ends every session
}

QUdpSocket& BridgeServer::sender(const QString& from) {
    auto& s = m_senders[from];
    if (!s) {
        s = std::make_unique<QUdpSocket>();
        s->bind(QHostAddress(from), 0); // answers leave from the listener's own address
    }
    return *s;
}

bool BridgeServer::forbidden(const QString& address) const {
    const QHostAddress a(address);
    if (a.isNull() || a.isMulticast() || a.isBroadcast() || a == QHostAddress::AnyIPv4 || a == QHostAddress::AnyIPv6)
        return true;
    if (m_plan.search && a == m_plan.search->first) return true;
    for (const auto& l : m_plan.listeners)
        if (a == l.address) return true;
    for (const QNetworkInterface& i : QNetworkInterface::allInterfaces())
        for (const QNetworkAddressEntry& e : i.addressEntries())
            if (!e.broadcast().isNull() && a == e.broadcast()) return true;
    return false;
}

bool BridgeServer::listenForSearches(QString& error) {
    if (!m_plan.search) return true;
    const auto [address, port] = *m_plan.search;
    m_search = std::make_unique<QUdpSocket>();
    if (!m_search->bind(address, port)) {
        error = QStringLiteral("search on %1:%2: %3").arg(address.toString()).arg(port).arg(m_search->errorString());
        return false;
    }
    connect(m_search.get(), &QUdpSocket::readyRead, this, [this] {
        while (m_search->hasPendingDatagrams()) {
            const QNetworkDatagram d = m_search->receiveDatagram(64); // a search is 7 bytes
            m_core->searched(std::string_view(d.data().constData(), std::size_t(d.data().size())),
                             addressText(d.senderAddress()).toStdString());
        }
    });
    m_core->say(QStringLiteral("PJLink search on %1:%2").arg(address.toString()).arg(m_search->localPort()).toStdString());
    return true;
}

// The MAC a search answer names: the interface's that holds the address, else one of its own,
// stable from one start to the next.
QString BridgeServer::macFor(const ListenerPlan& l) const {
    QString mac;
    for (const QNetworkInterface& i : QNetworkInterface::allInterfaces())
        for (const QNetworkAddressEntry& e : i.addressEntries())
            if (e.ip() == l.address && !(i.flags() & QNetworkInterface::IsLoopBack)) mac = i.hardwareAddress();
    if (mac.isEmpty() || mac == QLatin1String("00:00:00:00:00:00"))
        mac = QString::fromStdString(bridge::derivedMac(l.address.toString().toStdString(), l.spec.where.port, l.spec.prefix));
    return mac.toUpper();
}

bool BridgeServer::listen(QString& error) {
    for (std::size_t i = 0; i < m_plan.listeners.size(); ++i) {
        const ListenerPlan& l = m_plan.listeners[i];
        const bridge::CoreListener& served = m_plan.core.listeners[i];
        TcpServer& server = *m_servers[i];
        if (!server.listenOn(l.address, static_cast<quint16>(l.spec.where.port), std::max(kBacklog, served.places.size))) {
            error = QStringLiteral("%1: %2").arg(QString::fromStdString(formatHostPort(l.spec.where)), server.errorString());
            return false;
        }
        const int index = int(i);
        connect(&server, &QTcpServer::newConnection, this, [this, index] { accept(index); });
        const bool pjlink = l.spec.kind == bridge::ClientKind::Pjlink;
        const QString name = QStringLiteral("%1 on %2:%3")
                                 .arg(pjlink ? QStringLiteral("PJLink") : QStringLiteral("shared line"), l.address.toString())
                                 .arg(server.serverPort());
        connect(&server, &TcpServer::outOfDescriptors, this, [this, name](const QString& why) {
            m_core->say(QStringLiteral("%1: cannot accept (%2); waiting for a connection to close").arg(name, why).toStdString(),
                        bridge::Priority::Error);
        });
        std::optional<bridge::Announcer::Projector> answersAs;
        if (pjlink) answersAs = bridge::Announcer::Projector{l.address.toString().toStdString(), macFor(l).toStdString(), nullptr, nullptr};
        m_core->bound(index, name.toStdString(), answersAs);
        const bridge::SlotRules& places = served.places;
        m_core->say(QStringLiteral("%1%2, at most %3 client%4%5")
                        .arg(name,
                             pjlink && !served.config.prefix.empty()
                                 ? QStringLiteral(" for projector %1").arg(QString::fromStdString(served.config.prefix))
                                 : QString())
                        .arg(places.size)
                        .arg(places.size == 1 ? QString() : QStringLiteral("s"))
                        .arg(places.perAddress ? QStringLiteral(", %1 per address").arg(places.perAddress) : QString())
                        .toStdString());
    }
    if (m_web && !m_web->listen(error)) return false;
    return listenForSearches(error);
}

void BridgeServer::accept(int listener) {
    while (QTcpSocket* s = m_servers[std::size_t(listener)]->nextPendingConnection()) {
        const auto admitted = m_core->connect(listener, addressOf(s).toStdString(), peer(s).toStdString());
        if (const auto* refused = std::get_if<bridge::BridgeCore::Refused>(&admitted)) {
            if (refused->farewell.empty()) {
                s->abort();
                s->deleteLater();
                continue;
            }
            s->write(refused->farewell.data(), qint64(refused->farewell.size()));
            s->disconnectFromHost();
            connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
            continue;
        }
        const auto& a = std::get<bridge::BridgeCore::Admitted>(admitted);
        if (a.evicted)
            if (const auto it = m_sockets.find(*a.evicted); it != m_sockets.end()) it->second->abort(); // dropped once it says so
        serve(s, a.id);
    }
}

void BridgeServer::serve(QTcpSocket* s, ClientId id) {
    m_sockets[id] = s;
    keepAlive(s);
    s->setReadBufferSize(kReadChunk); // what it sends meanwhile waits in the network
    connect(s, &QTcpSocket::readyRead, this, [this, id] { readFrom(id); });
    connect(s, &QTcpSocket::bytesWritten, this, [this, id] {
        const auto it = m_sockets.find(id);
        if (it == m_sockets.end()) return;
        m_core->took(id, static_cast<std::size_t>(it->second->bytesToWrite()));
        readFrom(id); // it may read again
    });
    // Dropped after whatever closed it has returned: a session may close itself.
    connect(s, &QTcpSocket::disconnected, this, [this, id] { drop(id); }, Qt::QueuedConnection);
    m_core->opened(id);
}

void BridgeServer::readFrom(ClientId id) {
    for (;;) {
        const auto it = m_sockets.find(id);
        if (it == m_sockets.end()) return;
        QTcpSocket* s = it->second;
        if (s->bytesAvailable() <= 0 || s->state() != QAbstractSocket::ConnectedState) return;
        if (!m_core->reading(id, static_cast<std::size_t>(s->bytesToWrite()))) return;
        const QByteArray in = s->read(kReadChunk);
        m_core->received(id, std::string_view(in.constData(), std::size_t(in.size())));
    }
}

void BridgeServer::drop(ClientId id) {
    const auto it = m_sockets.find(id);
    if (it == m_sockets.end()) return;
    QTcpSocket* s = it->second;
    m_sockets.erase(it);
    m_core->disconnected(id);
    s->deleteLater();
    for (auto& server : m_servers) server->resume(); // a descriptor is free again
}

} // namespace tova
