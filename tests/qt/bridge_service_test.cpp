// SPDX-License-Identifier: MIT
// tova-bridge as a service on a venue's network, tried as an attacker and a technician would:
// clients that never read, squat slots or guess passwords, a storm of connections, too few
// descriptors, a device server that does not answer, a log nobody reads, and its settings.
#include "bridge_process.hpp"

#include "bridge/client_bounds.hpp"
#include "bridge/listener.hpp"
#include "bridge/web/web_settings.hpp"

#include <gtest/gtest.h>

#include <QFile>
#include <QTcpServer>
#include <QTimer>
#include <QTemporaryDir>

#include <csignal>
#include <fcntl.h>
#include <memory>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace tova;
using namespace tova::test;

namespace {

QStringList pjlinkOn(const char* spec = "127.0.0.1:0") { return {QStringLiteral("--pjlink"), QString::fromLatin1(spec)}; }

// A port free now, for a bridge whose log cannot be read to learn the one it chose.
quint16 freePort() {
    QTcpServer s;
    s.listen(QHostAddress::LocalHost, 0);
    return s.serverPort();
}

} // namespace

// A client that asks without end and never reads costs the bridge a bounded amount, and the
// others are served meanwhile.
TEST(BridgeService, AClientThatNeverReadsIsBounded) {
    SimProcess sim({QStringLiteral("--fast")});
    // Under AddressSanitizer freed memory waits in a quarantine of 256 MB: kept small, what
    // grows is what the bridge holds. Ignored by the plain build.
    const QByteArray asan = qgetenv("ASAN_OPTIONS");
    qputenv("ASAN_OPTIONS", asan + (asan.isEmpty() ? "" : ":") + "quarantine_size_mb=4");
    BridgeProcess bridge(sim.device, pjlinkOn(), 1);
    qputenv("ASAN_OPTIONS", asan);
    QTest::qWait(300);
    const long idle = residentKb(bridge.p.processId());
    QTcpSocket flood;
    flood.connectToHost(QHostAddress::LocalHost, bridge.ports[0]);
    ASSERT_TRUE(flood.waitForConnected(3000));
    flood.setReadBufferSize(1); // it takes nothing of what it is sent
    const QByteArray burst = QByteArray("%1INST ?\r").repeated(4096);
    qint64 pushed = 0;
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 4000 && flood.state() == QAbstractSocket::ConnectedState) {
        if (flood.bytesToWrite() < 1 << 20) pushed += flood.write(burst);
        QTest::qWait(5);
    }
    EXPECT_GT(pushed, 4 << 20); // a few MB of requests went its way
    const long grown = residentKb(bridge.p.processId()) - idle;
    EXPECT_LT(grown, 20 * 1024) << "kB grown";
    PjlinkClient other(bridge.ports[0]);
    EXPECT_EQ(answerOf(other, "%1CLSS ?"), QStringLiteral("%1CLSS=2\r"));
}

// Slots are the listener's own: idle shared-line clients never shut PJLink out, and the bridge
// refuses passwords guessed too often from one address.
TEST(BridgeService, SlotsCannotBeSquatted) {
    SimProcess sim({QStringLiteral("--fast")});
    QTemporaryDir dir;
    const QString password = writeFile(dir, "password", "JBMIAProjectorLink\n");
    BridgeProcess bridge(sim.device,
                         pjlinkOn() + QStringList{QStringLiteral("--share"), QStringLiteral("127.0.0.1:0,max-clients=2"),
                                                  QStringLiteral("--password-file"), password},
                         2);
    std::vector<std::unique_ptr<QTcpSocket>> idle;
    for (int i = 0; i < 4; ++i) {
        idle.push_back(std::make_unique<QTcpSocket>());
        idle.back()->connectToHost(QHostAddress::LocalHost, bridge.ports[1]);
        ASSERT_TRUE(idle.back()->waitForConnected(3000));
    }
    EXPECT_TRUE(QTest::qWaitFor([&] {
        return std::count_if(idle.begin(), idle.end(), [](const auto& s) { return s->state() == QAbstractSocket::UnconnectedState; }) == 2;
    }, 5000)); // the third and fourth shared-line clients are turned away
    PjlinkClient pj(bridge.ports[0]);
    ASSERT_TRUE(pj.greeting.startsWith(QStringLiteral("PJLINK 1 ")));
    EXPECT_EQ(pj.askWith("JBMIAProjectorLink", "%1CLSS ?"), QStringLiteral("%1CLSS=2\r"));
    // Ten wrong digests in a minute: the address's next connection is refused at once.
    for (int i = 0; i < 10; ++i) {
        PjlinkClient guess(bridge.ports[0]);
        EXPECT_EQ(guess.ask(QString(32, QLatin1Char('0')) + QStringLiteral("%1CLSS ?")), QStringLiteral("PJLINK ERRA\r"));
    }
    PjlinkClient refused(bridge.ports[0]);
    EXPECT_EQ(refused.greeting, QStringLiteral("PJLINK ERRA\r"));
    EXPECT_TRUE(bridge.saw("wrong digests within a minute"));
}

// Out of descriptors the bridge stops accepting for a while, never for good.
TEST(BridgeService, AcceptingResumesAfterDescriptorsRanOut) {
    SimProcess sim({QStringLiteral("--fast")});
    BridgeProcess bridge(sim.device, pjlinkOn() + QStringList{QStringLiteral("--max-clients"), QStringLiteral("100")}, 1,
                         QStringLiteral("ulimit -n 40 && exec \"$0\" \"$@\""));
    EXPECT_TRUE(bridge.saw("only 40 files may be open"));
    std::vector<std::unique_ptr<QTcpSocket>> many;
    for (int i = 0; i < 60; ++i) {
        many.push_back(std::make_unique<QTcpSocket>());
        many.back()->connectToHost(QHostAddress::LocalHost, bridge.ports[0]);
    }
    EXPECT_TRUE(bridge.saw("cannot accept"));
    // Paused, not spinning on the full table of descriptors, and said once.
    auto cpuTicks = [&] {
        QFile f(QStringLiteral("/proc/%1/stat").arg(bridge.p.processId()));
        f.open(QIODevice::ReadOnly);
        const QList<QByteArray> fields = f.readAll().split(' ');
        return fields.size() > 15 ? fields[13].toLong() + fields[14].toLong() : -1;
    };
    const long before = cpuTicks();
    QTest::qWait(2000);
    const long after = cpuTicks();
    bridge.read();
    ASSERT_EQ(bridge.p.state(), QProcess::Running) << bridge.log.toStdString();
    EXPECT_LT(after - before, 50) << "clock ticks in 2 s";
    EXPECT_EQ(bridge.log.count("cannot accept"), 1) << bridge.log.toStdString();
    many.clear(); // they all close
    QTest::qWait(500);
    PjlinkClient late(bridge.ports[0]);
    bridge.read();
    EXPECT_EQ(late.greeting, QStringLiteral("PJLINK 0\r")) << bridge.log.toStdString();
    EXPECT_EQ(answerOf(late, "%1CLSS ?"), QStringLiteral("%1CLSS=2\r"));
}

// A storm of clients connecting at once is greeted, not left waiting in the backlog.
TEST(BridgeService, AStormOfClientsIsGreeted) {
    SimProcess sim({QStringLiteral("--fast")});
    BridgeProcess bridge(sim.device, pjlinkOn() + QStringList{QStringLiteral("--max-clients"), QStringLiteral("256")}, 1);
    std::vector<std::unique_ptr<QTcpSocket>> storm;
    for (int i = 0; i < 256; ++i) {
        storm.push_back(std::make_unique<QTcpSocket>());
        storm.back()->connectToHost(QHostAddress::LocalHost, bridge.ports[0]);
    }
    EXPECT_TRUE(QTest::qWaitFor([&] {
        return std::all_of(storm.begin(), storm.end(), [](const auto& s) { return s->bytesAvailable() >= 9; });
    }, 20000));
}

// 33 clients from the controller's own address reconnect as soon as they are closed and never
// authenticate; the controller, connecting afresh each time as real ones do, is greeted and
// answered every time. With loopback held to its share, the storm's address holds 8 places, and
// a controller on another address is greeted at once.
TEST(BridgeService, AControllerIsGreetedWhileItsAddressStorms) {
    SimProcess sim({QStringLiteral("--fast")});
    QTemporaryDir dir;
    const QString password = writeFile(dir, "password", "JBMIAProjectorLink\n");
    for (bool limitLoopback : {false, true}) {
        QStringList args = pjlinkOn() + QStringList{QStringLiteral("--password-file"), password};
        if (limitLoopback) args << QStringLiteral("--limit-loopback");
        BridgeProcess bridge(sim.device, args, 1);
        std::vector<std::unique_ptr<QTcpSocket>> storm;
        for (int i = 0; i < 33; ++i) {
            storm.push_back(std::make_unique<QTcpSocket>());
            QTcpSocket* s = storm.back().get();
            const quint16 port = bridge.ports[0];
            QObject::connect(s, &QTcpSocket::disconnected, s, [s, port] {
                QTimer::singleShot(0, s, [s, port] { s->connectToHost(QHostAddress::LocalHost, port); });
            });
            s->connectToHost(QHostAddress::LocalHost, port);
        }
        QTest::qWait(1500); // every place held, the eldest past its first second
        int greeted = 0;
        for (int i = 0; i < 5; ++i) {
            PjlinkClient controller(bridge.ports[0], QHostAddress::LocalHost,
                                    limitLoopback ? QHostAddress(QStringLiteral("127.0.0.2")) : QHostAddress());
            if (controller.greeting.startsWith(QStringLiteral("PJLINK 1 ")) &&
                controller.askWith("JBMIAProjectorLink", "%1CLSS ?") == QStringLiteral("%1CLSS=2\r"))
                ++greeted;
        }
        EXPECT_EQ(greeted, 5) << (limitLoopback ? "loopback held to its share" : "loopback exempt");
        if (limitLoopback) EXPECT_TRUE(bridge.saw("its address holds 8 connections already"));
        else EXPECT_TRUE(bridge.saw("closed for a newcomer: not authenticated yet"));
        for (auto& s : storm) s->disconnect();
    }
}

// The service's memory limit covers the bridge's base and every client's bounds at the default
// places, as the unit's comment computes it; an out-of-memory kill restarts it.
TEST(BridgeService, TheUnitsMemoryLimitCoversEveryClientsBounds) {
    QFile unit(QStringLiteral(TOVA_SOURCE_DIR "/data/systemd/tova-bridge@.service"));
    ASSERT_TRUE(unit.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(unit.readAll());
    const auto m = QRegularExpression(QStringLiteral("\\nMemoryMax=(\\d+)M\\n")).match(text);
    ASSERT_TRUE(m.hasMatch());
    const double limitMiB = m.captured(1).toDouble();
    const double mib = 1024.0 * 1024.0;
    const double perClient = double(bridge::OutputBound::kCloseAt + bridge::kClientReadChunk) / mib;
    const double perWeb = double(bridge::OutputBound::kCloseAt + bridge::kMaxWebRequest) / mib;
    const double needed = 32 + (bridge::kDefaultMaxPjlink + bridge::kDefaultMaxShared) * perClient + bridge::kDefaultMaxHttp * perWeb;
    EXPECT_GE(limitMiB, needed);
    EXPECT_LT(limitMiB, needed + 16) << "no more than rounding";
    for (const char* key : {"\nRestart=on-failure\n", "\nOOMPolicy=stop\n", "\nTasksMax="})
        EXPECT_TRUE(text.contains(QLatin1String(key))) << key;
}

// A device server that does not answer holds up nothing: greetings and answers come at once.
TEST(BridgeService, AnUnreachableDeviceServerBlocksNothing) {
    const int silent = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    ASSERT_EQ(::bind(silent, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    ASSERT_EQ(::listen(silent, 0), 0);
    ::getsockname(silent, reinterpret_cast<sockaddr*>(&a), &len);
    QTcpSocket filler; // fills its one place: every later connection waits unanswered
    filler.connectToHost(QHostAddress::LocalHost, ntohs(a.sin_port));
    ASSERT_TRUE(filler.waitForConnected(3000));
    BridgeProcess bridge(QStringLiteral("tcp://127.0.0.1:%1").arg(ntohs(a.sin_port)), pjlinkOn(), 1);
    for (int i = 0; i < 6; ++i) {
        QElapsedTimer t;
        t.start();
        PjlinkClient c(bridge.ports[0]);
        EXPECT_EQ(c.greeting, QStringLiteral("PJLINK 0\r"));
        EXPECT_EQ(answerOf(c, "%1POWR ?"), QStringLiteral("%1POWR=ERR4\r"));
        EXPECT_LT(t.elapsed(), 1500) << i;
        QTest::qWait(700);
    }
    EXPECT_TRUE(bridge.saw("the device server does not answer"));
    ::close(silent);
}

// A log nobody reads costs lines, never the service.
TEST(BridgeService, ALogNobodyReadsStopsNothing) {
    SimProcess sim({QStringLiteral("--fast")});
    QTemporaryDir dir;
    const QString fifo = dir.filePath(QStringLiteral("log"));
    ASSERT_EQ(::mkfifo(fifo.toLocal8Bit().constData(), 0600), 0);
    // Held open here and never read, with the smallest buffer a pipe can have: full after a
    // few dozen lines.
    const int held = ::open(fifo.toLocal8Bit().constData(), O_RDWR | O_NONBLOCK);
    ASSERT_GE(held, 0);
    ::fcntl(held, F_SETPIPE_SZ, 4096);
    const quint16 port = freePort();
    BridgeProcess bridge(sim.device, QStringList{QStringLiteral("--pjlink"), QStringLiteral("127.0.0.1:%1").arg(port),
                                                 QStringLiteral("--verbose")},
                         0, QStringLiteral("exec \"$0\" \"$@\" 2> ") + fifo);
    // Its log cannot say when it listens: a connection that is taken says so.
    ASSERT_TRUE(QTest::qWaitFor([&] {
        QTcpSocket probe;
        probe.connectToHost(QHostAddress::LocalHost, port);
        return probe.waitForConnected(200);
    }, 10000));
    PjlinkClient c(port);
    int served = 0;
    QString last;
    for (int i = 0; i < 150 && served == i; ++i) {
        c.s.write("%1POWR ?\r");
        last = c.line(3000);
        served += last == QStringLiteral("%1POWR=0\r");
    }
    EXPECT_EQ(served, 150) << last.toStdString();
    ::close(held);
}

TEST(BridgeService, SettingsRefusedBeforeAnythingIsBound) {
    SimProcess sim({QStringLiteral("--fast")});
    QTemporaryDir dir;
    const QString fifo = dir.filePath(QStringLiteral("fifo"));
    ::mkfifo(fifo.toLocal8Bit().constData(), 0600);
    const QString spaced = writeFile(dir, "spaced", " two words \n");
    struct Case {
        QStringList args;
        int status;
        const char* said;
    } cases[] = {
        {pjlinkOn() + QStringList{QStringLiteral("--password-file"), fifo}, 64, "no regular file"},
        {pjlinkOn() + QStringList{QStringLiteral("--password-file"), QStringLiteral("/dev/zero")}, 64, "no regular file"},
        {pjlinkOn("localhost:4352x"), 64, "HOST:PORT"},
        {pjlinkOn("no-such-host.invalid:0"), 2, "does not resolve"},
        {pjlinkOn("127.0.0.1:4352") + pjlinkOn("127.0.0.1:4352/002"), 64, "twice"},
        {pjlinkOn() + QStringList{QStringLiteral("--config"), fifo}, 64, "no regular file"},
    };
    for (const auto& c : cases) {
        QElapsedTimer t;
        t.start();
        const auto r = run(bin("tova-bridge"), QStringList{QStringLiteral("--device"), sim.device} + c.args, 15000);
        EXPECT_EQ(r.exitCode, c.status) << c.args.join(' ').toStdString() << r.err.toStdString();
        EXPECT_NE(r.err.indexOf(QString::fromLatin1(c.said)), -1) << r.err.toStdString();
    }
    EXPECT_EQ(run(bin("tova-bridge"), QStringList{QStringLiteral("--device"), QString()} + pjlinkOn()).exitCode, 64);
    // A name that resolves is served; a password keeps its spaces.
    BridgeProcess bridge(sim.device, pjlinkOn("localhost:0") + QStringList{QStringLiteral("--password-file"), spaced}, 1);
    PjlinkClient c(bridge.ports[0]);
    EXPECT_EQ(c.askWith(" two words ", "%1CLSS ?"), QStringLiteral("%1CLSS=2\r"));
}

// The configuration file: listeners with names of spaces, commas and semicolons, the command
// line's options over it; SIGHUP reads the password again without ending the bridge.
TEST(BridgeService, AConfigurationFileAndAReload) {
    SimProcess sim({QStringLiteral("--fast"), QStringLiteral("--projectors"), QStringLiteral("2")});
    QTemporaryDir dir;
    const QString password = writeFile(dir, "password", "first\n");
    const QString config = writeFile(dir, "hall.conf", QStringLiteral(
        "; the hall's two projectors\n"
        "device = /nonexistent\n"
        "name = Hall\n"
        "password-file = %1\n"
        "\n"
        "[pjlink left]\n"
        "listen = 127.0.0.1:0\n"
        "address = 001\n"
        "name = Hall left; by the door, stage side\n"
        "\n"
        "[pjlink right]\n"
        "listen = 127.0.0.1:0\n"
        "address = 002\n"
        "\n"
        "[share]\n"
        "listen = 127.0.0.1:0\n"
        "max-clients = 1\n").arg(password).toUtf8());
    BridgeProcess bridge(sim.device, {QStringLiteral("--config"), config}, 3); // --device wins over the file's
    auto ask = [&](quint16 port, const std::string& secret, const char* request) {
        PjlinkClient c(port);
        return c.askWith(secret, request);
    };
    EXPECT_EQ(ask(bridge.ports[0], "first", "%1NAME ?"), QStringLiteral("%1NAME=Hall left; by the door, stage side\r"));
    EXPECT_EQ(ask(bridge.ports[1], "first", "%1NAME ?"), QStringLiteral("%1NAME=Hall\r"));
    EXPECT_EQ(ask(bridge.ports[1], "first", "%1POWR ?"), QStringLiteral("%1POWR=0\r"));
    writeFile(dir, "password", "second\n");
    ::kill(static_cast<pid_t>(bridge.p.processId()), SIGHUP);
    EXPECT_TRUE(bridge.saw("the password changed"));
    EXPECT_EQ(ask(bridge.ports[0], "second", "%1CLSS ?"), QStringLiteral("%1CLSS=2\r"));
    EXPECT_EQ(ask(bridge.ports[0], "first", "%1CLSS ?"), QStringLiteral("PJLINK ERRA\r"));
    EXPECT_EQ(bridge.p.state(), QProcess::Running);
}

// A shared-line client that comes while the device is gone is told so by being closed at once;
// and with standard error closed the log never lands in the trace.
TEST(BridgeService, WithoutTheDeviceAndWithoutStandardError) {
    QTemporaryDir dir;
    const QString trace = dir.filePath(QStringLiteral("trace"));
    const quint16 port = freePort();
    BridgeProcess bridge(QStringLiteral("/nonexistent/tty"),
                         {QStringLiteral("--share"), QStringLiteral("127.0.0.1:%1").arg(port), QStringLiteral("--trace"), trace},
                         0, QStringLiteral("exec \"$0\" \"$@\" 2>&-"));
    QTest::qWait(700);
    QTcpSocket s;
    s.connectToHost(QHostAddress::LocalHost, port);
    ASSERT_TRUE(s.waitForConnected(3000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return s.state() == QAbstractSocket::UnconnectedState; }, 3000));
    QFile f(trace);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray written = f.readAll();
    EXPECT_TRUE(written.contains("ERR \"COM1")) << written.toStdString(); // the trace has its own lines
    EXPECT_FALSE(written.contains("tova-bridge:")) << written.toStdString(); // and no log line
}

// The virtual projector outlives a log reader that goes away.
TEST(BridgeService, TheVirtualProjectorOutlivesItsLogReader) {
    QProcess sim;
    sim.start(bin("tova-sim"), {QStringLiteral("--fast")});
    ASSERT_TRUE(sim.waitForReadyRead(5000));
    const QString device = QString::fromUtf8(sim.readLine()).trimmed();
    sim.closeReadChannel(QProcess::StandardError); // nobody reads its log any more
    for (int i = 0; i < 3; ++i) EXPECT_EQ(run(bin("tova-send"), {QStringLiteral("--device"), device, QStringLiteral("CR0")}).out,
                                          QStringLiteral("Stand by\n"));
    EXPECT_EQ(sim.state(), QProcess::Running);
    sim.terminate();
    sim.waitForFinished(3000);
}
