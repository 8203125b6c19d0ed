// SPDX-License-Identifier: MIT
// The real serial control over a pseudo-terminal.
#include "pty_peer.hpp"
#include "qt/console_guard.hpp"
#include "qt/qt_serial_control.hpp"

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QSocketNotifier>

#include <fcntl.h>
#include <unistd.h>

using namespace tova;
using namespace tova::test;

namespace {

struct SerialPty : ::testing::Test {
    PtyPeer peer;
    PtyPeer other;
    QtSerialControl serial{peer.path(), other.path()};
    std::vector<std::string> pieces;
    std::vector<SerialFailure> losses;

    void SetUp() override {
        serial.setEvents({[this](const std::string& bytes) { pieces.push_back(bytes); },
                          [this](const SerialFailure& f) { losses.push_back(f); }});
        serial.setCommPort(1);
        serial.setSettings(LineSettings{19200});
        serial.setPortOpen(true);
    }
};

} // namespace

TEST_F(SerialPty, OutputGoesOutByteExact) {
    serial.output("C00\r");
    EXPECT_EQ(peer.readBytes(4), "C00\r");
    std::string all;
    for (int c = 0; c < 256; ++c) all.push_back(static_cast<char>(c));
    serial.output(all);
    EXPECT_EQ(peer.readBytes(256), all); // raw: nothing translated on the way
}

TEST_F(SerialPty, ReplyInTwoPiecesGivesTwoReceiveEvents) {
    peer.write("0");
    ASSERT_TRUE(QTest::qWaitFor([&] { return pieces.size() == 1; }, 5000));
    peer.write("0\r");
    ASSERT_TRUE(QTest::qWaitFor([&] { return pieces.size() == 2; }, 5000));
    EXPECT_EQ(pieces, (std::vector<std::string>{"0", "0\r"}));
    EXPECT_EQ(serial.discardInput(), 0u); // nothing left waiting
}

TEST_F(SerialPty, SettingsApplyToTheOpenPort) {
    EXPECT_EQ(peer.speed(), 19200);
    serial.setSettings(LineSettings{9600});
    EXPECT_TRUE(serial.portOpen());
    EXPECT_EQ(peer.speed(), 9600);
    EXPECT_EQ(serial.settings(), LineSettings{9600});
    serial.output("C01\r");
    EXPECT_EQ(peer.readBytes(4), "C01\r");
}

TEST_F(SerialPty, PeerHangingUpClosesThePortOnce) {
    peer.hangUp();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !losses.empty(); }, 5000));
    EXPECT_FALSE(serial.portOpen());
    EXPECT_EQ(losses.size(), 1u);
    EXPECT_EQ(losses[0].fault, SerialFault::Disconnected);
    EXPECT_EQ(losses[0].port, 1);
    EXPECT_FALSE(losses[0].text.empty());
    EXPECT_EQ(describe(serial.lastFailure()), describe(losses[0])); // told with what the control keeps
    // No spin: the error is not raised again while the event loop runs on.
    drainEvents();
    EXPECT_EQ(losses.size(), 1u);
    EXPECT_THROW(serial.output("C00\r"), SerialError);
}

TEST_F(SerialPty, FailuresCarryTheSerialLayersText) {
    serial.setPortOpen(false);
    QtSerialControl missing(QStringLiteral("/nonexistent/tty-of-nobody"), other.path());
    missing.setSettings(LineSettings{19200});
    try {
        missing.setPortOpen(true);
        FAIL() << "opened a missing device";
    } catch (const SerialError& e) {
        EXPECT_EQ(e.failure().fault, SerialFault::NoDevice);
        EXPECT_EQ(describe(missing.lastFailure()), e.what());
        EXPECT_EQ(std::string(e.what()).rfind("COM1 (/nonexistent/tty-of-nobody): no such device (", 0), 0u)
            << e.what();
    }
    EXPECT_FALSE(missing.portOpen());
    EXPECT_THROW(missing.output("C00\r"), SerialError);
    EXPECT_THROW(serial.setCommPort(3), SerialError);
}

// Whatever name leads to an active console, the console is never opened.
TEST_F(SerialPty, TheSystemConsoleIsRefused) {
    QTemporaryDir sys, links;
    ASSERT_TRUE(QDir(sys.path()).mkpath(QStringLiteral("class/tty/console")));
    ASSERT_TRUE(QDir(sys.path()).mkpath(QStringLiteral("class/tty/tty0")));
    const std::string name = other.path().toStdString().substr(5); // "pts/N"
    auto put = [&](const char* file, const std::string& text) {
        QFile f(sys.filePath(QString::fromLatin1(file)));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray::fromStdString(text + "\n"));
    };
    put("class/tty/console/active", "hvc9 " + name);
    const auto consoles = activeConsoles(sys.path().toStdString());
    EXPECT_EQ(consoles, (std::vector<std::string>{"/dev/hvc9", other.path().toStdString()}));
    put("class/tty/console/active", "tty0");
    put("class/tty/tty0/active", name); // tty0 is whichever terminal is in use
    EXPECT_EQ(activeConsoles(sys.path().toStdString()),
              (std::vector<std::string>{other.path().toStdString(), "/dev/tty0"}));

    const QString link = links.filePath(QStringLiteral("projector"));
    ASSERT_TRUE(QFile::link(other.path(), link)); // another name for the same device
    for (const QString& path : {other.path(), link}) {
        QtSerialControl guarded(path, path);
        guarded.setConsoles(consoles);
        try {
            guarded.setPortOpen(true);
            FAIL() << "opened the console as " << path.toStdString();
        } catch (const SerialError& e) {
            EXPECT_EQ(e.failure().fault, SerialFault::Console);
            EXPECT_NE(std::string(e.what()).find("the system console"), std::string::npos) << e.what();
        }
        EXPECT_FALSE(guarded.portOpen());
    }
    QtSerialControl free(peer.path(), peer.path()); // a device that is no console opens
    free.setConsoles(consoles);
    serial.setPortOpen(false);
    EXPECT_NO_THROW(free.setPortOpen(true));
}

TEST_F(SerialPty, PortNumberChoosesTheDevice) {
    serial.setPortOpen(false);
    EXPECT_THROW({ serial.setPortOpen(true); serial.setCommPort(2); }, SerialError); // open: no renumbering
    serial.setPortOpen(false);
    serial.setCommPort(2);
    serial.setPortOpen(true);
    serial.output("CR0\r");
    EXPECT_EQ(other.readBytes(4), "CR0\r");
    EXPECT_EQ(peer.readNow(), "");
    EXPECT_EQ(serial.devicePath(2), other.path().toStdString());
}

TEST_F(SerialPty, OutputIsBusyForItsWireTime) {
    serial.setSettings(LineSettings{9600});
    serial.output(std::string(96, 'x')); // 100 ms on the wire at 9600 baud
    EXPECT_TRUE(serial.outputBusy());
    peer.readBytes(96);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !serial.outputBusy(); }, 5000));
}

// Input discarded while its arrival is still to be told: the read that then finds nothing is no
// lost device.
TEST_F(SerialPty, DiscardingWhatArrivesLosesNothing) {
    // A watcher of the same device, told first: it discards what the port is about to be told of.
    serial.setPortOpen(false);
    const int watched = ::open(peer.path().toLocal8Bit().constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY);
    ASSERT_GE(watched, 0);
    QSocketNotifier watcher(watched, QSocketNotifier::Read);
    QObject::connect(&watcher, &QSocketNotifier::activated, [&] { serial.discardInput(); });
    serial.setPortOpen(true);
    for (int i = 0; i < 20; ++i) {
        peer.write("TM4-SIM\r");
        QTest::qWait(5);
        ASSERT_TRUE(serial.portOpen()) << i << ": " << serial.lastFailure().text;
    }
    watcher.setEnabled(false);
    ::close(watched);
    EXPECT_TRUE(losses.empty());
    serial.output("CR0\r");
    EXPECT_EQ(peer.readBytes(4), "CR0\r");
}
