// SPDX-License-Identifier: MIT
#include "bridge_qt/web/page_socket.hpp"

#include "bridge_qt/web/http_listener.hpp"

namespace tova {

using Kind = bridge::WebSocketReader::Event::Kind;

PageSocket::PageSocket(QTcpSocket* socket, std::size_t maxMessage) : QObject(socket), m_socket(socket), m_reader(maxMessage) {
    m_farewell.setSingleShot(true);
    m_farewell.setInterval(1000);
    connect(&m_farewell, &QTimer::timeout, m_socket, &QTcpSocket::abort);
    connect(m_socket, &QTcpSocket::readyRead, this, &PageSocket::readFrames);
    // What came with the opening's last piece is read now.
    QTimer::singleShot(0, this, &PageSocket::readFrames);
}

void PageSocket::send(const std::string& text) {
    if (m_closing) return;
    m_socket->write(QByteArray::fromStdString(bridge::webSocketFrame(bridge::WsOpcode::Text, text)));
    HttpListener::queued(m_socket);
}

void PageSocket::close(std::uint16_t code, const std::string& reason) {
    if (std::exchange(m_closing, true)) return;
    m_socket->write(QByteArray::fromStdString(bridge::closeFrame(code, reason)));
    HttpListener::queued(m_socket);
    m_farewell.start();
}

void PageSocket::readFrames() {
    while (m_socket->bytesAvailable() > 0) {
        const QByteArray bytes = m_socket->read(64 * 1024);
        for (const auto& e : m_reader.feed(std::string_view(bytes.constData(), std::size_t(bytes.size())))) {
            switch (e.kind) {
            case Kind::Text:
                if (!m_closing) emit message(e.payload);
                break;
            case Kind::Binary:
                if (!m_closing) emit binary();
                break;
            case Kind::Ping:
                if (!m_closing) {
                    m_socket->write(QByteArray::fromStdString(bridge::webSocketFrame(bridge::WsOpcode::Pong, e.payload)));
                    HttpListener::queued(m_socket);
                }
                break;
            case Kind::Pong: break;
            case Kind::Close:
                // Its close answers ours, or is answered with its code; then the connection ends.
                close(e.code == bridge::ws_close::kNoCode ? bridge::ws_close::kNormal : e.code, {});
                m_socket->disconnectFromHost();
                return;
            case Kind::Fail:
                emit failed(e.code, e.payload);
                close(e.code, e.payload);
                m_socket->disconnectFromHost();
                return;
            }
        }
        if (m_reader.done()) return;
    }
}

} // namespace tova
