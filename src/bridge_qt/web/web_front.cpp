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

// The page's files, compiled in: only those the resource holds, by their exact names.
std::optional<bridge::WebFile> pageFile(std::string_view path) {
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

// Deleted once closed, aborted when the peer does not answer the close within a second.
void letGo(QWebSocket* ws) {
    QObject::connect(ws, &QWebSocket::disconnected, ws, &QObject::deleteLater);
    QTimer::singleShot(1000, ws, [ws] { ws->abort(); });
}

} // namespace

WebFront::WebFront(WebPlan plan, Line line, std::vector<bridge::ServedProjector> projectors, Callbacks callbacks)
    : m_plan(std::move(plan)), m_line(line), m_tell(std::move(callbacks)),
      m_listener(new HttpListener(m_plan.maxClients, m_plan.tls)),
      m_access(m_plan.access, line.clock, line.backoff, randomHex),
      m_routes(m_access, {pageFile, [this] { return m_remote.tables(); }, [this] { return m_tell.metrics ? m_tell.metrics() : std::string(); }}),
      m_remote(line.queue, std::move(projectors), [] { return std::make_unique<QtTimer>(); }) {
    connect(this, &QAbstractHttpServer::newWebSocketConnection, this, &WebFront::acceptSockets);
    connect(m_listener, &HttpListener::refused, this, [this](const QString& why) {
        logLimited(QStringLiteral("refused ") + m_name, QStringLiteral("client refused on %1: %2").arg(m_name, why));
    });
}

void WebFront::log(const QString& text) const {
    if (m_tell.log) m_tell.log(text);
}

void WebFront::logLimited(const QString& kind, const QString& text) const {
    if (m_tell.logLimited) m_tell.logLimited(kind, text);
}

WebFront::~WebFront() {
    for (auto& [id, p] : m_pages) {
        p.socket->disconnect(this);
        p.socket->abort();
        p.socket->deleteLater();
    }
}

bool WebFront::listen(QString& error) {
    if (!m_listener->listenOn(m_plan.address, m_plan.port, std::max(256, m_plan.maxClients))) {
        error = QStringLiteral("%1:%2: %3").arg(m_plan.address.toString()).arg(m_plan.port).arg(m_listener->errorString());
        delete m_listener;
        m_listener = nullptr;
        return false;
    }
    bind(m_listener);
    m_name = QStringLiteral("web remote on %1://%2:%3")
                 .arg(m_plan.tls ? QStringLiteral("https") : QStringLiteral("http"), m_plan.address.toString())
                 .arg(m_listener->serverPort());
    m_access.setPort(m_listener->serverPort()); // port 0 given: the one it got
    log(QStringLiteral("%1, at most %2 connections%3")
                .arg(m_name)
                .arg(m_plan.maxClients)
                .arg(m_plan.access.password ? QString() : QStringLiteral(", no login (loopback)")));
    return true;
}

void WebFront::setPassword(std::optional<std::string> password) {
    if (!password || password == m_access.config().password) return;
    m_access.setPassword(std::move(password));
    log(QStringLiteral("%1: the password changed").arg(m_name));
}

bool WebFront::handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) {
    HttpListener::requestDone(socket);
    const std::string path = request.url().path().toStdString();
    if (!request.value("Upgrade").isEmpty()) {
        // Only the page's socket is upgraded; it is checked once it is a WebSocket, so that the
        // page learns why it is refused.
        if (path != bridge::WebRoutes::kSocketPath) return false;
        HttpListener::upgraded(socket);
        return true;
    }
    bridge::WebRequest r{methodName(request.method()),
                         path,
                         request.value("Host").toStdString(),
                         request.value("Origin").toStdString(),
                         request.value("Cookie").toStdString(),
                         request.value("Authorization").toStdString(),
                         request.body().toStdString(),
                         addressText(request.remoteAddress()).toStdString()};
    const auto failuresBefore = m_access.failures();
    const bridge::WebReply reply = m_routes.handle(r);
    if (m_access.failures() != failuresBefore)
        logLimited(QStringLiteral("login ") + QString::fromStdString(r.peer),
                   QStringLiteral("%1: a wrong password from %2").arg(m_name, QString::fromStdString(r.peer)));
    QHttpServerResponse response(QByteArray::fromStdString(reply.type), QByteArray::fromStdString(reply.body),
                                 static_cast<QHttpServerResponder::StatusCode>(reply.status));
    for (const auto& [k, v] : bridge::securityHeaders()) response.addHeader(QByteArray::fromStdString(k), QByteArray::fromStdString(v));
    for (const auto& [k, v] : reply.headers) response.addHeader(QByteArray::fromStdString(k), QByteArray::fromStdString(v));
    response.write(makeResponder(request, socket));
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
        if (!m_routes.socketAllowed(r)) {
            // Closed before any message is read: nothing it sent has any effect.
            refuse(ws, QWebSocketProtocol::CloseCodePolicyViolated, QStringLiteral("not logged in, or from another site"));
            logLimited(QStringLiteral("page refused ") + m_name, QStringLiteral("%1 refused: not logged in, or from another site").arg(who));
            continue;
        }
        admit(ws, who);
    }
}

void WebFront::refuse(QWebSocket* ws, QWebSocketProtocol::CloseCode code, const QString& why) {
    letGo(ws);
    ws->close(code, why);
}

void WebFront::admit(QWebSocket* ws, const QString& who) {
    const auto admitted = m_line.clients.admit(m_line.registryListener, true);
    if (!std::holds_alternative<ClientId>(admitted)) {
        refuse(ws, static_cast<QWebSocketProtocol::CloseCode>(1013) /* try again later */, QStringLiteral("too many pages open"));
        return;
    }
    const ClientId id = std::get<ClientId>(admitted);
    Page& p = m_pages[id];
    p.socket = ws;
    p.who = who;
    p.stall = std::make_unique<QtTimer>();
    p.bound = std::make_unique<bridge::OutputBound>(*p.stall, [this, id](const std::string& why) {
        auto it = m_pages.find(id);
        if (it == m_pages.end()) return;
        log(QStringLiteral("%1 closed: %2").arg(it->second.who, QString::fromStdString(why)));
        it->second.socket->abort();
    });
    ws->setMaxAllowedIncomingFrameSize(quint64(kMaxMessage));
    ws->setMaxAllowedIncomingMessageSize(quint64(kMaxMessage));
    connect(ws, &QWebSocket::textMessageReceived, this, [this, id](const QString& text) {
        auto it = m_pages.find(id);
        if (it == m_pages.end()) return;
        if (!m_remote.received(id, text.toStdString())) {
            it->second.socket->close(QWebSocketProtocol::CloseCodePolicyViolated, QStringLiteral("no such message"));
            dropPage(id);
        }
    });
    connect(ws, &QWebSocket::binaryMessageReceived, this, [this, id] {
        if (auto it = m_pages.find(id); it != m_pages.end())
            it->second.socket->close(QWebSocketProtocol::CloseCodeDatatypeNotSupported, QStringLiteral("text only"));
        dropPage(id);
    });
    connect(ws, &QWebSocket::bytesWritten, this, [this, id] {
        if (auto it = m_pages.find(id); it != m_pages.end()) it->second.bound->took(std::size_t(it->second.socket->bytesToWrite()));
    });
    connect(ws, &QWebSocket::disconnected, this, [this, id] { dropPage(id); }, Qt::QueuedConnection);
    logLimited(QStringLiteral("page ") + m_name, QStringLiteral("%1 opened").arg(who));
    m_remote.opened(id, [this, id](const std::string& json) {
        auto it = m_pages.find(id);
        if (it == m_pages.end()) return;
        it->second.socket->sendTextMessage(QString::fromStdString(json));
        it->second.bound->queued(std::size_t(it->second.socket->bytesToWrite()));
    });
}

void WebFront::dropPage(ClientId id) {
    auto it = m_pages.find(id);
    if (it == m_pages.end()) return;
    QWebSocket* ws = it->second.socket;
    m_pages.erase(it);
    m_remote.closed(id); // its hold ends, its lines go
    m_line.clients.remove(id);
    ws->disconnect(this);
    if (ws->state() == QAbstractSocket::UnconnectedState) ws->deleteLater();
    else letGo(ws);
    if (m_listener) m_listener->resume();
}

} // namespace tova
