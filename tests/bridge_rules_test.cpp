// SPDX-License-Identifier: MIT
// The bridge's rules for its clients and its settings, on the fake clock: output bounds, the
// digest back-off, the bounded log, slots per listener, the configuration file over which the
// command line is laid, and password files.
#include "bridge/bridge_settings.hpp"
#include "bridge/settings_text.hpp"
#include "bridge/client_bounds.hpp"
#include "bridge/client_registry.hpp"
#include "bridge/connection_tally.hpp"
#include "bridge/core_plan.hpp"
#include "bridge/setting_values.hpp"
#include "bridge/log_priority.hpp"
#include "bridge/log_limiter.hpp"
#include "fakes.hpp"

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

using namespace tova;
using namespace tova::bridge;
using namespace tova::test;

TEST(OutputBound, PausesAtItsBoundAndClosesAClientThatTakesNothing) {
    struct Case {
        std::vector<std::pair<long long, std::size_t>> queued; // at ms, unsent after queueing
        std::vector<std::pair<long long, std::size_t>> taken;  // at ms, unsent after taking
        long long closedAt;                                    // -1: never
    } cases[] = {
        {{{0, 100}}, {{50, 0}}, -1},                           // taken at once
        {{{0, 100}}, {}, 10000},                               // never taken
        {{{0, 100}}, {{9000, 50}}, 19000},                     // progress starts the count over
        {{{0, 100}, {5000, 200}}, {}, 10000},                  // more queued is no progress
        {{{0, OutputBound::kCloseAt}}, {}, 0},                 // a megabyte: at once
        {{{0, OutputBound::kCloseAt - 1}}, {{100, 0}}, -1},
    };
    for (const auto& c : cases) {
        FakeClock clock;
        FakeTimer stall{clock};
        clock.timers = {&stall};
        long long closedAt = -1;
        OutputBound bound(stall, [&](const std::string&) { closedAt = clock.ms; });
        std::vector<std::tuple<long long, bool, std::size_t>> events;
        for (auto [at, n] : c.queued) events.emplace_back(at, true, n);
        for (auto [at, n] : c.taken) events.emplace_back(at, false, n);
        std::sort(events.begin(), events.end());
        for (auto [at, queued, n] : events) {
            clock.advance(at - clock.ms);
            if (queued) bound.queued(n);
            else bound.took(n);
        }
        clock.advance(30000);
        EXPECT_EQ(closedAt, c.closedAt);
    }
    EXPECT_TRUE(OutputBound::reading(OutputBound::kPauseAt - 1));
    EXPECT_FALSE(OutputBound::reading(OutputBound::kPauseAt));
}

TEST(DigestBackoff, TenWrongInAMinuteRefuseTheAddressForAMinute) {
    FakeClock clock;
    DigestBackoff b(clock);
    int starts = 0;
    for (int i = 0; i < 9; ++i) {
        starts += b.wrong("192.0.2.7");
        clock.advance(6000);
    }
    EXPECT_FALSE(b.banned("192.0.2.7"));
    clock.advance(6000); // the first is a minute old: it has just left the window
    starts += b.wrong("192.0.2.7");
    EXPECT_FALSE(b.banned("192.0.2.7"));
    starts += b.wrong("192.0.2.7");
    EXPECT_TRUE(b.banned("192.0.2.7"));
    EXPECT_FALSE(b.banned("192.0.2.8")); // others are not
    for (int i = 0; i < 20; ++i) starts += b.wrong("192.0.2.7"); // said once
    EXPECT_EQ(starts, 1);
    clock.advance(59999);
    EXPECT_TRUE(b.banned("192.0.2.7"));
    clock.advance(1);
    EXPECT_FALSE(b.banned("192.0.2.7"));
    for (int i = 0; i < 3000; ++i) b.wrong("10.0." + std::to_string(i / 256) + "." + std::to_string(i % 256));
    EXPECT_FALSE(b.banned("192.0.2.7")); // many addresses: the oldest are forgotten, memory stays bounded
    EXPECT_LE(b.addresses(), DigestBackoff::kAddresses);
    // A ban runs its time however many addresses guess meanwhile, though it is the oldest kept.
    for (int i = 0; i < DigestBackoff::kLimit; ++i) b.wrong("192.0.2.7");
    EXPECT_TRUE(b.banned("192.0.2.7"));
    for (int i = 0; i < 3000; ++i) {
        clock.advance(1);
        b.wrong("10.1." + std::to_string(i / 256) + "." + std::to_string(i % 256));
    }
    EXPECT_TRUE(b.banned("192.0.2.7"));
    EXPECT_LE(b.addresses(), DigestBackoff::kAddresses);
}

// When every place is taken, the address that erred longest ago makes room: its count starts
// over, while the newer ones keep theirs.
TEST(DigestBackoff, TheAddressThatErredLongestAgoMakesRoom) {
    FakeClock clock;
    DigestBackoff b(clock);
    for (int i = 0; i < DigestBackoff::kLimit - 1; ++i) b.wrong("192.0.2.1");
    for (std::size_t i = 1; i < DigestBackoff::kAddresses; ++i) {
        clock.advance(1);
        b.wrong("10.0." + std::to_string(i / 256) + "." + std::to_string(i % 256));
    }
    for (int i = 0; i < DigestBackoff::kLimit - 2; ++i) b.wrong("10.0.3.255"); // the newest: 9 in all
    ASSERT_EQ(b.addresses(), DigestBackoff::kAddresses);
    b.wrong("198.51.100.1"); // 192.0.2.1 goes
    EXPECT_FALSE(b.wrong("192.0.2.1"));
    EXPECT_FALSE(b.banned("192.0.2.1"));
    EXPECT_TRUE(b.wrong("10.0.3.255"));
}

// Equally old (a storm within one millisecond), the first by address makes room: which one goes
// does not hang on the order they came in.
TEST(DigestBackoff, AmongTheEquallyOldTheFirstByAddressMakesRoom) {
    FakeClock clock;
    DigestBackoff b(clock);
    for (int i = 0; i < DigestBackoff::kLimit - 1; ++i) b.wrong("10.9.9.9"); // the last by address
    for (std::size_t i = 1; i < DigestBackoff::kAddresses; ++i) b.wrong("10.0." + std::to_string(i / 256) + "." + std::to_string(i % 256));
    for (int i = 0; i < DigestBackoff::kLimit - 2; ++i) b.wrong("10.0.0.1"); // the first: 9 in all
    ASSERT_EQ(b.addresses(), DigestBackoff::kAddresses);
    b.wrong("198.51.100.1"); // 10.0.0.1 goes
    EXPECT_FALSE(b.wrong("10.0.0.1"));
    EXPECT_TRUE(b.wrong("10.9.9.9"));
}

// With every kept address banned, a newcomer is not kept until a ban has ended: from that very
// millisecond its place may go.
TEST(DigestBackoff, ABannedPlaceIsFreeFromTheMillisecondItsBanEnds) {
    FakeClock clock;
    DigestBackoff b(clock);
    auto address = [](std::size_t i) { return "10.0." + std::to_string(i / 256) + "." + std::to_string(i % 256); };
    for (std::size_t i = 0; i < DigestBackoff::kAddresses; ++i)
        for (int k = 0; k < DigestBackoff::kLimit; ++k) b.wrong(address(i));
    ASSERT_TRUE(b.banned(address(0)));
    auto newcomerBanned = [&] {
        for (int k = 0; k < DigestBackoff::kLimit; ++k) b.wrong("198.51.100.1");
        return b.banned("198.51.100.1");
    };
    clock.advance(DigestBackoff::kBan.count() - 1);
    EXPECT_FALSE(newcomerBanned()); // no place: not even counted
    clock.advance(1);
    EXPECT_TRUE(newcomerBanned());
    EXPECT_EQ(b.addresses(), DigestBackoff::kAddresses);
}

TEST(LogLimiter, ThreeLinesOfAKindThenASummary) {
    FakeClock clock;
    FakeTimer window{clock};
    clock.timers = {&window};
    std::vector<std::string> out;
    LogLimiter log(clock, window, [&](Priority, const std::string& s) { out.push_back(s); });
    for (int i = 0; i < 500; ++i) { // 25 s of a line every 50 ms
        log.say("dropped", "dropped " + std::to_string(i));
        log.say("other", "other " + std::to_string(i % 2));
        clock.advance(50);
    }
    clock.advance(10000);
    std::vector<std::string> dropped;
    for (const auto& s : out)
        if (s.starts_with("dropped")) dropped.push_back(s);
    // Three lines, then a summary of the rest, in each of the three windows the flood touched.
    ASSERT_EQ(dropped.size(), 12u);
    EXPECT_EQ(dropped[0], "dropped 0");
    EXPECT_EQ(dropped[3], "dropped 202 ... 200 more like this in the last 10 s");
    EXPECT_EQ(dropped[4], "dropped 203");
    EXPECT_EQ(std::count_if(out.begin(), out.end(), [](const std::string& s) { return s.starts_with("other"); }), 12);
    out.clear();
    clock.advance(30000); // quiet: nothing more is said, and the kinds are forgotten
    log.say("dropped", "dropped again");
    EXPECT_EQ(out, std::vector<std::string>{"dropped again"});
}

// Lines of one kind from many addresses are summarised as one, with how many addresses.
TEST(LogLimiter, AKindIsSummarisedAcrossAddresses) {
    FakeClock clock;
    FakeTimer window{clock};
    clock.timers = {&window};
    std::vector<std::string> out;
    LogLimiter log(clock, window, [&](Priority, const std::string& s) { out.push_back(s); });
    for (int i = 0; i < 500; ++i) {
        const std::string from = "10.0." + std::to_string(i / 200) + "." + std::to_string(i % 200);
        log.say("failed login", "a wrong password from " + from, from);
    }
    for (int i = 0; i < 5; ++i) log.say("refused", "refused", "192.0.2.1"); // one address: no count of them
    clock.advance(LogLimiter::kWindowMs);
    ASSERT_EQ(out.size(), 8u);
    EXPECT_EQ(out[6], "a wrong password from 10.0.2.99 ... 497 more like this from 497 addresses in the last 10 s");
    EXPECT_EQ(out[7], "refused ... 2 more like this in the last 10 s");
    out.clear();
    for (int i = 0; i < 3000; ++i) log.say("failed login", "x", "10.1." + std::to_string(i / 250) + "." + std::to_string(i % 250));
    clock.advance(LogLimiter::kWindowMs);
    ASSERT_EQ(out.size(), 4u);
    EXPECT_EQ(out[3], "x ... 2997 more like this from over 1024 addresses in the last 10 s");
    out.clear();
    for (int i = 0; i < 5; ++i) log.say("closed", "closed", i % 2 ? "192.0.2.2" : "192.0.2.1");
    clock.advance(LogLimiter::kWindowMs);
    ASSERT_EQ(out.size(), 4u);
    EXPECT_EQ(out[3], "closed ... 2 more like this from 2 addresses in the last 10 s");
}

// A full listener, or an address at its share, makes room by closing its oldest connection that
// has had a second and done nothing; one that has done its part keeps its place.
TEST(ListenerSlots, ANewcomerTakesThePlaceOfAnIdleConnection) {
    struct Arrival {
        long long at;        // ms
        int id;
        const char* address;
        bool settles;        // does its part at once
    };
    struct Case {
        const char* name;
        SlotRules rules;
        std::vector<Arrival> arrivals;
        std::vector<std::string> outcomes; // per arrival: "ok", "ok, 3 out", "full", "address full"
    } cases[] = {
        {"room while there is room", {3, 0}, {{0, 1, "192.0.2.1", false}, {0, 2, "192.0.2.2", false}, {0, 3, "192.0.2.3", false}},
         {"ok", "ok", "ok"}},
        {"full of the young: refused", {2, 0}, {{0, 1, "192.0.2.1", false}, {500, 2, "192.0.2.2", false}, {999, 3, "192.0.2.3", false}},
         {"ok", "ok", "full"}},
        {"the oldest idle goes", {2, 0}, {{0, 1, "192.0.2.1", false}, {500, 2, "192.0.2.2", false}, {1500, 3, "192.0.2.3", false}},
         {"ok", "ok", "ok, 1 out"}},
        {"a settled one is never dropped", {2, 0}, {{0, 1, "192.0.2.1", true}, {10, 2, "192.0.2.2", true}, {5000, 3, "192.0.2.3", false}},
         {"ok", "ok", "full"}},
        {"past the settled to the idle", {3, 0},
         {{0, 1, "192.0.2.1", true}, {100, 2, "192.0.2.2", false}, {200, 3, "192.0.2.3", false}, {1200, 4, "192.0.2.4", false}},
         {"ok", "ok", "ok", "ok, 2 out"}},
        {"an address at its share", {8, 2, true},
         {{0, 1, "192.0.2.1", true}, {0, 2, "192.0.2.1", true}, {0, 3, "192.0.2.1", false}, {0, 4, "192.0.2.9", false}},
         {"ok", "ok", "address full", "ok"}},
        {"an address makes room among its own", {8, 2, true},
         {{0, 1, "192.0.2.9", false}, {0, 2, "192.0.2.1", false}, {100, 3, "192.0.2.1", false}, {1500, 4, "192.0.2.1", false}},
         {"ok", "ok", "ok", "ok, 2 out"}},
        {"loopback exempt by default", {8, 1},
         {{0, 1, "127.0.0.1", false}, {0, 2, "127.0.0.1", false}, {0, 3, "::1", false}, {0, 4, "::1", false}},
         {"ok", "ok", "ok", "ok"}},
        {"loopback held when told", {8, 1, true}, {{0, 1, "127.0.0.1", false}, {0, 2, "127.0.0.1", false}},
         {"ok", "address full"}},
        {"no limit per address", {3, 0}, {{0, 1, "192.0.2.1", false}, {0, 2, "192.0.2.1", false}, {0, 3, "192.0.2.1", false}},
         {"ok", "ok", "ok"}},
        {"silent past the idle bound gives way", {2, 0, false, std::chrono::seconds(30)},
         {{0, 1, "192.0.2.1", true}, {10, 2, "192.0.2.2", true}, {29000, 3, "192.0.2.3", false}, {30500, 4, "192.0.2.4", false}},
         {"ok", "ok", "full", "ok, 1 out"}},
        {"one that did nothing goes before one fallen silent", {3, 0, false, std::chrono::seconds(30)},
         {{0, 1, "192.0.2.1", true}, {31000, 2, "192.0.2.2", false}, {31000, 3, "192.0.2.3", false}, {32500, 4, "192.0.2.4", false}},
         {"ok", "ok", "ok", "ok, 2 out"}},
        {"an IPv6 /64 is one address", {8, 2},
         {{0, 1, "2001:db8:1::1", true}, {0, 2, "2001:db8:1::2", true}, {0, 3, "2001:db8:1:0:ffff:0:0:9", false},
          {0, 4, "2001:db8:1:1::1", false}},
         {"ok", "ok", "address full", "ok"}},
        {"link-local, unique local and IPv4 each by itself", {8, 1},
         {{0, 1, "fe80::1", false}, {0, 2, "fe80::2", false}, {0, 3, "fd00::1", false}, {0, 4, "fd00::2", false},
          {0, 5, "192.0.2.1", false}, {0, 6, "192.0.2.2", false}},
         {"ok", "ok", "ok", "ok", "ok", "ok"}},
    };
    for (const auto& c : cases) {
        FakeClock clock;
        ListenerSlots places(clock, c.rules);
        std::vector<std::string> got;
        for (const auto& a : c.arrivals) {
            clock.advance(a.at - clock.ms);
            const auto taken = places.take(a.id, a.address);
            if (const auto* refused = std::get_if<ListenerSlots::Refused>(&taken)) {
                got.push_back(*refused == ListenerSlots::Refused::Full ? "full" : "address full");
                continue;
            }
            const auto evicted = std::get<ListenerSlots::Taken>(taken).evicted;
            got.push_back(evicted ? "ok, " + std::to_string(*evicted) + " out" : "ok");
            if (a.settles) places.settle(a.id);
        }
        EXPECT_EQ(got, c.outcomes) << c.name;
    }
}

// 33 clients from one address reconnect as soon as they are closed, and wait for authentication's
// 5 s deadline; newcomers wait unaccepted, in order, while the places are held by connections
// younger than a second. A controller on the same address, connecting once a second,
// authenticating and closing, is greeted every time within about a second; one on another
// address, with the storm held to its address's share, at once.
// How long a newcomer waits when every place is held: until the eldest unsettled one's grace
// ends, to the millisecond, then not at all; with only settled ones, not at all either.
TEST(ListenerSlots, ANewcomersWaitEndsWithTheEldestsGrace) {
    FakeClock clock;
    ListenerSlots places(clock, {2, 0});
    EXPECT_EQ(places.wait().count(), 0);
    places.take(1, "192.0.2.1");
    clock.advance(200);
    places.take(2, "192.0.2.2");
    EXPECT_EQ(places.wait(), ListenerSlots::kGrace - std::chrono::milliseconds(200));
    clock.advance(ListenerSlots::kGrace.count() - 200);
    EXPECT_EQ(places.wait().count(), 0);
    clock.advance(5000);
    EXPECT_EQ(places.wait().count(), 0);
    places.settle(1);
    places.settle(2);
    EXPECT_EQ(places.wait().count(), 0);
}

TEST(ListenerSlots, AControllerIsGreetedWhileAnAddressStorms) {
    struct Case {
        bool limitLoopback;
        const char* controller;
        long long slowestMs;
    } cases[] = {{false, "127.0.0.1", 1000}, {true, "192.0.2.50", 0}};
    for (const auto& c : cases) {
        const bool limitLoopback = c.limitLoopback;
        FakeClock clock;
        ListenerSlots places(clock, {32, defaultPerAddress(32), limitLoopback});
        std::deque<int> backlog;                // who waits to be accepted: storm clients 0..32, the controller -1
        std::map<int, int> holding;             // place -> storm client
        std::map<int, long long> since;         // place -> when taken
        std::set<int> out;                      // storm clients neither holding nor waiting
        for (int c = 0; c < 33; ++c) backlog.push_back(c);
        int next = 1, greeted = 0, refused = 0;
        long long askedAt = 0, slowest = 0;
        for (int ms = 0; ms < 21000; ++ms) {
            for (int c : out) backlog.push_back(c); // straight back
            out.clear();
            if (ms % 1000 == 500 && ms < 20000) {
                backlog.push_back(-1);
                askedAt = ms;
            }
            while (!backlog.empty() && places.wait().count() == 0) {
                const int who = backlog.front();
                backlog.pop_front();
                const int id = next++;
                const auto taken = places.take(id, who < 0 ? c.controller : "127.0.0.1");
                if (!std::holds_alternative<ListenerSlots::Taken>(taken)) {
                    if (who < 0) ++refused;
                    else out.insert(who);
                    continue;
                }
                if (const auto evicted = std::get<ListenerSlots::Taken>(taken).evicted) {
                    out.insert(holding.at(*evicted));
                    holding.erase(*evicted);
                    since.erase(*evicted);
                }
                if (who < 0) { // greeted, authenticates, asks, closes
                    ++greeted;
                    slowest = std::max(slowest, ms - askedAt);
                    places.settle(id);
                    places.release(id);
                } else {
                    holding[id] = who;
                    since[id] = ms;
                }
            }
            for (auto it = since.begin(); it != since.end();) { // the authentication deadline
                if (ms - it->second < 5000) { ++it; continue; }
                places.release(it->first);
                out.insert(holding.at(it->first));
                holding.erase(it->first);
                it = since.erase(it);
            }
            clock.advance(1);
        }
        const std::string name = limitLoopback ? "loopback held to its share" : "loopback exempt";
        EXPECT_EQ(greeted, 20) << name;
        EXPECT_EQ(refused, 0) << name;
        EXPECT_LE(slowest, c.slowestMs) << name;
    }
}

TEST(ClientRegistry, PlacesPerListenerAndTheDeviceGone) {
    FakeClock clock;
    ClientRegistry r(clock);
    const int pj = r.addListener(ClientKind::Pjlink, {2}), share = r.addListener(ClientKind::SharedLine, {1});
    using Refusal = ClientRegistry::Refusal;
    auto id = [](const std::variant<ClientRegistry::Admitted, Refusal>& v) {
        const auto* a = std::get_if<ClientRegistry::Admitted>(&v);
        return a ? a->id : -1;
    };
    const ClientId s1 = id(r.admit(share, "192.0.2.1", true));
    EXPECT_GT(s1, 0);
    EXPECT_EQ(std::get<Refusal>(r.admit(share, "192.0.2.2", true)), Refusal::Full); // idle shared clients fill only their own
    const ClientId p1 = id(r.admit(pj, "192.0.2.1", true)), p2 = id(r.admit(pj, "192.0.2.2", false)); // PJLink answers ERR4 meanwhile
    EXPECT_GT(p1, 0);
    EXPECT_GT(p2, 0);
    r.settle(p1);
    r.settle(p2);
    EXPECT_EQ(std::get<Refusal>(r.admit(pj, "192.0.2.3", true)), Refusal::Full);
    EXPECT_EQ(r.lostDevice(), std::vector<ClientId>{s1});
    r.remove(s1);
    EXPECT_EQ(std::get<Refusal>(r.admit(share, "192.0.2.1", false)), Refusal::DeviceGone);
    const ClientId s2 = id(r.admit(share, "192.0.2.1", true));
    EXPECT_GT(s2, 0);
    clock.advance(1000); // an idle shared client gives its place up, and is no client any more
    const auto admitted = r.admit(share, "192.0.2.5", true);
    ASSERT_TRUE(std::holds_alternative<ClientRegistry::Admitted>(admitted));
    EXPECT_EQ(std::get<ClientRegistry::Admitted>(admitted).evicted, s2);
    EXPECT_EQ(r.lostDevice(), std::vector<ClientId>{std::get<ClientRegistry::Admitted>(admitted).id});
    r.remove(s2); // its socket says it has gone: nothing more to remove
    r.remove(p1);
    EXPECT_EQ(r.clients(pj), 1u);
    EXPECT_EQ(r.clients(share), 1u);
}

TEST(BridgeSettings, TheFileKeyByKey) {
    struct Case {
        std::vector<std::tuple<std::string, std::string, std::string>> keys; // section, key, value
        std::string error; // a word of it; empty: none
    } cases[] = {
        {{{"", "device", "/tmp/projector"}, {"", "speed", "9600"}, {"", "verbose", "yes"}}, ""},
        {{{"", "speed", "4800"}}, "19200 or 9600"},
        {{{"", "colour", "red"}}, "no setting colour="},
        {{{"", "device", "a"}, {"", "device", "b"}}, "set twice"},
        {{{"pjlink hall", "listen", "0.0.0.0:4352"}, {"pjlink hall", "name", "Hall; left, stage"}}, ""},
        {{{"pjlink", "listen", "0.0.0.0:4352"}, {"pjlink", "listen", "0.0.0.0:4353"}}, "section of its own"},
        {{{"pjlink hall", "address", "005"}}, "001 to 004"},
        {{{"share", "listen", "127.0.0.1:4001"}, {"share", "name", "x"}}, "no setting name="},
        {{{"web", "listen", "127.0.0.1:80"}}, "[pjlink NAME] or [share NAME]"},
        {{{"pjlink hall", "name", "x"}}, "needs listen = HOST:PORT"},
        {{{"share", "listen", "127.0.0.1:0"}}, ""}, // a port the system picks is a listen of its own
        // Every listener's places have the web's ceiling.
        {{{"", "max-clients", "4096"}}, ""},
        {{{"", "max-clients", "4097"}}, "from 1 to 4096"},
        {{{"pjlink hall", "listen", "0.0.0.0:4352"}, {"pjlink hall", "max-clients", "2147483647"}}, "from 1 to 4096"},
        {{{"share", "listen", "127.0.0.1:4001"}, {"share", "max-clients", "0"}}, "from 1 to 4096"},
        {{{"", "http-max-clients", "5000"}}, "from 1 to 4096"},
    };
    for (const auto& c : cases) {
        SettingsFile f;
        std::string error;
        for (const auto& [section, key, value] : c.keys)
            if (auto why = f.set(section, key, value); why && error.empty()) error = *why;
        if (error.empty())
            if (auto s = f.settings(); std::holds_alternative<std::string>(s)) error = std::get<std::string>(s);
        if (c.error.empty()) EXPECT_EQ(error, "");
        else EXPECT_NE(error.find(c.error), std::string::npos) << error;
    }
}

// The file as it is written: every mistake names its file, its line, its section and key, and
// what is allowed.
TEST(BridgeSettings, TheFileAsItIsWritten) {
    struct Case {
        std::string text;
        std::string said; // a part of the error; empty: read
    } cases[] = {
        {"device = /tmp/projector\n[pjlink hall-left]\n    listen = 127.0.0.1:4352\n    name = Hall left\n", ""},
        {"\xEF\xBB\xBF; comment\r\ndevice = /tmp/projector\r\n\t# another\r\n[share]\r\nlisten=127.0.0.1:4001\r\n", ""},
        {"sped = 19200\n", "hall.conf:1: sped: no setting sped= before the sections (the keys: device, speed,"},
        {"[pjlink a]\n  listen = 127.0.0.1:1\n  sped = x\n",
         "hall.conf:3: [pjlink a] sped: no setting sped= for a PJLink listener (its keys: listen, address,"},
        {"device = a\n\ndevice = b\n", "hall.conf:3: device: set twice (first on line 1)"},
        {"[pjlink a]\nlisten = 127.0.0.1:1\n[pjlink b]\nname = x\n", "hall.conf:3: [pjlink b]: needs listen = HOST:PORT"},
        {"[web]\n", "hall.conf:1: [web]: no such section: [pjlink NAME] or [share NAME]"},
        {"device = a\nspeed 19200\n", "hall.conf:2: no setting: KEY = VALUE, or [SECTION]"},
        {"[pjlink a\n", "hall.conf:1: a section is"},
        {"[pjlink a]\nlisten = 127.0.0.1:1\naddress = 5\n", "hall.conf:3: [pjlink a] address: address= takes 001 to 004"},
        // Names are printable UTF-8: nothing that would end an answer line, or break /metrics.
        {"[pjlink a]\nlisten = 127.0.0.1:1\nname = Salle \xc3\xa9t\xc3\xa9\n", ""},
        {"[pjlink a]\nlisten = 127.0.0.1:1\nname = Hall\r%1POWR=1\n",
         "hall.conf:3: [pjlink a] name: name= takes 1 to 64 bytes of printable UTF-8"},
        {"[pjlink a]\nlisten = 127.0.0.1:1\nname = Hall \xff\xfe\n", "hall.conf:3: [pjlink a] name: name= takes"},
        {"[pjlink a]\nlisten = 127.0.0.1:1\n\ninput-names = PC,Lectern\x01,Video,Camera,Spare\n",
         "hall.conf:4: [pjlink a] input-names: input-names= takes five names of printable UTF-8"},
        {"name = Hall\x1b[2J\n", "hall.conf:1: name: name= takes 1 to 64 bytes of printable UTF-8"},
        // A line longer than the reader takes is refused whole, never cut and read as two.
        {"# " + std::string(1021, 'x') + "metrics-open = true\n", "hall.conf:1: longer than 1024 characters"},
        {"device = " + std::string(1015, 'd') + "\n", ""}, // 1024 exactly
        {"device = " + std::string(1016, 'd') + "\n", "hall.conf:1: longer than 1024 characters"},
    };
    for (const auto& c : cases) {
        const auto read = readSettingsText(c.text, "hall.conf");
        if (c.said.empty()) {
            EXPECT_TRUE(std::holds_alternative<BridgeSettings>(read)) << std::get<std::string>(read);
            continue;
        }
        ASSERT_TRUE(std::holds_alternative<std::string>(read)) << c.said;
        EXPECT_NE(std::get<std::string>(read).find(c.said), std::string::npos) << std::get<std::string>(read);
    }
    // Indented keys are the section's keys.
    const auto read = std::get<BridgeSettings>(readSettingsText(cases[0].text, "hall.conf"));
    ASSERT_EQ(read.listeners.size(), 1u);
    EXPECT_EQ(read.listeners[0].name, "Hall left");
    EXPECT_EQ(read.listeners[0].where.port, 4352);
    EXPECT_FALSE(read.web.metricsOpen.has_value());
}

TEST(BridgeSettings, TheCommandLineOverTheFile) {
    SettingsFile f;
    for (auto [section, key, value] : std::initializer_list<std::tuple<const char*, const char*, const char*>>{
             {"", "device", "/tmp/projector"}, {"", "name", "Hall"}, {"", "max-clients", "4"},
             {"pjlink left", "listen", "127.0.0.21:4352"}, {"pjlink left", "address", "001"},
             {"pjlink left", "name", "Hall left, by the door"}, {"pjlink left", "password-file", "/etc/p"},
             {"share", "listen", "127.0.0.1:4001"}, {"share", "max-clients", "2"}})
        ASSERT_EQ(f.set(section, key, value), std::nullopt) << key;
    const BridgeSettings file = std::get<BridgeSettings>(f.settings());
    ASSERT_EQ(file.listeners.size(), 2u);
    EXPECT_EQ(file.listeners[0].prefix, "A001");
    EXPECT_EQ(file.listeners[0].name, "Hall left, by the door");
    EXPECT_EQ(slotRulesOf(file.listeners[0], file).size, 4); // the file's default
    EXPECT_EQ(slotRulesOf(file.listeners[1], file).size, 2); // its own
    EXPECT_EQ(slotRulesOf(file.listeners[0], file).perAddress, 1); // a quarter of four
    EXPECT_EQ(slotRulesOf(file.listeners[1], file).perAddress, 1); // of two: still one, never none (no limit)
    EXPECT_EQ(projectorConfig(file, file.listeners[0]).name, "Hall left, by the door");

    BridgeSettings line;
    line.device = "/tmp/projector-2";
    BridgeSettings merged = merge(file, line);
    EXPECT_EQ(merged.device, "/tmp/projector-2");   // a scalar on the command line wins
    EXPECT_EQ(merged.name, "Hall");             // the file's where the command line is silent
    EXPECT_EQ(merged.listeners.size(), 2u);     // no listener on the command line: the file's
    line.listeners.push_back(std::get<ListenerSpec>(parseListenerSpec("127.0.0.1:0", ClientKind::Pjlink)));
    merged = merge(file, line);
    ASSERT_EQ(merged.listeners.size(), 1u); // any listener there replaces them all
    const SlotRules defaults = slotRulesOf(merged.listeners[0], BridgeSettings{});
    EXPECT_EQ(defaults.size, kDefaultMaxPjlink);
    EXPECT_EQ(defaults.perAddress, 8);
    EXPECT_FALSE(defaults.limitLoopback);
}

// Each identity a listener is given is the one PJLink asks for by its name.
TEST(BridgeSettings, EachIdentityKeyFillsItsOwnField) {
    const auto l = std::get<ListenerSpec>(
        parseListenerSpec("127.0.0.1:0,serial=S1,version=V2,lamp-model=L3,filter-model=F4", ClientKind::Pjlink));
    EXPECT_EQ(l.serial, "S1");
    EXPECT_EQ(l.version, "V2");
    EXPECT_EQ(l.lampModel, "L3");
    EXPECT_EQ(l.filterModel, "F4");
}

TEST(BridgeSettings, ProblemsFoundBeforeAnythingIsBound) {
    auto with = [](std::optional<std::string> device, std::vector<std::string> pjlink) {
        BridgeSettings s;
        s.device = std::move(device);
        for (const auto& p : pjlink) s.listeners.push_back(std::get<ListenerSpec>(parseListenerSpec(p, ClientKind::Pjlink)));
        return problem(s).value_or("");
    };
    EXPECT_EQ(with("/tmp/projector", {"127.0.0.1:4352"}), "");
    EXPECT_EQ(with("/tmp/projector", {"127.0.0.1:0", "127.0.0.1:0"}), ""); // each gets a port of its own
    EXPECT_NE(with("/tmp/projector", {"127.0.0.1:4352", "127.0.0.1:4352/002"}).find("twice"), std::string::npos);
    EXPECT_NE(with("", {"127.0.0.1:4352"}).find("empty"), std::string::npos);
    EXPECT_NE(with(std::nullopt, {"127.0.0.1:4352"}).find("required"), std::string::npos);
    EXPECT_NE(with("/tmp/projector", {}).find("--pjlink, --share or --http"), std::string::npos);
    // The web listener alone is a bridge too; its settings need it, and its own address.
    auto web = [](std::vector<std::pair<const char*, const char*>> keys, bool pjlink = false) {
        BridgeSettings s;
        s.device = "/tmp/projector";
        if (pjlink) s.listeners.push_back(std::get<ListenerSpec>(parseListenerSpec("127.0.0.1:8080", ClientKind::Pjlink)));
        for (auto [k, v] : keys) EXPECT_EQ(setWebKey(s.web, k, v), std::nullopt) << k;
        return problem(s).value_or("");
    };
    EXPECT_EQ(web({{"http", "127.0.0.1:8080"}}), "");
    EXPECT_NE(web({{"http-name", "bridge.example"}}).find("need --http"), std::string::npos);
    EXPECT_NE(web({{"http", "0.0.0.0:8443"}, {"http-cert", "cert.pem"}}).find("both --http-cert and --http-key"),
              std::string::npos);
    EXPECT_NE(web({{"http", "127.0.0.1:8080"}}, true).find("twice"), std::string::npos);
}

TEST(WebSettings, EachKeyTakesWhatItSays) {
    struct Case {
        const char* key;
        const char* value;
        bool ok;
    };
    const Case cases[] = {
        {"http", "0.0.0.0:8080", true},        {"http", "8080", false},
        {"http", "[::1]:8080", true},          {"http-name", "bridge.example, hall-2", true},
        {"http-name", "bad name", false},      {"http-name", "", false},
        {"http-name", "evil.example:80", false}, {"http-password-file", "", false},
        {"http-max-clients", "64", true},      {"http-max-clients", "0", false},
        {"http-max-clients", "5000", false},   {"metrics-open", "yes", true},
        {"metrics-open", "maybe", false},      {"metrics-token-file", "/etc/tova/token", true},
        {"http-cert", "/etc/tova/cert.pem", true}, {"http-port", "8080", false},
    };
    for (const auto& c : cases) {
        WebSettings w;
        EXPECT_EQ(!setWebKey(w, c.key, c.value).has_value(), c.ok) << c.key << "=" << c.value;
    }
    WebSettings w;
    ASSERT_FALSE(setWebKey(w, "http-name", "a.example,b.example"));
    EXPECT_EQ(w.names, (std::vector<std::string>{"a.example", "b.example"}));
    // The command line's names replace the file's; what it does not give, the file keeps.
    WebSettings line;
    ASSERT_FALSE(setWebKey(line, "http-name", "c.example"));
    const WebSettings merged = mergeWeb(w, line);
    EXPECT_EQ(merged.names, std::vector<std::string>{"c.example"});
    // The configuration file takes the same keys at its top.
    SettingsFile f;
    EXPECT_EQ(f.set("", "http", "127.0.0.1:8080"), std::nullopt);
    EXPECT_EQ(f.set("", "metrics-open", "true"), std::nullopt);
    EXPECT_NE(SettingsFile().set("pjlink hall", "http", "127.0.0.1:8081"), std::nullopt); // not a listener's key
    const auto read = std::get<BridgeSettings>(f.settings());
    EXPECT_EQ(read.web.listen, (HostPort{"127.0.0.1", 8080}));
    EXPECT_EQ(read.web.metricsOpen, true);
    // Each of the web listener's keys alone, without it: a mistake said, not a setting ignored.
    const std::pair<const char*, const char*> alone[] = {
        {"http-name", "hall.example"},    {"http-password-file", "/etc/p"}, {"http-max-clients", "64"},
        {"http-max-per-address", "4"},    {"metrics-open", "true"},         {"metrics-token-file", "/etc/t"},
        {"http-cert", "/etc/c.pem"},      {"http-key", "/etc/k.pem"},
    };
    for (const auto& [key, value] : alone) {
        WebSettings one;
        ASSERT_FALSE(setWebKey(one, key, value)) << key;
        const auto why = webProblem(one);
        ASSERT_TRUE(why) << key;
        EXPECT_NE(why->find("need --http"), std::string::npos) << key << ": " << *why;
    }
}

namespace {

// A key set in the file and again on the command line, and what a settings value reads of it.
template <class Settings> struct OverlaidKey {
    const char* key;
    const char* file;
    const char* line;
    std::function<std::string(const Settings&)> read;
};

// Each key: the command line's value stands over the file's; one it does not give, the file keeps.
template <class Settings, class Set, class Merge>
void expectOverlaid(const std::vector<OverlaidKey<Settings>>& keys, Set set, Merge merged) {
    for (const auto& k : keys) {
        Settings file, line, none;
        ASSERT_FALSE(set(file, k.key, k.file)) << k.key;
        ASSERT_FALSE(set(line, k.key, k.line)) << k.key;
        EXPECT_EQ(k.read(merged(file, line)), k.read(line)) << k.key;
        EXPECT_EQ(k.read(merged(file, none)), k.read(file)) << k.key;
        EXPECT_NE(k.read(file), k.read(line)) << k.key;
    }
}

std::string text(const auto& v) {
    std::ostringstream s;
    if (v) s << *v;
    return s.str();
}

} // namespace

// Every key given on the command line stands over the file's; one it does not give, the file keeps.
TEST(BridgeSettings, EachKeyOfTheCommandLineStandsOverTheFiles) {
    using B = BridgeSettings;
    expectOverlaid<B>(
        {
            {"device", "/test/a", "/test/b", [](const B& s) { return text(s.device); }},
            {"speed", "9600", "19200", [](const B& s) { return text(s.speed); }},
            {"trace", "/test/t1", "/test/t2", [](const B& s) { return text(s.trace); }},
            {"verbose", "false", "true", [](const B& s) { return text(s.verbose); }},
            {"password-file", "/test/p1", "/test/p2", [](const B& s) { return text(s.passwordFile); }},
            {"name", "Hall", "Foyer", [](const B& s) { return text(s.name); }},
            {"max-clients", "10", "20", [](const B& s) { return text(s.maxClients); }},
            {"max-per-address", "2", "3", [](const B& s) { return text(s.maxPerAddress); }},
            {"limit-loopback", "false", "true", [](const B& s) { return text(s.limitLoopback); }},
            {"poll", "5", "7", [](const B& s) { return text(s.pollSeconds); }},
            {"inputs", "11,12,13,14,15", "31,32,33,34,35",
             [](const B& s) { return s.inputs ? std::string(s.inputs->front()) : std::string(); }},
        },
        [](B& s, std::string_view k, std::string_view v) { return setKey(s, k, v); }, merge);
    // The web listener's keys the same way.
    using W = WebSettings;
    expectOverlaid<W>(
        {
            {"http", "127.0.0.1:8080", "127.0.0.1:8081", [](const W& w) { return w.listen ? formatHostPort(*w.listen) : ""; }},
            {"http-password-file", "/test/p1", "/test/p2", [](const W& w) { return text(w.passwordFile); }},
            {"http-cert", "/test/c1", "/test/c2", [](const W& w) { return text(w.cert); }},
            {"http-key", "/test/k1", "/test/k2", [](const W& w) { return text(w.key); }},
            {"http-max-clients", "10", "20", [](const W& w) { return text(w.maxClients); }},
            {"http-max-per-address", "2", "3", [](const W& w) { return text(w.maxPerAddress); }},
            {"metrics-open", "false", "true", [](const W& w) { return text(w.metricsOpen); }},
            {"metrics-token-file", "/test/t1", "/test/t2", [](const W& w) { return text(w.metricsTokenFile); }},
            {"http-name", "a.example", "b.example", [](const W& w) { return w.names.empty() ? "" : w.names.front(); }},
        },
        [](W& w, std::string_view k, std::string_view v) { return setWebKey(w, k, v); }, mergeWeb);
}

TEST(BridgeSettings, APasswordIsItsFilesFirstLineAsWritten) {
    struct Case {
        std::string content, password, error;
    } cases[] = {
        {"JBMIAProjectorLink\n", "JBMIAProjectorLink", ""},
        {"JBMIAProjectorLink\r\nsecond line\n", "JBMIAProjectorLink", ""},
        {" spaced out \n", " spaced out ", ""},             // spaces kept as written
        {"no line end", "no line end", ""},
        {std::string(32, 'p'), std::string(32, 'p'), ""},
        {std::string(33, 'p'), "", "1 to 32"},
        {"\n", "", "1 to 32"},
        {std::string(5000, 'p'), "", "4 KB"},
    };
    for (const auto& c : cases) {
        const auto r = passwordFromFile(c.content);
        if (c.error.empty()) EXPECT_EQ(std::get<0>(r), c.password);
        else EXPECT_NE(std::get<1>(r).find(c.error), std::string::npos) << std::get<1>(r);
    }
}

// A minute of clients connecting for every poll costs the log one line; a quiet minute none.
TEST(ConnectionTally, AMinuteOfConnectionsIsOneLine) {
    FakeClock clock;
    OwnFakeTimer timer(clock);
    std::vector<std::string> out;
    ConnectionTally tally(timer, [&](const std::string& s) { out.push_back(s); });
    for (int second = 0; second < 120; ++second) {
        for (int c = 0; c < 4; ++c) tally.connected("PJLink", "192.0.2." + std::to_string(c % 3 + 1));
        if (second % 30 == 0) tally.connected("shared line", "127.0.0.1");
        clock.advance(1000);
    }
    ASSERT_EQ(out.size(), 2u); // one line a minute
    for (const auto& line : out)
        EXPECT_EQ(line, "PJLink: 240 connections from 3 addresses; shared line: 2 connections from 1 address in the last minute");
    clock.advance(600000); // nobody came: nothing said, and no timer runs
    EXPECT_EQ(out.size(), 2u);
    EXPECT_FALSE(timer.enabled());
    // Past the addresses it counts, a kept one coming again is no more; a new one is.
    for (std::size_t i = 0; i < ConnectionTally::kMaxAddresses; ++i) tally.connected("PJLink", "10.0.0." + std::to_string(i));
    tally.connected("PJLink", "10.0.0.0");
    clock.advance(60000);
    ASSERT_EQ(out.size(), 3u);
    EXPECT_EQ(out.back(), "PJLink: 1025 connections from 1024 addresses in the last minute");
    for (std::size_t i = 0; i <= ConnectionTally::kMaxAddresses; ++i) tally.connected("PJLink", "10.0.0." + std::to_string(i));
    tally.connected("PJLink", "10.0.0.0"); // the count stays over
    clock.advance(60000);
    ASSERT_EQ(out.size(), 4u);
    EXPECT_EQ(out.back(), "PJLink: 1026 connections from over 1024 addresses in the last minute");
}

TEST(LogText, TheJournalGetsAPriorityAndNoTimeOfItsOwn) {
    const struct {
        const char* text;
        Priority priority;
        bool journal;
        const char* line;
    } cases[] = {
        {"no answer from 001", Priority::Warning, true, "<4>no answer from 001\n"},
        {"open; serving", Priority::Notice, true, "<5>open; serving\n"},
        {"a\nforged\rline", Priority::Info, true, "<6>a forged line\n"},
        {"open; serving", Priority::Notice, false, "2026-12-08 10:42:03.123 tova-bridge: open; serving\n"},
    };
    for (const auto& c : cases) EXPECT_EQ(logText(c.text, c.priority, c.journal, "2026-12-08 10:42:03.123"), c.line);
}

#ifndef _WIN32
// The service's memory limit is what the bridge may hold with every place taken at the default
// places: a change to a bound, or to the defaults, that the unit does not follow fails here.
TEST(BridgeSettings, TheServicesMemoryLimitHoldsTheDefaultPlaces) {
    CorePlan plan;
    plan.listeners.push_back({ClientKind::Pjlink, {}, SlotRules{kDefaultMaxPjlink}});
    plan.listeners.push_back({ClientKind::SharedLine, {}, SlotRules{kDefaultMaxShared}});
    plan.web = CoreWeb{};
    std::ifstream unit(TOVA_SOURCE_DIR "/data/systemd/tova-bridge@.service");
    ASSERT_TRUE(unit.good());
    long long limitMiB = 0;
    for (std::string line; std::getline(unit, line);)
        if (line.starts_with("MemoryMax=")) limitMiB = std::stoll(line.substr(10)); // "208M"
    const auto most = static_cast<long long>(mostMemory(plan) >> 20);
    EXPECT_LE(most, limitMiB);
    EXPECT_GE(most, limitMiB - 8) << "the limit has room nobody accounts for";
    // Each place more costs about a megabyte: 4096 PJLink places need four gigabytes.
    plan.listeners[0].places.size = kMostPlaces;
    EXPECT_GT(mostMemory(plan) >> 20, 4096u);
}
#endif
