// SPDX-License-Identifier: MIT
// Serial over the network (a device server in raw TCP mode), kept devices and the trace.
#include "sim_qt/projector_endpoint.hpp"
#include "link/tracing_serial.hpp"
#include "processes.hpp"
#include "window_rig.hpp"

#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>

#include <arpa/inet.h>
#include <memory>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace tova;
using namespace tova::test;

namespace {

QString tcpUrl(quint16 port) { return QStringLiteral("tcp://127.0.0.1:%1").arg(port); }

sim::ProjectorLine::Options quick() {
    sim::ProjectorLine::Options o;
    o.timings = sim::fastTimings();
    return o;
}


} // namespace

TEST(Network, PanelSendsAndDecodesOverTcp) {
    TcpProjector server(quick(), QHostAddress::LocalHost, 0);
    WindowRig r(tcpUrl(server.port()));
    ASSERT_TRUE(r.serial.portOpen());
    EXPECT_NE(r.w("Command33")->toolTip().indexOf(QStringLiteral("speed setting does not apply")), -1);
    r.click("Command44");
    ASSERT_TRUE(QTest::qWaitFor([&] { return r.label("Label22") == " Stand by"; }, 3000));
    EXPECT_EQ(r.label("Label11"), " C R 0 CR ");
    r.click("Command33");
    r.click("Option10"); // kept, not applied: the link stays up
    EXPECT_TRUE(r.serial.portOpen());
    EXPECT_EQ(r.panel.commSettings, "9600,N,8,1");
}

TEST(Network, RefusedConnectionAtStartIsReportedLikeAMissingPort) {
    QTcpServer probe; // find a port nobody listens on
    ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
    const quint16 port = probe.serverPort();
    probe.close();
    WindowRig r(tcpUrl(port));
    const QString text = r.dismissBox();
    EXPECT_NE(text.indexOf(QStringLiteral("refused"), 0, Qt::CaseInsensitive), -1) << text.toStdString();
    drainEvents();
    EXPECT_EQ(r.box(), nullptr);
    EXPECT_FALSE(r.serial.portOpen());
}

TEST(Network, ServerClosingMidSessionIsToldOnceAndChoosingAgainReconnects) {
    TcpProjector server(quick(), QHostAddress::LocalHost, 0);
    WindowRig r(tcpUrl(server.port()));
    ASSERT_TRUE(r.serial.portOpen());
    server.dropClient();
    EXPECT_FALSE(r.dismissBox().isEmpty());
    drainEvents();
    EXPECT_EQ(r.box(), nullptr);
    EXPECT_FALSE(r.serial.portOpen());
    r.click("Command33");
    r.click("Option1");
    ASSERT_TRUE(r.serial.portOpen());
    ASSERT_TRUE(r.waitExchangeClosed());
    r.click("Command12");
    ASSERT_TRUE(QTest::qWaitFor([&] { return r.label("Label22") == " Stand by"; }, 3000));
}

TEST(Network, SendToolOverTcpAgainstTheSimulator) {
    QProcess sim;
    sim.start(bin("tova-sim"), {QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0")});
    ASSERT_TRUE(sim.waitForReadyRead(5000));
    const QString url = QString::fromUtf8(sim.readLine()).trimmed();
    ASSERT_TRUE(url.startsWith(QStringLiteral("tcp://127.0.0.1:"))) << url.toStdString();
    QProcess send;
    send.start(bin("tova-send"), {QStringLiteral("--device"), url, QStringLiteral("CR0"),
                                  QStringLiteral("CR PRESSURE")});
    ASSERT_TRUE(send.waitForFinished(10000));
    EXPECT_EQ(send.exitCode(), 0) << send.readAllStandardError().toStdString();
    EXPECT_EQ(QString::fromUtf8(send.readAllStandardOutput()), QStringLiteral("Stand by\n1013 hPa\n"));
    sim.terminate();
    sim.waitForFinished(3000);
}

TEST(Network, SavedDevicesAndTheTrace) {
    QTemporaryDir home;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.path());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    const QString trace = home.filePath(QStringLiteral("trace.log")), first = home.filePath(QStringLiteral("first.log"));
    auto start = [&](QStringList args, const QByteArray& waitFor, const QString& traced) {
        QProcess p;
        p.setProcessEnvironment(env);
        p.start(bin("tova-control"), args);
        QByteArray seen;
        [[maybe_unused]] const bool arrived = QTest::qWaitFor([&] {
            seen += p.readAllStandardError();
            QFile f(traced);
            return seen.contains(waitFor) || (f.open(QIODevice::ReadOnly) && f.readAll().contains(waitFor));
        }, 10000);
        p.kill();
        p.waitForFinished(3000);
        return seen;
    };
    // Ended once its port has failed to open: killed while opening, it could leave the port's lock behind.
    auto kept = start({QStringLiteral("--save"), QStringLiteral("--com1"), QStringLiteral("/nonexistent/kept-one"),
                       QStringLiteral("--com2"), QStringLiteral("/nonexistent/kept-two"), QStringLiteral("--trace"), first},
                      "ERR", first);
    EXPECT_TRUE(kept.contains("kept COM1 /nonexistent/kept-one and COM2 /nonexistent/kept-two in "))
        << kept.toStdString();
    // Started again without devices: the kept one is used, as the trace shows.
    start({QStringLiteral("--trace"), trace}, "ERR", trace);
    QFile f(trace);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray log = f.readAll();
    EXPECT_TRUE(log.contains("SET \"19200,N,8,1\"")) << log.toStdString();
    EXPECT_TRUE(log.contains("ERR \"COM1 (/nonexistent/kept-one): no such device (")) << log.toStdString();
    QFile conf(home.filePath(QStringLiteral("tova-control/tova-control.conf")));
    ASSERT_TRUE(conf.open(QIODevice::ReadOnly));
    EXPECT_TRUE(conf.readAll().contains("com2=/nonexistent/kept-two"));
}

TEST(Network, TraceRecordsWhatWasSentAndReceived) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("t.log"));
    PtyPeer device, other;
    QtSerialControl port(device.path(), other.path());
    TracingSerial traced(port, path.toStdString());
    std::string got;
    traced.setEvents({[&](const std::string& bytes) { got += bytes; }, {}});
    traced.setSettings(LineSettings{19200});
    traced.setPortOpen(true);
    traced.output("C00\r");
    EXPECT_EQ(device.readBytes(4), "C00\r");
    device.write(std::string("\x06", 1));
    ASSERT_TRUE(QTest::qWaitFor([&] { return got == "\x06"; }, 3000));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = f.readAll().split('\n');
    ASSERT_GE(lines.size(), 4);
    EXPECT_TRUE(lines[2].endsWith("TX \" C 0 0 CR \"")) << lines[2].toStdString();
    EXPECT_TRUE(lines[3].endsWith("RX \" ACK \"")) << lines[3].toStdString();
    EXPECT_EQ(lines[2][4], '-'); // starts with the date
    EXPECT_EQ(lines[2].indexOf('.'), 19); // and the time to the millisecond
}

// A device server that does not answer costs the start-up one connect, not two.
TEST(Network, UnansweringDeviceServerIsTriedOnceAtStart) {
    // A listener whose accept queue is full: new connections hang as towards a silent host.
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    ASSERT_EQ(::listen(fd, 0), 0);
    socklen_t len = sizeof a;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    const quint16 port = ntohs(a.sin_port);
    std::vector<std::unique_ptr<QTcpSocket>> fillers;
    for (int i = 0; i < 8; ++i) {
        auto s = std::make_unique<QTcpSocket>();
        s->connectToHost(QHostAddress::LocalHost, port);
        const bool in = s->waitForConnected(300);
        fillers.push_back(std::move(s));
        if (!in) break; // the queue is full now
    }
    ASSERT_FALSE(fillers.back()->state() == QAbstractSocket::ConnectedState) << "the queue never filled";
    WindowRig r(tcpUrl(port));
    const QString text = r.dismissBox();
    EXPECT_NE(text.indexOf(QStringLiteral("does not answer")), -1) << text.toStdString();
    EXPECT_EQ(r.serial.log, std::vector<std::string>{"open 1"});
    ::close(fd);
}

TEST(Network, TraceIsARegularFileOnly) {
    QTemporaryDir dir;
    const QString fifo = dir.filePath(QStringLiteral("fifo"));
    ASSERT_EQ(::mkfifo(fifo.toLocal8Bit().constData(), 0600), 0);
    const QStringList base{QStringLiteral("-platform"), QStringLiteral("offscreen"), QStringLiteral("--com1"),
                           QStringLiteral("/nonexistent/a")};
    for (const auto& [path, said] : {std::pair{fifo, "a FIFO"}, {dir.path(), "a folder"}}) {
        const auto r = run(bin("tova-control"), base + QStringList{QStringLiteral("--trace"), path}, 5000);
        EXPECT_EQ(r.exitCode, 1) << said; // refused at once, never waiting for a reader
        EXPECT_NE(r.err.indexOf(QString::fromLatin1(said)), -1) << r.err.toStdString();
    }
}

// Under a file size limit the trace stops with one warning, in whole lines.
TEST(Network, TraceThatCannotGrowStopsInWholeLines) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("t.log"));
    QByteArray before;
    while (before.size() < 1000) before += "2026-12-07 10:00:00.000 RX \" 0 0 CR \"\n";
    before.truncate(before.lastIndexOf('\n', 1000) + 1);
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(before);
    }
    PtyPeer device;
    QProcess p;
    p.start(QStringLiteral("bash"), {QStringLiteral("-c"),
                                     QStringLiteral("ulimit -f 1; exec \"$0\" -platform offscreen --com1 \"$1\" --trace \"$2\""),
                                     bin("tova-control"), device.path(), path});
    QByteArray err;
    ASSERT_TRUE(QTest::qWaitFor([&] {
        err += p.readAllStandardError();
        return err.contains("stopped");
    }, 10000)) << err.toStdString();
    p.kill();
    p.waitForFinished(3000);
    err += p.readAllStandardError();
    EXPECT_EQ(err.count("stopped"), 1) << err.toStdString();
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray after = f.readAll();
    EXPECT_TRUE(after.startsWith(before));
    EXPECT_TRUE(after.endsWith('\n'));
    EXPECT_LE(after.size(), 1024);
}

// Start-up traces what happened; a missing reply is traced too.
TEST(Network, TraceTellsWhatReallyHappened) {
    QTemporaryDir dir;
    PtyPeer device;
    struct Case {
        QString com1;
        std::vector<QByteArray> verbs;
    } cases[] = {{device.path(), {"SET", "OPEN"}}, {QStringLiteral("/nonexistent/a"), {"SET", "ERR"}}};
    int n = 0;
    for (const auto& c : cases) {
        const QString path = dir.filePath(QStringLiteral("t%1.log").arg(n++));
        QProcess p;
        p.start(bin("tova-control"), {QStringLiteral("-platform"), QStringLiteral("offscreen"),
                                      QStringLiteral("--com1"), c.com1, QStringLiteral("--trace"), path});
        std::vector<QByteArray> verbs;
        ASSERT_TRUE(QTest::qWaitFor([&] {
            QFile f(path);
            verbs.clear();
            if (f.open(QIODevice::ReadOnly))
                for (const QByteArray& l : f.readAll().split('\n'))
                    if (!l.isEmpty()) verbs.push_back(l.split(' ').value(2));
            return verbs.size() >= c.verbs.size();
        }, 10000));
        p.kill();
        p.waitForFinished(3000);
        EXPECT_EQ(verbs, c.verbs) << c.com1.toStdString(); // no CLOSE and OPEN again, no CLOSE of nothing
    }
    // A line without reply.
    const QString path = dir.filePath(QStringLiteral("timeout.log"));
    QtSerialControl port(device.path(), device.path());
    TracingSerial traced(port, path.toStdString());
    QtPanel assembled(traced);
    assembled.panel.click("Command44");
    ASSERT_TRUE(QTest::qWaitFor([&] {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) && f.readAll().contains("TIMEOUT \"no reply to C R 0 CR \"");
    }, 3000));
}
