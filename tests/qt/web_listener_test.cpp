// SPDX-License-Identifier: MIT
// The web listener on loopback, tested as an attacker would: too many connections, a request
// that never ends or never stops, requests pipelined and never read, a request framed two ways,
// an upgrade that is no WebSocket's, a page's socket from another site, with a message too big,
// flooding pings, or outliving its session, a name rebound to the address, TLS, and a listener
// off the loopback without a password.
#include "bridge/client_bounds.hpp"
#include "web_rig.hpp"

#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QSslCipher>
#include <QSslConfiguration>
#include <QSslSocket>
#include <QTemporaryDir>
#include <QWebSocket>

#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace tova;
using namespace tova::test;

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
        {"an upgrade that is no WebSocket's", "GET /socket HTTP/1.1\r\nHost: " + host + "\r\nUpgrade: x\r\nConnection: Upgrade\r\n\r\n",
         "HTTP/1.1 400"},
        {"a WebSocket opening without its key", "GET /socket HTTP/1.1\r\nHost: " + host +
                                                     "\r\nUpgrade: websocket\r\nConnection: Upgrade\r\nSec-WebSocket-Version: 13\r\n\r\n",
         "HTTP/1.1 400"},
        {"a length given two ways", "POST /login HTTP/1.1\r\nHost: " + host +
                                        "\r\nContent-Length: 4\r\nTransfer-Encoding: chunked\r\n\r\n0\r\n\r\n",
         "HTTP/1.1 400"},
        {"two lengths", "POST /login HTTP/1.1\r\nHost: " + host + "\r\nContent-Length: 4\r\nContent-Length: 40\r\n\r\nabcd",
         "HTTP/1.1 400"},
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
        if (c.expect == "HTTP/1.1 400") // and the connection ends: its deadline is not stopped
            EXPECT_TRUE(QTest::qWaitFor([&] { return s.state() == QAbstractSocket::UnconnectedState; }, 3000)) << c.what;
    }
}

// Hundreds of refused openings and wrong passwords cost the log a few lines: Qt's own warnings
// go through the bridge's limiter too.
TEST(WebListener, RefusalsCostTheLogAFewLines) {
    WebRig rig;
    const QByteArray host = "127.0.0.1:" + QByteArray::number(rig.port());
    rig.bridge->read();
    const qsizetype before = rig.bridge->log.count('\n');
    for (int i = 0; i < 200; ++i) {
        QTcpSocket s;
        rig.exchange(s, "GET /socket HTTP/1.1\r\nHost: " + host + "\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n\r\n", 2000);
        QTcpSocket login;
        rig.exchange(login, "POST /login HTTP/1.1\r\nHost: " + host + "\r\nOrigin: " + rig.origin().toUtf8() +
                                "\r\nContent-Length: 14\r\n\r\npassword=guess");
    }
    QTest::qWait(200);
    rig.bridge->read();
    EXPECT_LT(rig.bridge->log.count('\n') - before, 30) << rig.bridge->log.toStdString();
    EXPECT_FALSE(rig.bridge->log.contains("\nWebSocket received")); // never unstamped, straight from Qt
}

// Requests pipelined without end, their responses never read: the client is closed once 1 MB
// waits for it, and the others are served meanwhile.
TEST(WebListener, AClientThatPipelinesAndNeverReadsIsClosed) {
    WebRig rig;
    const QByteArray host = "127.0.0.1:" + QByteArray::number(rig.port());
    StubbornClient client(rig.port());
    EXPECT_TRUE(client.pushUntilClosed([&] { return get("/remote.js", host).repeated(20); }, 30000));
    EXPECT_TRUE(rig.bridge->saw("1 MB of replies it does not take")) << rig.bridge->log.toStdString();
    QTcpSocket other;
    EXPECT_TRUE(rig.exchange(other, get("/", host)).startsWith("HTTP/1.1 200"));
}

// A page that floods pings and never reads: its pongs count against its 1 MB, and it is closed.
TEST(WebListener, APageThatFloodsPingsAndNeverReadsIsClosed) {
    WebRig rig;
    const QByteArray cookie = rig.cookie();
    StubbornClient page(rig.port());
    const QByteArray open = "GET /socket HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(rig.port()) +
                            "\r\nUpgrade: websocket\r\nConnection: Upgrade\r\nSec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n"
                            "Sec-WebSocket-Version: 13\r\nOrigin: " + rig.origin().toUtf8() + "\r\nCookie: " + cookie + "\r\n\r\n";
    ASSERT_EQ(::send(page.fd, open.constData(), std::size_t(open.size()), 0), open.size());
    ASSERT_TRUE(page.head().startsWith("HTTP/1.1 101"));
    const QByteArray pings = clientFrame(0x9, QByteArray(125, 'p')).repeated(64);
    EXPECT_TRUE(page.pushUntilClosed([&] { return pings; }, 30000));
    EXPECT_TRUE(rig.bridge->saw("1 MB of replies it does not take"));
}

// A page that takes what it is sent stays open past the time a silent one is given, and its
// presses still reach the projector.
TEST(WebListener, APageThatReadsOutlivesTheStallBound) {
    WebRig rig;
    PageClient page(QStringLiteral("ws://127.0.0.1:%1/socket").arg(rig.port()), rig.origin(), rig.cookie());
    ASSERT_EQ(page.ws.state(), QAbstractSocket::ConnectedState); // and told the state, on opening
    int told = 0;
    QObject::connect(&page.ws, &QWebSocket::textMessageReceived, [&told] { ++told; });
    QTest::qWait(bridge::OutputBound::kStallMs + 1000);
    EXPECT_EQ(page.closed, -1);
    page.ws.sendTextMessage(QStringLiteral("hold 0 Command1"));
    EXPECT_TRUE(rig.simSaw("line: C 0 9", 3000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return told > 0; }, 3000)); // the hold, told back
    page.ws.sendTextMessage(QStringLiteral("release 0"));
}

// A page lives as long as its session: logging out closes it at once, and so does a new password
// read on SIGHUP; a reload that finds the password unchanged closes none.
TEST(WebListener, APageEndsWithItsSession) {
    WebRig rig;
    const QString url = QStringLiteral("ws://127.0.0.1:%1/socket").arg(rig.port());
    const QByteArray host = "127.0.0.1:" + QByteArray::number(rig.port());
    const QByteArray a = rig.cookie(), b = rig.cookie();
    PageClient pageA(url, rig.origin(), a), pageB(url, rig.origin(), b);
    ASSERT_EQ(pageA.ws.state(), QAbstractSocket::ConnectedState);
    ASSERT_EQ(pageB.ws.state(), QAbstractSocket::ConnectedState);
    QTcpSocket out;
    EXPECT_TRUE(rig.exchange(out, "POST /logout HTTP/1.1\r\nHost: " + host + "\r\nOrigin: " + rig.origin().toUtf8() +
                                      "\r\nCookie: " + a + "\r\nContent-Length: 0\r\n\r\n")
                    .startsWith("HTTP/1.1 204"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return pageA.closed >= 0; }, 3000));
    EXPECT_EQ(pageA.closed, 1008);
    EXPECT_EQ(pageB.ws.state(), QAbstractSocket::ConnectedState);
    ::kill(static_cast<pid_t>(rig.bridge->p.processId()), SIGHUP); // the same password
    ASSERT_TRUE(rig.bridge->saw("SIGHUP"));
    QTest::qWait(500);
    EXPECT_EQ(pageB.ws.state(), QAbstractSocket::ConnectedState);
    QFile f(rig.passwordFile);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write("a-new-password-7\n");
    f.close();
    ::kill(static_cast<pid_t>(rig.bridge->p.processId()), SIGHUP);
    EXPECT_TRUE(QTest::qWaitFor([&] { return pageB.closed >= 0; }, 3000));
    EXPECT_EQ(pageB.closed, 1008);
    QTcpSocket tables;
    EXPECT_TRUE(rig.exchange(tables, "GET /tables HTTP/1.1\r\nHost: " + host + "\r\nCookie: " + b + "\r\n\r\n")
                    .startsWith("HTTP/1.1 401"));
}

TEST(WebListener, ConnectionsAreCappedAndARequestThatNeverEndsIsClosed) {
    WebRig rig({QStringLiteral("--http-max-clients"), QStringLiteral("3")});
    const QByteArray host = "127.0.0.1:" + QByteArray::number(rig.port());
    const QByteArray cookie = rig.cookie();
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
    // A whole request that shows no user (no session: the page's files, a 421, a 401) keeps no
    // place: a newcomer takes it after its second.
    QTest::qWait(1100);
    QTcpSocket unknown;
    EXPECT_TRUE(rig.exchange(unknown, get("/", host)).startsWith("HTTP/1.1 200"));
    QTest::qWait(1100);
    QTcpSocket wrongHost;
    EXPECT_TRUE(rig.exchange(wrongHost, get("/", "elsewhere.example")).startsWith("HTTP/1.1 421"));
    QTest::qWait(1100);
    // Connections that have each shown a session keep their places: a newcomer is refused.
    std::vector<std::unique_ptr<QTcpSocket>> served;
    for (int i = 0; i < 3; ++i) {
        served.push_back(std::make_unique<QTcpSocket>());
        EXPECT_TRUE(rig.exchange(*served.back(), "GET / HTTP/1.1\r\nHost: " + host + "\r\nCookie: " + cookie + "\r\n\r\n")
                        .startsWith("HTTP/1.1 200"))
            << i;
    }
    EXPECT_EQ(unknown.state(), QAbstractSocket::UnconnectedState);
    EXPECT_EQ(wrongHost.state(), QAbstractSocket::UnconnectedState);
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
        PageClient page(url, c.origin, c.cookie);
        page.ws.sendTextMessage(c.message);
        EXPECT_TRUE(QTest::qWaitFor([&] { return page.closed >= 0; }, 5000)) << c.what;
        EXPECT_EQ(page.closed, c.closed) << c.what;
    }
    // None of them had any effect; the page's own socket does.
    EXPECT_FALSE(rig.simSaw("line: C 0 1", 500));
    PageClient page(url, rig.origin(), cookie);
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
    // TLS as Mozilla's "intermediate" has it: 1.2 and 1.3, forward-secret AEAD suites only.
    struct Offer {
        const char* what;
        QSsl::SslProtocol protocol;
        const char* cipher; // nullptr: the client's defaults
        bool taken;
    } offers[] = {
        {"TLS 1.3", QSsl::TlsV1_3, nullptr, true},
        {"TLS 1.2 with ECDHE and AES-GCM", QSsl::TlsV1_2, "ECDHE-ECDSA-AES128-GCM-SHA256", true},
        {"TLS 1.2 with AES128-SHA (no forward secrecy)", QSsl::TlsV1_2, "AES128-SHA", false},
        {"TLS 1.2 with ECDHE and CBC", QSsl::TlsV1_2, "ECDHE-ECDSA-AES128-SHA", false},
    };
    for (const auto& o : offers) {
        QSslSocket client;
        QSslConfiguration c = client.sslConfiguration();
        c.setPeerVerifyMode(QSslSocket::VerifyNone);
        c.setProtocol(o.protocol);
        if (o.cipher) {
            const QSslCipher cipher(QString::fromLatin1(o.cipher));
            if (cipher.isNull()) continue; // this client's TLS has it not: nothing to try
            c.setCiphers({cipher});
        }
        client.setSslConfiguration(c);
        client.connectToHostEncrypted(QStringLiteral("127.0.0.1"), rig.port());
        EXPECT_EQ(client.waitForEncrypted(5000), o.taken) << o.what;
        if (o.taken) EXPECT_TRUE(client.sessionCipher().encryptionMethod().contains(QLatin1String("GCM"))) << o.what;
    }
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
