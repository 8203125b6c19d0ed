// SPDX-License-Identifier: MIT
#include "bridge_qt/web/http_listener.hpp"

#include <QPointer>
#include <QSslSocket>
#include <QTimer>

namespace tova {
namespace {

// Kept as a child of its socket: counts the connection while it lives, and bounds its requests.
class Bounds : public QObject {
    Q_OBJECT
  public:
    Bounds(QTcpSocket* s, std::shared_ptr<int> count) : QObject(s), m_socket(s), m_count(std::move(count)) {
        ++*m_count;
        m_deadline.setSingleShot(true);
        m_deadline.setInterval(HttpListener::kRequestMs);
        connect(&m_deadline, &QTimer::timeout, this, [this] { m_socket->abort(); });
        m_deadline.start();
        // Connected before the HTTP server's own slot: it sees each piece before it is read. The
        // socket reads no more than a request may hold, so a request that fills it is too big.
        m_reading = connect(s, &QTcpSocket::readyRead, this, [this] {
            m_bytes += m_socket->bytesAvailable();
            if (m_bytes >= HttpListener::kMaxRequestBytes) m_socket->abort();
        });
    }
    ~Bounds() override { --*m_count; }
    void requestDone() {
        m_bytes = 0;
        m_deadline.start();
    }
    void upgraded() {
        m_deadline.stop();
        disconnect(m_reading);
    }

  private:
    QTcpSocket* m_socket;
    std::shared_ptr<int> m_count;
    QTimer m_deadline;
    QMetaObject::Connection m_reading;
    qint64 m_bytes = 0;
};

Bounds* boundsOf(QTcpSocket* s) { return s ? s->findChild<Bounds*>(QString(), Qt::FindDirectChildrenOnly) : nullptr; }

} // namespace

HttpListener::HttpListener(int maxConnections, std::optional<QSslConfiguration> tls, QObject* parent)
    : TcpServer(parent), m_max(maxConnections), m_tls(std::move(tls)) {}

void HttpListener::requestDone(QTcpSocket* s) {
    if (Bounds* b = boundsOf(s)) b->requestDone();
}

void HttpListener::upgraded(QTcpSocket* s) {
    if (Bounds* b = boundsOf(s)) b->upgraded();
}

QTcpSocket* HttpListener::adopt(qintptr fd) {
    if (*m_count >= m_max) {
        emit refused(QStringLiteral("%1 connections already").arg(m_max));
        return nullptr;
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
        return nullptr;
    }
    keepAlive(s);
    s->setReadBufferSize(kMaxRequestBytes);
    new Bounds(s, m_count);
    if (auto* ssl = qobject_cast<QSslSocket*>(s)) {
        // A handshake that fails closes the connection; one that never ends meets the deadline.
        connect(ssl, &QSslSocket::sslErrors, ssl, [ssl] { ssl->abort(); });
        ssl->startServerEncryption();
    }
    return s;
}

} // namespace tova

#include "http_listener.moc"
