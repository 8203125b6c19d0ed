// SPDX-License-Identifier: MIT
// tova-bridge as a process, with tova-sim on a pseudo-terminal: PJLink clients written here
// from the protocol, the panel and tova-send through the shared line, and a device that goes.
#include "bridge_process.hpp"
#include "window_rig.hpp"

#include <gtest/gtest.h>

#include <QFile>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QWebSocket>

#include <csignal>

using namespace tova;
using namespace tova::test;


TEST(Bridge, PjlinkSessionAgainstTheVirtualProjector) {
    SimProcess sim({QStringLiteral("--fast")});
    BridgeProcess bridge(sim.device, {QStringLiteral("--pjlink"), QStringLiteral("127.0.0.1:0")}, 1);
    PjlinkClient c(bridge.ports[0]);
    EXPECT_EQ(c.greeting, QStringLiteral("PJLINK 0\r"));
    EXPECT_EQ(answerOf(c, "%1POWR ?"), QStringLiteral("%1POWR=0\r"));
    EXPECT_EQ(answerOf(c, "%1INPT 12"), QStringLiteral("%1INPT=ERR3\r")); // standby: not now
    EXPECT_EQ(answerOf(c, "%1POWR 1"), QStringLiteral("%1POWR=OK\r"));
    EXPECT_EQ(answerOf(c, "%1POWR ?"), QStringLiteral("%1POWR=3\r")); // warming up
    ASSERT_TRUE(QTest::qWaitFor([&] { return answerOf(c, "%1POWR ?") == QStringLiteral("%1POWR=1\r"); }, 10000));
    const std::pair<const char*, const char*> steps[] = {
        {"%1INPT 12", "%1INPT=OK\r"}, {"%1INPT ?", "%1INPT=12\r"},  {"%1AVMT 31", "%1AVMT=OK\r"},
        {"%1AVMT ?", "%1AVMT=31\r"},  {"%1AVMT 30", "%1AVMT=OK\r"}, {"%1AVMT ?", "%1AVMT=30\r"},
        {"%1LAMP ?", "%1LAMP=1234 1 1234 1\r"}, {"%1ERST ?", "%1ERST=000000\r"},
        {"%1INF2 ?", "%1INF2=TM4-SIM\r"}, {"%1NAME ?", "%1NAME=TOVA M4\r"}, {"%1XYZW ?", "%1XYZW=ERR1\r"},
    };
    for (const auto& [request, answer] : steps) EXPECT_EQ(answerOf(c, request), QString::fromLatin1(answer)) << request;
}

TEST(Bridge, PasswordRightAndWrong) {
    SimProcess sim({QStringLiteral("--fast")});
    QTemporaryDir dir;
    const QString file = writeFile(dir, "password", "JBMIAProjectorLink\n");
    BridgeProcess bridge(sim.device, {QStringLiteral("--pjlink"), QStringLiteral("127.0.0.1:0"),
                                      QStringLiteral("--password-file"), file}, 1);
    for (bool right : {true, false}) {
        PjlinkClient c(bridge.ports[0]);
        ASSERT_TRUE(c.greeting.startsWith(QStringLiteral("PJLINK 1 "))) << c.greeting.toStdString();
        EXPECT_EQ(c.askWith(right ? "JBMIAProjectorLink" : "guess", "%1CLSS ?"),
                  right ? QStringLiteral("%1CLSS=2\r") : QStringLiteral("PJLINK ERRA\r"));
        if (right) EXPECT_EQ(answerOf(c, "%1INF1 ?"), QStringLiteral("%1INF1=TOVA\r"));
        else EXPECT_TRUE(QTest::qWaitFor([&] { return c.s.state() == QAbstractSocket::UnconnectedState; }, 3000));
    }
}

// The panel's kind of client and a PJLink poller at the same time: each its own replies.
TEST(Bridge, SharedLineAndPjlinkTogether) {
    SimProcess sim({QStringLiteral("--fast"), QStringLiteral("--projectors"), QStringLiteral("2")});
    BridgeProcess bridge(sim.device, {QStringLiteral("--pjlink"), QStringLiteral("127.0.0.1:0/002,name=Stage"),
                                      QStringLiteral("--pjlink"), QStringLiteral("127.0.0.1:0/001,name=Side"),
                                      QStringLiteral("--share"), QStringLiteral("127.0.0.1:0")}, 3);
    PjlinkClient pj(bridge.ports[0]);
    QTcpSocket raw;
    raw.connectToHost(QHostAddress::LocalHost, bridge.ports[2]);
    ASSERT_TRUE(raw.waitForConnected(3000));
    QByteArray rawIn;
    for (int round = 0; round < 10; ++round) {
        raw.write("A001CR9\rA001CR0\r");
        pj.s.write("%1NAME ?\r%1POWR ?\r");
        EXPECT_EQ(pj.line(), QStringLiteral("%1NAME=Stage\r"));
        EXPECT_EQ(pj.line(), QStringLiteral("%1POWR=0\r"));
        ASSERT_TRUE(QTest::qWaitFor([&] {
            rawIn += raw.readAll();
            return rawIn.count('\r') >= 2;
        }, 5000));
        EXPECT_EQ(rawIn, QByteArray("TM4-SIM\r80\r")) << round;
        rawIn.clear();
    }
    // tova-send and the panel work through it unchanged.
    const QString url = QStringLiteral("tcp://127.0.0.1:%1").arg(bridge.ports[2]);
    const auto r = run(bin("tova-send"), {QStringLiteral("--device"), url, QStringLiteral("--address"),
                                          QStringLiteral("002"), QStringLiteral("CR0"), QStringLiteral("CR PRESSURE")});
    EXPECT_EQ(r.out, QStringLiteral("Stand by\n1013 hPa\n")) << r.err.toStdString();
    WindowRig w(url);
    w.click("Command44");
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.label("Label22") == " Stand by"; }, 3000));
    // A held button repeats through the bridge, and stops with its release.
    QByteArray simLog;
    auto zooms = [&] {
        simLog += sim.p.readAllStandardError();
        return simLog.count("line: C 4 7 ");
    };
    QTest::mousePress(w.w("Command15"), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return zooms() >= 4; }, 5000));
    QTest::mouseRelease(w.w("Command15"), Qt::LeftButton);
    const auto atRelease = zooms();
    ASSERT_TRUE(w.waitExchangeClosed());
    w.click("Command44"); // a marker: whatever zoom was still waiting went out before it
    ASSERT_TRUE(QTest::qWaitFor([&] {
        zooms();
        return simLog.count("line: C R 0 ") >= 2;
    }, 5000));
    EXPECT_LE(zooms(), atRelease + 1); // at most the one the bridge still held
    EXPECT_EQ(answerOf(pj, "%1CLSS ?"), QStringLiteral("%1CLSS=2\r"));
}

// The device goes: ERR4 at once; it comes back: served again, without a restart.
TEST(Bridge, DeviceGoneAndBack) {
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("projector"));
    auto sim = std::make_unique<SimProcess>(QStringList{QStringLiteral("--fast"), QStringLiteral("--link"), link});
    const QString trace = dir.filePath(QStringLiteral("trace"));
    BridgeProcess bridge(link, {QStringLiteral("--pjlink"), QStringLiteral("127.0.0.1:0"), QStringLiteral("--share"),
                                QStringLiteral("127.0.0.1:0"), QStringLiteral("--trace"), trace}, 2);
    PjlinkClient c(bridge.ports[0]);
    QTcpSocket raw;
    raw.connectToHost(QHostAddress::LocalHost, bridge.ports[1]);
    ASSERT_TRUE(raw.waitForConnected(3000));
    EXPECT_EQ(answerOf(c, "%1POWR ?"), QStringLiteral("%1POWR=0\r"));
    sim.reset(); // unplugged
    ASSERT_TRUE(bridge.saw("the device was disconnected"));
    EXPECT_EQ(answerOf(c, "%1POWR ?"), QStringLiteral("%1POWR=ERR4\r"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return raw.state() == QAbstractSocket::UnconnectedState; }, 3000));
    // Tried every 2 s meanwhile, and said once.
    ASSERT_TRUE(bridge.saw("no such device"));
    ASSERT_TRUE(QTest::qWaitFor([&] { // the trace has every try
        QFile f(trace);
        return f.open(QIODevice::ReadOnly) && f.readAll().count("ERR \"COM1") >= 3;
    }, 10000));
    sim = std::make_unique<SimProcess>(QStringList{QStringLiteral("--fast"), QStringLiteral("--link"), link});
    ASSERT_TRUE(QTest::qWaitFor([&] { return answerOf(c, "%1POWR ?") == QStringLiteral("%1POWR=0\r"); }, 8000));
    bridge.read();
    EXPECT_EQ(bridge.log.count("no such device"), 1) << bridge.log.toStdString();
    EXPECT_EQ(bridge.log.count("open; serving"), 2) << bridge.log.toStdString();
}

TEST(Bridge, ExitStatusesAndLimits) {
    SimProcess sim({QStringLiteral("--fast")});
    struct Case {
        QStringList args;
        int status;
    } cases[] = {
        {{QStringLiteral("--pjlink"), QStringLiteral("127.0.0.1:0/009")}, 64},
        {{QStringLiteral("--pjlink"), QStringLiteral("127.0.0.1:0"), QStringLiteral("--inputs"), QStringLiteral("1")}, 64},
        {{QStringLiteral("--device-less")}, 64},
        {{QStringLiteral("--pjlink"), QStringLiteral("192.0.2.1:4352")}, 2}, // not an address of this computer
    };
    for (const auto& c : cases) {
        const auto r = run(bin("tova-bridge"), QStringList{QStringLiteral("--device"), sim.device} + c.args, 10000);
        EXPECT_EQ(r.exitCode, c.status) << c.args.join(' ').toStdString() << r.err.toStdString();
    }
    BridgeProcess bridge(sim.device, {QStringLiteral("--pjlink"), QStringLiteral("127.0.0.1:0"),
                                      QStringLiteral("--max-clients"), QStringLiteral("2")}, 1);
    // A full listener makes room by closing a client that has sent nothing after a second; once
    // every client has done its part, a newcomer is refused.
    PjlinkClient a(bridge.ports[0]), b(bridge.ports[0]);
    EXPECT_EQ(a.greeting, QStringLiteral("PJLINK 0\r"));
    EXPECT_EQ(b.greeting, QStringLiteral("PJLINK 0\r"));
    EXPECT_EQ(a.ask(QStringLiteral("%1CLSS ?")), QStringLiteral("%1CLSS=2\r"));
    PjlinkClient third(bridge.ports[0]);
    EXPECT_EQ(third.greeting, QStringLiteral("PJLINK 0\r"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return b.s.state() == QAbstractSocket::UnconnectedState; }, 3000));
    EXPECT_TRUE(bridge.saw("closed for a newcomer: nothing sent yet"));
    EXPECT_EQ(third.ask(QStringLiteral("%1CLSS ?")), QStringLiteral("%1CLSS=2\r"));
    PjlinkClient fourth(bridge.ports[0]);
    EXPECT_EQ(fourth.greeting, QString()); // refused
    EXPECT_TRUE(bridge.saw("2 clients already, each doing its part"));
    bridge.p.terminate();
    ASSERT_TRUE(bridge.p.waitForFinished(5000));
    EXPECT_EQ(bridge.p.exitCode(), 0);
}

namespace {

// Whether /metrics of a bridge's loopback web listener, as a scraper reads it, holds a sample.
bool scraped(quint16 port, const QByteArray& sample) {
    QTcpSocket s;
    s.connectToHost(QHostAddress::LocalHost, port);
    if (!s.waitForConnected(3000)) return false;
    s.write("GET /metrics HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(port) + "\r\nConnection: close\r\n\r\n");
    QByteArray in;
    return QTest::qWaitFor([&] {
        in += s.readAll();
        return in.contains(sample) || s.state() != QAbstractSocket::ConnectedState;
    }, 5000) && in.contains(sample);
}

// A page's socket: every state message it is told.
struct Page {
    QWebSocket ws;
    QStringList told;
    explicit Page(quint16 port) : ws(QStringLiteral("http://127.0.0.1:%1").arg(port)) {
        QObject::connect(&ws, &QWebSocket::textMessageReceived, [this](const QString& m) { told << m; });
        ws.open(QUrl(QStringLiteral("ws://127.0.0.1:%1/socket").arg(port)));
    }
    bool toldOf(const char* part) {
        return QTest::qWaitFor([&] { return !told.filter(QString::fromLatin1(part)).isEmpty(); }, 10000);
    }
};

} // namespace

// A line where nothing ever answers (the wrong cable): the log, the page and /metrics say so.
TEST(Bridge, AProjectorThatNeverAnswersIsSeen) {
    ScriptedPeer silent({});
    BridgeProcess bridge(silent.path(),
                         {QStringLiteral("--poll"), QStringLiteral("1"), QStringLiteral("--pjlink"),
                          QStringLiteral("127.0.0.1:0/001,name=Hall left"), QStringLiteral("--http"), QStringLiteral("127.0.0.1:0")},
                         2);
    Page page(bridge.ports[1]);
    ASSERT_TRUE(bridge.saw("no answer from 001 (Hall left) for 3 s: check the cable, the speed (19200 or 9600) and the address"));
    EXPECT_TRUE(page.toldOf("\"answering\":\"no\",\"silentSince\":"));
    EXPECT_TRUE(scraped(bridge.ports[1], "tova_projector_up{projector=\"Hall left\",address=\"A001\"} 0"));
    EXPECT_FALSE(silent.lines.empty()); // it was asked
}

// A projector that stops answering and starts again, its line open all the while.
TEST(Bridge, AProjectorThatStopsAnsweringAndComesBack) {
    SimProcess sim({QStringLiteral("--fast")});
    BridgeProcess bridge(sim.device,
                         {QStringLiteral("--poll"), QStringLiteral("1"), QStringLiteral("--pjlink"), QStringLiteral("127.0.0.1:0"),
                          QStringLiteral("--http"), QStringLiteral("127.0.0.1:0")},
                         2);
    const char* up = "tova_projector_up{projector=\"TOVA M4\",address=\"\"} 1";
    ASSERT_TRUE(QTest::qWaitFor([&] { return scraped(bridge.ports[1], up); }, 10000));
    ::kill(pid_t(sim.p.processId()), SIGSTOP); // it hangs
    ASSERT_TRUE(bridge.saw("no answer from the projector (TOVA M4) for 3 s"));
    EXPECT_TRUE(scraped(bridge.ports[1], "tova_projector_up{projector=\"TOVA M4\",address=\"\"} 0"));
    ::kill(pid_t(sim.p.processId()), SIGCONT);
    ASSERT_TRUE(bridge.saw("the projector (TOVA M4) answers again"));
    EXPECT_TRUE(scraped(bridge.ports[1], up));
    EXPECT_EQ(bridge.log.count("no answer from"), 1);
}

// Under systemd, the journal stamps each line: the bridge gives it a priority and no time of its
// own; clients coming and going are no lines of their own.
TEST(Bridge, LinesForTheJournal) {
    SimProcess sim({QStringLiteral("--fast")});
    // JOURNAL_STREAM names standard error (here the test's pipe) as systemd names the journal's.
    BridgeProcess bridge(sim.device, {QStringLiteral("--pjlink"), QStringLiteral("127.0.0.1:0")}, 1,
                         QStringLiteral("export JOURNAL_STREAM=$(stat -L -c %d:%i /proc/self/fd/2); exec \"$0\" \"$@\""));
    for (int i = 0; i < 5; ++i) {
        PjlinkClient c(bridge.ports[0]);
        EXPECT_EQ(answerOf(c, "%1CLSS ?"), QStringLiteral("%1CLSS=2\r"));
    }
    ASSERT_TRUE(bridge.saw("open; serving"));
    const QList<QByteArray> lines = bridge.log.trimmed().split('\n');
    ASSERT_GE(lines.size(), 2);
    static const QRegularExpression priority(QStringLiteral("^<[3-7]>[^<]"));
    for (const QByteArray& l : lines) {
        EXPECT_TRUE(priority.match(QString::fromUtf8(l)).hasMatch()) << l.toStdString();
        EXPECT_FALSE(l.contains("tova-bridge: ")) << l.toStdString(); // the journal names it
    }
    EXPECT_FALSE(bridge.log.contains("connected")) << bridge.log.toStdString();
}
