// SPDX-License-Identifier: MIT
// A PJLink connection's own rules on the fake clock: the digest, the limits of a request, the
// idle close, how many requests may wait, a device that is gone; and the shared line.
#include "bridge/digest.hpp"
#include "bridge/shared_line.hpp"
#include "pjlink_rig.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <iterator>
#include <vector>

using namespace tova;
using namespace tova::bridge;
using namespace tova::test;

// The digests of the protocol's worked examples, worked out independently:
//   python3 -c "import hashlib; print(hashlib.md5(b'498e4a67JBMIAProjectorLink').hexdigest())"
//   (and .sha1 for SHA-1, which a WebSocket's opening uses)
//   python3 -c "import hashlib; P=bytes.fromhex('3db25e10f69c47a85adb24cf361897e0');
//     C=bytes.fromhex('c14b279e603d8a5f17e849ba360f2dc5'); x=bytes(a^b for a,b in zip(C,P)).hex();
//     print(C.hex()+hashlib.sha256((x+'JBMIAProjectorLink').encode()).hexdigest())"
const std::string kMd5Prefix = "5d8409bc1c3fa39749434aa3a5c38682";
const std::string kShaPrefix = "c14b279e603d8a5f17e849ba360f2dc5"
                               "70ab129eac6924d4c129c9c4fcf45be42e1e776325a66db67e5b6eee50f2a692";

TEST(Digest, KnownDigests) {
    const std::tuple<std::string, std::string, std::string, std::string> cases[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855",
         "da39a3ee5e6b4b0d3255bfef95601890afd80709"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad",
         "a9993e364706816aba3e25717850c26c9cd0d89d"},
        {"498e4a67JBMIAProjectorLink", kMd5Prefix, "0bcc65153bf82f5f21057dfa3877ed6bd60f986762f7f680dda6d6ef44c1324e",
         "7545d82cb48518583264e4496580bc1a6d6d554a"},
    };
    for (const auto& [text, md5, sha, sha1] : cases) {
        EXPECT_EQ(md5Hex(text), md5) << text;
        EXPECT_EQ(sha256Hex(text), sha) << text;
        EXPECT_EQ(sha1Hex(text), sha1) << text;
    }
}

TEST(Pjlink, AuthenticationAsControllersDoIt) {
    ProjectorConfig c;
    c.password = "JBMIAProjectorLink";
    struct Case {
        std::vector<std::string> lines; // sent in turn
        std::string answers;            // everything said after the greeting
        bool closed;
    } cases[] = {
        {{kMd5Prefix + "%1CLSS ?", "%1INF1 ?"}, "%1CLSS=2\r%1INF1=TOVA\r", false}, // no digest after the first
        {{kMd5Prefix + "%1CLSS ?", kMd5Prefix + "%2SNUM ?"}, "%1CLSS=2\r%2SNUM=\r", false}, // the digest again
        {{kMd5Prefix + "%1CLSS ?", "5d8409bc1c3fa39749434aa3a5c38683%1CLSS ?"}, "%1CLSS=2\rPJLINK ERRA\r", true},
        {{"5d8409bc1c3fa39749434aa3a5c38683%1CLSS ?"}, "PJLINK ERRA\r", true},
        {{"%1CLSS ?"}, "PJLINK ERRA\r", true},
        {{"5D8409BC1C3FA39749434AA3A5C38682%1CLSS ?"}, "PJLINK ERRA\r", true}, // lower case only
        // Once in, a line that only looks like a digest (no lower-case hex) is no request: let be.
        {{kMd5Prefix + "%1CLSS ?", "5D8409BC1C3FA39749434AA3A5C38682%1CLSS ?"}, "%1CLSS=2\r", false},
        {{kMd5Prefix + "%1CLSS ?", "gggggggggggggggggggggggggggggggg%1CLSS ?"}, "%1CLSS=2\r", false},
        {{kMd5Prefix}, "", false},                                                // the digest alone
        // Version 2.10: "PJLINK 2", then C and the SHA-256 digest before the first request.
        {{"PJLINK 2", kShaPrefix + "%1CLSS ?", "%2FREZ ?"},
         "PJLINK 2 3db25e10f69c47a85adb24cf361897e0\r%1CLSS=2\r%2FREZ=ERR3\r", false},
        {{"PJLINK 2", kShaPrefix.substr(0, 95) + "0%1CLSS ?"},
         "PJLINK 2 3db25e10f69c47a85adb24cf361897e0\rPJLINK ERRA\r", true},
        {{"PJLINK 2", kMd5Prefix + "%1CLSS ?"}, "PJLINK 2 3db25e10f69c47a85adb24cf361897e0\rPJLINK ERRA\r", true},
        {{kMd5Prefix, "PJLINK 2"}, "PJLINK ERRA\r", true}, // too late for another scheme
        {{"PJLINK 2", "PJLINK 2"}, "PJLINK 2 3db25e10f69c47a85adb24cf361897e0\rPJLINK ERRA\r", true}, // asked twice
    };
    std::vector<Case> all(std::begin(cases), std::end(cases));
    // Every digest compared in full: one digit changed first, in the middle or last, at the
    // first request and when it comes again.
    auto changed = [](std::string s, std::size_t i) {
        s[i] = s[i] == '0' ? '1' : '0';
        return s;
    };
    for (std::size_t i : {std::size_t(0), std::size_t(16), std::size_t(31)}) {
        all.push_back({{changed(kMd5Prefix, i) + "%1CLSS ?"}, "PJLINK ERRA\r", true});
        all.push_back({{kMd5Prefix + "%1CLSS ?", changed(kMd5Prefix, i) + "%1CLSS ?"}, "%1CLSS=2\rPJLINK ERRA\r", true});
    }
    for (std::size_t i : {std::size_t(0), std::size_t(40), std::size_t(95)})
        all.push_back({{"PJLINK 2", changed(kShaPrefix, i) + "%1CLSS ?"},
                       "PJLINK 2 3db25e10f69c47a85adb24cf361897e0\rPJLINK ERRA\r", true});
    for (const auto& k : all) {
        PjlinkRig r(c);
        r.sent.clear();
        r.session->start();
        EXPECT_EQ(r.sent, "PJLINK 1 498e4a67\r");
        r.sent.clear();
        for (const auto& line : k.lines) r.session->received(line + "\r");
        EXPECT_EQ(r.sent, k.answers) << k.lines.back();
        EXPECT_EQ(r.closed, k.closed) << k.lines.back();
    }
    PjlinkRig open; // no password
    open.sent.clear();
    open.session->start();
    EXPECT_EQ(open.sent, "PJLINK 0\r");
    EXPECT_EQ(open.ask("PJLINK 2"), "PJLINK 0\r"); // nothing to authenticate
}

// A name from the settings is printable UTF-8, so that no answer carries a line end: four
// requests pipelined get four answers, in order, whatever the name holds.
TEST(Pjlink, ANameCannotForgeAnAnswer) {
    EXPECT_FALSE(validName("Hall\r%1POWR=1"));
    EXPECT_FALSE(validName("Hall\n"));
    EXPECT_FALSE(validName("\xff\xfe"));
    EXPECT_FALSE(parseInputNames("PC,Lectern\r%1POWR=1,Video,Camera,Spare").has_value());
    EXPECT_FALSE(parseInputNames("PC,Lectern,Video,Camera,\x85").has_value());
    ProjectorConfig c;
    c.name = "Salle \xc3\xa9t\xc3\xa9 \xe6\x98\xa0\xe5\x83\x8f";
    ASSERT_TRUE(validName(c.name));
    PjlinkRig r(c);
    r.sent.clear();
    r.session->received("%1NAME ?\r%1INF1 ?\r%1CLSS ?\r%1NAME ?\r");
    EXPECT_EQ(r.sent, "%1NAME=" + c.name + "\r%1INF1=TOVA\r%1CLSS=2\r%1NAME=" + c.name + "\r");
}

// The longest line: a first one with the 2.10 prefix 232 bytes, with the MD5 prefix 168; a later
// one with a repeated MD5 prefix 168; any other 136 (all with the CR).
TEST(Pjlink, LineLimitsFollowThePrefix) {
    struct Case {
        bool password, sha, later, repeated;
        std::size_t length;
        bool closed;
    } cases[] = {
        {false, false, false, false, 136, false}, {false, false, false, false, 137, true},
        {true, false, false, false, 168, false},  {true, false, false, false, 169, true},
        {true, true, false, false, 232, false},   {true, true, false, false, 233, true},
        {true, false, true, true, 168, false},    {true, false, true, true, 169, true},
        {true, false, true, false, 136, false},   {true, false, true, false, 137, true},
        {true, true, true, false, 137, true},
    };
    for (const auto& c : cases) {
        ProjectorConfig config;
        if (c.password) config.password = "JBMIAProjectorLink";
        PjlinkRig r(config);
        if (c.sha) r.session->received("PJLINK 2\r");
        std::string prefix = c.password && !c.later ? (c.sha ? kShaPrefix : kMd5Prefix) : "";
        if (c.later) r.session->received((c.sha ? kShaPrefix : kMd5Prefix) + "\r");
        if (c.repeated) prefix = kMd5Prefix;
        std::string line = prefix + "%1NAME ?";
        line += std::string(c.length - 1 - line.size(), 'x');
        r.sent.clear();
        r.session->received(line + "\r");
        EXPECT_EQ(r.closed, c.closed) << c.length << " " << c.sha << c.later;
        if (!c.closed) {
            EXPECT_EQ(r.sent, "%1NAME=ERR2\r") << c.length;
        }
    }
}

TEST(Pjlink, ALineWithoutEndEndsTheConnection) {
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
    r.onRoom = [&] { ++rooms; };
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
    EXPECT_EQ(r.ask("%1CLSS ?"), "%1CLSS=2\r");    // what needs no line is still answered
}

TEST(SharedLine, EachLineOneExchangeAndItsOwnReply) {
    BridgeRig r;
    std::string toA, toB;
    bool cut = false;
    SharedLineClient a(1, r.queue, {[&](const std::string& s) { toA += s; }, [&] { cut = true; }, {}}),
        b(2, r.queue, {[&](const std::string& s) { toB += s; }, [&] { cut = true; }, {}});
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
// Each line the shared line drops is logged for what it is, and a line that goes is not.
TEST(SharedLine, EachDropIsLoggedForWhatItIs) {
    struct Case {
        const char* what;
        std::function<void(BridgeRig&, SharedLineClient&)> act;
        std::vector<std::string> logged; // their starts
    } cases[] = {
        {"lines that go", [](BridgeRig&, SharedLineClient& c) { c.received("CR0\rC00\r"); }, {}},
        {"the same command again, twice",
         [](BridgeRig&, SharedLineClient& c) { c.received("CR0\rC00\rC00\rC00\r"); },
         {"dropped, the same line waits already"}},
        {"one more than may wait",
         [](BridgeRig&, SharedLineClient& c) {
             for (int i = 0; i <= int(ExchangeQueue::kMaxWaiting); ++i) c.received("CX" + std::to_string(10 + i) + "\r");
         },
         {"dropped, 16 lines wait already"}},
        {"the device gone",
         [](BridgeRig& r, SharedLineClient& c) {
             r.queue.setLineUp(false);
             c.received("CR0\r");
         },
         {"dropped, the device is not there"}},
    };
    for (const auto& c : cases) {
        BridgeRig r;
        std::vector<std::string> logged;
        SharedLineClient client(1, r.queue, {[](const std::string&) {}, [] {}, [&](const std::string& s) { logged.push_back(s); }});
        c.act(r, client);
        ASSERT_EQ(logged.size(), c.logged.size()) << c.what;
        for (std::size_t i = 0; i < logged.size(); ++i) EXPECT_TRUE(logged[i].starts_with(c.logged[i])) << logged[i];
    }
}

TEST(SharedLine, InputChangesWaitFiveSeconds) {
    for (const char* line : {"C05\r", "A002CF INPUT2 VIDEO\r"}) {
        BridgeRig r;
        std::string to;
        SharedLineClient a(1, r.queue, {[&](const std::string& s) { to += s; }, [] {}, {}});
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
    SharedLineClient a(1, r.queue,
                       {[&](const std::string& s) { to += s; }, [] {}, [&](const std::string& s) { logged.push_back(s); }});
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
