// SPDX-License-Identifier: MIT
// The port and speed choice, with a serial control that fails on demand.
#include "fakes.hpp"

#include <gtest/gtest.h>

using namespace tova;
using namespace tova::test;

namespace {

struct PortChoice : ::testing::Test {
    Rig r;
    void SetUp() override { Rig::load(r); }
    void showFrame() { r.panel.click("Command33"); }
    // The operator clicks an option: the window marks it and runs its handler.
    void choose(const char* option) {
        r.window.setMarked(option, true);
        r.panel.click(option);
    }
};

} // namespace

TEST_F(PortChoice, OpenPortIsReopenedOnTheChosenPort) {
    struct Case {
        int from;
        const char* option;
        int to;
    } cases[] = {{2, "Option1", 1}, {1, "Option1", 1}, {1, "Option2", 2}, {2, "Option2", 2}};
    for (const auto& c : cases) {
        Rig f;
        Rig::load(f);
        f.serial.setPortOpen(false);
        f.serial.setCommPort(c.from);
        f.serial.setPortOpen(true);
        f.panel.click("Command33");
        f.serial.log.clear();
        f.panel.click(c.option);
        std::vector<std::string> expected{"close", "port " + std::to_string(c.to),
                                          "open " + std::to_string(c.to)};
        EXPECT_EQ(f.serial.log, expected);
        EXPECT_FALSE(f.window.visible("Frame8"));
        EXPECT_TRUE(f.window.warnings.empty());
    }
}

TEST_F(PortChoice, FailureIsReportedAndLeavesTheFrameAndOptions) {
    r.serial.failOpen[2] = {SerialFault::InUse, "Permission error while locking the device"};
    showFrame();
    choose("Option2");
    const std::string said = "COM2 (/fake/com2): in use by another program (Permission error while locking the device)";
    ASSERT_EQ(r.window.warnings, std::vector<std::string>{said + "\nClose the other program that holds it."});
    EXPECT_EQ(r.serial.commPort(), 2); // only once the box is dismissed does it change
    r.window.dismiss();
    EXPECT_EQ(r.serial.commPort(), 1);
    EXPECT_FALSE(r.serial.portOpen());
    EXPECT_TRUE(r.window.visible("Frame8"));
    EXPECT_TRUE(r.window.marked("Option2"));
    // The failure stays with COM2, where it happened, though the port number is 1 now.
    EXPECT_EQ(r.window.tips["Command33"], "COM1: /fake/com1, 19200,N,8,1, closed; last failure: " + said);
}

TEST_F(PortChoice, ClosedPortIsOpenedByTheNextChoice) {
    // COM2 absent, then COM1 chosen: COM1 opens (the port would otherwise stay closed for good).
    r.serial.failOpen[2] = {SerialFault::NoDevice, "No such file or directory"};
    choose("Option2");
    r.window.dismiss();
    r.serial.log.clear();
    choose("Option1");
    EXPECT_TRUE(r.serial.portOpen());
    EXPECT_EQ(r.serial.commPort(), 1);
    EXPECT_EQ(r.serial.log, (std::vector<std::string>{"port 1", "open 1"}));
    EXPECT_FALSE(r.window.visible("Frame8"));
    r.panel.click("Command17");
    EXPECT_EQ(r.serial.written, "C00\r");
}

TEST_F(PortChoice, ClosedPortChoiceThatFailsIsReported) {
    r.serial.setPortOpen(false);
    r.serial.failOpen[1] = {SerialFault::NoPermission, "Permission denied"};
    showFrame();
    choose("Option1");
    EXPECT_EQ(r.window.warnings, std::vector<std::string>{
                                    "COM1 (/fake/com1): no permission to open it (Permission denied)\n"
                                    "Ask for access to the port (on Linux: add the user to the dialout group and log in again)."});
    r.window.dismiss();
    EXPECT_EQ(r.serial.commPort(), 2);
    EXPECT_TRUE(r.window.visible("Frame8"));
}

TEST_F(PortChoice, SpeedAppliesAtOnceWithoutClosingAndHidesTheFrame) {
    for (auto [option, settings] : {std::pair{"Option10", "9600,N,8,1"}, {"Option10", "9600,N,8,1"},
                                    {"Option9", "19200,N,8,1"}}) {
        showFrame();
        r.serial.log.clear();
        choose(option);
        EXPECT_EQ(r.panel.commSettings, settings);
        EXPECT_EQ(r.serial.log, std::vector<std::string>{std::string("settings ") + settings});
        EXPECT_TRUE(r.serial.portOpen());
        EXPECT_FALSE(r.window.visible("Frame8"));
    }
}

TEST_F(PortChoice, RejectedSpeedIsReportedAndKeepsTheOldOne) {
    struct Case {
        const char* inForce;  // the option whose speed is set first
        const char* rejected; // the option the serial control refuses
        const char* settings;
    } cases[] = {{"Option9", "Option10", "19200,N,8,1"}, {"Option10", "Option9", "9600,N,8,1"}};
    for (const auto& c : cases) {
        Rig f;
        Rig::load(f);
        f.window.setMarked(c.inForce, true);
        f.panel.click(c.inForce);
        f.serial.failSettings = "Invalid baud rate value";
        f.panel.click("Command33");
        f.window.setMarked(c.rejected, true);
        f.panel.click(c.rejected);
        EXPECT_EQ(f.window.warnings, std::vector<std::string>{"COM1 (/fake/com1): Invalid baud rate value\n"
                                                                "Check the adapter and its cable, then try again."});
        EXPECT_EQ(f.panel.commSettings, c.settings);
        EXPECT_TRUE(f.window.marked(c.inForce)) << c.inForce;
        EXPECT_FALSE(f.window.marked(c.rejected)) << c.rejected;
        EXPECT_TRUE(f.window.visible("Frame8"));
    }
}

TEST(Settings, TextsParsedAndWrittenAgain) {
    struct Case {
        const char* text;
        std::optional<LineSettings> parsed;
        long long wireUsFor10; // ten characters on the wire
    } cases[] = {
        {"19200,N,8,1", LineSettings{19200, 'N', 8, 10}, 5208},
        {"9600,N,8,1", LineSettings{9600, 'N', 8, 10}, 10416},
        {"9600,e,7,2", LineSettings{9600, 'E', 7, 20}, 11458},
        {"1200,O,5,1.5", LineSettings{1200, 'O', 5, 15}, 70833},
        {"19200,N,8", std::nullopt, 0},
        {"fast,N,8,1", std::nullopt, 0},
        {"19200,X,8,1", std::nullopt, 0},
        {"19200,N,9,1", std::nullopt, 0},
        {"19200,N,4,1", std::nullopt, 0},
        {"50,N,8,1", LineSettings{50, 'N', 8, 10}, 2000000},
        {"49,N,8,1", std::nullopt, 0},
        {"4000000,N,8,1", LineSettings{4000000, 'N', 8, 10}, 25},
        {"4000001,N,8,1", std::nullopt, 0},
        {"19200,N,8,3", std::nullopt, 0},
        {"0,N,8,1", std::nullopt, 0},
        {"", std::nullopt, 0},
    };
    for (const auto& c : cases) {
        const auto s = parseSettings(c.text);
        EXPECT_EQ(s, c.parsed) << c.text;
        if (!s) continue;
        EXPECT_EQ(parseSettings(formatSettings(*s)), s) << c.text;
        EXPECT_EQ(wireTime(10, *s).count(), c.wireUsFor10) << c.text;
    }
    EXPECT_EQ(formatSettings(LineSettings{9600}), "9600,N,8,1");
}

TEST_F(PortChoice, FrameHidesFiveSecondsAfterTheComButton) {
    showFrame();
    EXPECT_TRUE(r.window.visible("Frame8"));
    r.clock.advance(3000);
    showFrame(); // pressed again: the 5 s start over
    r.clock.advance(4999);
    EXPECT_TRUE(r.window.visible("Frame8"));
    r.clock.advance(1);
    EXPECT_FALSE(r.window.visible("Frame8"));
    EXPECT_FALSE(r.t3.enabled());
}

TEST_F(PortChoice, ChoiceDoesNotStopTheAutoHide) {
    showFrame();
    choose("Option9");
    EXPECT_TRUE(r.t3.enabled());
    r.clock.advance(5000);
    EXPECT_FALSE(r.t3.enabled());
    EXPECT_FALSE(r.window.visible("Frame8"));
}

TEST_F(PortChoice, TooltipFollowsEveryChoice) {
    choose("Option10");
    EXPECT_EQ(r.window.tips["Command33"], "COM1: /fake/com1, 9600,N,8,1, open");
    choose("Option2");
    EXPECT_EQ(r.window.tips["Command33"], "COM2: /fake/com2, 9600,N,8,1, open");
}
