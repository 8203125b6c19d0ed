// SPDX-License-Identifier: MIT
// The bridge's core on the fakes: a PJLink client and a web page driven through it as the
// transport drives it, by client id, with the test's projector at the end of the line.
#include "bridge/bridge_core.hpp"
#include "fakes.hpp"

#include <gtest/gtest.h>

#include <algorithm>

namespace tova::bridge {
namespace {

using test::FakeClock;
using test::FakeSerial;

struct CoreRig {
    FakeClock clock;
    FakeSerial serial{clock};
    std::map<ClientId, std::string> sent; // every client's bytes, as the transport would write them
    std::vector<ClientId> closed, aborted;
    std::vector<std::string> logged;
    std::size_t unsent = 0; // what the transport says each send leaves waiting
    std::vector<std::string> datagrams; // "from > bytes"
    std::unique_ptr<BridgeCore> core;

    explicit CoreRig(CorePlan plan) {
        BridgeCore::Events events{
            .log = [this](Priority, const std::string& s) { logged.push_back(s); },
            .send = [this](ClientId id, const std::string& b) { sent[id] += b; return unsent; },
            .close = [this](ClientId id) { closed.push_back(id); },
            .abort = [this](ClientId id) { aborted.push_back(id); },
            .readAgain = [](ClientId) {},
            .datagram = [this](const Datagram& d) { datagrams.push_back(d.from + " > " + d.bytes); },
            .forbidden = [](const std::string&) { return false; },
            .random = [](std::size_t n) { return std::string(n, 'a'); },
            .file = [](std::string_view) { return std::optional<WebFile>(); },
            .webConnections = [] { return std::size_t(1); }};
        core = std::make_unique<BridgeCore>(serial, clock, test::fakeTimers(clock), std::move(plan), std::move(events));
        for (std::size_t i = 0; i < core->listeners().size(); ++i) core->bound(int(i), "listener " + std::to_string(i));
        core->start();
    }
    // A client of listener l, admitted and greeted.
    ClientId connect(int l, const std::string& address) {
        const auto a = core->connect(l, address, address + ":40000");
        const ClientId id = std::get<BridgeCore::Admitted>(a).id;
        core->opened(id);
        return id;
    }
    // The projector acknowledges the line on the wire.
    void acknowledge() { serial.receive("\x06\r"); }
};

CorePlan hall(int pollSeconds = 0) {
    CorePlan p;
    p.pollSeconds = pollSeconds;
    p.version = "1.40.0";
    ProjectorConfig left;
    left.prefix = "A001";
    left.name = "Hall left";
    p.listeners.push_back({ClientKind::Pjlink, left, SlotRules{2, 0, false}});
    p.listeners.push_back({ClientKind::SharedLine, {}, SlotRules{1, 0, false}});
    p.web = CoreWeb{};
    return p;
}

TEST(BridgeCore, APjlinkRequestGoesOutAddressedAndItsAnswerComesBackToItsClient) {
    CoreRig r(hall());
    const ClientId pj = r.connect(0, "192.0.2.5");
    EXPECT_EQ(r.sent[pj], "PJLINK 0\r");
    r.core->received(pj, "%1POWR 1\r");
    ASSERT_EQ(r.serial.writes.back(), "A001C00\r");
    r.acknowledge();
    EXPECT_EQ(r.sent[pj], "PJLINK 0\r%1POWR=OK\r");
    // A shared-line client's line goes out as it was sent, and only its reply comes back to it.
    const ClientId raw = r.connect(1, "127.0.0.1");
    r.core->received(raw, "A001CR0\r");
    ASSERT_EQ(r.serial.writes.back(), "A001CR0\r");
    r.serial.receive("40\r");
    EXPECT_EQ(r.sent[raw], "40\r");
    EXPECT_EQ(r.sent[pj], "PJLINK 0\r%1POWR=OK\r");
}

// The shared line takes unaddressed lines and lines to every projector, and lines to the
// projectors served here; a line to one served nowhere is dropped with a word.
TEST(BridgeCore, TheSharedLineTakesWhatAProjectorHereOrEveryProjectorMayHear) {
    CoreRig r(hall());
    const ClientId raw = r.connect(1, "127.0.0.1");
    const std::pair<const char*, bool> lines[] = {
        {"CR0\r", true}, {"AFFFCR0\r", true}, {"A001CR0\r", true}, {"A002CR0\r", false}};
    for (const auto& [line, goes] : lines) {
        const std::size_t before = r.serial.writes.size();
        r.core->received(raw, line);
        EXPECT_EQ(r.serial.writes.size(), before + (goes ? 1 : 0)) << line;
        if (goes) r.serial.receive("80\r");
    }
    EXPECT_TRUE(std::any_of(r.logged.begin(), r.logged.end(),
                            [](const std::string& s) { return s.find("no such projector is served here") != s.npos; }));
}

// Replies a client leaves waiting: past the pause mark it is read no more; taking nothing for
// the stall's time closes it; taking some in time starts the count over; a gone one is nobody.
TEST(BridgeCore, AClientThatTakesNoRepliesIsReadNoMoreThenClosed) {
    CoreRig r(hall());
    const ClientId pj = r.connect(0, "192.0.2.5");
    EXPECT_TRUE(r.core->reading(pj, OutputBound::kPauseAt - 1));
    EXPECT_FALSE(r.core->reading(pj, OutputBound::kPauseAt));
    EXPECT_FALSE(r.core->reading(ClientId(999), 0));
    r.unsent = 100;
    r.core->received(pj, "%1POWR ?\r");
    r.serial.receive("80\r"); // the answer waits, unsent
    r.clock.advance(OutputBound::kStallMs - 1);
    r.core->took(pj, 50); // some taken: the count starts over
    r.clock.advance(OutputBound::kStallMs - 1);
    EXPECT_TRUE(r.aborted.empty());
    r.clock.advance(1);
    EXPECT_EQ(r.aborted, std::vector<ClientId>{pj});
    r.core->took(ClientId(999), 0); // nobody: nothing happens
    // One that takes nothing at all: its replies queued start the count.
    const ClientId raw = r.connect(1, "127.0.0.1");
    r.core->received(raw, "CR0\r");
    r.serial.receive("80\r");
    r.clock.advance(OutputBound::kStallMs);
    EXPECT_EQ(r.aborted, (std::vector<ClientId>{pj, raw}));
}

// A client gone gives its place back, as the metrics count it; bytes nobody asked for are said.
TEST(BridgeCore, AClientGoneGivesItsPlaceBackAndStrayBytesAreSaid) {
    CoreRig r(hall());
    const ClientId a = r.connect(0, "192.0.2.5");
    r.connect(0, "192.0.2.6");
    const std::string two = "tova_listener_clients{listener=\"listener 0\",kind=\"pjlink\"} 2";
    const std::string one = "tova_listener_clients{listener=\"listener 0\",kind=\"pjlink\"} 1";
    EXPECT_NE(r.core->metrics().find(two), std::string::npos);
    r.core->disconnected(a);
    EXPECT_NE(r.core->metrics().find(one), std::string::npos);
    r.serial.receive("00\r");
    EXPECT_TRUE(std::any_of(r.logged.begin(), r.logged.end(),
                            [](const std::string& s) { return s.starts_with("dropped, nobody asked"); }));
}

// Passwords read again: a changed one is taken and said; a listener given none keeps its own;
// the shared line has none to change.
TEST(BridgeCore, PasswordsReadAgainChangeOnlyWhatChanged) {
    CorePlan plan = hall();
    plan.listeners[0].config.password = "first";
    CoreRig r(std::move(plan));
    auto said = [&] { return std::count_if(r.logged.begin(), r.logged.end(), [](const std::string& s) {
                          return s.find("the password changed") != s.npos;
                      }); };
    r.core->setPasswords({std::nullopt, std::string("shared")}, std::nullopt);
    EXPECT_EQ(said(), 0);
    EXPECT_EQ(r.core->listeners()[0].config.password, std::optional<std::string>("first"));
    EXPECT_FALSE(r.core->listeners()[1].config.password);
    r.core->setPasswords({std::string("first")}, std::nullopt);
    EXPECT_EQ(said(), 0);
    r.core->setPasswords({std::string("second")}, std::nullopt);
    EXPECT_EQ(said(), 1);
    EXPECT_EQ(r.core->listeners()[0].config.password, std::optional<std::string>("second"));
}

// Without polling, a projector known to be silent is still asked: a client's line goes on the
// wire once each window, the others are answered at once as no reply.
TEST(BridgeCore, WithoutPollingAClientsLineAsksASilentProjectorOnceAWindow) {
    CoreRig r(hall()); // no poller
    const ClientId raw = r.connect(1, "127.0.0.1");
    auto lines = [&] { return std::count(r.serial.writes.begin(), r.serial.writes.end(), "A001CR0\r"); };
    r.core->received(raw, "A001CR0\r");
    r.clock.advance(Answering::kWindowWithoutPolling.count()); // unanswered all along: known silent
    const auto before = lines();
    for (int i = 0; i < 5; ++i) {
        r.core->received(raw, "A001CR0\r");
        r.clock.advance(3000);
    }
    EXPECT_EQ(lines() - before, 1);
    r.clock.advance(Answering::kWindowWithoutPolling.count());
    r.core->received(raw, "A001CR0\r");
    r.clock.advance(100);
    EXPECT_EQ(lines() - before, 2);
}

// A listener bound where a search is answered answers it from its own address, as its projector.
TEST(BridgeCore, ABoundListenerAnswersASearch) {
    CoreRig r(hall());
    r.core->bound(0, "listener 0", Announcer::Projector{"127.0.0.21", "02:11:22:33:44:55", nullptr, nullptr});
    r.core->searched("%2SRCH\r", "192.0.2.50");
    EXPECT_EQ(r.datagrams, std::vector<std::string>{"127.0.0.21 > %2ACKN=02:11:22:33:44:55\r"});
}

TEST(BridgeCore, AWebPressIsAnsweredToItsPageAndItsProjectorsStrip) {
    CoreRig r(hall());
    const ClientId page = *r.core->admitPage("127.0.0.1");
    std::vector<std::string> told;
    r.core->pageOpened(page, [&](const std::string& m) { told.push_back(m); });
    ASSERT_FALSE(told.empty()); // its tiles at once
    EXPECT_NE(told.front().find("\"type\":\"state\",\"projector\":0"), std::string::npos) << told.front();
    ASSERT_TRUE(r.core->webRemote().received(page, "press 0 Command18")); // POWER OFF
    ASSERT_EQ(r.serial.writes.back(), "A001C01\r");
    r.acknowledge();
    EXPECT_NE(told.back().find("{\"type\":\"traffic\",\"projector\":0,\"sent\":\" A 0 0 1 C 0 1 CR \",\"received\":\" ACK \""),
              std::string::npos)
        << told.back();
    // The page's place is freed when it closes, and its lines go with it.
    r.core->pageClosed(page);
    EXPECT_NE(r.core->metrics().find("tova_listener_clients{listener=\"listener 0\",kind=\"pjlink\"} 0"), std::string::npos);
}

TEST(BridgeCore, AdmissionRefusalsEvictionsAndTheLineGoingDown) {
    CoreRig r(hall());
    const ClientId first = r.connect(0, "192.0.2.5");
    r.connect(0, "192.0.2.6");
    // Full of clients that have not yet had their second: the newcomer is refused and cut.
    const auto refused = r.core->connect(0, "192.0.2.7", "192.0.2.7:1");
    ASSERT_TRUE(std::holds_alternative<BridgeCore::Refused>(refused));
    EXPECT_EQ(std::get<BridgeCore::Refused>(refused).farewell, "");
    // After it, the oldest that has done nothing makes room, and the transport is told to cut it.
    r.clock.advance(1100);
    const auto admitted = r.core->connect(0, "192.0.2.7", "192.0.2.7:2");
    ASSERT_TRUE(std::holds_alternative<BridgeCore::Admitted>(admitted));
    EXPECT_EQ(std::get<BridgeCore::Admitted>(admitted).evicted, first);
    // The device lost: the shared line's clients are closed, PJLink's stay and hear ERR4.
    const ClientId raw = r.connect(1, "127.0.0.1");
    const ClientId pj = std::get<BridgeCore::Admitted>(admitted).id;
    r.core->opened(pj);
    r.serial.lose("Input/output error");
    EXPECT_NE(std::find(r.closed.begin(), r.closed.end(), raw), r.closed.end());
    r.core->received(pj, "%1POWR ?\r");
    EXPECT_NE(r.sent[pj].find("%1POWR=ERR4\r"), std::string::npos) << r.sent[pj];
    // A shared-line newcomer is refused while the device is gone.
    EXPECT_TRUE(std::holds_alternative<BridgeCore::Refused>(r.core->connect(1, "127.0.0.1", "127.0.0.1:3")));
}

TEST(BridgeCore, AnAddressThatGuessesIsToldSoAndRefused) {
    CorePlan plan = hall();
    plan.listeners[0].config.password = "JBMIAProjectorLink";
    plan.listeners[0].places.size = 32;
    CoreRig r(plan);
    for (int i = 0; i < DigestBackoff::kLimit; ++i) {
        const ClientId id = r.connect(0, "192.0.2.9");
        r.core->received(id, std::string(32, '0') + "%1POWR ?\r");
        EXPECT_NE(r.sent[id].find("PJLINK ERRA\r"), std::string::npos);
        r.core->disconnected(id);
    }
    const auto banned = r.core->connect(0, "192.0.2.9", "192.0.2.9:1");
    ASSERT_TRUE(std::holds_alternative<BridgeCore::Refused>(banned));
    EXPECT_EQ(std::get<BridgeCore::Refused>(banned).farewell, "PJLINK ERRA\r");
    EXPECT_NE(r.core->metrics().find("tova_auth_failures_total{kind=\"pjlink\"} 10"), std::string::npos);
}

} // namespace
} // namespace tova::bridge

namespace tova::bridge {
namespace {

TEST(Answering, KnownOnlyOnceItsWindowHasPassedOrItReplied) {
    using S = Answering::State;
    FakeClock clock;
    test::OwnFakeTimer timer(clock);
    std::vector<std::string> told;
    Answering a(clock, timer, Answering::windowFor(5), [&](S now, S before, std::chrono::milliseconds silent) {
        told.push_back(std::to_string(int(before)) + ">" + std::to_string(int(now)) + " " + std::to_string(silent.count()));
    });
    EXPECT_EQ(Answering::windowFor(5).count(), 15000);
    EXPECT_EQ(Answering::windowFor(0).count(), 15000); // without polling too
    EXPECT_EQ(Answering::windowFor(1).count(), 3000);
    a.heard(); // the line is not open: nothing is heard on it
    EXPECT_EQ(a.state(), S::Unknown);
    a.lineUp();
    clock.advance(15000); // its window passed, but it was asked nothing yet: not its fault
    EXPECT_EQ(a.state(), S::Unknown);
    a.unanswered(); // its first line got no reply: the wrong cable, since the line opened
    EXPECT_EQ(a.state(), S::No);
    EXPECT_EQ(a.silentSince()->count(), FakeClock::kWallAtStart);
    clock.advance(60000); // told once, nothing in between
    a.unanswered();
    a.heard();
    EXPECT_TRUE(a.answering());
    EXPECT_EQ(a.lastHeard()->count(), FakeClock::kWallAtStart + 75000);
    clock.advance(14999);
    a.heard(); // each reply starts its window over
    a.unanswered();
    clock.advance(14999);
    EXPECT_TRUE(a.answering());
    clock.advance(1);
    EXPECT_FALSE(a.answering());
    // The line closed: nothing is known, and nothing is told while it is.
    a.lineDown();
    clock.advance(60000);
    EXPECT_EQ(a.state(), S::Unknown);
    EXPECT_EQ(told, (std::vector<std::string>{"0>2 15000", "2>1 0", "1>2 15000"}));
    // Within its window, its silence is not yet counted.
    a.lineUp();
    a.unanswered();
    clock.advance(14999);
    EXPECT_EQ(a.state(), S::Unknown);
}

TEST(BridgeCore, AProjectorThatNeverAnswersIsSeenAndToldOnce) {
    CoreRig r(hall(1)); // polled every second: its window is 3 s
    const ClientId page = *r.core->admitPage("127.0.0.1");
    std::vector<std::string> told;
    r.core->pageOpened(page, [&](const std::string& m) { told.push_back(m); });
    auto said = [&](const std::string& part) {
        return std::count_if(r.logged.begin(), r.logged.end(), [&](const std::string& l) { return l.find(part) != std::string::npos; });
    };
    r.clock.advance(2999);
    EXPECT_EQ(said("no answer"), 0);
    r.clock.advance(1);
    EXPECT_EQ(said("no answer from 001 (Hall left) for 3 s: check the cable, the speed (19200 or 9600) and the address"), 1);
    EXPECT_NE(r.core->metrics().find("tova_projector_up{projector=\"Hall left\",address=\"A001\"} 0"), std::string::npos);
    EXPECT_NE(told.back().find("\"answering\":\"no\",\"silentSince\":1796119200000"), std::string::npos) << told.back();
    r.clock.advance(20000);
    EXPECT_EQ(said("no answer"), 1); // once, not at each poll
    // It answers (its status): told once, up again, with the time of its answer.
    r.serial.receive("00\r");
    EXPECT_EQ(said("001 (Hall left) answers again"), 1);
    const std::string m = r.core->metrics();
    EXPECT_NE(m.find("tova_projector_up{projector=\"Hall left\",address=\"A001\"} 1"), std::string::npos);
    EXPECT_NE(m.find("tova_projector_last_answer_timestamp_seconds{projector=\"Hall left\",address=\"A001\"} 1796119223"),
              std::string::npos)
        << m;
    EXPECT_NE(m.find("HELP tova_projector_lamp_seconds Lamp time as the projector reports it, in seconds"), std::string::npos);
}


} // namespace
} // namespace tova::bridge

namespace tova::bridge {
namespace {

// One client keeps input changes waiting for a projector that is not there, another asks a
// projector that is: once the absent one is known not to answer, none of its lines holds the
// line; only the poller asks it, once a period.
TEST(BridgeCore, AProjectorThatDoesNotAnswerHoldsNoLine) {
    CorePlan plan = hall(1);
    ProjectorConfig right;
    right.prefix = "A002";
    right.name = "Hall right";
    plan.listeners.push_back({ClientKind::Pjlink, right, SlotRules{2, 0, false}});
    CoreRig r(plan);
    std::size_t looked = 0;
    auto run = [&](int ms) { // the projector at A001 answers at once; nothing answers A002
        for (int t = 0; t < ms; t += 10) {
            r.clock.advance(10);
            for (; looked < r.serial.writes.size(); ++looked) {
                const std::string& w = r.serial.writes[looked];
                if (w == "A001CR0\r") r.serial.receive("00\r");
                else if (w.starts_with("A001")) r.serial.receive("\x06\r");
            }
        }
    };
    const ClientId raw = r.connect(1, "127.0.0.1");
    const ClientId pj = r.connect(0, "192.0.2.5");
    auto attack = [&] { // 15 distinct input changes, each waiting up to 5 s for its acknowledgement
        static const char* sources[] = {"DVI", "RGB", "VIDEO", "YPbPr", "YCbCr"};
        for (int s = 0; s < 15; ++s)
            r.core->received(raw, "A002CF INPUT" + std::to_string(s / 5 + 1) + " " + sources[s % 5] + "\r");
    };
    attack();
    // Not answering: known within its window, once a line of its own got no reply; a line of
    // its already on the wire then runs out its time.
    run(7000);
    ASSERT_NE(std::find_if(r.logged.begin(), r.logged.end(),
                           [](const std::string& l) { return l.starts_with("no answer from 002 (Hall right)"); }),
              r.logged.end());
    EXPECT_NE(std::find_if(r.logged.begin(), r.logged.end(),
                           [](const std::string& l) { return l.ends_with("while it does not answer; the poller asks it"); }),
              r.logged.end()); // polled every second: the poller's the probe
    const std::size_t from = r.serial.writes.size();
    long long worst = 0;
    for (int round = 0; round < 20; ++round) {
        attack();
        const std::size_t before = r.sent[pj].size();
        const long long asked = r.clock.ms;
        r.core->received(pj, "%1POWR ?\r");
        while (r.sent[pj].size() == before && r.clock.ms - asked < 6000) run(10);
        worst = std::max(worst, r.clock.ms - asked);
        run(1000);
    }
    std::size_t probes = 0, others = 0;
    for (std::size_t i = from; i < r.serial.writes.size(); ++i) {
        if (r.serial.writes[i] == "A002CR0\r") ++probes;
        else if (r.serial.writes[i].starts_with("A002")) ++others;
    }
    EXPECT_EQ(others, 0u) << "lines to the absent projector went on the wire";
    EXPECT_GE(probes, 10u); // asked about once a period
    EXPECT_LE(probes, 25u);
    EXPECT_LE(worst, 1200) << "the PJLink client waited " << worst << " ms behind the absent projector's lines";
    // The shared line may address only the projectors served: 003 is no line of the wire's.
    r.core->received(raw, "A003C00\r");
    run(100);
    EXPECT_EQ(std::count(r.serial.writes.begin(), r.serial.writes.end(), "A003C00\r"), 0);
}

TEST(BridgeCore, SilentSharedLineClientsGiveWayToANewcomer) {
    CorePlan plan = hall();
    plan.listeners[1].places.size = 8;
    CoreRig r(plan);
    std::vector<ClientId> silent;
    for (int i = 0; i < 8; ++i) {
        silent.push_back(r.connect(1, "127.0.0.1"));
        r.core->received(silent.back(), "A001CR0\r"); // one whole line each, then nothing
        r.serial.receive("00\r");
    }
    r.clock.advance(SharedLineClient::kIdle.count() - 1000);
    EXPECT_TRUE(std::holds_alternative<BridgeCore::Refused>(r.core->connect(1, "127.0.0.1", "127.0.0.1:1")));
    // Past the bound: the longest silent makes room, and the log says why.
    r.clock.advance(1500);
    const auto newcomer = r.core->connect(1, "127.0.0.1", "127.0.0.1:2");
    ASSERT_TRUE(std::holds_alternative<BridgeCore::Admitted>(newcomer));
    EXPECT_EQ(std::get<BridgeCore::Admitted>(newcomer).evicted, silent.front());
    EXPECT_NE(std::find_if(r.logged.begin(), r.logged.end(),
                           [](const std::string& l) { return l.ends_with("closed for a newcomer: no whole line for 30 s"); }),
              r.logged.end());
    // One that sent a line since keeps its place: the next to go is the next longest silent.
    r.core->received(silent[1], "A001CR0\r");
    r.serial.receive("00\r");
    const auto another = r.core->connect(1, "127.0.0.1", "127.0.0.1:3");
    ASSERT_TRUE(std::holds_alternative<BridgeCore::Admitted>(another));
    EXPECT_EQ(std::get<BridgeCore::Admitted>(another).evicted, silent[2]);
}

} // namespace
} // namespace tova::bridge
