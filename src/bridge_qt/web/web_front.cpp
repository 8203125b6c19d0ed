// SPDX-License-Identifier: MIT
#include "bridge_qt/web/web_front.hpp"

#include "bridge_qt/random_hex.hpp"

#include <QDir>
#include <QFile>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QHttpServerResponse>
#include <QTcpSocket>

namespace tova {
namespace {

std::string methodName(QHttpServerRequest::Method m) {
    using M = QHttpServerRequest::Method;
    switch (m) {
    case M::Get: return "GET";
    case M::Post: return "POST";
    case M::Head: return "HEAD";
    case M::Put: return "PUT";
    case M::Delete: return "DELETE";
    case M::Options: return "OPTIONS";
    case M::Patch: return "PATCH";
    default: return "OTHER";
    }
}

} // namespace

std::optional<bridge::WebFile> webPageFile(std::string_view path) {
    static const QStringList names = QDir(QStringLiteral(":/web")).entryList(QDir::Files);
    const QString name = QString::fromUtf8(path.data(), qsizetype(path.size())).mid(1);
    if (!path.starts_with('/') || !names.contains(name)) return std::nullopt;
    QFile f(QStringLiteral(":/web/") + name);
    if (!f.open(QIODevice::ReadOnly)) return std::nullopt;
    const QByteArray bytes = f.readAll();
    std::string type = name.endsWith(QLatin1String(".html"))  ? "text/html; charset=utf-8"
                       : name.endsWith(QLatin1String(".js"))  ? "text/javascript; charset=utf-8"
                       : name.endsWith(QLatin1String(".css")) ? "text/css; charset=utf-8"
                       : name.endsWith(QLatin1String(".svg")) ? "image/svg+xml"
                                                              : "application/octet-stream";
    return bridge::WebFile{std::move(type), bytes.toStdString()};
}

WebFront::WebFront(WebPlan plan, const bridge::CoreWeb& web, bridge::BridgeCore& core, Callbacks callbacks)
    : m_plan(std::move(plan)), m_places(web.places), m_login(web.access.password.has_value()), m_core(core),
      m_tell(std::move(callbacks)), m_listener(new HttpListener(m_places, m_plan.tls)) {
    m_listener->setPageOpening([this](QTcpSocket* socket, const bridge::WebSocketOpening& o) { opening(socket, o); });
    connect(m_listener, &HttpListener::refused, this, [this](const QString& why, const QString& from) {
        logLimited(QStringLiteral("refused ") + why.left(24), QStringLiteral("client %1 refused on %2: %3").arg(from, m_name, why), from);
    });
    connect(m_listener, &HttpListener::closed, this, [this](const QString& why, const QString& from) {
        logLimited(QStringLiteral("closed ") + why.left(24), QStringLiteral("client %1 closed on %2: %3").arg(from, m_name, why), from);
    });
    m_expiry.setInterval(1000);
    connect(&m_expiry, &QTimer::timeout, this, &WebFront::closeEndedSessions);
}

void WebFront::log(const QString& text, bridge::Priority priority) const {
    if (m_tell.log) m_tell.log(priority, text);
}

void WebFront::logLimited(const QString& kind, const QString& text, const QString& from) const {
    if (m_tell.logLimited) m_tell.logLimited(kind, text, from);
}

WebFront::~WebFront() {
    for (auto& [id, p] : m_pages)
        if (p.socket) {
            p.socket->socket()->disconnect(this);
            p.socket->socket()->abort();
        }
}

bool WebFront::listen(QString& error) {
    if (!m_listener->listenOn(m_plan.address, m_plan.port, std::max(256, m_places.size))) {
        error = QStringLiteral("%1:%2: %3").arg(m_plan.address.toString()).arg(m_plan.port).arg(m_listener->errorString());
        delete m_listener;
        m_listener = nullptr;
        return false;
    }
    bind(m_listener);
    m_name = QStringLiteral("web remote on %1://%2:%3")
                 .arg(m_plan.tls ? QStringLiteral("https") : QStringLiteral("http"), m_plan.address.toString())
                 .arg(m_listener->serverPort());
    m_core.webAccess().setPort(m_listener->serverPort()); // port 0 given: the one it got
    m_core.setWebName(m_name.toStdString());
    log(QStringLiteral("%1, at most %2 connections%3%4")
            .arg(m_name)
            .arg(m_places.size)
            .arg(m_places.perAddress ? QStringLiteral(", %1 per address").arg(m_places.perAddress) : QString())
            .arg(m_login ? QString() : QStringLiteral(", no login (loopback)")));
    return true;
}

void WebFront::closeEndedSessions() {
    std::vector<ClientId> ended;
    for (const auto& [id, p] : m_pages)
        if (!m_core.webAccess().live(p.session)) ended.push_back(id);
    for (ClientId id : ended) {
        const auto it = m_pages.find(id);
        log(QStringLiteral("%1 closed: its session ended").arg(it->second.who), bridge::Priority::Info);
        if (it->second.socket) it->second.socket->close(bridge::ws_close::kPolicy, "logged out");
        dropPage(id);
    }
}

bool WebFront::handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) {
    // A page's opening never comes here (the listener reads it on a connection of its own): any
    // other upgrade is refused.
    if (!request.value("Upgrade").isEmpty()) {
        refuseUpgrade(socket);
        return true;
    }
    const std::string path = request.url().path().toStdString();
    bridge::WebRequest r{methodName(request.method()),
                         path,
                         request.value("Host").toStdString(),
                         request.value("Origin").toStdString(),
                         request.value("Cookie").toStdString(),
                         request.value("Authorization").toStdString(),
                         request.body().toStdString(),
                         addressText(request.remoteAddress()).toStdString()};
    const auto failuresBefore = m_core.webAccess().failures();
    const bridge::WebReply reply = m_core.webRoutes().handle(r);
    HttpListener::requestDone(socket, reply.settles);
    const QString peer = QString::fromStdString(r.peer);
    if (m_core.webAccess().failures() != failuresBefore)
        logLimited(QStringLiteral("failed login on ") + m_name, QStringLiteral("%1: a wrong password from %2").arg(m_name, peer), peer);
    QHttpServerResponse response(QByteArray::fromStdString(reply.type), QByteArray::fromStdString(reply.body),
                                 static_cast<QHttpServerResponder::StatusCode>(reply.status));
    for (const auto& [k, v] : bridge::securityHeaders()) response.addHeader(QByteArray::fromStdString(k), QByteArray::fromStdString(v));
    for (const auto& [k, v] : reply.headers) response.addHeader(QByteArray::fromStdString(k), QByteArray::fromStdString(v));
    response.write(makeResponder(request, socket));
    HttpListener::queued(socket);
    if (r.path == "/logout") closeEndedSessions();
    return true;
}

void WebFront::missingHandler(const QHttpServerRequest&, QTcpSocket* socket) {
    refuseUpgrade(socket); // an upgrade Qt's server would have handed to WebSockets
}

void WebFront::refuseUpgrade(QTcpSocket* socket) {
    const QString peer = addressText(socket->peerAddress());
    logLimited(QStringLiteral("bad upgrade"), QStringLiteral("%1: %2 refused: not a WebSocket opening").arg(m_name, peer), peer);
    socket->write(QByteArray::fromStdString(bridge::closingResponse(
        400, "Bad Request", "Not a WebSocket opening: open the page's socket on a connection of its own.")));
    socket->disconnectFromHost();
}

void WebFront::opening(QTcpSocket* socket, const bridge::WebSocketOpening& o) {
    // Its peer gone already: let go at once, its place freed.
    if (socket->state() != QAbstractSocket::ConnectedState) {
        socket->abort();
        socket->deleteLater();
        return;
    }
    socket->write(QByteArray::fromStdString(bridge::openingAccepted(o.key)));
    HttpListener::queued(socket);
    auto* page = new PageSocket(socket, std::size_t(kMaxMessage));
    const QString peer = addressText(socket->peerAddress());
    const QString who = QStringLiteral("page %1:%2 on %3").arg(peer).arg(socket->peerPort()).arg(m_name);
    bridge::WebRequest r;
    r.host = o.host;
    r.origin = o.origin;
    r.cookie = o.cookie;
    if (!m_core.webRoutes().socketAllowed(r)) {
        // Closed before any message is read: nothing it sent has any effect.
        page->close(bridge::ws_close::kPolicy, "not logged in, or from another site");
        logLimited(QStringLiteral("page refused ") + m_name, QStringLiteral("%1 refused: not logged in, or from another site").arg(who), peer);
        return;
    }
    admit(page, who, bridge::WebAccess::sessionOf(r.cookie));
}

void WebFront::admit(PageSocket* page, const QString& who, std::string session) {
    QTcpSocket* socket = page->socket();
    const std::optional<ClientId> admitted = m_core.admitPage(addressText(socket->peerAddress()).toStdString(), who.toStdString());
    if (!admitted) {
        page->close(bridge::ws_close::kTryAgainLater, "too many pages open");
        return;
    }
    const ClientId id = *admitted;
    m_pages[id] = Page{page, who, std::move(session)};
    if (!m_expiry.isActive()) m_expiry.start();
    HttpListener::pageOpened(socket); // it keeps its place; what it is sent, pongs included, is bounded
    connect(page, &PageSocket::message, this, [this, id](const std::string& text) {
        auto it = m_pages.find(id);
        if (it == m_pages.end() || !it->second.socket) return;
        if (!m_core.webRemote().received(id, text)) {
            it->second.socket->close(bridge::ws_close::kPolicy, "no such message");
            dropPage(id);
        }
    });
    connect(page, &PageSocket::binary, this, [this, id] {
        if (auto it = m_pages.find(id); it != m_pages.end() && it->second.socket)
            it->second.socket->close(bridge::ws_close::kUnsupported, "text only");
        dropPage(id);
    });
    connect(page, &PageSocket::failed, this, [this, id, who, peer = addressText(socket->peerAddress())](std::uint16_t code, const std::string& why) {
        logLimited(QStringLiteral("page closed ") + m_name,
                   QStringLiteral("%1 closed with %2: %3").arg(who).arg(code).arg(QString::fromStdString(why)), peer);
        dropPage(id);
    });
    connect(socket, &QTcpSocket::disconnected, this, [this, id] { dropPage(id); });
    connect(page, &QObject::destroyed, this, [this, id] { dropPage(id); });
    m_core.pageOpened(id, [this, id](const std::string& json) {
        auto it = m_pages.find(id);
        if (it != m_pages.end() && it->second.socket) it->second.socket->send(json);
    });
}

void WebFront::dropPage(ClientId id) {
    auto it = m_pages.find(id);
    if (it == m_pages.end()) return;
    m_pages.erase(it);
    m_core.pageClosed(id); // its hold ends, its lines go
    if (m_pages.empty()) m_expiry.stop();
    if (m_listener) m_listener->resume();
}

} // namespace tova
