// SPDX-License-Identifier: MIT
// Held buttons and the arrow pad on a fake clock.
#include "fakes.hpp"
#include "tables/hold_table.hpp"

#include <gtest/gtest.h>

using namespace tova;
using namespace tova::test;

namespace {

struct Hold : ::testing::Test {
    Rig r;
    void SetUp() override { Rig::load(r); }
    // Lines written, as sent.
    std::vector<std::string> lines() const { return r.serial.writes; }
    void hold(const char* b, long long ms) {
        r.panel.mouseDown(b);
        r.clock.advance(ms);
        r.panel.mouseUp(b);
    }
};

} // namespace

TEST_F(Hold, PressSendsAtOnceAndRepeatsAtItsPeriod) {
    struct Case {
        const char* button;
        long long heldMs;
        std::vector<std::string> expected;
    } cases[] = {
        {"Command1", 249, {"C09\r"}},
        {"Command1", 250, {"C09\r", "C09\r"}},
        {"Command15", 315, {"C47\r", "C47\r", "C47\r", "C47\r"}},
        {"Command49", 500, {"C31\r", "CF DZOOM DN\r", "CF DZOOM DN\r"}},
        {"Command48", 250, {"CF DZOOM UP\r", "CF DZOOM UP\r"}},
        {"Command6", 1000, {"C3F\r", "C3F\r", "C3F\r"}},
        {"Command59", 105, {"C5D\r", "C5D\r"}},
        {"Command51", 250, {"CF KEYSTONE DN\r", "CF KEYSTONE DN\r"}},
    };
    for (const auto& c : cases) {
        Rig fresh;
        Rig::load(fresh);
        fresh.panel.mouseDown(c.button);
        fresh.clock.advance(c.heldMs);
        fresh.panel.mouseUp(c.button);
        fresh.clock.advance(5000);
        EXPECT_EQ(fresh.serial.writes, c.expected) << c.button;
    }
}

// Each held button at the edge of its period: one line until a millisecond before, the
// first repeat at it; and the reply time-out and display clear its press sets.
TEST(HoldPeriods, EachButtonRepeatsAtItsPeriodAndNotBefore) {
    struct Row {
        const char* button;
        int period, timeOut, clear;
        int repeatCode;
    } rows[] = {
        {"Command1", 250, 200, 245, 1},   {"Command2", 250, 200, 245, 2},   // VOL
        {"Command15", 105, 100, 100, 7},  {"Command35", 105, 100, 100, 8},  // Zoom
        {"Command36", 105, 100, 100, 9},  {"Command37", 105, 100, 100, 10}, // Focus
        {"Command48", 250, 200, 245, 17}, {"Command49", 250, 200, 245, 18}, // D.Zoom
        {"Command50", 250, 200, 245, 19}, {"Command51", 250, 200, 245, 20}, // Keystone
        {"Command59", 105, 100, 100, 21}, {"Command62", 105, 100, 100, 22}, // LENS SHIFT
        {"Command60", 105, 100, 100, 23}, {"Command61", 105, 100, 100, 24},
        {"Command6", 500, 200, 245, 13},                                    // arrow pad select
    };
    for (const auto& c : rows) {
        Rig r;
        Rig::load(r);
        r.panel.mouseDown(c.button);
        EXPECT_EQ(r.t1.interval(), c.period) << c.button;
        EXPECT_EQ(r.t2.interval(), c.timeOut) << c.button;
        EXPECT_EQ(r.t4.interval(), c.clear) << c.button;
        EXPECT_EQ(r.panel.repeatCode, c.repeatCode) << c.button;
        r.clock.advance(c.period - 1);
        EXPECT_EQ(r.serial.writes.size(), 1u) << c.button;
        r.clock.advance(1);
        EXPECT_EQ(r.serial.writes.size(), 2u) << c.button;
        r.panel.mouseUp(c.button);
    }
    EXPECT_EQ(holdButtons().size(), 15u + 4u); // and the four arrows, timed by the adjust mode
}

TEST_F(Hold, OnePointerHoldsOneButton) {
    EXPECT_TRUE(r.panel.mouseDown("Command1"));
    EXPECT_FALSE(r.panel.mouseDown("Command15")); // a second button while the first is held
    r.panel.mouseUp("Command15");                  // its release is not the held one's
    EXPECT_TRUE(r.t1.enabled());
    EXPECT_EQ(r.panel.releaseHeld(), "Command1");
    EXPECT_FALSE(r.t1.enabled());
    EXPECT_EQ(r.panel.releaseHeld(), "");
    EXPECT_FALSE(r.panel.mouseDown("Command17")); // not a held button
    EXPECT_EQ(r.serial.writes, std::vector<std::string>{"C09\r"});
}

TEST_F(Hold, ZoomTrafficIsBlankedBetweenRepeats) {
    r.panel.mouseDown("Command15");
    EXPECT_EQ(r.label("Label11"), " C 4 7 CR ");
    r.clock.advance(100); // time-out mark, then the clear at the same moment
    EXPECT_EQ(r.label("Label11"), "");
    EXPECT_EQ(r.label("Label12"), "");
    EXPECT_FALSE(r.t2.enabled());
    r.clock.advance(5);
    EXPECT_EQ(r.label("Label11"), " C 4 7 CR ");
}

TEST_F(Hold, ReleaseOrder) {
    r.panel.click("Command44");
    r.serial.receive("00\r");
    EXPECT_EQ(r.label("Label22"), " Power ON");
    r.panel.mouseDown("Command1");
    r.clock.advance(10);
    r.panel.mouseUp("Command1");
    EXPECT_EQ(r.panel.repeatCode, 0);
    EXPECT_FALSE(r.t1.enabled());
    EXPECT_FALSE(r.t2.enabled());
    EXPECT_TRUE(r.t4.enabled());
    EXPECT_EQ(r.label("Label11"), "");
    EXPECT_EQ(r.label("Label12"), "");
    EXPECT_EQ(r.panel.rxBuffer, "");
    EXPECT_EQ(r.t2.interval(), 500);
    EXPECT_EQ(r.t4.interval(), 1000);
    r.clock.advance(999);
    EXPECT_EQ(r.label("Label22"), " Power ON");
    r.clock.advance(1);
    EXPECT_EQ(r.label("Label22"), "");
    EXPECT_EQ(r.label("Label12"), ""); // no time-out mark for the abandoned line
    EXPECT_EQ(r.t1.interval(), 250);  // the press's period stays
}

TEST_F(Hold, ReplyAfterReleaseStartsFromAnEmptyBuffer) {
    r.panel.mouseDown("Command1");
    r.serial.receive("\x06");
    r.panel.mouseUp("Command1");
    r.serial.receive("\x06");
    EXPECT_EQ(r.label("Label12"), " ACK ");
}

TEST_F(Hold, ArrowPadTimingFollowsAdjustMode) {
    struct Case {
        std::vector<const char*> before; // clicks, or held buttons (pressed and released)
        int period, timeOut, clear;
    } cases[] = {
        {{}, 200, 500, 1000},                            // start-up: AdjustMode 0
        {{"Command23"}, 200, 150, 190},                  // MENU ON
        {{"Command13"}, 200, 150, 190},                  // A-PC Adj
        {{"Command48"}, 5, 5, 5},                        // after a D.Zoom release
        {{"Command23", "Command36"}, 105, 150, 190},     // Focus + held after MENU ON
        {{"Command23", "Command36", "Command23"}, 200, 150, 190},
        {{"Command49", "Command24"}, 5, 5, 5},           // MENU OFF changes nothing
    };
    for (const auto& c : cases) {
        Rig f;
        Rig::load(f);
        for (const char* b : c.before) {
            if (f.panel.isHeld(b)) {
                f.panel.mouseDown(b);
                f.panel.mouseUp(b);
            } else {
                f.panel.click(b);
            }
        }
        f.clock.advance(10000);
        f.serial.writes.clear();
        f.panel.mouseDown("Command5");
        EXPECT_EQ(f.t1.interval(), c.period);
        EXPECT_EQ(f.t2.interval(), c.timeOut);
        EXPECT_EQ(f.t4.interval(), c.clear);
        f.clock.advance(c.period * 3);
        f.panel.mouseUp("Command5");
        EXPECT_EQ(f.serial.writes, std::vector<std::string>(4, "C3C\r"))
            << c.before.size() << " " << c.period;
    }
}

TEST_F(Hold, SelectReleaseLeaves14AndSendsNothing) {
    r.panel.mouseDown("Command6");
    r.panel.mouseUp("Command6");
    EXPECT_EQ(r.panel.repeatCode, 14);
    r.clock.advance(5000);
    EXPECT_EQ(lines(), std::vector<std::string>{"C3F\r"});
}

TEST_F(Hold, DigitalZoomReleaseSetsTheDigitalZoomTiming) {
    for (const char* b : {"Command48", "Command49"}) {
        Rig f;
        Rig::load(f);
        f.panel.mouseDown(b);
        f.panel.mouseUp(b);
        EXPECT_EQ(f.t1.interval(), 5);
        EXPECT_EQ(f.panel.adjustMode, AdjustMode::DigitalZoom);
    }
}

TEST_F(Hold, KeyboardActivationSendsNothing) {
    for (const auto& b : holdButtons()) r.panel.click(b.name);
    EXPECT_EQ(r.serial.written, "");
}

TEST_F(Hold, TickWithNothingHeldSendsNothing) {
    r.t1.setEnabled(true);
    r.clock.advance(1000);
    EXPECT_EQ(r.serial.written, "");
}

// A repeat never queues behind a line still on the wire.
TEST(HoldBacklog, NothingQueuedBeyondTheLineInFlight) {
    struct Case {
        const char* speed;
        const char* address;
        long long lineUs; // wire time of one arrow line
    } cases[] = {
        {"Option10", "Option3", 4 * 1041}, {"Option10", "Option5", 8 * 1041},
        {"Option9", "Option3", 4 * 520},   {"Option9", "Option5", 8 * 520},
    };
    for (const auto& c : cases) {
        Rig r;
        Rig::load(r);
        r.serial.pacing = true;
        r.panel.click(c.speed);
        r.panel.click(c.address);
        r.panel.mouseDown("Command48"); // D.Zoom: digital-zoom timing afterwards
        r.panel.mouseUp("Command48");
        r.clock.advance(1000);
        r.serial.writes.clear();
        r.serial.maxQueuedUs = 0;
        r.panel.mouseDown("Command5");
        r.clock.advance(1000);
        r.panel.mouseUp("Command5");
        EXPECT_LE(r.serial.maxQueuedUs, c.lineUs + 10) << c.speed << c.address;
        // Every tick whose wire was free sent: the line rate is used, not wasted.
        const long long period = std::max<long long>(5000, c.lineUs);
        const auto ideal = 1000000 / (((c.lineUs + 4999) / 5000) * 5000);
        EXPECT_GE(static_cast<long long>(r.serial.writes.size()), ideal) << c.speed << c.address;
        EXPECT_LE(static_cast<long long>(r.serial.writes.size()), 1 + 1000000 / period);
        // After the release at most the line in flight still goes out.
        EXPECT_LE(r.serial.queueUntil - r.clock.ms * 1000, c.lineUs + 10);
    }
}
