// SPDX-License-Identifier: MIT
#pragma once
// The web listener's sockets, for Qt's HTTP server, which has no limits of its own. Each
// connection has a place by the listener's rules (a full listener, or an address at its share,
// makes room by closing a connection that has sent no whole request after a second);
// kMaxRequestBytes towards one request (Qt's server holds a request's bytes until it is whole);
// kRequestMs to send each request (one idle that long after its last is closed too); framing
// checked before Qt reads it; and what it has not taken of its responses bounded as a PJLink
// client's are: a client that pipelines requests and never reads is closed at 1 MB or after
// 10 s without progress. A page's WebSocket keeps that output bound (its pongs count too) and
// leaves the request bounds. TLS when a certificate is given.
#include "bridge/client_bounds.hpp"
#include "bridge/listener_slots.hpp"
#include "bridge_qt/tcp_server.hpp"

#include <QSslConfiguration>

#include <memory>
#include <optional>

class QTcpSocket;
class QWebSocket;

namespace tova {

class HttpListener : public TcpServer {
    Q_OBJECT
  public:
    static constexpr qint64 kMaxRequestBytes = qint64(bridge::kMaxWebRequest);
    static constexpr int kRequestMs = 10000;

    HttpListener(bridge::SlotRules places, std::optional<QSslConfiguration> tls, QObject* parent = nullptr);

    int connections() const;
    // A request of the socket's has arrived whole: it has done its part, and its bounds start again.
    static void requestDone(QTcpSocket* s);
    // A response or a page's message was queued on the socket.
    static void queued(QTcpSocket* s);
    // The socket is becoming a page's WebSocket.
    static void upgraded(QTcpSocket* s);
    // The socket a page's WebSocket runs on (nullptr: none of this listener's).
    QTcpSocket* socketOf(const QWebSocket& page) const;
    // The page is open on the socket: what its frames make it answer (pongs) counts too.
    static void pageOpened(QTcpSocket* s);

    struct Shared; // what the listener's sockets share with it, and may outlive it with

  signals:
    void refused(const QString& why, const QString& address);
    void closed(const QString& why, const QString& address); // by its bounds

  protected:
    QTcpSocket* adopt(qintptr fd) override;

  private:
    std::optional<QSslConfiguration> m_tls;
    std::shared_ptr<Shared> m_shared;
};

} // namespace tova
