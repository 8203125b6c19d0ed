// SPDX-License-Identifier: MIT
// What the operator meets in a live room: ports that vanish or are taken, noise, long text.
#include "link/traffic.hpp"
#include "window_rig.hpp"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>

#include <atomic>
#include <random>
#include <thread>

using namespace tova;
using namespace tova::test;

TEST(Faults, PortHeldByAnotherProgram) {
    PtyPeer device;
    QtSerialControl other(device.path(), device.path());
    other.setSettings(LineSettings{19200});
    other.setPortOpen(true); // the other program has it
    WindowRig r(device.path());
    const QString text = r.dismissBox();
    EXPECT_TRUE(text.startsWith(QStringLiteral("COM1 (%1): in use by another program (").arg(device.path())))
        << text.toStdString();
    EXPECT_FALSE(r.serial.portOpen());
    other.setPortOpen(false); // it lets go; the operator chooses COM1 again
    r.click("Command33");
    r.click("Option1");
    ASSERT_TRUE(r.serial.portOpen());
    r.click("Command17");
    EXPECT_EQ(device.readBytes(4), "C00\r");
}

TEST(Faults, DeviceVanishesMidExchangeAndComesBack) {
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("projector"));
    auto plug = [&](const PtyPeer& p) {
        QFile::remove(link);
        ASSERT_TRUE(QFile::link(p.path(), link));
    };
    auto first = std::make_unique<PtyPeer>();
    plug(*first);
    WindowRig r(link);
    r.click("Command44");
    EXPECT_EQ(first->readBytes(4), "CR0\r");
    first->write("8"); // half a reply, then the cable is pulled
    first.reset();
    EXPECT_FALSE(r.dismissBox().isEmpty());
    drainEvents();
    EXPECT_EQ(r.box(), nullptr); // told once
    EXPECT_FALSE(r.serial.portOpen());
    r.click("Command44"); // the next press: reported, not shown as sent
    EXPECT_NE(r.dismissBox().indexOf(QStringLiteral("not open")), -1);

    PtyPeer second; // plugged in again
    plug(second);
    r.click("Command33");
    r.click("Option1");
    ASSERT_TRUE(r.serial.portOpen());
    ASSERT_TRUE(r.waitExchangeClosed());
    r.click("Command44");
    EXPECT_EQ(second.readBytes(4), "CR0\r");
    second.write("00\r");
    ASSERT_TRUE(QTest::qWaitFor([&] { return r.label("Label22") == " Power ON"; }, 3000));
    r.click("Command17"); // nothing sent twice: the next bytes are this line's
    EXPECT_EQ(second.readBytes(4), "C00\r");
}

TEST(Faults, NoiseNeverStopsThePanel) {
    WindowRig r;
    std::string every;
    for (int c = 0; c < 256; ++c) every.push_back(static_cast<char>(c));
    r.com1.write(every);
    ASSERT_TRUE(QTest::qWaitFor([&] { return r.label("Label12") == trafficText(every); }, 3000));

    std::mt19937 rng(1);
    std::string noise(1 << 20, '\0');
    for (auto& c : noise) c = static_cast<char>(rng());
    std::atomic<bool> written{false};
    std::thread writer([&] {
        r.com1.write(noise); // the panel reads on its own thread meanwhile
        written = true;
    });
    const bool done = QTest::qWaitFor([&] { return written.load(); }, 30000);
    writer.join();
    ASSERT_TRUE(done);
    ASSERT_TRUE(QTest::qWaitFor([&] { return r.serial.received == noise.size(); }, 5000));
    drainEvents();
    EXPECT_LE(r.panel.rxBuffer.size(), kReceiveCap);
    EXPECT_LE(r.label("Label12").size(), 1 + 5 * kReceiveCap);
    EXPECT_TRUE(r.serial.portOpen());
    EXPECT_EQ(r.box(), nullptr);
    r.com1.readNow();
    r.click("Command17"); // still answers the operator at once
    EXPECT_EQ(r.com1.readBytes(4), "C00\r");
}

TEST(Faults, ReplyWithoutCarriageReturnAndSplitReplies) {
    WindowRig r;
    r.click("Command44");
    r.com1.write("00");
    ASSERT_TRUE(QTest::qWaitFor([&] { return r.label("Label22") == " Power ON"; }, 3000));
    EXPECT_EQ(r.label("Label12"), " 0 0 ");
    ASSERT_TRUE(r.waitExchangeClosed());
    r.click("Command99");
    std::string sent;
    for (char c : std::string("853\r")) { // one receive event per character
        r.com1.write(std::string(1, c));
        sent += c;
        ASSERT_TRUE(QTest::qWaitFor([&] { return r.label("Label12") == trafficText(sent); }, 3000));
    }
    EXPECT_EQ(r.label("Label22"), "1013 hPa");
    EXPECT_EQ(r.panel.pressureValue, 1013);
}

TEST(Faults, LongAndStrangeFreeText) {
    WindowRig r;
    auto* box = qobject_cast<QLineEdit*>(r.w("Text1"));
    std::string longText(40000, 'x'); // longer than a plain line edit takes
    for (std::size_t i = 0; i < longText.size(); i += 7) longText[i] = char('A' + i % 26);
    box->setText(QString::fromStdString(longText));
    r.click("Command95");
    EXPECT_EQ(r.com1.readBytes(40001), longText + "\r");
    EXPECT_EQ(r.label("Label11"), trafficText(longText + "\r"));

    // Control characters are refused, named in the box, and nothing reaches the line.
    box->setText(QString::fromUtf8("C0\t0\x01\x1b"));
    r.click("Command95");
    EXPECT_TRUE(r.dismissBox().contains(QStringLiteral("(TAB at 3)")));
    EXPECT_EQ(r.com1.readBytes(1, 300), "");
    box->setText(QString::fromUtf8("\u00c400\u3000"));
    r.click("Command95");
    EXPECT_EQ(r.com1.readBytes(5), "?00?\r");
}

// The device vanishes just before a press: the write fails during the hand-over.
TEST(Faults, WriteThatFailsIsNotShownAsSent) {
    WindowRig r;
    r.com1.hangUp();
    r.click("Command17"); // at once, before the event loop has seen the hang-up
    EXPECT_EQ(r.label("Label11"), "");
    EXPECT_FALSE(r.t2.enabled()); // no reply awaited: no " X X X X" will follow
    EXPECT_FALSE(r.panel.awaitingReply);
    const QString text = r.dismissBox();
    EXPECT_TRUE(text.startsWith(QStringLiteral("COM1 (%1): ").arg(r.com1.path()))) << text.toStdString();
    drainEvents();
    EXPECT_EQ(r.box(), nullptr); // one box for the press and the loss together
    EXPECT_NE(r.label("Label12"), " X X X X");
    EXPECT_FALSE(r.serial.portOpen());
}
