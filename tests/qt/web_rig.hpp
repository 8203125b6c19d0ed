// SPDX-License-Identifier: MIT
#pragma once
// The web listener's tests' rig: a bridge with only its web listener, on the virtual projector,
// and clients written here (a page's socket as a browser opens it, one that never reads, a
// client's frame).
#include "bridge_process.hpp"

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <QUrl>
#include <QWebSocket>

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <functional>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace tova::test {

inline const QString kPassword = QStringLiteral("stage-left-42");

// A bridge with only the web listener, on the virtual projector.
struct WebRig {
    SimProcess sim{{QStringLiteral("--fast")}};
    QTemporaryDir dir;
    QString passwordFile = dir.filePath(QStringLiteral("password"));
    std::unique_ptr<BridgeProcess> bridge;
    QByteArray simLog;
    explicit WebRig(QStringList extra = {}, bool password = true) {
        QFile f(passwordFile);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(kPassword.toUtf8() + '\n');
        f.close();
        QStringList args{QStringLiteral("--http"), QStringLiteral("127.0.0.1:0"), QStringLiteral("--poll"), QStringLiteral("0")};
        if (password) args << QStringLiteral("--http-password-file") << passwordFile;
        bridge = std::make_unique<BridgeProcess>(sim.device, args + extra, 1);
        EXPECT_TRUE(bridge->saw("open; serving"));
    }
    quint16 port() const { return bridge->ports.at(0); }
    QString origin() const { return QStringLiteral("http://127.0.0.1:%1").arg(port()); }
    // Whether the projector received the line within ms.
    bool simSaw(const char* line, int ms) {
        return QTest::qWaitFor([&] {
            simLog += sim.p.readAllStandardError();
            return simLog.contains(line);
        }, ms);
    }
    QByteArray cookie() {
        QTcpSocket s;
        const QByteArray body = "password=" + QUrl::toPercentEncoding(kPassword);
        const QByteArray reply = exchange(s, "POST /login HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(port()) +
                                                 "\r\nOrigin: " + origin().toUtf8() +
                                                 "\r\nContent-Type: application/x-www-form-urlencoded\r\nContent-Length: " +
                                                 QByteArray::number(body.size()) + "\r\n\r\n" + body);
        const qsizetype at = reply.indexOf("tova_session=");
        return at < 0 ? QByteArray() : reply.mid(at, reply.indexOf(';', at) - at);
    }
    // Sends a request and reads until the reply's body has come or the connection closed.
    QByteArray exchange(QTcpSocket& s, const QByteArray& request, int ms = 5000) {
        s.connectToHost(QHostAddress::LocalHost, port());
        EXPECT_TRUE(s.waitForConnected(3000));
        s.write(request);
        QByteArray in;
        [[maybe_unused]] const bool whole = QTest::qWaitFor([&] {
            in += s.readAll();
            const qsizetype head = in.indexOf("\r\n\r\n");
            const qsizetype length = in.indexOf("Content-Length: ");
            if (head >= 0 && length >= 0 && length < head)
                return in.size() >= head + 4 + in.mid(length + 16, in.indexOf('\r', length) - length - 16).toInt();
            return s.state() != QAbstractSocket::ConnectedState;
        }, ms);
        return in;
    }
};

inline QByteArray get(const QByteArray& path, const QByteArray& host) {
    return "GET " + path + " HTTP/1.1\r\nHost: " + host + "\r\n\r\n";
}

// A page's socket: its close code once closed (-1: still open).
struct PageClient {
    QWebSocket ws;
    int closed = -1;
    PageClient(const QString& url, const QString& origin, const QByteArray& cookie) : ws(origin) {
        QNetworkRequest r{QUrl(url)};
        if (!cookie.isEmpty()) r.setRawHeader("Cookie", cookie);
        QObject::connect(&ws, &QWebSocket::disconnected, [this] { closed = ws.closeCode(); });
        ws.open(r);
        [[maybe_unused]] const bool settled =
            QTest::qWaitFor([&] { return ws.state() == QAbstractSocket::ConnectedState || closed >= 0; }, 5000);
    }
};

// A client of our own that takes nothing it is sent: its receive window as small as the system
// allows, so that what it is sent waits at the bridge.
struct StubbornClient {
    int fd = -1;
    explicit StubbornClient(quint16 port) {
        fd = ::socket(AF_INET, SOCK_STREAM, 0);
        const int small = 1024;
        ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(port);
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        EXPECT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    }
    ~StubbornClient() { ::close(fd); }
    // Reads the head of what the bridge answered first (a handshake's).
    QByteArray head() {
        QByteArray in;
        char c;
        while (!in.endsWith("\r\n\r\n") && ::recv(fd, &c, 1, 0) == 1) in += c;
        return in;
    }
    // Sends next() again and again, never reading, until the bridge closes the connection or ms
    // pass; true when it closed it.
    bool pushUntilClosed(const std::function<QByteArray()>& next, int ms) {
        ::fcntl(fd, F_SETFL, O_NONBLOCK);
        QElapsedTimer t;
        t.start();
        QByteArray out;
        while (t.elapsed() < ms) {
            if (out.isEmpty()) out = next();
            const ssize_t n = ::send(fd, out.constData(), std::size_t(out.size()), MSG_NOSIGNAL);
            if (n > 0) out.remove(0, n);
            else if (errno == EPIPE || errno == ECONNRESET) return true;
            else QTest::qWait(2);
        }
        return false;
    }
};

// A frame as a client sends it: masked.
inline QByteArray clientFrame(quint8 opcode, const QByteArray& payload) {
    QByteArray f;
    f += char(0x80 | opcode);
    f += char(0x80 | payload.size()); // up to 125 bytes
    const QByteArray mask("\x12\x34\x56\x78", 4);
    f += mask;
    for (qsizetype i = 0; i < payload.size(); ++i) f += char(payload[i] ^ mask[i % 4]);
    return f;
}

} // namespace tova::test
