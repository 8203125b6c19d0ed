// SPDX-License-Identifier: MIT
// Start-up, END and the choice of port and speed.
#include "fakes.hpp"

#include <gtest/gtest.h>

using namespace tova;
using namespace tova::test;

TEST(Startup, LeavesTheDocumentedState) {
    Rig r;
    r.panel.startUp();
    EXPECT_TRUE(r.serial.portOpen());
    EXPECT_EQ(r.serial.commPort(), 1);
    EXPECT_EQ(formatSettings(r.serial.settings()), "19200,N,8,1");
    EXPECT_EQ(r.panel.commSettings, "19200,N,8,1");
    EXPECT_TRUE(r.window.marked("Option1"));
    EXPECT_TRUE(r.window.marked("Option3"));
    EXPECT_TRUE(r.window.marked("Option9"));
    EXPECT_FALSE(r.window.visible("Frame8"));
    EXPECT_EQ(r.panel.sendLine, "");
    EXPECT_EQ(r.panel.rxBuffer, "");
    EXPECT_EQ(r.panel.addressPrefix, "");
    EXPECT_EQ(r.panel.repeatCode, 0);
    EXPECT_FALSE(r.panel.awaitingReply);
    EXPECT_EQ(r.serial.written, "");
    EXPECT_TRUE(r.window.warnings.empty());
    for (auto* t : {&r.t1, &r.t2, &r.t3, &r.t4}) EXPECT_FALSE(t->enabled());
    EXPECT_EQ(r.t1.interval(), 200);
    EXPECT_EQ(r.t2.interval(), 500);
    EXPECT_EQ(r.t3.interval(), 5000);
    EXPECT_EQ(r.t4.interval(), 1000);
    // Opened once: the COM1 choice that marking COM1 raises would only close and reopen it.
    std::vector<std::string> expected{"port 1", "settings 19200,N,8,1", "open 1"};
    EXPECT_EQ(r.serial.log, expected);
    EXPECT_EQ(r.window.tips["Command33"], "COM1: /fake/com1, 19200,N,8,1, open");
}

TEST(Startup, CentresForTheLaidOutSizeThenShrinks) {
    Rig r;
    r.panel.startUp();
    EXPECT_DOUBLE_EQ(r.window.left, (28800 - 9495) / 2.0);
    EXPECT_DOUBLE_EQ(r.window.top, (16200 - 8730) / 2.0);
    EXPECT_EQ(r.window.outerHeight, 5350);
}

TEST(Startup, PortThatCannotBeOpenedIsReportedOnce) {
    Rig r;
    r.serial.failOpen[1] = {SerialFault::NoDevice, "No such file or directory"};
    r.panel.startUp();
    ASSERT_EQ(r.window.warnings.size(), 1u);
    EXPECT_EQ(r.window.warnings[0], "COM1 (/fake/com1): no such device (No such file or directory)\n"
                                    "Plug in the adapter, or choose the port it has (right-click COM).");
    // Tried once: a device that does not answer holds the start-up up once, not twice.
    EXPECT_EQ(r.serial.log, (std::vector<std::string>{"port 1", "settings 19200,N,8,1", "open 1 failed"}));
    r.window.dismiss();
    EXPECT_FALSE(r.serial.portOpen());
    EXPECT_EQ(r.serial.commPort(), 2); // the other port, ready for the operator
    r.panel.click("Command17");           // the panel goes on working
    EXPECT_EQ(r.window.warnings.size(), 2u);
}

TEST(Startup, EndClosesThePortAndEnds) {
    for (bool open : {true, false}) {
        Rig r;
        Rig::load(r);
        if (!open) r.serial.setPortOpen(false);
        r.panel.click("Command16");
        EXPECT_FALSE(r.serial.portOpen());
        EXPECT_TRUE(r.window.ended);
    }
}
