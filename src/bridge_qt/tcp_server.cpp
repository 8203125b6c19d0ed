// SPDX-License-Identifier: MIT
#include "bridge_qt/tcp_server.hpp"

#include <QTcpSocket>

#include <cerrno>
#include <cstring>
#ifdef Q_OS_UNIX
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace tova {

TcpServer::TcpServer(std::function<std::chrono::milliseconds()> wait, QObject* parent)
    : QTcpServer(parent), m_wait(std::move(wait)) {
    m_retry.setSingleShot(true);
    connect(&m_retry, &QTimer::timeout, this, &TcpServer::resume);
}

TcpServer::~TcpServer() {
    for (QTcpSocket* s : m_pending) delete s;
}

bool TcpServer::listenOn(const QHostAddress& address, quint16 port, int backlog) {
    setListenBacklogSize(backlog);
    if (!listen(address, port)) return false;
#ifdef Q_OS_UNIX
    pauseAccepting(); // Qt's loop never runs: this class accepts
    m_notifier = std::make_unique<QSocketNotifier>(socketDescriptor(), QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &TcpServer::acceptAll);
#endif
    return true;
}

bool TcpServer::hasPendingConnections() const { return !m_pending.empty() || QTcpServer::hasPendingConnections(); }

QTcpSocket* TcpServer::nextPendingConnection() {
    if (m_pending.empty()) return QTcpServer::nextPendingConnection();
    QTcpSocket* s = m_pending.front();
    m_pending.pop_front();
    return s;
}

bool TcpServer::adopt(qintptr fd) {
    auto* s = new QTcpSocket(this);
    if (!s->setSocketDescriptor(fd)) {
        delete s;
        return false;
    }
    handOver(s);
    return true;
}

void TcpServer::handOver(QTcpSocket* s) {
    m_pending.push_back(s);
    // Qt's HTTP server listens for the signal Qt keeps private to its own accept loop.
    QMetaObject::invokeMethod(this, "pendingConnectionAvailable", Qt::DirectConnection);
    emit newConnection();
}

#ifndef Q_OS_UNIX
void TcpServer::incomingConnection(qintptr fd) {
    if (adopt(fd)) return;
    QTcpSocket closer; // refused: the connection is closed at once
    if (closer.setSocketDescriptor(fd)) closer.abort();
}
#endif

QString addressText(const QHostAddress& a) {
    return a.toIPv4Address() ? QHostAddress(a.toIPv4Address()).toString() : a.toString();
}

void keepAlive(QTcpSocket* s) {
    s->setSocketOption(QAbstractSocket::KeepAliveOption, 1);
    s->setSocketOption(QAbstractSocket::LowDelayOption, 1);
#ifdef Q_OS_LINUX
    const int fd = static_cast<int>(s->socketDescriptor());
    const int idle = 60, interval = 10, probes = 3;
    ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &idle, sizeof idle);
    ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &interval, sizeof interval);
    ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &probes, sizeof probes);
#endif
}

void TcpServer::resume() {
    if (m_notifier) m_notifier->setEnabled(true);
}

void TcpServer::acceptAll() {
#ifdef Q_OS_UNIX
    for (;;) {
        if (const auto wait = m_wait ? m_wait() : std::chrono::milliseconds{0}; wait.count() > 0) {
            // No place yet: they wait in the backlog until one can be made.
            m_notifier->setEnabled(false);
            m_retry.start(static_cast<int>(wait.count()));
            return;
        }
        const int fd = ::accept4(static_cast<int>(socketDescriptor()), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED) continue;
            if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
                m_notifier->setEnabled(false);
                m_retry.start(kRetryMs);
                if (!std::exchange(m_out, true)) emit outOfDescriptors(QString::fromLocal8Bit(std::strerror(errno)));
            }
            return; // EAGAIN: the backlog is drained
        }
        m_out = false;
        if (!adopt(fd)) ::close(fd);
    }
#endif
}

} // namespace tova
