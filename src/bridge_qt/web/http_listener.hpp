// SPDX-License-Identifier: MIT
#pragma once
// The web listener's sockets, for Qt's HTTP server, which has no limits of its own. Each
// connection has a place by the listener's rules (a full listener, or an address at its share,
// makes room by closing a connection that has not shown it is a user's after a second);
// kMaxRequestBytes towards one request (Qt's server holds a request's bytes until it is whole);
// kRequestMs to send each request (one idle that long after its last is closed too); framing
// checked before Qt reads it; and what it has not taken of its responses bounded as a PJLink
// client's are: a client that pipelines requests and never reads is closed at 1 MB or after
// 10 s without progress. A connection goes to the HTTP server only once its first request line
// shows it is no page's socket: the page's opening is read here, and the page's socket never
// reaches the server; it keeps the output bound (its pongs count too) and leaves the request
// bounds. TLS when a certificate is given.
#include "bridge/client_bounds.hpp"
#include "bridge/listener_slots.hpp"
#include "bridge/web/websocket_opening.hpp"
#include "bridge_qt/tcp_server.hpp"

#include <QSslConfiguration>

#include <functional>
#include <memory>
#include <optional>

class QTcpSocket;

namespace tova {

class HttpListener : public TcpServer {
    Q_OBJECT
  public:
    static constexpr qint64 kMaxRequestBytes = qint64(bridge::kMaxWebRequest);
    static constexpr int kRequestMs = 10000;

    HttpListener(bridge::SlotRules places, std::optional<QSslConfiguration> tls, QObject* parent = nullptr);

    int connections() const;
    // A page's opening has come whole on the socket (the socket's only request, read): the
    // handler answers it. A socket whose peer has gone already is let go here, never handed.
    using PageOpening = std::function<void(QTcpSocket*, const bridge::WebSocketOpening&)>;
    void setPageOpening(PageOpening handler) { m_pageOpening = std::move(handler); }
    // A request of the socket's has arrived whole: its bounds start again; it keeps its place
    // where the request settles it (a user's).
    static void requestDone(QTcpSocket* s, bool settles);
    // A response or a page's message was queued on the socket.
    static void queued(QTcpSocket* s);
    // The page is open on the socket: it keeps its place, and what it is sent is bounded.
    static void pageOpened(QTcpSocket* s);

    struct Shared; // what the listener's sockets share with it, and may outlive it with

    // For the sockets' bounds: a held socket is the HTTP server's; its page's opening came.
    void handOverHeld(QTcpSocket* s) { handOver(s); }
    void pageOpening(QTcpSocket* s, const bridge::WebSocketOpening& o) {
        if (m_pageOpening) m_pageOpening(s, o);
    }

  signals:
    void refused(const QString& why, const QString& address);
    void closed(const QString& why, const QString& address); // by its bounds

  protected:
    bool adopt(qintptr fd) override;

  private:
    std::optional<QSslConfiguration> m_tls;
    std::shared_ptr<Shared> m_shared;
    PageOpening m_pageOpening;
};

} // namespace tova
