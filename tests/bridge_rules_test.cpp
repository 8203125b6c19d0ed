// SPDX-License-Identifier: MIT
// The bridge's rules for its clients and its settings, on the fake clock: output bounds, the
// digest back-off, the bounded log, slots per listener, the configuration file over which the
// command line is laid, and password files.
#include "bridge/bridge_settings.hpp"
#include "bridge/client_bounds.hpp"
#include "bridge/client_registry.hpp"
#include "bridge/log_limiter.hpp"
#include "fakes.hpp"

#include <gtest/gtest.h>

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
    clock.advance(10000); // the first has left the minute
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
}

TEST(LogLimiter, ThreeLinesOfAKindThenASummary) {
    FakeClock clock;
    FakeTimer window{clock};
    clock.timers = {&window};
    std::vector<std::string> out;
    LogLimiter log(clock, window, [&](const std::string& s) { out.push_back(s); });
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

TEST(ClientRegistry, SlotsPerListenerAndTheDeviceGone) {
    ClientRegistry r;
    const int pj = r.addListener(ClientKind::Pjlink, 2), share = r.addListener(ClientKind::SharedLine, 1);
    using Refusal = ClientRegistry::Refusal;
    auto id = [](const std::variant<ClientId, Refusal>& v) { return std::get_if<ClientId>(&v) ? *std::get_if<ClientId>(&v) : -1; };
    const ClientId s1 = id(r.admit(share, true));
    EXPECT_GT(s1, 0);
    EXPECT_EQ(std::get<Refusal>(r.admit(share, true)), Refusal::Full); // idle shared clients fill only their own
    const ClientId p1 = id(r.admit(pj, true)), p2 = id(r.admit(pj, false)); // PJLink answers ERR4 meanwhile
    EXPECT_GT(p1, 0);
    EXPECT_GT(p2, 0);
    EXPECT_EQ(std::get<Refusal>(r.admit(pj, true)), Refusal::Full);
    EXPECT_EQ(r.lostDevice(), std::vector<ClientId>{s1});
    r.remove(s1);
    EXPECT_EQ(std::get<Refusal>(r.admit(share, false)), Refusal::DeviceGone);
    EXPECT_GT(id(r.admit(share, true)), 0);
    r.remove(p1);
    EXPECT_EQ(r.clients(pj), 1u);
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
        {{{"pjlink hall", "name", "x"}}, "needs listen="},
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
    EXPECT_EQ(maxClientsOf(file.listeners[0], file), 4); // the file's default
    EXPECT_EQ(maxClientsOf(file.listeners[1], file), 2); // its own
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
    EXPECT_EQ(maxClientsOf(merged.listeners[0], BridgeSettings{}), kDefaultMaxPjlink);
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
