// Serial over the network (a device server in raw TCP mode), kept devices and the trace.
#include "sim_qt/projector_endpoint.hpp"
#include "qt/tracing_serial.hpp"
#include "window_rig.hpp"

#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>

using namespace tova;
using namespace tova::test;

namespace {

QString tcpUrl(quint16 port) { return QStringLiteral("tcp://127.0.0.1:%1").arg(port); }

sim::ProjectorLine::Options quick() {
    sim::ProjectorLine::Options o;
    o.timings = sim::fastTimings();
    return o;
}

QString bin(const char* name) { return QStringLiteral(TOVA_BIN_DIR "/") + QString::fromLatin1(name); }

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
    EXPECT_EQ(r.form.CommSettings, "9600,N,8,1");
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
    const QString trace = home.filePath(QStringLiteral("trace.log"));
    auto start = [&](QStringList args, const QByteArray& waitFor) {
        QProcess p;
        p.setProcessEnvironment(env);
        p.start(bin("tova-control"), args);
        QByteArray seen;
        [[maybe_unused]] const bool arrived = QTest::qWaitFor([&] {
            seen += p.readAllStandardError();
            QFile f(trace);
            return seen.contains(waitFor) || (f.open(QIODevice::ReadOnly) && f.readAll().contains(waitFor));
        }, 10000);
        p.kill();
        p.waitForFinished(3000);
        return seen;
    };
    auto kept = start({QStringLiteral("--save"), QStringLiteral("--com1"), QStringLiteral("/nonexistent/kept-one"),
                       QStringLiteral("--com2"), QStringLiteral("/nonexistent/kept-two")},
                      "kept COM1");
    EXPECT_TRUE(kept.contains("kept COM1 /nonexistent/kept-one and COM2 /nonexistent/kept-two in "))
        << kept.toStdString();
    // Started again without devices: the kept one is used, as the trace shows.
    start({QStringLiteral("--trace"), trace}, "ERR");
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
    TracingSerial traced(port, path);
    std::string got;
    traced.setOnComm([&] { got += traced.input(); });
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
