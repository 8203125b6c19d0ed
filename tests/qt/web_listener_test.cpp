// SPDX-License-Identifier: MIT
// The web listener on loopback, tested as an attacker would: too many connections, a request
// that never ends or never stops, a page's socket from another site or with a message too big,
// a name rebound to the address, TLS, and a listener off the loopback without a password.
#include "bridge_process.hpp"

#include <gtest/gtest.h>

#include <QSslSocket>
#include <QTemporaryDir>
#include <QWebSocket>

using namespace tova;
using namespace tova::test;

namespace {

const QString kPassword = QStringLiteral("stage-left-42");

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

QByteArray get(const QByteArray& path, const QByteArray& host) {
    return "GET " + path + " HTTP/1.1\r\nHost: " + host + "\r\n\r\n";
}

// A page's socket: its close code once closed (-1: still open).
struct PageSocket {
    QWebSocket ws;
    int closed = -1;
    PageSocket(const QString& url, const QString& origin, const QByteArray& cookie) : ws(origin) {
        QNetworkRequest r{QUrl(url)};
        if (!cookie.isEmpty()) r.setRawHeader("Cookie", cookie);
        QObject::connect(&ws, &QWebSocket::disconnected, [this] { closed = ws.closeCode(); });
        ws.open(r);
        [[maybe_unused]] const bool settled =
            QTest::qWaitFor([&] { return ws.state() == QAbstractSocket::ConnectedState || closed >= 0; }, 5000);
    }
};

} // namespace

TEST(WebListener, EachAttackIsTurnedAway) {
    WebRig rig({QStringLiteral("--http-max-clients"), QStringLiteral("4")});
    const QByteArray host = "127.0.0.1:" + QByteArray::number(rig.port());
    struct Case {
        const char* what;
        QByteArray request;
        QByteArray expect; // the start of the reply; empty: closed without one
    };
    const Case cases[] = {
        {"the page", get("/", host), "HTTP/1.1 200"},
        {"a name rebound to this address", get("/", "attacker.example:" + QByteArray::number(rig.port())), "HTTP/1.1 421"},
        {"no Host at all", "GET / HTTP/1.0\r\n\r\n", "HTTP/1.1 421"},
        {"a request over 16 KB", "GET / HTTP/1.1\r\nHost: " + host + "\r\nX-Padding: " + QByteArray(17 * 1024, 'a') + "\r\n\r\n",
         ""},
        {"a body over 16 KB", "POST /login HTTP/1.1\r\nHost: " + host + "\r\nContent-Length: 1000000\r\n\r\n" +
                                  QByteArray(20 * 1024, 'a'),
         ""},
        {"a login from another site", "POST /login HTTP/1.1\r\nHost: " + host +
                                           "\r\nOrigin: http://evil.example\r\nContent-Length: 22\r\n\r\npassword=stage-left-42",
         "HTTP/1.1 403"},
        {"the tables without a session", get("/tables", host), "HTTP/1.1 401"},
    };
    for (const auto& c : cases) {
        QTcpSocket s;
        const QByteArray reply = rig.exchange(s, c.request);
        if (c.expect.isEmpty()) {
            EXPECT_EQ(s.state(), QAbstractSocket::UnconnectedState) << c.what;
            EXPECT_FALSE(reply.startsWith("HTTP/1.1 200")) << c.what;
        } else {
            EXPECT_TRUE(reply.startsWith(c.expect)) << c.what << ": " << reply.left(200).toStdString();
            EXPECT_TRUE(reply.contains("Content-Security-Policy: default-src 'self'; frame-ancestors 'none'")) << c.what;
        }
    }
}

TEST(WebListener, ConnectionsAreCappedAndARequestThatNeverEndsIsClosed) {
    WebRig rig({QStringLiteral("--http-max-clients"), QStringLiteral("3")});
    const QByteArray host = "127.0.0.1:" + QByteArray::number(rig.port());
    std::vector<std::unique_ptr<QTcpSocket>> held;
    for (int i = 0; i < 3; ++i) {
        held.push_back(std::make_unique<QTcpSocket>());
        held.back()->connectToHost(QHostAddress::LocalHost, rig.port());
        ASSERT_TRUE(held.back()->waitForConnected(3000));
        held.back()->write("GET / HTTP/1.1\r\nHo"); // and never the rest
        QTest::qWait(50);
    }
    // A fourth takes the place of the eldest once it has had a second without a whole request.
    QTcpSocket fourth;
    EXPECT_TRUE(rig.exchange(fourth, get("/", host)).startsWith("HTTP/1.1 200"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return held[0]->state() == QAbstractSocket::UnconnectedState; }, 3000));
    EXPECT_EQ(held[1]->state(), QAbstractSocket::ConnectedState);
    ASSERT_TRUE(rig.bridge->saw("made room for a newcomer"));
    // Connections that have each sent a whole request keep their places: a newcomer is refused.
    std::vector<std::unique_ptr<QTcpSocket>> served;
    for (int i = 0; i < 2; ++i) {
        served.push_back(std::make_unique<QTcpSocket>());
        EXPECT_TRUE(rig.exchange(*served.back(), get("/", host)).startsWith("HTTP/1.1 200")) << i;
    }
    QTcpSocket refused;
    refused.connectToHost(QHostAddress::LocalHost, rig.port());
    EXPECT_TRUE(QTest::qWaitFor([&] { return refused.state() == QAbstractSocket::UnconnectedState; }, 3000));
    ASSERT_TRUE(rig.bridge->saw("3 connections already, each with a request"));
    // Those idle after their request are closed after ten seconds, and their places are free.
    EXPECT_TRUE(QTest::qWaitFor([&] {
        return std::all_of(served.begin(), served.end(), [](const auto& s) { return s->state() == QAbstractSocket::UnconnectedState; });
    }, 15000));
    QTcpSocket again;
    EXPECT_TRUE(rig.exchange(again, get("/", host)).startsWith("HTTP/1.1 200"));
}

TEST(WebListener, APagesSocketIsCheckedBeforeAnyMessageIsRead) {
    WebRig rig;
    const QByteArray cookie = rig.cookie();
    ASSERT_FALSE(cookie.isEmpty());
    const QString url = QStringLiteral("ws://127.0.0.1:%1/socket").arg(rig.port());
    struct Case {
        const char* what;
        QString origin;
        QByteArray cookie;
        QString message;
        int closed; // the close code; -1: open and served
    };
    const Case cases[] = {
        {"another site's page", QStringLiteral("http://evil.example"), cookie, QStringLiteral("press 0 Command18"), 1008},
        {"no session", rig.origin(), QByteArray(), QStringLiteral("press 0 Command18"), 1008},
        {"a message too big", rig.origin(), cookie, QStringLiteral("press 0 Command18 ") + QString(300, QLatin1Char('x')), 1009},
        {"no message of the page's", rig.origin(), cookie, QStringLiteral("press 0 Command18x"), 1008},
    };
    for (const auto& c : cases) {
        PageSocket page(url, c.origin, c.cookie);
        page.ws.sendTextMessage(c.message);
        EXPECT_TRUE(QTest::qWaitFor([&] { return page.closed >= 0; }, 5000)) << c.what;
        EXPECT_EQ(page.closed, c.closed) << c.what;
    }
    // None of them had any effect; the page's own socket does.
    EXPECT_FALSE(rig.simSaw("line: C 0 1", 500));
    PageSocket page(url, rig.origin(), cookie);
    ASSERT_EQ(page.ws.state(), QAbstractSocket::ConnectedState);
    page.ws.sendTextMessage(QStringLiteral("press 0 Command18"));
    EXPECT_TRUE(rig.simSaw("line: C 0 1", 5000));
}

TEST(WebListener, HttpsWithASecureCookie) {
    const QString data = QStringLiteral(TOVA_SOURCE_DIR "/tests/data/");
    WebRig rig({QStringLiteral("--http-cert"), data + QStringLiteral("web-cert.pem"), QStringLiteral("--http-key"),
                data + QStringLiteral("web-key.pem")});
    ASSERT_TRUE(rig.bridge->saw("web remote on https://"));
    QSslSocket s;
    s.setPeerVerifyMode(QSslSocket::VerifyNone); // the test's own certificate
    s.connectToHostEncrypted(QStringLiteral("127.0.0.1"), rig.port());
    ASSERT_TRUE(s.waitForEncrypted(5000)) << s.errorString().toStdString();
    const QByteArray body = "password=" + kPassword.toUtf8();
    s.write("POST /login HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(rig.port()) + "\r\nOrigin: https://127.0.0.1:" +
            QByteArray::number(rig.port()) + "\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body);
    QByteArray in;
    [[maybe_unused]] const bool head = QTest::qWaitFor([&] {
        in += s.readAll();
        return in.contains("\r\n\r\n");
    }, 5000);
    EXPECT_TRUE(in.startsWith("HTTP/1.1 204")) << in.toStdString();
    EXPECT_TRUE(in.contains("; HttpOnly; SameSite=Strict; Secure")) << in.toStdString();
    // Plain HTTP on the TLS port gets nothing.
    QTcpSocket plain;
    EXPECT_FALSE(rig.exchange(plain, get("/", "127.0.0.1:" + QByteArray::number(rig.port())), 3000).startsWith("HTTP/1.1 200"));
}

TEST(WebListener, OffTheLoopbackAPasswordIsRequired) {
    SimProcess sim({QStringLiteral("--fast")});
    const Result r = run(bin("tova-bridge"), {QStringLiteral("--device"), sim.device, QStringLiteral("--http"),
                                              QStringLiteral("0.0.0.0:0")});
    EXPECT_EQ(r.exitCode, 64);
    EXPECT_TRUE(r.err.contains(QStringLiteral("is not a loopback address: give --http-password-file"))) << r.err.toStdString();
    const Result shortPassword = run(bin("tova-bridge"), {QStringLiteral("--device"), sim.device, QStringLiteral("--http"),
                                                          QStringLiteral("0.0.0.0:0"), QStringLiteral("--http-password-file"),
                                                          QStringLiteral("/dev/null")});
    EXPECT_EQ(shortPassword.exitCode, 64);
}
