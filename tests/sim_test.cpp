// SPDX-License-Identifier: MIT
// The virtual projector's model, read through the panel's own decoder.
#include "link/decoder.hpp"
#include "link/traffic.hpp"
#include "fakes.hpp"
#include "sim/projector.hpp"
#include "sim/projector_port.hpp"

#include <gtest/gtest.h>

#include <vector>

using namespace tova;
using namespace tova::sim;

namespace {

const Timings kT{Ms{3000}, Ms{4000}, Ms{30}, Ms{500}};

std::string decoded(Projector& p, const char* query, Ms now) {
    auto a = p.handle(query, now);
    auto r = decodeReply(frameLine("", query), "", trafficText(a.reply), 0);
    return r.words.value_or("(nothing)");
}

} // namespace

TEST(Sim, PowerStateMachine) {
    Projector p(kT);
    struct Step {
        long long at;
        const char* code; // nullptr: only the status is read
        const char* answer; // ACK, the refusal, or nullptr for none
        const char* status;
    } steps[] = {
        {0, nullptr, nullptr, " Stand by"},
        {10, "C05", "ERR\r", " Stand by"},        // input change refused in standby
        {20, "C00", "\x06", " Count down"},
        {3019, nullptr, nullptr, " Count down"},
        {3020, nullptr, nullptr, " Power ON"},
        {3030, "C06", "\x06", " Power ON"},
        {3040, "C00", "\x06", " Power ON"},      // already on
        {4000, "C01", "\x06", " Cooling down"},
        {4010, "C00", "ERR\r", " Cooling down"},  // no power on while cooling
        {8000, nullptr, nullptr, " Stand by"},
        {8010, "CF INPUT1 VIDEO", "ERR\r", " Stand by"},
    };
    for (const auto& s : steps) {
        if (s.code) {
            EXPECT_EQ(p.handle(s.code, Ms{s.at}).reply, s.answer) << s.at;
        }
        EXPECT_EQ(decoded(p, "CR0", Ms{s.at}), s.status) << s.at;
    }
}

// A fault shows in the status in every state the projector goes through, and in what it refuses.
TEST(Sim, AFaultShowsInEveryStatus) {
    struct Step {
        long long at;
        const char* code;   // nullptr: only the status is read
        const char* answer; // ACK, the refusal, or nullptr for none
        const char* status;
    };
    const struct {
        Fault fault;
        std::vector<Step> steps;
    } cases[] = {
        {Fault::Temperature,
         {{0, nullptr, nullptr, " Lamp OFF & Tempereture Warning by PWR Management"},
          {10, "C00", "\x06", " Count down"}, // no row tells a warning while counting down
          {3010, nullptr, nullptr, " Temperature Warning(Power ON)"},
          {3020, "C01", "\x06", " Temperature Warning & cooling down"}}},
        {Fault::Lamp,
         {{0, nullptr, nullptr, " Cooling down & sutandby (All Lamp FAIL)"},
          {10, "C00", "ERR\r", " Cooling down & sutandby (All Lamp FAIL)"}}},
        {Fault::Power,
         {{0, nullptr, nullptr, " Power Fail"},
          {10, "C00", "ERR\r", " Power Fail"},
          {20, "C01", "ERR\r", " Power Fail"}}},
    };
    for (const auto& c : cases) {
        Projector p(kT, c.fault);
        for (const auto& s : c.steps) {
            if (s.code) {
                EXPECT_EQ(p.handle(s.code, Ms{s.at}).reply, s.answer) << s.at;
            }
            EXPECT_EQ(decoded(p, "CR0", Ms{s.at}), s.status) << s.at;
        }
    }
}

TEST(Sim, EveryQueryDecodesToItsTablesText) {
    Projector p(kT);
    p.handle("C00", Ms{0});
    p.advance(Ms{5000});
    struct Case {
        const char* code; // a command first, or nullptr
        const char* query;
        const char* shown;
    } cases[] = {
        {nullptr, "CR0", " Power ON"},
        {"C07", "CR1", " Input mode 3"},
        {"CF INPUT2 YC", "CR1", " Input mode 2"},
        {nullptr, "CR4", " Normally"},
        {nullptr, "CR3", " 0 1 2 3 4 CR  Hour Use"},
        {nullptr, "CR6", "  S1= 0 2 5 . 0 C  ,   S2=  3 0 . 5 C  ,   S3= 2 8 . 0  C  ,   S4=  2 7 . 5 C "},
        {nullptr, "CRA", " Video & Audio mute OFF"},
        {"C0B", "CRA", " Audio mute ON"},
        {"C0D", "CRA", " Video & Audio mute ON"},
        {"C0C", "CRA", " Video mute ON"},
        {"C03", "CRA", " No signal"},
        {"C05", "CR1", " Input mode 1"},
        {nullptr, "CR9", " T M 4 - S I M CR "},
        {nullptr, "CR PRESSURE", "1013 hPa"},
        {nullptr, "CR7", " No1,2 ON  : 2 Lamp mode"},
        {"C71", "CR7", " No1 ON  : 1 Lamp mode(No1 USE)"},
        {"C72", "CR7", " No2 ON  : 1 Lamp mode(No2 USE)"},
    };
    for (const auto& c : cases) {
        if (c.code) {
            EXPECT_EQ(p.handle(c.code, Ms{6000}).reply, std::string(1, kAck)) << c.code;
        }
        EXPECT_EQ(decoded(p, c.query, Ms{6000}), c.shown) << c.query;
    }
    EXPECT_EQ(p.handle("C99", Ms{6000}).reply, "ERR\r");
    EXPECT_EQ(p.handle("C05", Ms{6000}).delay, kT.inputChange);
    EXPECT_EQ(p.handle("CR0", Ms{6000}).delay, kT.reply);
}

TEST(Sim, EveryPanelCommandIsAcceptedWhenOn) {
    for (const char* code : {"C09", "C0A", "C3C", "C3D", "C3B", "C3A", "C47", "C46", "C4B", "C4A",
                             "C3F", "CF DZOOM UP", "CF DZOOM DN", "C31", "CF KEYSTONE UP",
                             "CF KEYSTONE DN", "C5D", "C5E", "C5F", "C60", "CF IMAGE REAL",
                             "CF SHUTLVL NORMAL", "CF FANSPEED MAX", "C1C", "C89", "C03"}) {
        Projector p(kT);
        p.handle("C00", Ms{0});
        EXPECT_EQ(p.handle(code, Ms{4000}).reply, std::string(1, kAck)) << code;
    }
}

TEST(Sim, AddressesOnASharedLine) {
    ProjectorLine line({3, 19200, kT});
    struct Case {
        std::string sent;
        std::vector<std::string> replies;
    } cases[] = {
        {"A001C00\r", {"\x06"}},
        {"A003CR0\r", {"80\r"}},
        {"A002CR0\r", {"80\r"}},
        {"A004CR0\r", {}},           // nobody there
        {"AFFFCR0\r", {"40\r"}},     // all reached, the first answers
        {"CR0\r", {"40\r"}},
        {"AFFFC00\r", {"\x06"}},
        {"A00", {}},                 // no carriage return yet
        {"2CR0\r", {"40\r"}},        // the rest of it
    };
    for (const auto& c : cases) {
        std::vector<std::string> got;
        for (const auto& o : line.receive(c.sent, 19200, Ms{100})) got.push_back(o.bytes);
        EXPECT_EQ(got, c.replies) << c.sent;
    }
    EXPECT_EQ(line.projector(3).power(), Power::WarmingUp); // reached by AFFF
    ProjectorLine alone({1, 19200, kT});
    EXPECT_EQ(alone.receive("AFFFCR0\r", 19200, Ms{0}).size(), 1u);
    EXPECT_EQ(alone.receive("A001CR0\r", 19200, Ms{0}).size(), 1u);
}

TEST(Sim, SpeedMismatchIsNoiseBothWays) {
    ProjectorLine line({1, 19200, kT});
    std::string sent;
    for (int i = 0; i < 50; ++i) sent += "CR0\r";
    auto replies = line.receive(sent, 9600, Ms{0});
    std::size_t understood = 0;
    for (const auto& r : replies) understood += r.bytes == "80\r";
    EXPECT_EQ(understood, 0u);
    EXPECT_NE(line.toPanel("80\r", 9600), "80\r");
    EXPECT_EQ(line.toPanel("80\r", 19200), "80\r");
    // About one character in three is lost to framing errors; the rest arrive, changed.
    const std::string heard = line.toPanel(std::string(3000, 'A'), 9600);
    EXPECT_GT(heard.size(), 1750u);
    EXPECT_LT(heard.size(), 2250u);
}

// At its end of the line the projector answers after its delay, a byte at a time at the line's
// rate, and only to the party that asked.
TEST(Sim, ThePortPacesItsRepliesAndForgetsAGoneParty) {
    test::FakeClock clock;
    test::FakeTimer timer(clock);
    clock.timers = {&timer};
    std::vector<std::pair<long long, std::string>> sent; // when, what
    std::vector<std::string> logged;
    ProjectorLine::Options o;
    o.baud = 9600; // 1.04 ms a byte
    o.timings = kT;
    ProjectorPort port(o, timer, clock,
                       {[&](std::string_view b) {
                            sent.emplace_back(clock.ms, std::string(b));
                            return b.size();
                        },
                        [&](const std::string& s) { logged.push_back(s); }, {}});
    port.received("CR9\r"); // "TM4-SIM\r" after 30 ms
    clock.advance(29);
    EXPECT_TRUE(sent.empty());
    clock.advance(20);
    std::string got;
    for (const auto& [at, b] : sent) got += b;
    EXPECT_EQ(got, "TM4-SIM\r");
    EXPECT_GE(sent.size(), 4u); // not all at once: eight bytes take about eight milliseconds
    EXPECT_GE(sent.back().first - sent.front().first, 6);
    EXPECT_LE(sent.back().first - sent.front().first, 10);
    EXPECT_EQ(logged, (std::vector<std::string>{"line: C R 9 ", "reply: T M 4 - S I M CR "}));

    sent.clear();
    port.received("CR0\r");
    port.newSession(); // its party went before the reply came
    clock.advance(100);
    EXPECT_TRUE(sent.empty());
    port.received("CR");
    port.newSession(); // and a half line is no next party's start
    port.received("0\r");
    clock.advance(100);
    got.clear();
    for (const auto& [at, b] : sent) got += b;
    EXPECT_EQ(got, "ERR\r");
}

// The process may be held up while it writes (a busy machine): a byte that is overdue by the
// time the next is planned still goes, and the reply is never left half sent.
TEST(Sim, APortHeldUpWhileWritingStillSendsTheWholeReply) {
    for (int heldMs : {0, 1, 2, 3, 7}) {
        test::FakeClock clock;
        test::FakeTimer timer(clock);
        clock.timers = {&timer};
        std::string got;
        ProjectorLine::Options o;
        o.timings = kT;
        ProjectorPort port(o, timer, clock, {[&](std::string_view b) {
                                                 got += b;
                                                 clock.ms += heldMs; // the write returns late
                                                 return b.size();
                                             },
                                             {}, {}});
        for (const char* line : {"CR3\r", "CR0\r", "CR9\r"}) {
            got.clear();
            port.received(line);
            clock.advance(200);
            EXPECT_TRUE(got.ends_with("\r")) << line << " held " << heldMs << " ms: " << got;
        }
    }
}
