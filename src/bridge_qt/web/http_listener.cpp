// SPDX-License-Identifier: MIT
#include "bridge_qt/web/http_listener.hpp"

#include "bridge/client_bounds.hpp"
#include "bridge/web/request_framing.hpp"
#include "bridge/web/web_routes.hpp"
#include "bridge/web/websocket_opening.hpp"
#include "core/clock.hpp"
#include "qt/qt_timer.hpp"

#include <QPointer>
#include <QSslSocket>
#include <QTimer>

#include <map>
#ifdef Q_OS_WIN
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <sys/socket.h>
#endif

namespace tova {

struct HttpListener::Shared {
    explicit Shared(bridge::SlotRules rules) : places(clock, rules) {}
    SteadyClock clock;
    bridge::ListenerSlots places;
    std::map<int, QPointer<QTcpSocket>> sockets; // by place
    int next = 0;
};

namespace {

QString peerOf(qintptr fd) {
    sockaddr_storage a{};
    socklen_t len = sizeof a;
    if (::getpeername(static_cast<decltype(::socket(0, 0, 0))>(fd), reinterpret_cast<sockaddr*>(&a), &len) != 0) return {};
    return addressText(QHostAddress(reinterpret_cast<const sockaddr*>(&a)));
}

// Kept as a child of its socket: holds the connection's place while it lives, and bounds it.
class Bounds : public QObject {
    Q_OBJECT
  public:
    Bounds(QTcpSocket* s, int place, QString address, std::shared_ptr<HttpListener::Shared> shared,
           QPointer<HttpListener> listener)
        : QObject(s), m_socket(s), m_place(place), m_address(std::move(address)), m_shared(std::move(shared)),
          m_listener(listener), m_bound(m_stall, [this](const std::string& why) { close(QString::fromStdString(why)); }) {
        m_deadline.setSingleShot(true);
        m_deadline.setInterval(HttpListener::kRequestMs);
        connect(&m_deadline, &QTimer::timeout, this, [this] { cut(); });
        m_deadline.start();
        // Connected before the HTTP server's own slot: it sees each piece before it is read.
        connect(s, &QTcpSocket::readyRead, this, &Bounds::arrived);
        watchWrites();
    }
    ~Bounds() override {
        m_shared->places.release(m_place);
        m_shared->sockets.erase(m_place);
        if (m_listener) m_listener->resume(); // a newcomer waiting may take its place
    }
    void requestDone(bool settles) {
        if (settles) m_shared->places.settle(m_place);
        m_deadline.start();
    }
    void queued() { m_bound.queued(std::size_t(m_socket->bytesToWrite())); }
    // The page's socket reads its own frames from here on: it keeps its place, and what they
    // make it answer (pongs) counts too.
    void pageOpened() {
        m_shared->places.settle(m_place);
        connect(m_socket, &QTcpSocket::readyRead, this, &Bounds::queued);
        queued();
    }

  private:
    enum class Phase { Held, Opening, Served, Page };

    void watchWrites() { connect(m_socket, &QTcpSocket::bytesWritten, this, &Bounds::wrote, Qt::UniqueConnection); }
    void wrote() { m_bound.took(std::size_t(m_socket->bytesToWrite())); }
    // Until its first request line shows what the connection is for, nothing reads it.
    void held() {
        const QByteArray all = m_socket->peek(m_socket->bytesAvailable());
        const std::string_view bytes(all.constData(), std::size_t(all.size()));
        if (m_phase == Phase::Held) {
            const bridge::FirstRequest first = bridge::firstRequest(bytes);
            if (first == bridge::FirstRequest::Unknown) return;
            if (first == bridge::FirstRequest::Other) {
                m_phase = Phase::Served;
                if (!m_listener) return cut();
                m_listener->handOverHeld(m_socket); // the server's slots are connected now
                emit m_socket->readyRead();         // and read what has come, this first
                return;
            }
            m_phase = Phase::Opening;
        }
        const bridge::WebSocketOpening o = bridge::readOpening(bytes, std::size_t(HttpListener::kMaxRequestBytes));
        if (o.verdict == bridge::WebSocketOpening::Verdict::Wait) return;
        m_socket->read(all.size());
        if (o.verdict == bridge::WebSocketOpening::Verdict::Refused) {
            m_phase = Phase::Served; // nothing more is read
            m_socket->write(QByteArray::fromStdString(
                bridge::closingResponse(400, "Bad Request", "Not a WebSocket opening: " + o.why + ".")));
            if (m_listener) emit m_listener->refused(QStringLiteral("not a WebSocket opening: %1").arg(QString::fromStdString(o.why)), m_address);
            m_socket->disconnectFromHost();
            return;
        }
        m_phase = Phase::Page;
        m_deadline.stop();
        if (m_listener) m_listener->pageOpening(m_socket, o);
        else cut();
    }
    void arrived() {
        if (m_phase == Phase::Held || m_phase == Phase::Opening) return held();
        if (m_phase == Phase::Page) return;
        // What the server left unread last time has been looked at already.
        const qint64 unread = m_socket->bytesAvailable();
        const qint64 fresh = unread - m_looked;
        if (!m_afterReading) // connected after the server's slot: what it leaves unread
            m_afterReading = connect(m_socket, &QTcpSocket::readyRead, this, [this] { m_looked = m_socket->bytesAvailable(); });
        if (fresh <= 0) return;
        const QByteArray all = m_socket->peek(unread);
        const auto why = m_framing.feed(std::string_view(all.constData() + (unread - fresh), std::size_t(fresh)));
        // A request may hold no more than the socket reads at a time: Qt's server holds it whole.
        if (m_framing.current() >= std::size_t(HttpListener::kMaxRequestBytes)) return cut();
        if (why) {
            m_socket->readAll(); // none of it reaches the server
            m_socket->write(QByteArray::fromStdString(
                bridge::closingResponse(400, "Bad Request", "Refused: the request's length can be read two ways.")));
            if (m_listener) emit m_listener->refused(QStringLiteral("a request with %1").arg(QString::fromStdString(*why)), m_address);
            m_socket->disconnectFromHost();
        }
    }
    void close(const QString& why) {
        if (m_listener) emit m_listener->closed(why, m_address);
        cut();
    }
    // Closed at once; the server reads no more of it (it may have asked to read again).
    void cut() {
        QObject::disconnect(m_socket, &QTcpSocket::readyRead, nullptr, nullptr);
        m_socket->abort();
    }

    QTcpSocket* m_socket;
    Phase m_phase = Phase::Held;
    int m_place;
    QString m_address;
    std::shared_ptr<HttpListener::Shared> m_shared;
    QPointer<HttpListener> m_listener;
    QTimer m_deadline;
    QtTimer m_stall;
    bridge::OutputBound m_bound;
    bridge::RequestFraming m_framing;
    QMetaObject::Connection m_afterReading;
    qint64 m_looked = 0;
};

Bounds* boundsOf(QTcpSocket* s) { return s ? s->findChild<Bounds*>(QString(), Qt::FindDirectChildrenOnly) : nullptr; }

} // namespace

HttpListener::HttpListener(bridge::SlotRules places, std::optional<QSslConfiguration> tls, QObject* parent)
    : TcpServer([this] { return m_shared->places.wait(); }, parent), m_tls(std::move(tls)),
      m_shared(std::make_shared<Shared>(places)) {}

int HttpListener::connections() const { return static_cast<int>(m_shared->places.used()); }

void HttpListener::requestDone(QTcpSocket* s, bool settles) {
    if (Bounds* b = boundsOf(s)) b->requestDone(settles);
}

void HttpListener::queued(QTcpSocket* s) {
    if (Bounds* b = boundsOf(s)) b->queued();
}

void HttpListener::pageOpened(QTcpSocket* s) {
    if (Bounds* b = boundsOf(s)) b->pageOpened();
}

bool HttpListener::adopt(qintptr fd) {
    const QString address = peerOf(fd);
    const int place = ++m_shared->next;
    const auto taken = m_shared->places.take(place, address.toStdString());
    if (const auto* refused = std::get_if<bridge::ListenerSlots::Refused>(&taken)) {
        emit this->refused(*refused == bridge::ListenerSlots::Refused::Full
                               ? QStringLiteral("%1 connections already, each with a request").arg(m_shared->places.rules().size)
                               : QStringLiteral("its address holds %1 connections already").arg(m_shared->places.rules().perAddress),
                           address);
        return false;
    }
    if (const auto evicted = std::get<bridge::ListenerSlots::Taken>(taken).evicted) {
        // Its place is the newcomer's: it has sent no whole request in a second and more.
        if (QTcpSocket* old = m_shared->sockets[*evicted]) {
            emit closed(QStringLiteral("made room for a newcomer: no whole request yet"), addressText(old->peerAddress()));
            old->abort();
        }
        m_shared->sockets.erase(*evicted);
    }
    QTcpSocket* s = nullptr;
    if (m_tls) {
        auto* ssl = new QSslSocket(this);
        ssl->setSslConfiguration(*m_tls);
        s = ssl;
    } else {
        s = new QTcpSocket(this);
    }
    if (!s->setSocketDescriptor(fd)) {
        delete s;
        m_shared->places.release(place);
        return false;
    }
    keepAlive(s);
    s->setReadBufferSize(kMaxRequestBytes);
    new Bounds(s, place, address, m_shared, this);
    m_shared->sockets[place] = s;
    // Gone, it goes: held and page sockets are never the HTTP server's to delete.
    connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
    if (auto* ssl = qobject_cast<QSslSocket*>(s)) {
        // A handshake that fails closes the connection; one that never ends meets the deadline.
        connect(ssl, &QSslSocket::sslErrors, ssl, [ssl] { ssl->abort(); });
        ssl->startServerEncryption();
    }
    return true;
}

} // namespace tova

#include "http_listener.moc"
