// SPDX-License-Identifier: MIT
#pragma once
// A page's WebSocket on its connection, after its opening was answered: the client's frames read
// by the rules below the seam, text messages out, pings answered, and the closing handshake
// (a close frame, then the connection, within a second whatever the peer does). A child of its
// socket, gone with it.
#include "bridge/web/websocket_frames.hpp"

#include <QObject>
#include <QPointer>
#include <QTcpSocket>
#include <QTimer>

#include <cstdint>
#include <string>

namespace tova {

class PageSocket : public QObject {
    Q_OBJECT
  public:
    PageSocket(QTcpSocket* socket, std::size_t maxMessage);

    void send(const std::string& text);
    // Closes with code: a close frame, then the connection once the peer answers or a second on.
    void close(std::uint16_t code, const std::string& reason);
    bool closing() const { return m_closing; }
    QTcpSocket* socket() const { return m_socket; }

  signals:
    void message(const std::string& text);
    void binary();
    // Its frames broke the protocol: it is being closed with code.
    void failed(std::uint16_t code, const std::string& why);

  private:
    void readFrames();

    QTcpSocket* m_socket;
    bridge::WebSocketReader m_reader;
    QTimer m_farewell;
    bool m_closing = false;
};

} // namespace tova
