// SPDX-License-Identifier: MIT
#include "bridge_qt/web/web_front.hpp"

#include "bridge_qt/random_hex.hpp"

#include <QDir>
#include <QFile>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QHttpServerResponse>
#include <QTcpSocket>
#include <QWebSocket>

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

namespace {

// Deleted once closed, aborted when the peer does not answer the close within a second.
void letGo(QWebSocket* ws) {
    QObject::connect(ws, &QWebSocket::disconnected, ws, &QObject::deleteLater);
    QTimer::singleShot(1000, ws, [ws] { ws->abort(); });
}

} // namespace

WebFront::WebFront(WebPlan plan, const bridge::CoreWeb& web, bridge::BridgeCore& core, Callbacks callbacks)
    : m_plan(std::move(plan)), m_places(web.places), m_login(web.access.password.has_value()), m_core(core),
      m_tell(std::move(callbacks)), m_listener(new HttpListener(m_places, m_plan.tls)) {
    connect(this, &QAbstractHttpServer::newWebSocketConnection, this, &WebFront::acceptSockets);
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
    for (auto& [id, p] : m_pages) {
        p.socket->disconnect(this);
        p.socket->abort();
        p.socket->deleteLater();
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
        it->second.socket->close(QWebSocketProtocol::CloseCodePolicyViolated, QStringLiteral("logged out"));
        dropPage(id);
    }
}

bool WebFront::handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) {
    HttpListener::requestDone(socket);
    const std::string path = request.url().path().toStdString();
    if (!request.value("Upgrade").isEmpty()) {
        // Only the page's socket is upgraded, and only by a WebSocket's opening; the session is
        // checked once it is a WebSocket, so that the page learns why it is refused.
        const bridge::UpgradeRequest u{methodName(request.method()), path, request.value("Upgrade").toStdString(),
                                       request.value("Connection").toStdString(),
                                       request.value("Sec-WebSocket-Key").toStdString(),
                                       request.value("Sec-WebSocket-Version").toStdString()};
        if (bridge::wellFormedUpgrade(u)) {
            HttpListener::upgraded(socket);
            return true;
        }
        const QString peer = addressText(request.remoteAddress());
        logLimited(QStringLiteral("bad upgrade"), QStringLiteral("%1: %2 refused: not a WebSocket opening").arg(m_name, peer), peer);
        QHttpServerResponse refused(QByteArray("text/plain; charset=utf-8"), QByteArray("Not a WebSocket opening.\n"),
                                    QHttpServerResponder::StatusCode::BadRequest);
        refused.addHeader("Connection", "close");
        for (const auto& [k, v] : bridge::securityHeaders()) refused.addHeader(QByteArray::fromStdString(k), QByteArray::fromStdString(v));
        refused.write(makeResponder(request, socket));
        return false; // and the connection ends
    }
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
    socket->disconnectFromHost(); // an upgrade refused: nothing is served on it
}

void WebFront::acceptSockets() {
    while (hasPendingWebSocketConnections()) {
        QWebSocket* ws = nextPendingWebSocketConnection().release();
        ws->setParent(this);
        const QString who = QStringLiteral("page %1:%2 on %3").arg(addressText(ws->peerAddress())).arg(ws->peerPort()).arg(m_name);
        const QNetworkRequest& hs = ws->request();
        bridge::WebRequest r;
        r.host = hs.rawHeader("Host").toStdString();
        r.origin = ws->origin().toStdString();
        r.cookie = hs.rawHeader("Cookie").toStdString();
        if (!m_core.webRoutes().socketAllowed(r)) {
            // Closed before any message is read: nothing it sent has any effect.
            refuse(ws, QWebSocketProtocol::CloseCodePolicyViolated, QStringLiteral("not logged in, or from another site"));
            const QString peer = addressText(ws->peerAddress());
            logLimited(QStringLiteral("page refused ") + m_name, QStringLiteral("%1 refused: not logged in, or from another site").arg(who),
                       peer);
            continue;
        }
        admit(ws, who, bridge::WebAccess::sessionOf(r.cookie));
    }
}

void WebFront::refuse(QWebSocket* ws, QWebSocketProtocol::CloseCode code, const QString& why) {
    letGo(ws);
    ws->close(code, why);
}

void WebFront::admit(QWebSocket* ws, const QString& who, std::string session) {
    const std::optional<ClientId> admitted = m_core.admitPage(addressText(ws->peerAddress()).toStdString(), who.toStdString());
    if (!admitted) {
        refuse(ws, static_cast<QWebSocketProtocol::CloseCode>(1013) /* try again later */, QStringLiteral("too many pages open"));
        return;
    }
    const ClientId id = *admitted;
    QTcpSocket* raw = m_listener->socketOf(*ws);
    m_pages[id] = Page{ws, who, std::move(session), raw};
    if (!m_expiry.isActive()) m_expiry.start();
    HttpListener::pageOpened(raw); // what it is sent, pongs included, is bounded as a client's replies
    ws->setMaxAllowedIncomingFrameSize(quint64(kMaxMessage));
    ws->setMaxAllowedIncomingMessageSize(quint64(kMaxMessage));
    connect(ws, &QWebSocket::textMessageReceived, this, [this, id](const QString& text) {
        auto it = m_pages.find(id);
        if (it == m_pages.end()) return;
        if (!m_core.webRemote().received(id, text.toStdString())) {
            it->second.socket->close(QWebSocketProtocol::CloseCodePolicyViolated, QStringLiteral("no such message"));
            dropPage(id);
        }
    });
    connect(ws, &QWebSocket::binaryMessageReceived, this, [this, id] {
        if (auto it = m_pages.find(id); it != m_pages.end())
            it->second.socket->close(QWebSocketProtocol::CloseCodeDatatypeNotSupported, QStringLiteral("text only"));
        dropPage(id);
    });
    connect(ws, &QWebSocket::disconnected, this, [this, id] { dropPage(id); }, Qt::QueuedConnection);
    m_core.pageOpened(id, [this, id](const std::string& json) {
        auto it = m_pages.find(id);
        if (it == m_pages.end()) return;
        it->second.socket->sendTextMessage(QString::fromStdString(json));
        HttpListener::queued(it->second.raw);
    });
}

void WebFront::dropPage(ClientId id) {
    auto it = m_pages.find(id);
    if (it == m_pages.end()) return;
    QWebSocket* ws = it->second.socket;
    m_pages.erase(it);
    m_core.pageClosed(id); // its hold ends, its lines go
    if (m_pages.empty()) m_expiry.stop();
    ws->disconnect(this);
    if (ws->state() == QAbstractSocket::UnconnectedState) ws->deleteLater();
    else letGo(ws);
    if (m_listener) m_listener->resume();
}

} // namespace tova
