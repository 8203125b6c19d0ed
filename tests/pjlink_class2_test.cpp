// SPDX-License-Identifier: MIT
// PJLink Class 2's background, on the fake clock: the poller as the line's lowest-priority
// client, what the state learns and tells, search answers and notifications within their bounds.
#include "bridge/pjlink/announcer.hpp"
#include "bridge/poller.hpp"
#include "bridge_rig.hpp"

#include <gtest/gtest.h>

using namespace tova;
using namespace tova::bridge;
using namespace tova::test;

namespace {

struct PollRig : BridgeRig {
    FakeTimer pollTimer{clock};
    std::vector<ProjectorState::Change> told;
    int read = 0; // answers the state read
    ProjectorState state{clock, {[this](ProjectorState::Change c) { told.push_back(c); }, [this] { ++read; }}};
    Poller poller{queue, pollTimer, -1, "", state, 5000};
    PollRig() { clock.timers.push_back(&pollTimer); }
    int polls() const { return int(std::count(serial.writes.begin(), serial.writes.end(), "CR0\r")); }
};

} // namespace

TEST(Poller, AsksStatusAndWhenOnInputAndMuteEachPeriodAndLampHoursEveryFiveMinutes) {
    PollRig r;
    r.answers = {{"CR0\r", "80\r"}, {"CR1\r", "2\r"}, {"CRA\r", "01\r"}, {"CR3\r", "01234\r"}};
    r.poller.start();
    for (int i = 0; i < 11; ++i) {
        r.answer();
        r.clock.advance(1000);
    }
    // Standby: no CR1, no CRA; the lamp hours at the first poll only.
    EXPECT_EQ(r.serial.writes, (std::vector<std::string>{"CR0\r", "CR3\r", "CR0\r", "CR0\r"}));
    EXPECT_EQ(r.state.powerWord(), "0");
    EXPECT_EQ(r.state.statusText(), "Stand by");
    EXPECT_EQ(r.state.lampHours(), 1234);
    EXPECT_EQ(r.read, 4);
    r.answers["CR0\r"] = "00\r";
    auto since = [&r](std::size_t from) { return std::vector(r.serial.writes.begin() + long(from), r.serial.writes.end()); };
    std::size_t from = r.serial.writes.size();
    for (int i = 0; i < 5; ++i) {
        r.answer();
        r.clock.advance(1000);
    }
    r.answer();
    EXPECT_EQ(since(from), (std::vector<std::string>{"CR0\r", "CR1\r", "CRA\r"}));
    EXPECT_EQ(r.state.inputMode(), 2);
    ASSERT_TRUE(r.state.muteAndSignal());
    EXPECT_EQ(r.state.muteAndSignal()->videoMute, true);
    EXPECT_EQ(r.state.muteAndSignal()->audioMute, false);
    // Each change once: the power at the first answer and when it came on, the errors once, the input.
    EXPECT_EQ(r.told, (std::vector{ProjectorState::Change::Power, ProjectorState::Change::Errors,
                                 ProjectorState::Change::Power, ProjectorState::Change::Input}));
    // Five minutes after the lamp hours were read they are read again, once.
    r.answers["CR3\r"] = "01240\r";
    from = r.serial.writes.size();
    for (int i = 0; i < 300; ++i) {
        r.answer();
        r.clock.advance(1000);
    }
    const auto fiveMinutes = since(from);
    EXPECT_EQ(std::count(fiveMinutes.begin(), fiveMinutes.end(), "CR3\r"), 1);
    EXPECT_EQ(r.state.lampHours(), 1240);
    // Back in standby the mute is no longer known.
    r.answers["CR0\r"] = "80\r";
    for (int i = 0; i < 6; ++i) {
        r.answer();
        r.clock.advance(1000);
    }
    EXPECT_FALSE(r.state.muteAndSignal());
}

// It never delays a client's line by more than one poll exchange; when clients keep the line
// busy it still polls at least every three periods.
TEST(Poller, GoesLastButNotNever) {
    PollRig r;
    r.answers = {{"CR0\r", "00\r"}, {"CR1\r", "1\r"}};
    r.poller.start();
    r.answer();
    r.answer();
    // A client keeps a slow line (an unanswered input change) waiting all the time.
    std::vector<long long> pollsAt;
    std::size_t seen = r.serial.writes.size();
    for (int ms = 0; ms < 60000; ms += 10) {
        r.submit(7, "C05\r", 5000, [](const ExchangeResult&) {});
        r.answer();
        r.clock.advance(10);
        for (; seen < r.serial.writes.size(); ++seen)
            if (r.serial.writes[seen] == "CR0\r") pollsAt.push_back(r.clock.ms);
    }
    ASSERT_GE(pollsAt.size(), 3u);
    for (std::size_t i = 1; i < pollsAt.size(); ++i) EXPECT_LE(pollsAt[i] - pollsAt[i - 1], 3 * 5000 + 5200) << i;
    // A client's query waits behind a poll at most for that one exchange.
    PollRig q;
    q.answers = {{"CR1\r", "1\r"}};
    q.poller.start(); // CR0 on the wire, unanswered: its time-out is the longest wait
    long long answered = -1;
    q.submit(7, "CR1\r", 500, [&](const ExchangeResult&) { answered = q.clock.ms; });
    for (int ms = 0; ms < 2000 && answered < 0; ms += 10) {
        q.answer();
        q.clock.advance(10);
    }
    EXPECT_LE(answered, 500 + kQuietGuardMs + 10);
}

// A poll the line refuses (it is down) is let go: the next tick asks again. A tick while a poll
// waits asks nothing more: the status is read once.
TEST(Poller, ALineDownSkipsOnePollAndATickWhileOneWaitsAddsNone) {
    PollRig r;
    r.answers = {{"CR0\r", "80\r"}}; // the lamp hours go unanswered
    r.queue.setLineUp(false);
    r.poller.start();
    r.queue.setLineUp(true);
    EXPECT_EQ(r.polls(), 0);
    r.clock.advance(5000);
    EXPECT_EQ(r.polls(), 1);
    r.poller.pollNow(); // due again while its status waits on the wire
    r.answer();
    EXPECT_EQ(r.poller.polls(), 1u);
    EXPECT_EQ(r.serial.writes.back(), "CR3\r");
}

TEST(ProjectorState, PowerAsNotificationsTellIt) {
    FakeClock clock;
    int powerChanges = 0;
    ProjectorState s(clock, {[&](ProjectorState::Change c) { powerChanges += c == ProjectorState::Change::Power; }, {}});
    const std::pair<const char*, const char*> replies[] = {
        {"80\r", "0"}, {"04\r", "0"}, {"40\r", "1"}, {"00\r", "1"}, {"08\r", "1"}, {"20\r", "0"}, {"10\r", ""}, {"A0\r", ""},
    };
    for (const auto& [reply, word] : replies) {
        s.status(reply);
        EXPECT_EQ(s.powerWord(), word) << reply;
    }
    EXPECT_EQ(powerChanges, 3); // 0, then 1 (warming up), then 0 (cooling down); a failure tells no power
    EXPECT_EQ(s.errors(), "000002"); // the failure is an error
}

// While it is on, a status answer leaves what is known of mute; coming on from standby ends a
// freeze, staying on does not; in standby mute is not known.
TEST(ProjectorState, MuteKeptWhileOnAndAFreezeEndedByComingOn) {
    FakeClock clock;
    ProjectorState s(clock);
    s.status("80\r");
    s.freeze = true;
    s.status("40\r"); // warming up
    EXPECT_EQ(s.freeze, false);
    s.muteAndSignal("01\r");
    s.status("00\r"); // on
    ASSERT_TRUE(s.muteAndSignal());
    EXPECT_TRUE(s.muteAndSignal()->videoMute);
    s.freeze = true;
    s.status("00\r");
    EXPECT_EQ(s.freeze, true);
    s.status("80\r");
    EXPECT_FALSE(s.muteAndSignal());
}

namespace {

struct AnnounceRig {
    FakeClock clock;
    FakeTimer turns{clock};
    bool notifying = false; // the left projector's changes go to the announcer, as the bridge routes them
    ProjectorState left{clock, {[this](ProjectorState::Change c) {
                                    if (notifying) a.changed(left, c);
                                },
                                {}}},
        right{clock};
    Inputs inputs = kDefaultInputs;
    std::vector<std::string> sent; // "from > to:port bytes"
    Announcer a{clock, turns, 14352, {{"192.0.2.9", 4352}},
                {[this](const Datagram& d) {
                     sent.push_back(d.from + " > " + d.to.address + ":" + std::to_string(d.to.port) + " " + d.bytes);
                 },
                 [](const std::string& address) {
                     return address == "255.255.255.255" || address.starts_with("224.") || address == "127.0.0.21";
                 }}};
    AnnounceRig() {
        clock.timers = {&turns};
        a.add({"127.0.0.21", "02:11:22:33:44:55", &left, &inputs});
        a.add({"127.0.0.22", "02:66:77:88:99:AA", &right, &inputs});
    }
};

} // namespace

TEST(Announcer, ASearchIsAnsweredByEveryProjectorFromItsAddress) {
    AnnounceRig r;
    r.a.received("%2SRCH\r", "127.0.0.50");
    EXPECT_EQ(r.sent, (std::vector<std::string>{"127.0.0.21 > 127.0.0.50:14352 %2ACKN=02:11:22:33:44:55\r",
                                                "127.0.0.22 > 127.0.0.50:14352 %2ACKN=02:66:77:88:99:AA\r"}));
    r.sent.clear();
    r.a.received("%2SRCH\r", "127.0.0.50"); // again within the second: nothing
    r.clock.advance(999);
    r.a.received("%2SRCH\r", "127.0.0.50");
    EXPECT_TRUE(r.sent.empty());
    r.clock.advance(1);
    r.a.received("%2SRCH\r", "127.0.0.50");
    EXPECT_EQ(r.sent.size(), 2u);
    // Never to a broadcast, multicast or own address; anything else is counted and ignored.
    r.sent.clear();
    r.clock.advance(5000);
    for (const char* from : {"255.255.255.255", "224.0.0.1", "127.0.0.21"}) r.a.received("%2SRCH\r", from);
    for (const char* junk : {"%2SRCH", "%1SRCH\r", "%2SRCH\r\r", "hello"}) r.a.received(junk, "127.0.0.50");
    EXPECT_TRUE(r.sent.empty());
    EXPECT_EQ(r.a.ignored(), 4u);
}

TEST(Announcer, AtMostTwentyAnswersASecondInAll) {
    AnnounceRig r;
    for (int i = 0; i < 50; ++i) r.a.received("%2SRCH\r", "10.0.0." + std::to_string(i));
    EXPECT_EQ(r.sent.size(), 20u); // ten searchers answered by two projectors
    r.clock.advance(1000);          // ten more in their turn within the second; the rest waited too long
    EXPECT_EQ(r.sent.size(), 40u);
    r.clock.advance(5000);
    EXPECT_EQ(r.sent.size(), 40u);
    r.a.received("%2SRCH\r", "10.0.1.1");
    EXPECT_EQ(r.sent.size(), 42u);
}

// Hundreds of sources searching over and over (forged or not): the budget is shared among them,
// the source answered longest ago first, so that a controller new to the bridge is answered
// within a second; one the bridge knows (authenticated over TCP, or a notify target) at once,
// every time. What they are told stays within twenty answers a second.
TEST(Announcer, ASearchStormCannotKeepAControllerOut) {
    struct Case {
        const char* name;
        const char* controller;
        bool authenticates; // over TCP before its searches
        int searches;       // a second apart
        int answeredAtLeast;
    } cases[] = {
        {"a controller new to the bridge, once", "127.0.0.200", false, 1, 1},
        {"a known controller, again and again", "127.0.0.201", true, 5, 5},
        {"a notify target", "192.0.2.9", false, 5, 5},
    };
    for (const auto& c : cases) {
        AnnounceRig r;
        if (c.authenticates) r.a.controllerSeen(c.controller);
        int answered = 0;
        std::size_t shared = 0;
        long long searchedAt = -1;
        for (int ms = 0; ms < 40000; ++ms) {
            if (ms % 5 == 0) { // 200 searches a second from 300 sources
                const int source = (ms / 5) % 300;
                r.a.received("%2SRCH\r", "10.9." + std::to_string(source / 100) + "." + std::to_string(source % 100));
            }
            if (ms >= 30000 && (ms - 30000) % 1000 == 0 && (ms - 30000) / 1000 < c.searches) {
                searchedAt = ms;
                r.a.received("%2SRCH\r", c.controller);
            }
            for (const auto& s : r.sent) {
                if (s.find(std::string("> ") + c.controller + ":") == std::string::npos) ++shared;
                else if (s.starts_with("127.0.0.21") && searchedAt >= 0 && ms - searchedAt < 1000) ++answered;
            }
            r.sent.clear();
            r.clock.advance(1);
        }
        EXPECT_GE(answered, c.answeredAtLeast) << c.name;
        EXPECT_LE(shared, std::size_t(20 * 40 + 20)) << c.name; // the storm's answers stay in the budget
    }
}

TEST(Announcer, NotificationsGoOncePerChangeToRecentControllers) {
    AnnounceRig r;
    r.notifying = true;
    r.a.lookup(); // at start: the configured targets only
    EXPECT_EQ(r.sent, (std::vector<std::string>{"127.0.0.21 > 192.0.2.9:4352 %2LKUP=02:11:22:33:44:55\r",
                                                "127.0.0.22 > 192.0.2.9:4352 %2LKUP=02:66:77:88:99:AA\r"}));
    r.sent.clear();
    r.a.controllerSeen("127.0.0.60"); // an authenticated request
    r.left.status("80\r");
    EXPECT_EQ(r.sent, (std::vector<std::string>{"127.0.0.21 > 192.0.2.9:4352 %2POWR=0\r",
                                                "127.0.0.21 > 127.0.0.60:14352 %2POWR=0\r",
                                                "127.0.0.21 > 192.0.2.9:4352 %2ERST=000000\r",
                                                "127.0.0.21 > 127.0.0.60:14352 %2ERST=000000\r"}));
    r.sent.clear();
    r.left.status("80\r"); // unchanged: nothing
    r.left.status("04\r"); // still standby, the same errors: nothing
    EXPECT_TRUE(r.sent.empty());
    r.clock.advance(600000); // the controller is forgotten after ten minutes
    r.left.status("40\r");
    EXPECT_EQ(r.sent, (std::vector<std::string>{"127.0.0.21 > 192.0.2.9:4352 %2POWR=1\r"}));
    r.sent.clear();
    r.left.inputMode("3\r");
    EXPECT_EQ(r.sent, (std::vector<std::string>{"127.0.0.21 > 192.0.2.9:4352 %2INPT=13\r"}));
    // At most 64 controllers are remembered: the oldest goes.
    for (int i = 0; i < 70; ++i) {
        r.a.controllerSeen("10.1.0." + std::to_string(i));
        r.clock.advance(1);
    }
    r.sent.clear();
    r.left.inputMode("4\r");
    EXPECT_EQ(r.sent.size(), 1u + 64u);
    EXPECT_EQ(std::count_if(r.sent.begin(), r.sent.end(), [](const std::string& s) { return s.find("> 10.1.0.5:") != std::string::npos; }), 0);
}

// Searchers never push an authenticated controller out of the notification list, and among
// searchers those that searched again stay before one-off sources.
TEST(Announcer, SearchersNeverPushOutTheControllersItKnows) {
    AnnounceRig r;
    r.notifying = true;
    for (int i = 0; i < 10; ++i) r.a.controllerSeen("10.1.0." + std::to_string(i));
    for (int round = 0; round < 2; ++round) // searchers, twice each, for every other place
        for (int i = 0; i < 54; ++i) {
            r.a.received("%2SRCH\r", "10.2.0." + std::to_string(i));
            r.clock.advance(150);
        }
    for (int i = 0; i < 3000; ++i) { // a flood of one-off sources
        r.a.received("%2SRCH\r", "10.3." + std::to_string(i / 200) + "." + std::to_string(i % 200));
        r.clock.advance(5);
    }
    r.clock.advance(2000);
    r.sent.clear();
    r.left.inputMode("2\r");
    auto told = [&](const std::string& prefix) {
        return std::count_if(r.sent.begin(), r.sent.end(), [&](const std::string& s) { return s.find("> " + prefix) != std::string::npos; });
    };
    EXPECT_EQ(told("10.1.0."), 10);
    EXPECT_EQ(told("10.2.0."), 54); // one-off sources never push out a searcher that came again
    EXPECT_EQ(told("192.0.2.9:"), 1);
    EXPECT_EQ(r.sent.size(), 1u + 64u);
}

// Places left to one-off searchers go round: the latest hold them, not the first ever.
TEST(Announcer, OneOffSearchersTakeTurnsInTheirPlaces) {
    AnnounceRig r;
    r.notifying = true;
    for (int i = 0; i < 10; ++i) r.a.controllerSeen("10.1.0." + std::to_string(i));
    for (int i = 0; i < 200; ++i) { // each answered: well within twenty a second
        r.a.received("%2SRCH\r", "10.3.0." + std::to_string(i));
        r.clock.advance(100);
    }
    r.clock.advance(2000);
    r.sent.clear();
    r.left.inputMode("2\r");
    auto told = [&](const std::string& address) {
        return std::count_if(r.sent.begin(), r.sent.end(), [&](const std::string& s) { return s.find("> " + address + ":") != std::string::npos; });
    };
    EXPECT_EQ(told("10.1.0.9"), 1);
    EXPECT_EQ(told("10.3.0.199"), 1);
    EXPECT_EQ(told("10.3.0.0"), 0);
}

TEST(Announcer, ADerivedMacIsLocalAndStable) {
    const std::string mac = derivedMac("127.0.0.21", 4352, "A001");
    EXPECT_EQ(mac, derivedMac("127.0.0.21", 4352, "A001"));
    EXPECT_NE(mac, derivedMac("127.0.0.21", 4352, "A002"));
    ASSERT_EQ(mac.size(), 17u);
    const int first = std::stoi(mac.substr(0, 2), nullptr, 16);
    EXPECT_EQ(first & 0x03, 0x02) << mac; // locally administered, one station
}
