// SPDX-License-Identifier: MIT
// Transmission, traffic display, receive path and the two traffic timers, on a fake clock.
#include "fakes.hpp"
#include "link/traffic.hpp"

#include <gtest/gtest.h>

using namespace tova;
using namespace tova::test;

namespace {

struct Link : ::testing::Test {
    Rig r;
    void SetUp() override { Rig::load(r); }
};

} // namespace

TEST_F(Link, TransmissionShowsTheLineAndAwaitsAReply) {
    r.panel.click("Command17");
    EXPECT_EQ(r.serial.written, "C00\r");
    EXPECT_EQ(r.label("Label11"), " C 0 0 CR ");
    EXPECT_TRUE(r.panel.awaitingReply);
    EXPECT_TRUE(r.t2.enabled());
    EXPECT_TRUE(r.t4.enabled());
    EXPECT_EQ(r.label("Label12"), ""); // not touched by a transmission
}

TEST_F(Link, TimeOutMarkOnlyWhenNothingCame) {
    r.panel.click("Command44");
    r.clock.advance(499);
    EXPECT_EQ(r.label("Label12"), "");
    r.clock.advance(1);
    EXPECT_EQ(r.label("Label12"), " X X X X");
    EXPECT_FALSE(r.t2.enabled());
    EXPECT_FALSE(r.panel.awaitingReply);
    r.clock.advance(499);
    EXPECT_EQ(r.label("Label11"), " C R 0 CR ");
    r.clock.advance(1); // display clear at 1000 ms
    EXPECT_EQ(r.label("Label11"), "");
    EXPECT_EQ(r.label("Label12"), "");
    EXPECT_FALSE(r.t4.enabled());

    r.panel.click("Command44");
    r.serial.receive("00\r");
    r.clock.advance(500);
    EXPECT_EQ(r.label("Label12"), " 0 0 CR "); // a reply came: no mark
    EXPECT_EQ(r.panel.rxBuffer, "");
}

TEST_F(Link, ReplyInPiecesIsShownAndDecodedAsItGrows) {
    r.panel.click("Command44");
    r.serial.receive("0");
    EXPECT_EQ(r.label("Label12"), " 0 ");
    EXPECT_EQ(r.label("Label22"), "");
    r.serial.receive("0\r");
    EXPECT_EQ(r.label("Label12"), " 0 0 CR ");
    EXPECT_EQ(r.label("Label22"), " Power ON");
    EXPECT_FALSE(r.panel.awaitingReply);
    r.clock.advance(1000);
    EXPECT_EQ(r.label("Label22"), ""); // the display clear takes the status too
}

TEST_F(Link, LateReplyStartsAFreshBufferAndStaysShown) {
    r.panel.click("Command44");
    r.clock.advance(500);
    r.serial.receive("80\r");
    EXPECT_EQ(r.label("Label12"), " 8 0 CR ");
    EXPECT_EQ(r.label("Label22"), " Stand by");
    r.clock.advance(600); // both timers have ticked
    r.serial.receive("00\r"); // arrives after both: stays until a later clear
    r.clock.advance(5000);
    EXPECT_EQ(r.label("Label12"), " 8 0 CR 0 0 CR ");
    EXPECT_EQ(r.panel.rxBuffer, "80\r00\r");
    r.panel.click("Command17"); // no exchange open: the next reply starts afresh
    r.serial.receive("\x06");
    EXPECT_EQ(r.label("Label12"), " ACK ");
}

// An input change is acknowledged after switching, long after its time-out.
TEST_F(Link, LateAcknowledgementDoesNotSpoilTheNextQuery) {
    struct Case {
        const char* query;
        std::string reply;
        std::string decoded;
    } cases[] = {{"Command44", "00\r", " Power ON"}, {"Command99", "853\r", "1013 hPa"}};
    for (const auto& c : cases) {
        Rig f;
        Rig::load(f);
        f.panel.click("Command27"); // INPUT MODE SET 1
        f.clock.advance(1200);
        f.serial.receive("\x06"); // the late ACK
        f.panel.click(c.query);
        f.serial.receive(c.reply);
        EXPECT_EQ(f.label("Label22"), c.decoded) << c.query;
        EXPECT_EQ(f.label("Label12"), trafficText(c.reply)) << c.query;
    }
}

TEST_F(Link, LineSentDuringAnOpenExchangeAppendsItsReply) {
    r.panel.click("Command44");
    r.serial.receive("80\r");
    r.panel.click("Command44"); // before the time-out: the buffer is kept
    r.serial.receive("00\r");
    EXPECT_EQ(r.label("Label12"), " 8 0 CR 0 0 CR ");
    EXPECT_EQ(r.label("Label22"), " Stand by"); // the start of the text is what is decoded
}

TEST_F(Link, ReceivedBeforeAnySendIsShownButAnswersNoQuery) {
    r.serial.receive("00\r");
    EXPECT_EQ(r.label("Label12"), " 0 0 CR ");
    EXPECT_EQ(r.label("Label22"), "");
}

TEST_F(Link, AddressOptionsSetOnlyThePrefix) {
    const std::pair<const char*, const char*> options[] = {
        {"Option4", "AFFF"}, {"Option5", "A001"}, {"Option6", "A002"},
        {"Option7", "A003"}, {"Option8", "A004"}, {"Option3", ""}};
    for (auto [option, prefix] : options) {
        r.serial.written.clear();
        r.window.captions.clear();
        r.panel.click(option);
        EXPECT_EQ(r.panel.addressPrefix, prefix);
        EXPECT_EQ(r.serial.written, "");
        EXPECT_TRUE(r.window.captions.empty());
        r.panel.click("Command17");
        EXPECT_EQ(r.serial.written, std::string(prefix) + "C00\r");
    }
}

TEST_F(Link, AddressChangedBeforeTheReplyDecodesNothing) {
    r.panel.click("Option5");
    r.panel.click("Command44");
    r.panel.click("Option3");
    r.serial.receive("00\r");
    EXPECT_EQ(r.label("Label22"), "");
    r.panel.click("Option5");
    r.serial.receive("");
    EXPECT_EQ(r.label("Label22"), " Power ON");
}

TEST_F(Link, ReceivedTextIsBounded) {
    for (int i = 0; i < 100; ++i) r.serial.receive(std::string(1000, 'x'));
    EXPECT_EQ(r.panel.rxBuffer.size(), kReceiveCap);
    EXPECT_EQ(r.label("Label12").size(), 1 + 2 * kReceiveCap);
}

TEST_F(Link, SendOnAClosedPortIsNotShownAndIsReported) {
    r.serial.setPortOpen(false);
    r.panel.click("Command17");
    EXPECT_EQ(r.serial.written, "");
    EXPECT_EQ(r.label("Label11"), "");
    EXPECT_FALSE(r.panel.awaitingReply);
    EXPECT_FALSE(r.t2.enabled());
    ASSERT_EQ(r.window.warnings.size(), 1u);
    EXPECT_EQ(r.window.warnings[0], "COM1 (/fake/com1): not open\nChoose the port again to open it (click COM).");
    r.panel.click("Command18"); // while the box is open: the operator has been told
    EXPECT_EQ(r.window.warnings.size(), 1u);
    r.window.dismiss();
    r.panel.click("Command18");
    EXPECT_EQ(r.window.warnings.size(), 2u); // every press on a closed port is reported
}

TEST_F(Link, DeviceLostIsReportedOnceWithItsOwnText) {
    r.panel.click("Command44");
    r.serial.lose("Input/output error");
    ASSERT_EQ(r.window.warnings.size(), 1u);
    const std::string lost = "COM1 (/fake/com1): the device was disconnected (Input/output error)";
    EXPECT_EQ(r.window.warnings[0], lost + "\nPlug the adapter back in, then choose the port again.");
    EXPECT_EQ(r.window.tips["Command33"], "COM1: /fake/com1, 19200,N,8,1, closed; last failure: " + lost);
    r.window.dismiss();
    r.panel.click("Command44"); // a press on the lost port says why it is closed
    EXPECT_EQ(r.window.warnings.back(), "COM1 (/fake/com1): not open (Input/output error)\nChoose the port again to open it (click COM).");
    r.clock.advance(500);
    EXPECT_EQ(r.label("Label12"), " X X X X");
}

// Each query's reply split at every byte boundary: shown whole and decoded as in one piece.
TEST(LinkSplit, EveryQueryAtEveryBoundary) {
    const std::pair<const char*, std::string> replies[] = {
        {"Command44", "00\r"},   {"Command45", "3\r"},   {"Command46", "01234\r"},
        {"Command47", "10\r"},   {"Command54", "025.0  30.5  28.0   27.5\r"},
        {"Command55", "22\r"},   {"Command38", "TM4\r"}, {"Command12", "FF\r"},
        {"Command99", "853\r"},
    };
    for (const auto& [button, reply] : replies) {
        Rig whole;
        Rig::load(whole);
        whole.panel.click(button);
        whole.serial.receive(reply);
        for (std::size_t cut = 1; cut < reply.size(); ++cut) {
            Rig r;
            Rig::load(r);
            r.panel.click(button);
            r.serial.receive(reply.substr(0, cut));
            r.serial.receive(reply.substr(cut));
            EXPECT_EQ(r.label("Label12"), whole.label("Label12")) << button << " " << cut;
            EXPECT_EQ(r.label("Label22"), whole.label("Label22")) << button << " " << cut;
        }
        EXPECT_NE(whole.label("Label22"), "") << button;
    }
}
