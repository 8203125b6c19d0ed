// SPDX-License-Identifier: MIT
// Where COM1 and COM2 lead: the ports this computer has, offered in the box when a port does not
// open and in COM's context menu, and a choice kept for the next start.
#include "fakes.hpp"

#include <gtest/gtest.h>

using namespace tova;
using namespace tova::test;

namespace {

struct PortList : ::testing::Test {
    Rig r;
    std::vector<SerialPortInfo> ports{{"COM5", "USB Serial Port"}, {"COM7", ""}};
    std::vector<std::pair<int, std::string>> kept;
    bool keeps = true;
    void SetUp() override {
        r.panel.setPortChoices({[this] { return ports; },
                                [this](int port, const std::string& device) {
                                    if (keeps) kept.emplace_back(port, device);
                                    return keeps;
                                }});
    }
    // COM1 does not open at start-up.
    void startWithoutCom1() {
        r.serial.failOpen[1] = {SerialFault::NoDevice, "No such file or directory"};
        r.panel.startUp();
        r.serial.log.clear();
    }
    std::string tip() { return r.window.tips["Command33"]; }
};

const std::string kNoCom1 = "COM1 (/fake/com1): no such device (No such file or directory)\n"
                            "Plug in the adapter, or choose the port it has (right-click COM).";

} // namespace

TEST_F(PortList, TheBoxOffersTheFirstPortAndYesLeadsThere) {
    startWithoutCom1();
    ASSERT_EQ(r.window.warnings, std::vector<std::string>{kNoCom1 + "\nThis computer has COM5 (USB Serial Port). Use it as COM1?"});
    EXPECT_EQ(r.serial.commPort(), 1); // nothing changes until it is answered
    r.window.answer(true);
    EXPECT_EQ(r.serial.log, (std::vector<std::string>{"lead 1 COM5", "port 1", "open 1"}));
    EXPECT_TRUE(r.serial.portOpen());
    EXPECT_TRUE(r.window.marked("Option1"));
    EXPECT_FALSE(r.window.visible("Frame8"));
    EXPECT_EQ(kept, (std::vector<std::pair<int, std::string>>{{1, "COM5"}}));
    EXPECT_EQ(tip(), "COM1: COM5, 19200,N,8,1, open");
    r.panel.click("Command17");
    EXPECT_EQ(r.serial.written, "C00\r");
}

TEST_F(PortList, NoLeavesEverythingAsAFailureAlwaysHas) {
    startWithoutCom1();
    r.window.answer(false);
    // As a panel with no port to offer is after its box is dismissed.
    Rig plain;
    plain.serial.failOpen[1] = {SerialFault::NoDevice, "No such file or directory"};
    plain.panel.startUp();
    plain.serial.log.clear();
    plain.window.dismiss();
    EXPECT_EQ(r.serial.log, plain.serial.log);
    EXPECT_EQ(r.serial.commPort(), 2);
    EXPECT_FALSE(r.serial.portOpen());
    EXPECT_EQ(r.window.hidden, plain.window.hidden);
    EXPECT_EQ(r.window.markedOptions, plain.window.markedOptions);
    EXPECT_TRUE(r.window.marked("Option1"));
    EXPECT_EQ(r.window.tips, plain.window.tips);
    EXPECT_TRUE(kept.empty());
}

TEST_F(PortList, WithNothingToOfferTheBoxHasItsOneOk) {
    struct Case {
        std::vector<SerialPortInfo> ports;
    } cases[] = {{{}}, {{{"/fake/com1", ""}, {"/fake/com2", "the other COM"}}}};
    for (const auto& c : cases) {
        Rig f;
        std::vector<SerialPortInfo> list = c.ports;
        f.panel.setPortChoices({[&] { return list; }, {}});
        f.serial.failOpen[1] = {SerialFault::NoDevice, "No such file or directory"};
        f.panel.startUp();
        EXPECT_EQ(f.window.warnings, std::vector<std::string>{kNoCom1});
        EXPECT_EQ(f.window.pendingAnswer.size(), 0u);
        EXPECT_EQ(f.window.pendingDismiss.size(), 1u);
    }
}

TEST_F(PortList, AnOfferedPortThatFailsTooIsToldAndOffersTheNext) {
    r.serial.failDevice["COM5"] = {SerialFault::InUse, "Device or resource busy"};
    startWithoutCom1();
    r.window.answer(true);
    ASSERT_EQ(r.window.warnings.size(), 2u);
    EXPECT_EQ(r.window.warnings[1], "COM1 (COM5): in use by another program (Device or resource busy)\n"
                                    "Close the other program that holds it.\n"
                                    "This computer has COM7. Use it as COM1?");
    r.window.answer(false);
    EXPECT_EQ(r.serial.commPort(), 2);
    EXPECT_EQ(r.serial.devicePath(1), "COM5"); // led there, and kept, though it did not open
}

TEST_F(PortList, TheContextMenuLeadsEitherPortAndOtherAsksForANameOfItsOwn) {
    Rig::load(r);
    r.panel.contextMenu("Command17"); // no menu of its own
    EXPECT_TRUE(r.window.menu.empty());
    r.panel.contextMenu("Command33");
    ASSERT_EQ(r.window.menu.size(), 2u);
    EXPECT_EQ(r.window.menu[0].text, "COM1 leads to");
    std::vector<std::string> texts;
    for (const auto& e : r.window.menu[1].entries) texts.push_back(e.text + (e.checked ? " *" : ""));
    EXPECT_EQ(texts, (std::vector<std::string>{"/fake/com2 *", "COM5 (USB Serial Port)", "COM7", "Other..."}));
    ASSERT_TRUE(r.window.choose({"COM2 leads to", "COM7"}));
    EXPECT_EQ(r.serial.devicePath(2), "COM7");
    EXPECT_EQ(r.serial.commPort(), 2);
    EXPECT_TRUE(r.serial.portOpen());
    EXPECT_TRUE(r.window.marked("Option2"));
    EXPECT_EQ(kept, (std::vector<std::pair<int, std::string>>{{2, "COM7"}}));

    struct Case {
        std::optional<std::string> typed;
        std::string leads;  // where COM1 leads after it
        std::string warned; // a word of the warning, if one
    } cases[] = {
        {std::nullopt, "/fake/com1", ""},
        {"   ", "/fake/com1", "COM1: no device was given"},
        {"tcp://projector-hall", "/fake/com1", "COM1: tcp://projector-hall: a device server is tcp://HOST:PORT"},
        {" /test/adapter-acm ", "/test/adapter-acm", ""},
        {"tcp://10.0.0.9:4001", "tcp://10.0.0.9:4001", ""},
    };
    for (const auto& c : cases) {
        Rig f;
        Rig::load(f);
        f.panel.setPortChoices({[] { return std::vector<SerialPortInfo>{}; }, {}});
        f.panel.contextMenu("Command33");
        ASSERT_TRUE(f.window.choose({"COM1 leads to", "Other..."}));
        EXPECT_EQ(f.window.promptInitial, "/fake/com1");
        f.window.type(c.typed);
        EXPECT_EQ(f.serial.devicePath(1), c.leads) << c.typed.value_or("(cancelled)");
        if (c.warned.empty()) {
            EXPECT_TRUE(f.window.warnings.empty());
        } else {
            ASSERT_EQ(f.window.warnings.size(), 1u);
            EXPECT_NE(f.window.warnings[0].find(c.warned), std::string::npos) << f.window.warnings[0];
        }
    }
}

TEST_F(PortList, AChoiceThatCannotBeKeptIsUsedAndSaidSo) {
    keeps = false;
    Rig::load(r);
    r.panel.contextMenu("Command33");
    ASSERT_TRUE(r.window.choose({"COM1 leads to", "COM5 (USB Serial Port)"}));
    EXPECT_EQ(r.serial.devicePath(1), "COM5");
    EXPECT_TRUE(r.serial.portOpen());
    EXPECT_EQ(r.window.warnings, std::vector<std::string>{"COM1 leads to COM5 until the panel ends: the choice could not be kept."});
}
