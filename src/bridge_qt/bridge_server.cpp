// SPDX-License-Identifier: MIT
#include "bridge_qt/bridge_server.hpp"

#include "bridge_qt/random_hex.hpp"
#include "core/host_port.hpp"

#include <QNetworkDatagram>
#include <QNetworkInterface>
#include <QTcpSocket>
#include <QUdpSocket>


namespace tova {
namespace {

QString addressOf(const QTcpSocket* s) { return addressText(s->peerAddress()); }

QString peer(const QTcpSocket* s) {
    const QString a = addressOf(s);
    return (a.contains(QLatin1Char(':')) ? QStringLiteral("[%1]:%2") : QStringLiteral("%1:%2")).arg(a).arg(s->peerPort());
}

} // namespace

BridgeServer::BridgeServer(BridgePlan options, SerialControl& line, std::function<void(const QString&)> log)
    : m_options(std::move(options)), m_log(std::move(log)),
      m_queue(line, m_timeout, m_guard, m_clock,
              {.log = [this](const std::string& s) { say(QString::fromStdString(s)); },
               .logEach = m_options.verbose ? std::function<void(const std::string&)>(
                                                  [this](const std::string& s) { say(QString::fromStdString(s)); })
                                            : nullptr,
               .dropped =
                   [this](const Dropped& d) {
                       m_stats.stray();
                       sayLimited(QStringLiteral("dropped %1").arg(int(d.why)), QString::fromStdString(describe(d)));
                   },
               .exchanged =
                   [this](const Request&, const ExchangeResult& e) { m_stats.exchanged(e); }}),
      m_keeper(line, m_retry, m_queue, m_options.settings,
               {.log = [this](const std::string& s) { say(QString::fromStdString(s)); },
                .down =
                    [this] {
                        if (m_web) m_web->remote().lineChanged(false);
                        for (ClientId id : m_clients.lostDevice())
                            if (auto it = m_connections.find(id); it != m_connections.end())
                                it->second.socket->disconnectFromHost();
                    },
                .up =
                    [this] {
                        if (m_web) m_web->remote().lineChanged(true);
                        m_announcer.lookup(); // the projectors are reachable (again): controllers may look
                        for (auto& p : m_pollers) p->pollNow();
                    }}),
      m_limiter(m_clock, m_logWindow, [this](const std::string& s) { say(QString::fromStdString(s)); }),
      m_announcer(m_clock, m_searchTurns, m_options.search ? m_options.search->second : bridge::kPjlinkPort, m_options.notify,
                  {.send =
                       [this](const bridge::Datagram& d) {
                           sender(QString::fromStdString(d.from))
                               .writeDatagram(d.bytes.data(), qint64(d.bytes.size()),
                                              QHostAddress(QString::fromStdString(d.to.address)),
                                              static_cast<quint16>(d.to.port));
                       },
                   .forbidden = [this](const std::string& a) { return forbidden(QString::fromStdString(a)); }}) {
    for (const auto& plan : m_options.listeners) {
        const int index = m_clients.addListener(plan.spec.kind, plan.places);
        auto l = std::make_unique<Listener>(plan, index, [this, index] { return m_clients.wait(index); });
        if (plan.spec.kind == bridge::ClientKind::Pjlink) {
            // One state and one poller for each projector on the line, whatever its listeners.
            l->state = &projector(plan.config.prefix);
        }
        m_listeners.push_back(std::move(l));
    }
    if (m_options.web) startWeb();
}

bridge::ProjectorState& BridgeServer::projector(const std::string& prefix) {
    auto& state = m_states[prefix];
    if (!state) {
        // What it learns goes to the announcer (changes) and the web remote's tiles (every answer).
        state = std::make_unique<bridge::ProjectorState>(
            m_clock, bridge::ProjectorState::Callbacks{
                         [this, prefix](bridge::ProjectorState::Change c) { m_announcer.changed(*m_states.at(prefix), c); },
                         [this, prefix] {
                             if (m_web) m_web->remote().answered(*m_states.at(prefix));
                         }});
        m_pollTimers.push_back(std::make_unique<QtTimer>());
        m_pollers.push_back(std::make_unique<bridge::Poller>(m_queue, *m_pollTimers.back(),
                                                              -static_cast<ClientId>(m_pollers.size() + 1), prefix,
                                                              *state, m_options.pollSeconds * 1000));
    }
    return *state;
}

void BridgeServer::startWeb() {
    // One tab (and one set of metrics) per projector on the line, named as its first PJLink listener; with none, the
    // projector the line reaches unaddressed.
    std::vector<bridge::ServedProjector> projectors;
    for (const auto& l : m_listeners)
        if (l->state && std::none_of(projectors.begin(), projectors.end(), [&](const auto& p) { return p.state == l->state; }))
            projectors.push_back({l->plan.config.name, l->plan.config.prefix, l->state, l->plan.config.inputNames});
    if (projectors.empty()) {
        const bridge::ProjectorConfig config;
        projectors.push_back({config.name, config.prefix, &projector(config.prefix), config.inputNames});
    }
    for (auto& p : projectors)
        if (std::count_if(projectors.begin(), projectors.end(), [&](const auto& o) { return o.name == p.name; }) > 1)
            p.name += " (" + (p.prefix.empty() ? std::string("no address") : p.prefix) + ")";
    m_projectors = projectors;
    // The web listener bounds its connections; a page is one that has logged in.
    const int index = m_clients.addListener(bridge::ClientKind::WebPage, {m_options.web->places.size});
    m_web = std::make_unique<WebFront>(*m_options.web, WebFront::Line{m_queue, m_clients, index, m_backoff, m_clock},
                                       std::move(projectors),
                                       WebFront::Callbacks{[this](const QString& s) { say(s); },
                                                           [this](const QString& kind, const QString& s, const QString& from) {
                                                               sayLimited(kind, s, from);
                                                           },
                                                           [this] { return metrics(); }});
}

std::string BridgeServer::metrics() const {
    bridge::MetricsInput in;
    in.projectors = m_projectors;
    for (const auto& l : m_listeners)
        in.listeners.push_back({l->name.toStdString(), l->plan.spec.kind == bridge::ClientKind::Pjlink ? "pjlink" : "shared_line",
                                m_clients.clients(l->index)});
    if (m_web) in.listeners.push_back({m_web->name().toStdString(), "http", std::size_t(m_web->connections())});
    in.line = &m_stats;
    in.lineUp = m_queue.lineUp();
    in.pjlinkAuthFailures = m_pjlinkFailures;
    in.httpAuthFailures = m_web ? m_web->failures() : 0;
    in.now = m_clock.now();
    in.version = TOVA_VERSION;
    return bridge::metricsText(in);
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

void BridgeServer::start() {
    m_keeper.start();
    for (auto& p : m_pollers) p->start();
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
    if (m_options.search && a == m_options.search->first) return true;
    for (const auto& l : m_listeners)
        if (a == l->plan.address) return true;
    for (const QNetworkInterface& i : QNetworkInterface::allInterfaces())
        for (const QNetworkAddressEntry& e : i.addressEntries())
            if (!e.broadcast().isNull() && a == e.broadcast()) return true;
    return false;
}

bool BridgeServer::listenForSearches(QString& error) {
    if (!m_options.search) return true;
    const auto [address, port] = *m_options.search;
    m_search = std::make_unique<QUdpSocket>();
    if (!m_search->bind(address, port)) {
        error = QStringLiteral("search on %1:%2: %3").arg(address.toString()).arg(port).arg(m_search->errorString());
        return false;
    }
    connect(m_search.get(), &QUdpSocket::readyRead, this, [this] {
        while (m_search->hasPendingDatagrams()) {
            const QNetworkDatagram d = m_search->receiveDatagram(64); // a search is 7 bytes
            m_announcer.received(std::string_view(d.data().constData(), std::size_t(d.data().size())),
                                 addressText(d.senderAddress()).toStdString());
        }
    });
    say(QStringLiteral("PJLink search on %1:%2").arg(address.toString()).arg(m_search->localPort()));
    return true;
}

QString BridgeServer::summary() const {
    std::size_t polls = 0;
    for (const auto& p : m_pollers) polls += p->polls();
    long long gap = 0;
    for (const auto& [prefix, s] : m_states) gap = std::max<long long>(gap, s->longestGap().count());
    return QStringLiteral("%1 exchanges on the line, %2 polls; the longest wait for a status %3 ms")
        .arg(m_queue.exchanges())
        .arg(polls)
        .arg(gap);
}

void BridgeServer::say(const QString& text) const {
    if (m_log) m_log(text);
}

void BridgeServer::sayLimited(const QString& kind, const QString& text, const QString& from) {
    m_limiter.say(kind.toStdString(), text.toStdString(), from.toStdString());
}

bool BridgeServer::listen(QString& error) {
    for (auto& l : m_listeners) {
        const bridge::ListenerSpec& spec = l->plan.spec;
        const QString where = QString::fromStdString(formatHostPort(spec.where));
        if (!l->server.listenOn(l->plan.address, static_cast<quint16>(spec.where.port), std::max(kBacklog, l->plan.places.size))) {
            error = QStringLiteral("%1: %2").arg(where, l->server.errorString());
            return false;
        }
        connect(&l->server, &QTcpServer::newConnection, this, [this, listener = l.get()] { accept(*listener); });
        connect(&l->server, &TcpServer::outOfDescriptors, this, [this, listener = l.get()](const QString& why) {
            say(QStringLiteral("%1: cannot accept (%2); waiting for a connection to close").arg(listener->name, why));
        });
        const bool pjlink = spec.kind == bridge::ClientKind::Pjlink;
        l->name = QStringLiteral("%1 on %2:%3")
                      .arg(pjlink ? QStringLiteral("PJLink") : QStringLiteral("shared line"), l->plan.address.toString())
                      .arg(l->server.serverPort());
        if (pjlink) {
            // The MAC a search answer names: the interface's that holds the address, else one of
            // its own, stable from one start to the next.
            QString mac;
            for (const QNetworkInterface& i : QNetworkInterface::allInterfaces())
                for (const QNetworkAddressEntry& e : i.addressEntries())
                    if (e.ip() == l->plan.address && !(i.flags() & QNetworkInterface::IsLoopBack)) mac = i.hardwareAddress();
            if (mac.isEmpty() || mac == QLatin1String("00:00:00:00:00:00"))
                mac = QString::fromStdString(bridge::derivedMac(l->plan.address.toString().toStdString(), spec.where.port,
                                                                l->plan.config.prefix));
            m_announcer.add({l->plan.address.toString().toStdString(), mac.toUpper().toStdString(), l->state,
                             &l->plan.config.inputs});
        }
        const bridge::SlotRules& places = l->plan.places;
        say(QStringLiteral("%1%2, at most %3 client%4%5")
                .arg(l->name,
                     pjlink && !l->plan.config.prefix.empty()
                         ? QStringLiteral(" for projector %1").arg(QString::fromStdString(l->plan.config.prefix))
                         : QString())
                .arg(places.size)
                .arg(places.size == 1 ? QString() : QStringLiteral("s"))
                .arg(places.perAddress ? QStringLiteral(", %1 per address").arg(places.perAddress) : QString()));
    }
    if (m_web && !m_web->listen(error)) return false;
    return listenForSearches(error);
}

void BridgeServer::setPasswords(const std::vector<std::optional<std::string>>& passwords, std::optional<std::string> web) {
    if (m_web) m_web->setPassword(std::move(web));
    for (std::size_t i = 0; i < m_listeners.size() && i < passwords.size(); ++i) {
        Listener& l = *m_listeners[i];
        if (l.plan.spec.kind != bridge::ClientKind::Pjlink || !passwords[i] || l.plan.config.password == passwords[i])
            continue;
        l.plan.config.password = passwords[i];
        say(QStringLiteral("%1: the password changed").arg(l.name));
    }
}

void BridgeServer::accept(Listener& l) {
    while (QTcpSocket* s = l.server.nextPendingConnection()) {
        const QString address = addressOf(s);
        const bool pjlink = l.plan.spec.kind == bridge::ClientKind::Pjlink;
        if (pjlink && m_backoff.banned(address.toStdString())) {
            sayLimited(QStringLiteral("banned on ") + l.name,
                       QStringLiteral("client %1 refused on %2: too many wrong digests").arg(peer(s), l.name), address);
            s->write("PJLINK ERRA\r");
            s->disconnectFromHost();
            connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
            continue;
        }
        using Refusal = bridge::ClientRegistry::Refusal;
        const auto admitted = m_clients.admit(l.index, address.toStdString(), m_queue.lineUp());
        if (const auto* refusal = std::get_if<Refusal>(&admitted)) {
            const QString why = *refusal == Refusal::Full ? QStringLiteral("%1 clients already, each doing its part").arg(l.plan.places.size)
                                : *refusal == Refusal::AddressFull
                                    ? QStringLiteral("its address holds %1 connections already").arg(l.plan.places.perAddress)
                                    : QStringLiteral("the device is not there");
            sayLimited(QStringLiteral("refused on ") + l.name, QStringLiteral("client %1 refused on %2: %3").arg(peer(s), l.name, why),
                       address);
            s->abort();
            s->deleteLater();
            continue;
        }
        const auto& a = std::get<bridge::ClientRegistry::Admitted>(admitted);
        if (a.evicted) makeRoom(*a.evicted);
        serve(l, s, a.id);
    }
}

void BridgeServer::makeRoom(ClientId id) {
    const auto it = m_connections.find(id);
    if (it == m_connections.end()) return;
    const Connection& c = it->second;
    const bool password = c.listener->plan.config.password.has_value() && c.pjlink;
    sayLimited(QStringLiteral("made room on ") + c.listener->name,
               QStringLiteral("%1 closed for a newcomer: %2 yet").arg(c.who, password ? QStringLiteral("not authenticated")
                                                                                      : QStringLiteral("nothing sent")),
               c.address);
    c.socket->abort(); // dropped once it says it is gone
}

void BridgeServer::serve(Listener& l, QTcpSocket* s, ClientId id) {
    const bool pjlink = l.plan.spec.kind == bridge::ClientKind::Pjlink;
    Connection& c = m_connections[id];
    c.socket = s;
    c.listener = &l;
    c.address = addressOf(s);
    c.who = QStringLiteral("%1 client %2 on %3").arg(pjlink ? QStringLiteral("PJLink") : QStringLiteral("shared-line"), peer(s), l.name);
    keepAlive(s);
    s->setReadBufferSize(kReadChunk); // what it sends meanwhile waits in the network
    c.stall = std::make_unique<QtTimer>();
    c.bound = std::make_unique<bridge::OutputBound>(*c.stall, [this, id](const std::string& why) {
        auto it = m_connections.find(id);
        if (it == m_connections.end()) return;
        say(QStringLiteral("%1 closed: %2").arg(it->second.who, QString::fromStdString(why)));
        it->second.socket->abort();
    });
    auto send = [this, s, id](const std::string& bytes) {
        s->write(bytes.data(), qint64(bytes.size()));
        if (auto it = m_connections.find(id); it != m_connections.end())
            it->second.bound->queued(static_cast<std::size_t>(s->bytesToWrite()));
    };
    auto close = [s] { s->disconnectFromHost(); };
    if (pjlink) {
        c.idle = std::make_unique<QtTimer>();
        c.pjlink = std::make_unique<bridge::PjlinkSession>(
            id, l.plan.config, *l.state, m_queue, *c.idle, randomHex,
            bridge::PjlinkSession::Callbacks{
                .send = send,
                .close = close,
                .wrongDigest =
                    [this, address = c.address, who = c.who, name = l.name] {
                        ++m_pjlinkFailures;
                        sayLimited(QStringLiteral("failed login on ") + name, QStringLiteral("%1: a wrong password").arg(who), address);
                        if (m_backoff.wrong(address.toStdString()))
                            sayLimited(QStringLiteral("ban"),
                                       QStringLiteral("%1: %2 wrong digests within a minute; its new connections are refused for 60 s")
                                           .arg(address)
                                           .arg(bridge::DigestBackoff::kLimit),
                                       address);
                    },
                .room = [this, id] { QTimer::singleShot(0, this, [this, id] { readFrom(id); }); },
                .request =
                    [this, id, address = c.address] {
                        m_clients.settle(id); // it has done its part: no newcomer takes its place
                        m_announcer.controllerSeen(address.toStdString());
                    }});
    } else {
        c.shared = std::make_unique<bridge::SharedLineClient>(
            id, m_queue,
            bridge::SharedLineClient::Callbacks{
                send, close,
                [this, who = c.who, address = c.address](const std::string& text) {
                    sayLimited(QStringLiteral("shared line ") + QString::fromStdString(text.substr(0, 20)),
                               QStringLiteral("%1: %2").arg(who, QString::fromStdString(text)), address);
                },
                [this, id] { m_clients.settle(id); }});
    }
    connect(s, &QTcpSocket::readyRead, this, [this, id] { readFrom(id); });
    connect(s, &QTcpSocket::bytesWritten, this, [this, id] {
        auto it = m_connections.find(id);
        if (it == m_connections.end()) return;
        it->second.bound->took(static_cast<std::size_t>(it->second.socket->bytesToWrite()));
        readFrom(id); // it may read again
    });
    // Dropped after whatever closed it has returned: a session may close itself.
    connect(s, &QTcpSocket::disconnected, this, [this, id] { drop(id); }, Qt::QueuedConnection);
    sayLimited(QStringLiteral("connected ") + l.name, QStringLiteral("%1 connected").arg(c.who), c.address);
    if (c.pjlink) c.pjlink->start();
}

void BridgeServer::readFrom(ClientId id) {
    for (;;) {
        auto it = m_connections.find(id);
        if (it == m_connections.end()) return;
        Connection& c = it->second;
        if (c.socket->bytesAvailable() <= 0 || c.socket->state() != QAbstractSocket::ConnectedState) return;
        // Replies it does not take, or requests not answered yet: it waits, and so do its bytes.
        if (!bridge::OutputBound::reading(static_cast<std::size_t>(c.socket->bytesToWrite()))) return;
        if (c.pjlink && !c.pjlink->wantsInput()) return;
        const QByteArray in = c.socket->read(kReadChunk);
        const std::string_view bytes(in.constData(), std::size_t(in.size()));
        if (c.pjlink) c.pjlink->received(bytes);
        else if (c.shared) c.shared->received(bytes);
    }
}

void BridgeServer::drop(ClientId id) {
    auto it = m_connections.find(id);
    if (it == m_connections.end()) return;
    sayLimited(QStringLiteral("disconnected ") + it->second.listener->name, QStringLiteral("%1 disconnected").arg(it->second.who),
               it->second.address);
    QTcpSocket* s = it->second.socket;
    m_connections.erase(it); // its session forgets its lines first
    m_clients.remove(id);
    s->deleteLater();
    for (auto& l : m_listeners) l->server.resume(); // a descriptor is free again
}

} // namespace tova
