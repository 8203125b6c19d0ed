// SPDX-License-Identifier: MIT
// The service keys, the picture, the data button and the free-text command.
#include "fakes.hpp"
#include "tables/data_button.hpp"
#include "tables/timings.hpp"

#include <gtest/gtest.h>

using namespace tova;
using namespace tova::test;

namespace {

enum Event { Keys, DblClick, DataButton };

struct View {
    int height;
    bool buttonVisible;
    std::string_view caption;
    int dataShown;
};

} // namespace

TEST(Service, ViewStateTable) {
    const View start{5350, false, kShowData, 0}, service{7200, true, kClose, 1},
        full{9100, true, kClose, 1}, compact{5350, true, kShowData, 0},
        data{6645, true, kHideData, 0};
    struct Case {
        std::vector<Event> events;
        View after;
    } cases[] = {
        {{}, start},
        {{DblClick}, start}, // before any Ctrl+K
        {{Keys}, service},
        {{Keys, DblClick}, full},
        {{Keys, DataButton}, compact},
        {{Keys, DblClick, DataButton}, compact},
        {{Keys, DblClick, DblClick}, full},
        {{Keys, DataButton, DataButton}, data},
        {{Keys, DataButton, DataButton, DataButton}, compact},
        {{Keys, DataButton, DblClick}, compact},
        {{Keys, DataButton, DataButton, DblClick}, data},
        {{Keys, DblClick, Keys}, service},
        {{Keys, DataButton, DataButton, Keys}, service},
        {{Keys, DataButton, Keys, DblClick}, full},
    };
    for (const auto& c : cases) {
        Rig r;
        Rig::load(r);
        for (Event e : c.events) {
            if (e == Keys) r.panel.onKeyDown(Panel::kKeyK, Panel::kCtrlMask);
            if (e == DblClick) r.panel.onPictureDoubleClick();
            if (e == DataButton) r.panel.click("Command34");
        }
        EXPECT_EQ(r.window.outerHeight, c.after.height) << c.events.size();
        EXPECT_EQ(r.window.visible("Command34"), c.after.buttonVisible) << c.events.size();
        EXPECT_EQ(r.window.caption("Command34"), c.after.caption) << c.events.size();
        EXPECT_EQ(r.panel.dataShown, c.after.dataShown) << c.events.size();
    }
}

// The data button reads the window's height as the system gives it: from the threshold up the
// data area counts as open and is closed; below it, it is opened.
TEST(Service, TheDataButtonAtItsThreshold) {
    for (auto [height, after] : {std::pair{kDataThreshold - 1, kDataHeight}, std::pair{kDataThreshold, kCompactHeight},
                                 std::pair{kDataThreshold + 1, kCompactHeight}}) {
        Rig r;
        Rig::load(r);
        r.panel.onKeyDown(Panel::kKeyK, Panel::kCtrlMask);
        r.window.outerHeight = height;
        r.panel.click("Command34");
        EXPECT_EQ(r.window.outerHeight, after) << height;
    }
}

TEST(Service, OnlyCtrlAloneWithK) {
    struct Case {
        int key, shift;
        bool opens;
    } cases[] = {
        {75, 2, true},  {75, 3, false}, {75, 6, false}, {75, 0, false}, {75, 1, false},
        {75, 4, false}, {74, 2, false}, {75, 7, false}, {75, 2 | 8, true},
    };
    for (const auto& c : cases) {
        Rig r;
        Rig::load(r);
        r.panel.onKeyDown(c.key, c.shift);
        EXPECT_EQ(r.window.outerHeight == 7200, c.opens) << c.key << " " << c.shift;
        EXPECT_EQ(r.panel.dataShown, c.opens);
    }
}

TEST(Service, DataButtonRestartsTheAutoHide) {
    Rig r;
    Rig::load(r);
    r.panel.click("Command33");
    r.clock.advance(4000);
    r.panel.click("Command34");
    r.clock.advance(4999);
    EXPECT_TRUE(r.window.visible("Frame8"));
    r.clock.advance(1);
    EXPECT_FALSE(r.window.visible("Frame8"));
}

TEST(Service, SendFramesTheTextExactlyAsTyped) {
    struct Case {
        const char* address;
        std::string typed;
        std::string bytes;
    } cases[] = {
        {"Option3", "", "\r"},
        {"Option4", "", "AFFF\r"},
        {"Option4", "CR0", "AFFFCR0\r"},
        {"Option3", "cr0", "cr0\r"},
        {"Option3", "  C00 ", "  C00 \r"},
    };
    for (const auto& c : cases) {
        Rig r;
        Rig::load(r);
        r.panel.click(c.address);
        r.window.texts["Text1"] = c.typed;
        r.panel.click("Command95");
        EXPECT_EQ(r.serial.written, c.bytes);
        EXPECT_EQ(r.panel.freeCommand, c.typed);
        EXPECT_EQ(r.window.texts["Text1"], c.typed); // not cleared by sending
    }
}

TEST(Service, ATextHoldingAControlCharacterIsNotSent) {
    struct Case {
        std::string typed, said;
    } cases[] = {
        {"CR0\rC01", "(CR at 4)"}, // a second line, unaddressed: POWER OFF to every projector
        {"C00\n", "(LF at 4)"},    // no line end is the box's own
        {"C\x01\x7f", "(\\x01 at 2)"},
        {"C\t00", "(TAB at 2)"},
        {"C00\x7f", "(DEL at 4)"},
    };
    for (const auto& c : cases) {
        Rig r;
        Rig::load(r);
        r.panel.click("Option4");
        r.window.texts["Text1"] = c.typed;
        r.panel.click("Command95");
        EXPECT_EQ(r.serial.written, "");
        ASSERT_EQ(r.window.warnings.size(), 1u);
        EXPECT_NE(r.window.warnings[0].find(c.said), std::string::npos) << r.window.warnings[0];
        EXPECT_EQ(r.window.texts["Text1"], c.typed); // kept, to be mended
    }
}

TEST(Service, SentQueryIsDecodedAndGetsTheLongTimeOut) {
    for (auto [typed, decoded] : {std::pair{"CR0", " Power ON"}, {"cr0", ""}}) {
        Rig r;
        Rig::load(r);
        r.panel.click("Option4");
        r.window.texts["Text1"] = typed;
        r.panel.click("Command95");
        r.serial.receive("00\r");
        EXPECT_EQ(r.label("Label22"), decoded);
        EXPECT_EQ(r.t2.interval(), 2000);
        EXPECT_EQ(r.t4.interval(), 2500);
        r.clock.advance(2499);
        EXPECT_EQ(r.label("Label12"), " 0 0 CR ");
        r.clock.advance(1);
        EXPECT_EQ(r.label("Label12"), "");
    }
}

TEST(Service, ClsEmptiesOnlyTheBox) {
    Rig r;
    Rig::load(r);
    r.window.texts["Text1"] = "C00";
    r.panel.click("Command95");
    r.panel.click("Command96");
    EXPECT_EQ(r.window.texts["Text1"], "");
    EXPECT_EQ(r.label("Label11"), " C 0 0 CR ");
    EXPECT_EQ(r.panel.freeCommand, "C00");
    EXPECT_EQ(r.panel.sendLine, "C00\r");
}
