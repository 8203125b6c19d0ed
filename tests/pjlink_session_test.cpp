// SPDX-License-Identifier: MIT
// A PJLink connection's own rules on the fake clock: the digest, the limits of a request, the
// idle close, how many requests may wait, a device that is gone; and the shared line.
#include "bridge/digest.hpp"
#include "bridge/shared_line.hpp"
#include "pjlink_rig.hpp"

#include <gtest/gtest.h>

using namespace tova;
using namespace tova::bridge;
using namespace tova::test;

TEST(Pjlink, Authentication) {
    ProjectorConfig c;
    c.password = "JBMIAProjectorLink";
    struct Case {
        std::string firstLine;
        std::string answer;
        bool closed;
    } cases[] = {
        {"5d8409bc1c3fa39749434aa3a5c38682%1CLSS ?", "%1CLSS=1\r", false},
        {"5d8409bc1c3fa39749434aa3a5c38683%1CLSS ?", "PJLINK ERRA\r", true},
        {"%1CLSS ?", "PJLINK ERRA\r", true},
        {"5D8409BC1C3FA39749434AA3A5C38682%1CLSS ?", "PJLINK ERRA\r", true}, // lower case only
    };
    for (const auto& k : cases) {
        PjlinkRig r(c);
        r.session->start();
        EXPECT_EQ(r.sent, "PJLINK 1 498e4a67\r");
        EXPECT_EQ(r.ask(k.firstLine), k.answer) << k.firstLine;
        EXPECT_EQ(r.closed, k.closed) << k.firstLine;
        if (!k.closed) {
            EXPECT_EQ(r.ask("%1INF1 ?"), "%1INF1=TOVA\r"); // no digest after the first
        }
    }
    PjlinkRig open; // no password
    open.session->start();
    EXPECT_EQ(open.sent, "PJLINK 0\r");
}

TEST(Pjlink, ALineLongerThanARequestEndsTheConnection) {
    struct Case {
        std::optional<std::string> password;
        std::size_t length; // with the CR
        bool closed;
    } cases[] = {{std::nullopt, 136, false}, {std::nullopt, 137, true}, {"pw", 168, false}, {"pw", 169, true}};
    for (const auto& c : cases) {
        ProjectorConfig config;
        config.password = c.password;
        PjlinkRig r(config);
        std::string line = c.password ? md5Hex(std::string("498e4a67") + *c.password) : "";
        line += "%1NAME ?";
        line += std::string(c.length - 1 - line.size(), 'x');
        r.session->received(line + "\r");
        EXPECT_EQ(r.closed, c.closed) << c.length;
        if (!c.closed) {
            EXPECT_EQ(r.sent, "%1NAME=ERR2\r") << c.length;
        }
    }
    PjlinkRig r;
    r.session->received(std::string(500, 'x')); // no CR at all
    EXPECT_TRUE(r.closed);
}

TEST(Pjlink, IdleConnectionsCloseAfterThirtySeconds) {
    PjlinkRig r;
    r.clock.advance(29999);
    EXPECT_FALSE(r.closed);
    r.session->received("%1CLSS ?\r");
    r.clock.advance(29999);
    EXPECT_FALSE(r.closed);
    r.clock.advance(1);
    EXPECT_TRUE(r.closed);
}

// Sixteen requests may wait for their answers; more are refused, and every answer, the
// refusals and those the bridge gives itself included, leaves in the order of the requests.
TEST(Pjlink, SixteenRequestsMayWaitAndAnswersKeepTheirOrder) {
    PjlinkRig r;
    std::string burst;
    for (int i = 0; i < 16; ++i) burst += i == 5 ? "%1INST ?\r" : "%1POWR ?\r";
    burst += "%1CLSS ?\r%1POWR ?\r"; // the 17th and 18th: refused
    int rooms = 0;
    r.session->onRoom = [&] { ++rooms; };
    r.session->received(burst);
    EXPECT_EQ(r.sent, "");
    EXPECT_FALSE(r.session->wantsInput()); // nothing more is read meanwhile
    r.answers = {{"CR0\r", "00\r"}};
    for (int i = 0; i < 20; ++i) r.answer();
    std::string expected;
    for (int i = 0; i < 16; ++i) expected += i == 5 ? "%1INST=11 12 13 14 15\r" : "%1POWR=1\r";
    expected += "%1CLSS=ERR3\r%1POWR=ERR3\r";
    EXPECT_EQ(r.sent, expected);
    EXPECT_EQ(r.serial.writes.size(), 15u);
    EXPECT_TRUE(r.session->wantsInput());
    EXPECT_EQ(rooms, 1);
}

// A connection with a password must send its digest within 5 s of the greeting; after that it
// is idle only when no whole request came for 30 s, whatever bytes trickle in.
TEST(Pjlink, DeadlinesCountWholeRequestsOnly) {
    struct Case {
        bool password;
        std::vector<std::pair<long long, std::string>> sent; // ms after the greeting, bytes
        long long closedAt;
    } cases[] = {
        {true, {}, 5000},
        {true, {{4000, "5d84"}, {4900, "09bc"}}, 5000},                 // a digest in pieces, never whole
        {true, {{4000, "5d8409bc1c3fa39749434aa3a5c38682\r"}}, 34000}, // authenticated: 30 s from then
        {false, {{10000, "%1CL"}, {20000, "SS"}, {29000, " ?"}}, 30000}, // no whole request
        {false, {{10000, "%1CLSS ?\r"}}, 40000},
    };
    for (const auto& c : cases) {
        bridge::ProjectorConfig config;
        if (c.password) config.password = "JBMIAProjectorLink";
        PjlinkRig r(config);
        r.session->start();
        long long at = 0;
        for (const auto& [when, bytes] : c.sent) {
            r.clock.advance(when - at);
            at = when;
            r.session->received(bytes);
        }
        r.clock.advance(c.closedAt - 1 - at);
        EXPECT_FALSE(r.closed) << c.closedAt;
        r.clock.advance(1);
        EXPECT_TRUE(r.closed) << c.closedAt;
    }
}

TEST(Pjlink, TheDeviceGoneAnswersErr4) {
    PjlinkRig r;
    r.session->received("%1POWR ?\r");
    r.queue.setLineUp(false); // waiting requests
    EXPECT_EQ(r.sent, "%1POWR=ERR4\r");
    EXPECT_EQ(r.ask("%1POWR ?"), "%1POWR=ERR4\r"); // and new ones
    EXPECT_EQ(r.ask("%1CLSS ?"), "%1CLSS=1\r");    // what needs no line is still answered
}

TEST(SharedLine, EachLineOneExchangeAndItsOwnReply) {
    BridgeRig r;
    std::string toA, toB;
    SharedLineClient a(1, r.queue), b(2, r.queue);
    bool cut = false;
    a.send = [&](const std::string& s) { toA += s; };
    b.send = [&](const std::string& s) { toB += s; };
    a.close = b.close = [&] { cut = true; };
    r.answers = {{"CR0\r", "00\r"}, {"A001C00\r", "\x06"}, {"CR9\r", "TM4\r"}};
    a.received("CR0\rA00");
    b.received("CR9\r");
    a.received("1C00\r");
    for (int i = 0; i < 5; ++i) r.answer();
    EXPECT_EQ(toA, "00\r\x06");
    EXPECT_EQ(toB, "TM4\r");
    EXPECT_EQ(r.serial.writes, (std::vector<std::string>{"CR0\r", "CR9\r", "A001C00\r"}));
    a.received(std::string(5000, 'x')); // endless bytes without CR
    EXPECT_TRUE(cut);
}

// An input change on the shared line waits for the projector to switch, as from the panel.
TEST(SharedLine, InputChangesWaitFiveSeconds) {
    for (const char* line : {"C05\r", "A002CF INPUT2 VIDEO\r"}) {
        BridgeRig r;
        std::string to;
        SharedLineClient a(1, r.queue);
        a.send = [&](const std::string& s) { to += s; };
        a.close = [] {};
        a.received(line);
        r.clock.advance(4999);
        r.serial.receive("\x06");
        EXPECT_EQ(to, "\x06") << line;
    }
}

// Each line a client sends gets its reply, its own repeated query included; a repeated command
// still waiting is dropped (a held button's repeat), and said once.
TEST(SharedLine, EveryQueryLineGetsItsReplyARepeatedCommandIsDroppedOnce) {
    BridgeRig r;
    std::string to;
    std::vector<std::string> logged;
    SharedLineClient a(1, r.queue);
    a.send = [&](const std::string& s) { to += s; };
    a.close = [] {};
    a.log = [&](const std::string& s) { logged.push_back(s); };
    r.answers = {{"CR0\r", "00\r"}, {"CRA\r", "01\r"}, {"C47\r", "\x06"}};
    a.received("CR0\rCRA\rCRA\r");
    for (int i = 0; i < 4; ++i) r.answer();
    EXPECT_EQ(to, "00\r01\r01\r");
    EXPECT_EQ(r.serial.writes, (std::vector<std::string>{"CR0\r", "CRA\r"}));
    to.clear();
    a.received("CR0\rC47\rC47\rC47\r"); // the zoom repeats while one waits
    for (int i = 0; i < 4; ++i) r.answer();
    EXPECT_EQ(to, "00\r\x06");
    EXPECT_EQ(std::count_if(logged.begin(), logged.end(),
                            [](const std::string& l) { return l.find("the same line waits already") != std::string::npos; }),
              1);
}
