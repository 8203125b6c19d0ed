// SPDX-License-Identifier: MIT
// tova-send against tova-sim, as processes over a pseudo-terminal; and the panel on the model.
#include "sim_qt/pty_projector.hpp"
#include "processes.hpp"
#include "window_rig.hpp"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTcpServer>
#include <QTcpSocket>
#include <QProcess>
#include <QTemporaryDir>

using namespace tova;
using namespace tova::test;


TEST(Tools, PowerOnSequenceThroughStatus) {
    SimProcess sim({QStringLiteral("--fast")});
    ASSERT_TRUE(sim.device.startsWith(QStringLiteral("/dev/pts/"))) << sim.device.toStdString();
    auto send = [&](QStringList codes) {
        return run(bin("tova-send"), QStringList{QStringLiteral("--device"), sim.device} + codes);
    };
    auto r = send({QStringLiteral("CR0"), QStringLiteral("C00"), QStringLiteral("CR0")});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, QStringLiteral("Stand by\nACK\nCount down\n"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return send({QStringLiteral("CR0")}).out == "Power ON\n"; }, 10000));
    r = send({QStringLiteral("CR1"), QStringLiteral("CR3"), QStringLiteral("CR4"),
              QStringLiteral("CR6"), QStringLiteral("CR7"), QStringLiteral("CR9"),
              QStringLiteral("CRA"), QStringLiteral("CR PRESSURE")});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, QStringLiteral(
                         "Input mode 1\n1234\nNormally\n"
                         "S1= 0 2 5 . 0 C  ,   S2=  3 0 . 5 C  ,   S3= 2 8 . 0  C  ,   S4=  2 7 . 5 C\n"
                         "No1,2 ON  : 2 Lamp mode\nTM4-SIM\nVideo & Audio mute OFF\n1013 hPa\n"));
    // A show script waits on the value it reads.
    r = send({QStringLiteral("--until"), QStringLiteral("1234"), QStringLiteral("CR3")});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    r = send({QStringLiteral("--address"), QStringLiteral("all"), QStringLiteral("CF INPUT2 YC"),
              QStringLiteral("CR1")});
    EXPECT_EQ(r.out, QStringLiteral("ACK\nInput mode 2\n"));
}

TEST(Tools, AddressNobodyAnswersTimesOut) {
    SimProcess sim({QStringLiteral("--projectors"), QStringLiteral("2")});
    auto r = run(bin("tova-send"), {QStringLiteral("--device"), sim.device, QStringLiteral("--address"),
                                    QStringLiteral("004"), QStringLiteral("--timeout"),
                                    QStringLiteral("300"), QStringLiteral("CR0"), QStringLiteral("--address")});
    EXPECT_EQ(r.exitCode, 64); // the last --address lacks its value
    r = run(bin("tova-send"), {QStringLiteral("--device"), sim.device, QStringLiteral("--address"),
                               QStringLiteral("004"), QStringLiteral("--timeout"), QStringLiteral("300"),
                               QStringLiteral("CR0")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.indexOf(QStringLiteral("no reply to CR0 within 300 ms")), -1);
}

TEST(Tools, PanelOnTheModel) {
    sim::ProjectorLine::Options o;
    o.timings = {sim::Ms{2500}, sim::Ms{1500}, sim::Ms{20}, sim::Ms{100}};
    PtyProjector projector(o);
    WindowRig r(projector.devicePath());
    r.click("Command17");
    ASSERT_TRUE(r.waitExchangeClosed()); // the ACK's exchange: the next reply starts afresh
    r.click("Command44");
    ASSERT_TRUE(QTest::qWaitFor([&] { return r.label("Label22") == " Count down"; }, 3000));
    // Asked again whenever the last exchange has closed, until the set is on.
    ASSERT_TRUE(QTest::qWaitFor([&] {
        if (!r.t2.enabled() && r.panel.rxBuffer.empty()) r.click("Command44");
        return r.label("Label22") == " Power ON";
    }, 10000));
}

TEST(Tools, SpeedMismatchIsNoiseAtThePanel) {
    PtyProjector projector({1, 19200, {}});
    WindowRig r(projector.devicePath());
    r.click("Command33");
    r.click("Option10"); // 9600 against a 19200 projector
    for (int i = 0; i < 5; ++i) {
        r.click("Command44");
        ASSERT_TRUE(QTest::qWaitFor([&] { return !r.t2.enabled(); }, 3000));
    }
    EXPECT_NE(r.label("Label22"), " Stand by");
}

TEST(Tools, PanelWithoutADisplayOrWithBadOptionsSaysSo) {
    QProcessEnvironment bare = QProcessEnvironment::systemEnvironment();
    for (const char* v : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) bare.remove(QString::fromLatin1(v));
    QTemporaryDir home;
    bare.insert(QStringLiteral("XDG_CONFIG_HOME"), home.path());
    const QString panel = bin("tova-control");
    auto r = run(panel, {QStringLiteral("--com1"), QStringLiteral("/nonexistent/a")}, 10000, bare);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.indexOf(QStringLiteral("no display")), -1) << r.err.toStdString();
    struct Case {
        QStringList args;
        int status;
        const char* said;
    } cases[] = {
        {{QStringLiteral("--bogus")}, 64, "bogus"},
        {{QStringLiteral("--screenshot-height"), QStringLiteral("5000")}, 64, "5350, 6645, 7200 or 9100"},
        {{QStringLiteral("--screenshot-height"), QStringLiteral("abc")}, 64, "5350, 6645, 7200 or 9100"},
        {{QStringLiteral("--save")}, 64, "nothing to keep"},
        {{QStringLiteral("--save"), QStringLiteral("--demo"), QStringLiteral("--com1"), QStringLiteral("x")}, 64, "--demo"},
        {{QStringLiteral("stray")}, 64, "unexpected argument"},
        {{QStringLiteral("--version")}, 0, ""},
        {{QStringLiteral("--help")}, 0, ""},
    };
    for (const auto& c : cases) {
        r = run(panel, c.args, 10000, bare);
        EXPECT_EQ(r.exitCode, c.status) << c.args.join(' ').toStdString();
        EXPECT_NE(r.err.indexOf(QString::fromLatin1(c.said)), -1) << r.err.toStdString();
    }
    // An explicit platform that needs no display server runs.
    QProcess p;
    p.setProcessEnvironment(bare);
    const QString shot = home.filePath(QStringLiteral("shot.png"));
    p.start(panel, {QStringLiteral("-platform"), QStringLiteral("offscreen"), QStringLiteral("--com1"),
                    QStringLiteral("/nonexistent/a"), QStringLiteral("--screenshot"), shot});
    EXPECT_TRUE(QTest::qWaitFor([&] { return QFile::exists(shot); }, 10000)) << p.readAllStandardError().toStdString();
    p.kill();
    p.waitForFinished(3000);
}

TEST(Tools, SaveLeavesACorruptSettingsFileAsItIs) {
    QTemporaryDir home;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.path());
    ASSERT_TRUE(QDir(home.path()).mkpath(QStringLiteral("tova-control")));
    const QString conf = home.filePath(QStringLiteral("tova-control/tova-control.conf"));
    const QByteArray corrupt("[General\ncom1=/dev/kept\n\x01\xff");
    {
        QFile f(conf);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(corrupt);
    }
    auto r = run(bin("tova-control"), {QStringLiteral("--save"), QStringLiteral("--com1"), QStringLiteral("/dev/new")},
                 10000, env);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.indexOf(QStringLiteral("cannot be read")), -1) << r.err.toStdString();
    EXPECT_NE(r.err.indexOf(QStringLiteral("kept nothing")), -1) << r.err.toStdString();
    QFile f(conf);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), corrupt);
}

TEST(Tools, SimulatorLinkReplacesOnlyASymbolicLink) {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("precious"));
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("keep me\n");
    }
    auto r = run(bin("tova-sim"), {QStringLiteral("--link"), file}, 5000);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.indexOf(QStringLiteral("no symbolic link")), -1) << r.err.toStdString();
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("keep me\n"));
    EXPECT_EQ(run(bin("tova-sim"), {QStringLiteral("--link"), dir.path()}, 5000).exitCode, 1);
    EXPECT_TRUE(QFileInfo(dir.path()).isDir());
    // A symbolic link (an old one, say) is replaced, and removed again at the end.
    const QString link = dir.filePath(QStringLiteral("projector"));
    ASSERT_TRUE(QFile::link(QStringLiteral("/nonexistent/old"), link));
    SimProcess sim({QStringLiteral("--link"), link});
    EXPECT_EQ(QFileInfo(link).symLinkTarget(), sim.device);
    sim.p.terminate();
    ASSERT_TRUE(sim.p.waitForFinished(3000));
    EXPECT_FALSE(QFileInfo(link).isSymLink());
}

// Replies belong to the client that asked: one that leaves takes its replies with it.
TEST(Tools, EachTcpClientGetsOnlyItsOwnReplies) {
    sim::ProjectorLine::Options o;
    o.timings = sim::fastTimings(); // replies after 30 ms
    TcpProjector server(o, QHostAddress::LocalHost, 0);
    {
        QTcpSocket first;
        first.connectToHost(QHostAddress::LocalHost, server.port());
        ASSERT_TRUE(first.waitForConnected(3000));
        first.write("CR9\rCR");
        ASSERT_TRUE(first.waitForBytesWritten(3000));
        ASSERT_TRUE(QTest::qWaitFor([&] { return server.model().takeLog().size() == 1; }, 3000));
    } // gone before its reply and with half a line
    QTcpSocket second;
    second.connectToHost(QHostAddress::LocalHost, server.port());
    ASSERT_TRUE(second.waitForConnected(3000));
    second.write("1\r");
    QByteArray got;
    ASSERT_TRUE(QTest::qWaitFor([&] {
        got += second.readAll();
        return got.contains('\r');
    }, 3000));
    EXPECT_EQ(got, QByteArray("ERR\r")); // "1" alone, not "CR1": the old half line was dropped
    second.write("CR0\r"); // a stray reply to the first client would come before this one's
    got.clear();
    ASSERT_TRUE(QTest::qWaitFor([&] {
        got += second.readAll();
        return got.contains('\r');
    }, 3000));
    EXPECT_EQ(got, QByteArray("80\r"));
}

TEST(Tools, Ipv6Everywhere) {
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHostIPv6, 0)) GTEST_SKIP() << "this machine has no ::1";
    probe.close();
    SimProcess sim({QStringLiteral("--listen"), QStringLiteral("[::1]:0")});
    ASSERT_TRUE(sim.device.startsWith(QStringLiteral("tcp://[::1]:"))) << sim.device.toStdString();
    auto r = run(bin("tova-send"), {QStringLiteral("--device"), sim.device, QStringLiteral("CR0")});
    EXPECT_EQ(r.out, QStringLiteral("Stand by\n")) << r.err.toStdString();
    WindowRig w(sim.device); // and the panel
    ASSERT_TRUE(w.serial.portOpen());
}
