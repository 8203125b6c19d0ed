// SPDX-License-Identifier: MIT
// The web remote's logic on the fake clock: held buttons that stop whatever the page does, the
// panel's timings kept per projector, the pages' messages, the tables and tiles as JSON, and
// /metrics in Prometheus's format.
#include "bridge/metrics.hpp"
#include "bridge/web/web_remote.hpp"
#include "bridge_rig.hpp"
#include "link/traffic.hpp"
#include "tables/command_table.hpp"
#include "tables/hold_table.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

using namespace tova;
using namespace tova::bridge;
using namespace tova::test;

namespace {

struct RemoteRig : BridgeRig {
    FakeTimer repeat{clock}, keep{clock};
    std::vector<std::optional<RemoteControl::Ended>> changes;
    RemoteControl control{queue, repeat, keep, "", {.holdChanged = [this](std::optional<RemoteControl::Ended> e) { changes.push_back(e); }}};
    RemoteRig() {
        clock.timers.push_back(&repeat);
        clock.timers.push_back(&keep);
    }
    // Runs ms of time, the projector acknowledging each line as it arrives.
    void run(long long ms, bool keepHeld = false, ClientId page = 1) {
        for (long long t = 0; t < ms; t += 5) {
            while (answered < serial.writes.size()) {
                ++answered;
                serial.receive("\x06\r");
            }
            if (keepHeld && t % 200 == 0) control.keepHeld(page);
            clock.advance(5);
        }
    }
    long count(const char* line) const { return std::count(serial.writes.begin(), serial.writes.end(), line); }
};

} // namespace

TEST(RemoteControl, AHoldRepeatsAtItsPeriodAndItsReleaseSendsNothing) {
    RemoteRig r;
    ASSERT_EQ(r.control.hold(1, "Command1"), RemoteControl::Refused::None); // VOL +: every 250 ms
    r.run(1000, true);
    EXPECT_EQ(r.count("C09\r"), 5); // the press, then four ticks
    r.control.release(1);
    const auto sent = r.serial.writes.size();
    r.run(1000);
    EXPECT_EQ(r.serial.writes.size(), sent);
    EXPECT_EQ(r.changes, (std::vector<std::optional<RemoteControl::Ended>>{std::nullopt, RemoteControl::Ended::Released}));
    EXPECT_FALSE(r.repeat.enabled()); // no timer left to wake the bridge
    EXPECT_FALSE(r.keep.enabled());
}

TEST(RemoteControl, AHoldEndsWhenThePageGoesQuiet) {
    struct Case {
        const char* what;
        std::function<void(RemoteRig&)> act;
        RemoteControl::Ended why;
        long long withinMs;
    };
    const Case cases[] = {
        {"no keep-held", [](RemoteRig& r) { r.run(2000); }, RemoteControl::Ended::KeepHeldMissed, RemoteControl::kKeepHeldMs},
        {"held too long", [](RemoteRig& r) { r.run(40000, true); }, RemoteControl::Ended::TooLong, 30000 + 105},
        {"the page gone", [](RemoteRig& r) { r.run(300, true), r.control.forget(1), r.run(1000); },
         RemoteControl::Ended::PageGone, 300},
    };
    for (const auto& c : cases) {
        RemoteRig r;
        r.control.hold(1, "Command59"); // LENS SHIFT: every 105 ms
        const auto before = r.serial.writes.size();
        c.act(r);
        ASSERT_EQ(r.changes.size(), 2u) << c.what;
        EXPECT_EQ(r.changes.back(), c.why) << c.what;
        EXPECT_FALSE(r.control.holder()) << c.what;
        // Nothing went out past the end, give or take the line already on its way.
        EXPECT_LE(long(r.serial.writes.size() - before), c.withinMs / 105 + 1) << c.what;
    }
}

// The edges of a hold: it ends 600 ms after the last sign of the page, not a millisecond before;
// a keep at 30 s ends it; and once released, nothing more of it goes out, not even a repeat
// that waited for the line.
TEST(RemoteControl, TheEdgesOfAHold) {
    {
        RemoteRig r;
        r.control.hold(1, "Command59");
        r.clock.advance(599);
        EXPECT_EQ(r.control.holder(), 1);
        r.clock.advance(1);
        EXPECT_FALSE(r.control.holder());
        EXPECT_EQ(r.changes.back(), RemoteControl::Ended::KeepHeldMissed);
    }
    for (bool keepAt30 : {true, false}) { // 30 s: a keep then ends it, or else the next tick
        RemoteRig r;
        r.control.hold(1, "Command59"); // LENS SHIFT: no tick falls on 30 s, the next at 30.03 s
        for (int t = 0; t < 30000; t += 500) {
            r.control.keepHeld(1);
            r.run(500);
        }
        ASSERT_EQ(r.control.holder(), 1);
        if (keepAt30) {
            r.control.keepHeld(1);
        } else {
            const auto sent = r.serial.writes.size();
            r.run(30);
            EXPECT_EQ(r.serial.writes.size(), sent);
        }
        EXPECT_FALSE(r.control.holder()) << keepAt30;
        EXPECT_EQ(r.changes.back(), RemoteControl::Ended::TooLong) << keepAt30;
    }
    {
        RemoteRig r; // the device goes: the hold ends with it
        r.control.hold(1, "Command59");
        r.queue.setLineUp(false);
        EXPECT_FALSE(r.control.holder());
        EXPECT_EQ(r.changes.back(), RemoteControl::Ended::LineDown);
    }
    {
        // A hold's line that ends after the hold leaves the next hold alone: D.Zoom -'s repeat
        // still waits for its own press's reply.
        RemoteRig r;
        r.control.hold(1, "Command1");
        r.clock.advance(10);
        r.control.release(1);
        r.control.hold(1, "Command49"); // its press waits behind VOL +'s line
        r.clock.advance(90);
        r.serial.receive("\x06"); // VOL +'s reply: D.Zoom -'s press goes
        ASSERT_EQ(r.serial.writes.back(), "C31\r");
        r.clock.advance(200); // past the first tick, the press unanswered
        r.serial.receive("\x06");
        r.clock.advance(100);
        EXPECT_EQ(r.serial.writes, (std::vector<std::string>{"C09\r", "C31\r"}));
    }
    for (int releaseAt : {100, 250, 260, 290}) {
        RemoteRig silent; // VOL +: its line waits 200 ms, then 100 ms of quiet
        silent.control.hold(1, "Command1");
        silent.clock.advance(releaseAt);
        silent.control.keepHeld(1);
        silent.control.release(1);
        const auto sent = silent.serial.writes;
        silent.clock.advance(2000);
        EXPECT_EQ(silent.serial.writes, sent) << releaseAt;
    }
    RemoteRig silent; // a press of the page's own waits on: only the repeat is withdrawn
    silent.control.hold(1, "Command1");
    silent.clock.advance(100);
    silent.control.press(1, "Command17");
    silent.clock.advance(160);
    silent.control.release(1);
    silent.clock.advance(2000);
    EXPECT_EQ(silent.serial.writes, (std::vector<std::string>{"C09\r", "C00\r"}));
}

TEST(RemoteControl, OneHolderAtATimeAndNeverABacklog) {
    RemoteRig r;
    r.control.hold(1, "Command59");
    EXPECT_EQ(r.control.hold(2, "Command62"), RemoteControl::Refused::HeldElsewhere);
    EXPECT_EQ(r.control.keepHeld(2), RemoteControl::Refused::NotHolding);
    r.control.release(2); // not its hold
    EXPECT_EQ(r.control.holder(), 1);
    EXPECT_EQ(r.control.press(2, "Command17"), RemoteControl::Refused::None); // one-shots go on
    EXPECT_EQ(r.control.press(2, "Command1"), RemoteControl::Refused::UnknownButton); // held, not one-shot
    EXPECT_EQ(r.control.hold(2, "Command17"), RemoteControl::Refused::UnknownButton);
    // A projector that never answers: the repeat waits for its own line instead of queueing.
    RemoteRig silent;
    silent.control.hold(1, "Command59");
    for (int t = 0; t < 2000; t += 5) {
        if (t % 200 == 0) silent.control.keepHeld(1);
        silent.clock.advance(5);
    }
    // Each line waits its 100 ms time-out and the 100 ms quiet before the next may go.
    EXPECT_LE(silent.count("C5D\r"), 2000 / 200 + 1);
    EXPECT_GE(silent.count("C5D\r"), 2000 / 250);
}

// Several pages on one projector at once: the same query pressed on two is one exchange answered
// to both; a page that has filled its share of the line is refused alone, even its hold; a page
// gone while its hold's line waits leaves the line to the others, and another page may hold.
TEST(RemoteControl, SeveralPagesAtOnce) {
    BridgeRig r;
    FakeTimer repeat{r.clock}, keep{r.clock};
    r.clock.timers.push_back(&repeat);
    r.clock.timers.push_back(&keep);
    std::vector<std::string> replied; // "page line outcome"
    RemoteControl control{r.queue, repeat, keep, "",
                          {.replied = [&](ClientId page, const std::string& line, const ExchangeResult& e) {
                              replied.push_back(std::to_string(page) + trafficText(line) +
                                                (e.outcome == ExchangeResult::Replied ? "replied" : "not"));
                          }}};
    EXPECT_EQ(control.press(1, "Command17"), RemoteControl::Refused::None); // POWER ON on the wire
    EXPECT_EQ(control.press(1, "Command44"), RemoteControl::Refused::None); // STATUS waits
    EXPECT_EQ(control.press(2, "Command44"), RemoteControl::Refused::None); // joins it
    r.serial.receive("\x06");
    r.serial.receive("80\r");
    EXPECT_EQ(r.serial.writes, (std::vector<std::string>{"C00\r", "CR0\r"}));
    EXPECT_EQ(replied, (std::vector<std::string>{"1 C 0 0 CR replied", "1 C R 0 CR replied", "2 C R 0 CR replied"}));

    // Page 2 fills its share behind a line on the wire; page 3 goes on.
    control.press(1, "Command44");
    const char* buttons[] = {"Command45", "Command46", "Command47", "Command54", "Command55", "Command38",
                             "Command12", "Command99", "Command17", "Command18", "Command27", "Command53",
                             "Command56", "Command57", "Command58", "Command63"};
    for (const char* b : buttons) EXPECT_EQ(control.press(2, b), RemoteControl::Refused::None) << b;
    EXPECT_EQ(control.press(2, "Command64"), RemoteControl::Refused::Full);
    EXPECT_EQ(control.hold(2, "Command59"), RemoteControl::Refused::Full);
    EXPECT_FALSE(control.holder());
    EXPECT_EQ(control.hold(3, "Command59"), RemoteControl::Refused::None);
    EXPECT_EQ(control.holder(), 3);
    // Page 3 goes while its line waits: its hold ends; page 2 may hold once it has room.
    control.forget(3);
    r.queue.forget(3);
    EXPECT_FALSE(control.holder());
    EXPECT_EQ(control.hold(2, "Command59"), RemoteControl::Refused::Full);
    r.queue.forget(2);
    EXPECT_EQ(control.hold(2, "Command59"), RemoteControl::Refused::None);
    EXPECT_EQ(control.holder(), 2);
}

TEST(RemoteControl, TheArrowPadFollowsTheAdjustModeAnyPageSet) {
    struct Case {
        const char* what;
        const char* before; // a one-shot button, or a held one pressed and released
        int period, timeout;
        bool lineDown = false; // the press refused, the device gone
    };
    const Case cases[] = {
        {"as the panel starts", nullptr, kRepeatPeriodStart, kReplyTimeoutMs},
        {"after MENU ON", "Command23", kMenuRepeat, kMenuReplyTimeout},
        {"after A-PC Adj", "Command13", kMenuRepeat, kMenuReplyTimeout},
        {"after D.Zoom -", "Command49", kDigitalZoomTiming, kDigitalZoomTiming},
        {"after VOL +", "Command1", 250, kReplyTimeoutMs},
        {"after MENU ON refused", "Command23", kRepeatPeriodStart, kReplyTimeoutMs, true},
    };
    for (const auto& c : cases) {
        RemoteRig r;
        if (c.lineDown) r.queue.setLineUp(false);
        if (c.before && findCommandButton(c.before)) r.control.press(2, c.before);
        r.queue.setLineUp(true);
        if (c.before && findHoldButton(c.before)) {
            r.control.hold(2, c.before);
            r.control.release(2);
        }
        r.run(300);
        r.control.hold(1, "Command5"); // the arrow pad's up
        EXPECT_EQ(r.control.timing().repeatPeriod, c.period) << c.what;
        EXPECT_EQ(r.control.timing().replyTimeout, c.timeout) << c.what;
        EXPECT_EQ(r.repeat.interval(), c.period) << c.what;
    }
}

TEST(PageMessage, OnlyThePagesWordsAreTaken) {
    struct Case {
        const char* text;
        std::optional<PageMessage::Kind> kind;
        std::size_t projector;
        const char* button;
    };
    const Case cases[] = {
        {"press 0 Command17", PageMessage::Press, 0, "Command17"},
        {"hold 3 Command59", PageMessage::Hold, 3, "Command59"},
        {"keep 1", PageMessage::Keep, 1, ""},
        {"release 0", PageMessage::Release, 0, ""},
        {"press 0", std::nullopt, 0, ""},
        {"keep 1 extra", std::nullopt, 0, ""},
        {"press -1 Command17", std::nullopt, 0, ""},
        {"press 999 Command17", std::nullopt, 0, ""},
        {"press 12 Command17", PageMessage::Press, 12, "Command17"}, // two digits, the most
        {"press 1x Command17", std::nullopt, 0, ""},
        {"press x1 Command17", std::nullopt, 0, ""},
        {"press 0 Command17 more", std::nullopt, 0, ""},
        {"PRESS 0 Command17", std::nullopt, 0, ""},
        {"", std::nullopt, 0, ""},
    };
    for (const auto& c : cases) {
        const auto m = parsePageMessage(c.text);
        ASSERT_EQ(m.has_value(), c.kind.has_value()) << c.text;
        if (!m) continue;
        EXPECT_EQ(m->kind, *c.kind) << c.text;
        EXPECT_EQ(m->projector, c.projector) << c.text;
        EXPECT_EQ(m->button, c.button) << c.text;
    }
}

namespace {

struct PagesRig : BridgeRig {
    // Every answer a state reads reaches the pages' tiles, as the bridge routes it.
    ProjectorState left{clock, {{}, [this] { remote.answered(left); }}}, right{clock, {{}, [this] { remote.answered(right); }}};
    std::vector<std::unique_ptr<FakeTimer>> timers;
    WebRemote remote;
    std::map<ClientId, std::vector<std::string>> told;
    PagesRig()
        : remote(queue,
                 {{"Hall <left>", "A001", &left, ProjectorConfig::defaultInputNames()},
                  {"Hall right", "A002", &right, ProjectorConfig::defaultInputNames()}},
                 [this] {
                     timers.push_back(std::make_unique<FakeTimer>(clock));
                     clock.timers.push_back(timers.back().get());
                     return std::unique_ptr<Timer>(new ForwardTimer(*timers.back()));
                 }) {}
    // The rig keeps its timers; the remote gets handles to them.
    struct ForwardTimer : Timer {
        explicit ForwardTimer(FakeTimer& t) : t(t) {}
        void setInterval(int ms) override { t.setInterval(ms); }
        int interval() const override { return t.interval(); }
        void setEnabled(bool on) override { t.setEnabled(on); }
        bool enabled() const override { return t.enabled(); }
        void setOnTick(std::function<void()> h) override { t.setOnTick(std::move(h)); }
        FakeTimer& t;
    };
    void open(ClientId page) {
        remote.opened(page, [this, page](const std::string& m) { told[page].push_back(m); });
    }
    bool saw(ClientId page, const std::string& part) const {
        const auto& all = told.at(page);
        return std::any_of(all.begin(), all.end(), [&](const std::string& m) { return m.find(part) != std::string::npos; });
    }
};

} // namespace

TEST(WebRemote, TheTablesHoldEveryButtonOnceWithItsCaptionAndTip) {
    PagesRig r;
    const std::string t = r.remote.tables();
    std::set<std::string> groups;
    for (const auto& b : commandButtons()) groups.insert(std::string(b.group));
    for (const auto& b : holdButtons()) groups.insert(std::string(b.group));
    // The page shows every group of the tables, each once.
    EXPECT_EQ(std::set<std::string>(pageGroups().begin(), pageGroups().end()), groups);
    EXPECT_EQ(pageGroups().size(), groups.size());
    auto occurrences = [&](const std::string& s) {
        std::size_t n = 0;
        for (auto at = t.find(s); at != std::string::npos; at = t.find(s, at + 1)) ++n;
        return n;
    };
    for (const auto& b : commandButtons()) EXPECT_EQ(occurrences("\"name\":\"" + std::string(b.name) + "\""), 1u) << b.name;
    for (const auto& b : holdButtons()) EXPECT_EQ(occurrences("\"name\":\"" + std::string(b.name) + "\""), 1u) << b.name;
    EXPECT_NE(t.find("{\"name\":\"Command17\",\"caption\":\"ON\",\"tip\":\"POWER ON\",\"held\":false"), std::string::npos);
    EXPECT_NE(t.find("\"tip\":\"LENS SHIFT \xE2\x86\x91 (held)\",\"held\":true"), std::string::npos);
    // The source matrices fold; POWER OFF alone asks for a second tap; Log out only with a login.
    EXPECT_NE(t.find("{\"name\":\"Input 2 source\",\"grid\":false,\"fold\":true"), std::string::npos);
    EXPECT_NE(t.find("{\"name\":\"POWER\",\"grid\":false,\"fold\":false"), std::string::npos);
    EXPECT_EQ(occurrences("\"confirm\":true"), 1u);
    EXPECT_NE(t.find("\"name\":\"Command18\",\"caption\":\"OFF\",\"tip\":\"POWER OFF\",\"held\":false,\"confirm\":true"),
              std::string::npos);
    EXPECT_EQ(t.rfind("{\"login\":false,", 0), 0u);
    EXPECT_EQ(r.remote.tables(true).rfind("{\"login\":true,", 0), 0u);
    // A name is text: it cannot close a script or open a tag.
    EXPECT_NE(t.find("{\"name\":\"Hall \\u003cleft>\",\"address\":\"A001\"}"), std::string::npos);
    // The arrow pad laid out as on the panel: SELECT in the middle.
    EXPECT_NE(t.find("{\"name\":\"Menu arrows\",\"grid\":true"), std::string::npos);
    // Laid out in two directions exactly where the panel sets a few buttons so.
    std::set<std::string> grids;
    for (std::size_t at = t.find("\"grid\":true"); at != std::string::npos; at = t.find("\"grid\":true", at + 1)) {
        const std::size_t name = t.rfind("{\"name\":\"", at) + 9;
        grids.insert(t.substr(name, t.find('"', name) - name));
    }
    EXPECT_EQ(grids, (std::set<std::string>{"LAMP SELECT", "LENS SHIFT", "Menu arrows", "picture mode"}));
    EXPECT_NE(t.find("\"name\":\"Command6\",\"caption\":\"SELECT\",\"tip\":\"Menu arrows SELECT (held)\",\"held\":true,"
                     "\"confirm\":false,\"colour\":\"#FF8000\",\"row\":1,\"col\":1}"),
              std::string::npos);
}

TEST(WebRemote, PagesAreToldTheTilesTheTrafficAndTheHolds) {
    PagesRig r;
    r.open(1);
    r.open(2);
    EXPECT_TRUE(r.saw(1, "{\"type\":\"state\",\"projector\":0,\"line\":\"up\",\"power\":\"unknown\""));
    r.left.status("40\r");
    r.left.lampHours("01234\r");
    EXPECT_TRUE(r.saw(2, "\"power\":\"warming up\",\"status\":\"Count down\""));
    EXPECT_TRUE(r.saw(2, "\"lampHours\":1234,\"errors\":[]"));
    // A press goes out addressed to its projector, and both pages see its traffic.
    ASSERT_TRUE(r.remote.received(1, "press 1 Command17"));
    EXPECT_EQ(r.serial.writes.back(), "A002C00\r");
    r.serial.receive("\x06\r");
    EXPECT_TRUE(r.saw(2, "{\"type\":\"traffic\",\"projector\":1,\"sent\":\" A 0 0 2 C 0 0 CR \",\"received\":\" ACK \""));
    EXPECT_FALSE(r.saw(2, "{\"type\":\"traffic\",\"projector\":0"));
    // Another client's lines are not the pages' traffic; a reply of markup is shown as the
    // characters it is, and a press without a reply is marked.
    r.submit(9, "A001CR0\r", 500, [](const ExchangeResult&) {});
    r.serial.receive("00\r");
    EXPECT_FALSE(r.saw(1, "\"sent\":\" A 0 0 1 C R 0 CR \""));
    ASSERT_TRUE(r.remote.received(2, "press 0 Command38")); // PC type: any text is its reply
    r.serial.receive("<script>\r");
    EXPECT_TRUE(r.saw(1, "\"sent\":\" A 0 0 1 C R 9 CR \",\"received\":\" \\u003c s c r i p t > CR \""));
    ASSERT_TRUE(r.remote.received(2, "press 0 Command44"));
    r.clock.advance(700);
    EXPECT_TRUE(r.saw(1, "\"sent\":\" A 0 0 1 C R 0 CR \",\"received\":\" X X X X\""));
    // A hold is told to every page, each knowing whose it is; a second page is refused.
    ASSERT_TRUE(r.remote.received(1, "hold 0 Command59"));
    EXPECT_TRUE(r.saw(1, "{\"type\":\"hold\",\"projector\":0,\"button\":\"Command59\",\"by\":\"you\"}"));
    EXPECT_TRUE(r.saw(2, "{\"type\":\"hold\",\"projector\":0,\"button\":\"Command59\",\"by\":\"another page\"}"));
    ASSERT_TRUE(r.remote.received(2, "hold 0 Command62"));
    EXPECT_TRUE(r.saw(2, "Another page holds LENS SHIFT"));
    // The holder's page closes: the hold ends for everyone.
    r.remote.closed(1);
    EXPECT_TRUE(r.saw(2, "{\"type\":\"hold\",\"projector\":0,\"button\":\"\",\"by\":\"\"}"));
    // What is no message of the page's closes it.
    EXPECT_FALSE(r.remote.received(2, "press 0 NoSuchButton"));
    EXPECT_FALSE(r.remote.received(2, "press 7 Command17"));
    EXPECT_FALSE(r.remote.received(2, std::string(WebRemote::kMaxMessage + 1, 'x')));
    r.remote.lineChanged(false);
    EXPECT_TRUE(r.saw(2, "\"line\":\"down\""));
}

// A page that closes lets go of its hold at once: another page may hold straight away, and no
// more of the closed page's repeats go out.
TEST(WebRemote, APageThatClosesLetsGoOfItsHoldAtOnce) {
    PagesRig r;
    r.open(1);
    r.open(2);
    ASSERT_TRUE(r.remote.received(1, "hold 0 Command59"));
    r.serial.receive("\x06");
    r.remote.closed(1);
    const auto sent = r.serial.writes.size();
    r.clock.advance(300);
    EXPECT_EQ(r.serial.writes.size(), sent);
    ASSERT_TRUE(r.remote.received(2, "hold 0 Command62"));
    EXPECT_TRUE(r.saw(2, "\"button\":\"Command62\",\"by\":\"you\""));
    // Its presses still waiting for the line go nowhere once it has closed.
    r.open(3);
    ASSERT_TRUE(r.remote.received(3, "press 1 Command17"));
    ASSERT_TRUE(r.remote.received(3, "press 1 Command27"));
    r.remote.closed(3);
    r.remote.received(2, "release 0");
    for (int i = 0; i < 40; ++i) {
        r.serial.receive("\x06");
        r.clock.advance(100);
    }
    EXPECT_EQ(std::count(r.serial.writes.begin(), r.serial.writes.end(), "A002C05\r"), 0);
}

TEST(Metrics, TheExpositionFormat) {
    FakeClock clock;
    ProjectorState s(clock);
    s.status("08\r"); // on, with a temperature warning
    s.lampHours("00042\r");
    clock.advance(2500);
    LineStats line;
    const std::pair<int, ExchangeResult::Outcome> exchanges[] = {
        {5, ExchangeResult::Replied},   {30, ExchangeResult::Replied},    {100, ExchangeResult::Replied}, // on a bound: in it
        {700, ExchangeResult::Replied}, {6000, ExchangeResult::TimedOut}, {2000, ExchangeResult::NotTaken},
    };
    for (const auto& [ms, outcome] : exchanges) {
        ExchangeResult e;
        e.outcome = outcome;
        e.took = std::chrono::milliseconds(ms);
        line.exchanged(e);
    }
    line.stray();
    MetricsInput in;
    in.projectors = {{"Hall \"A\"\\\nB", "A001", &s, {}}};
    in.listeners = {{"PJLink on 0.0.0.0:4352", "pjlink", 3}};
    in.line = &line;
    in.lineUp = true;
    in.pjlinkAuthFailures = 2;
    in.now = clock.now();
    in.version = "1.40.0";
    in.startedAt = std::chrono::milliseconds(1765220400250); // a restart shows as a change of it
    const std::string t = metricsText(in);
    const char* lines[] = {
        "tova_projector_power{projector=\"Hall \\\"A\\\"\\\\\\nB\",address=\"A001\",state=\"on\"} 1\n",
        "tova_projector_power{projector=\"Hall \\\"A\\\"\\\\\\nB\",address=\"A001\",state=\"standby\"} 0\n",
        "tova_projector_lamp_seconds{projector=\"Hall \\\"A\\\"\\\\\\nB\",address=\"A001\"} 151200\n",
        "error=\"temperature\"} 1\n",
        "error=\"lamp\"} 0\n",
        "tova_projector_poll_age_seconds{projector=\"Hall \\\"A\\\"\\\\\\nB\",address=\"A001\"} 2.5\n",
        "tova_projector_input_mode{projector=\"Hall \\\"A\\\"\\\\\\nB\",address=\"A001\"} 0\n", // not told yet
        "tova_line_exchanges_total 6\n",
        "tova_line_timeouts_total 2\n", // not taken counts too
        "tova_line_strays_total 1\n",
        "tova_line_exchange_seconds_bucket{le=\"0.01\"} 1\n",
        "tova_line_exchange_seconds_bucket{le=\"0.05\"} 2\n",
        "tova_line_exchange_seconds_bucket{le=\"0.1\"} 3\n",
        "tova_line_exchange_seconds_bucket{le=\"1\"} 4\n",
        "tova_line_exchange_seconds_bucket{le=\"2.5\"} 5\n",
        "tova_line_exchange_seconds_bucket{le=\"5\"} 5\n",
        "tova_line_exchange_seconds_bucket{le=\"+Inf\"} 6\n",
        "tova_line_exchange_seconds_sum 8.835\n",
        "tova_line_exchange_seconds_count 6\n",
        "tova_listener_clients{listener=\"PJLink on 0.0.0.0:4352\",kind=\"pjlink\"} 3\n",
        "tova_auth_failures_total{kind=\"pjlink\"} 2\n",
        "tova_line_up 1\n",
        "tova_bridge_start_time_seconds 1765220400.25\n",
        "# TYPE tova_line_exchange_seconds histogram\n",
    };
    for (const char* l : lines) EXPECT_NE(t.find(l), std::string::npos) << l;
    EXPECT_EQ(t.back(), '\n');
}
