// The real serial control over a pseudo-terminal.
#include "pty_peer.hpp"
#include "qt/qt_serial_control.hpp"

#include <gtest/gtest.h>

#include <QElapsedTimer>

using namespace tova;
using namespace tova::test;

namespace {

struct SerialPty : ::testing::Test {
    PtyPeer peer;
    PtyPeer other;
    QtSerialControl serial{peer.path(), other.path()};
    std::vector<int> events;
    std::vector<std::string> pieces;

    void SetUp() override {
        serial.setOnComm([this] {
            events.push_back(serial.commEvent());
            if (serial.commEvent() == comEvReceive) pieces.push_back(serial.input());
        });
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
    EXPECT_EQ(serial.input(), ""); // nothing left waiting
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
    ASSERT_TRUE(QTest::qWaitFor([&] { return !serial.portOpen(); }, 5000));
    EXPECT_EQ(std::count(events.begin(), events.end(), int(comEventLost)), 1);
    EXPECT_FALSE(serial.errorText().empty());
    // No spin: the error is not raised again while the event loop runs on.
    const auto before = events.size();
    drainEvents();
    EXPECT_EQ(events.size(), before);
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
        EXPECT_FALSE(std::string(e.what()).empty());
        EXPECT_EQ(missing.errorText(), e.what());
    }
    EXPECT_FALSE(missing.portOpen());
    EXPECT_THROW(missing.output("C00\r"), SerialError);
    EXPECT_THROW(serial.setCommPort(3), SerialError);
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
