// SPDX-License-Identifier: MIT
#pragma once
// A listener that keeps accepting whatever happens. Qt's own accept loop stops for good, or
// spins, when the process runs out of descriptors (an engine keeps the first error it ever saw,
// and the drained backlog's "try again" masks every later one). This one accepts by itself:
// out of descriptors it pauses, says so once, and takes connections again as soon as a
// descriptor is freed, or a second on. Its backlog is set by its owner, and its owner may hold
// newcomers back there, unaccepted and in the order they came, while it has no place for one.
#include <QHostAddress>
#include <QSocketNotifier>
#include <QTcpServer>
#include <QTimer>

#include <chrono>
#include <deque>
#include <functional>
#include <memory>

namespace tova {

// A peer that vanished (a laptop gone to sleep, a cable pulled) is found in about 90 s: probes
// after 60 s of silence, every 10 s, three of them. Small writes go at once.
void keepAlive(QTcpSocket* s);

// A peer's address as the logs and the rules know it: an IPv4 client on a dual-stack socket as
// plain IPv4.
QString addressText(const QHostAddress& a);

class TcpServer : public QTcpServer {
    Q_OBJECT
  public:
    static constexpr int kRetryMs = 1000;

    // wait: how long newcomers wait before the next is accepted (none: never).
    explicit TcpServer(std::function<std::chrono::milliseconds()> wait = {}, QObject* parent = nullptr);
    ~TcpServer() override;

    bool listenOn(const QHostAddress& address, quint16 port, int backlog);
    bool hasPendingConnections() const override;
    QTcpSocket* nextPendingConnection() override;
    // A descriptor or a place was freed: connections are taken again at once.
    void resume();

  signals:
    void outOfDescriptors(const QString& why); // once, until it accepts again

  protected:
    // Takes an accepted descriptor: hands its socket over, now or once it knows what it is for,
    // and says true; or refuses the connection (false: the descriptor is closed).
    virtual bool adopt(qintptr fd);
    // The socket is the server's users' now: pending, and said so.
    void handOver(QTcpSocket* s);
#ifndef Q_OS_UNIX
    // Where this class does not accept by itself, Qt's loop accepts and hands each connection
    // here, to be adopted (or refused) just the same.
    void incomingConnection(qintptr fd) override;
#endif

  private:
    void acceptAll();
    std::function<std::chrono::milliseconds()> m_wait;
    std::unique_ptr<QSocketNotifier> m_notifier;
    QTimer m_retry;
    std::deque<QTcpSocket*> m_pending;
    bool m_out = false;
};

} // namespace tova
