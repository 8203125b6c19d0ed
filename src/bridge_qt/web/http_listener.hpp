// SPDX-License-Identifier: MIT
#pragma once
// The web listener's sockets, for Qt's HTTP server, which has no limits of its own: at most
// maxConnections at once (more are closed as they come), kMaxRequestBytes received towards one
// request (Qt's server holds a request's bytes until it is whole), kRequestMs to send each request (a connection idle that long after its last one is
// closed too), and TLS when a certificate is given. A socket upgraded to a page's WebSocket
// leaves the request bounds; the page's own bounds take over.
#include "bridge_qt/tcp_server.hpp"

#include <QSslConfiguration>

#include <memory>
#include <optional>

class QTcpSocket;

namespace tova {

class HttpListener : public TcpServer {
    Q_OBJECT
  public:
    static constexpr qint64 kMaxRequestBytes = 16 * 1024;
    static constexpr int kRequestMs = 10000;

    HttpListener(int maxConnections, std::optional<QSslConfiguration> tls, QObject* parent = nullptr);

    int connections() const { return *m_count; }
    // A request of the socket's has arrived whole: its bounds start again.
    static void requestDone(QTcpSocket* s);
    // The socket is a page's WebSocket now.
    static void upgraded(QTcpSocket* s);

  signals:
    void refused(const QString& why);

  protected:
    QTcpSocket* adopt(qintptr fd) override;

  private:
    int m_max;
    std::optional<QSslConfiguration> m_tls;
    std::shared_ptr<int> m_count = std::make_shared<int>(0); // outlives the listener for its sockets
};

} // namespace tova
