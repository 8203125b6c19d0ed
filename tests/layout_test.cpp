// SPDX-License-Identifier: MIT
// The tables agree with each other and describe a window that holds together.
#include "fakes.hpp"
#include "panel/panel.hpp"
#include "tables/address_options.hpp"
#include "tables/command_table.hpp"
#include "tables/hold_table.hpp"
#include "tables/layout_table.hpp"

#include <gtest/gtest.h>

#include <map>
#include <set>

using namespace tova;

TEST(Layout, NamesAndTabPositionsAreUnique) {
    std::set<std::string_view> names;
    std::map<int, std::string_view> tabs;
    for (const auto& c : layoutControls()) {
        EXPECT_TRUE(names.insert(c.name).second) << c.name;
        if (c.tab == 0) {
            EXPECT_TRUE(c.kind == Kind::Frame || c.kind == Kind::Picture) << c.name;
            continue;
        }
        auto [it, fresh] = tabs.emplace(c.tab, c.name);
        EXPECT_TRUE(fresh) << c.name << " shares tab " << c.tab << " with " << it->second;
    }
    EXPECT_EQ(tabs.begin()->second, "Command17"); // focused at start
    EXPECT_EQ(std::count_if(layoutControls().begin(), layoutControls().end(),
                            [](const auto& c) { return c.kind == Kind::Frame; }),
              16);
}

TEST(Layout, EveryControlLiesInsideItsContainer) {
    for (const auto& c : layoutControls()) {
        int w = kClientWidth, h = kClientHeight;
        if (!c.container.empty()) {
            const LayoutControl* box = findLayoutControl(c.container);
            ASSERT_NE(box, nullptr) << c.name;
            EXPECT_EQ(box->kind, Kind::Frame) << c.name;
            // Containers come first, so that they exist when their contents are made.
            EXPECT_LT(box - layoutControls().data(), &c - layoutControls().data()) << c.name;
            w = box->width, h = box->height;
        }
        EXPECT_GE(c.left, 0) << c.name;
        EXPECT_GE(c.top, 0) << c.name;
        EXPECT_LE(c.left + c.width, w) << c.name;
        EXPECT_LE(c.top + c.height, h) << c.name;
    }
}

TEST(Layout, ComFrameLiesAboveTheComButton) {
    const auto* frame = findLayoutControl("Frame8");
    const auto* button = findLayoutControl("Command33");
    EXPECT_GT(frame, button); // made later: drawn above
    EXPECT_TRUE(button->left >= frame->left && button->top >= frame->top &&
                button->left + button->width <= frame->left + frame->width &&
                button->top + button->height <= frame->top + frame->height);
}

TEST(Layout, EveryButtonHasABehaviourAndEveryBehaviourAButton) {
    const std::set<std::string_view> own{"Command16", "Command33", "Command34", "Command95",
                                         "Command96"};
    std::set<std::string_view> withBehaviour(own);
    for (const auto& b : commandButtons()) {
        const auto* c = findLayoutControl(b.name);
        ASSERT_NE(c, nullptr) << b.name;
        EXPECT_EQ(c->kind, Kind::Button);
        withBehaviour.insert(b.name);
    }
    for (const auto& b : holdButtons()) {
        const auto* c = findLayoutControl(b.name);
        ASSERT_NE(c, nullptr) << b.name;
        EXPECT_EQ(c->kind, Kind::Button);
        EXPECT_TRUE(withBehaviour.insert(b.name).second) << b.name << " is in both tables";
    }
    for (const auto& a : kAddressOptions) EXPECT_EQ(findLayoutControl(a.name)->kind, Kind::Option);
    for (auto name : ctl::kAll) EXPECT_NE(findLayoutControl(name), nullptr) << name;
    int buttons = 0;
    for (const auto& c : layoutControls()) {
        if (c.kind != Kind::Button) continue;
        ++buttons;
        EXPECT_TRUE(withBehaviour.contains(c.name)) << c.name << " does nothing";
    }
    EXPECT_EQ(buttons, 65 + 19 + 5);
}

TEST(Layout, StartStateOfTheWindow) {
    std::set<std::string_view> hidden, marked;
    for (const auto& c : layoutControls()) {
        if (!c.visible) hidden.insert(c.name);
        if (c.marked) marked.insert(c.name);
    }
    EXPECT_EQ(hidden, (std::set<std::string_view>{"Frame8", "Command34"}));
    EXPECT_EQ(marked, (std::set<std::string_view>{"Option3", "Option9"}));
    EXPECT_EQ(outlineLines().size(), 12u);
}

TEST(Layout, BandsEndWhereTheHeightsCut) {
    // The lowest bottom edge of the controls shown at each height, with the frame of a window.
    struct Band {
        int top, bottom;
    } bands[] = {{0, 4785}, {4785, 6210}, {6210, 6690}, {6690, 8055}, {8055, 8610}};
    int lowest = 0;
    for (const auto& c : layoutControls())
        if (c.container.empty()) lowest = std::max(lowest, c.top + c.height);
    EXPECT_EQ(lowest, bands[4].bottom);
    for (const auto& c : layoutControls()) {
        if (!c.container.empty() || c.name == "Image1") continue;
        const int bottom = c.top + c.height;
        EXPECT_TRUE(bottom <= kCompactHeight || bottom > 4785) << c.name;
    }
}

TEST(Layout, AMisspeltControlNameFailsLoudly) {
    test::FakeWindow panel;
    EXPECT_THROW(panel.caption("Lable11"), std::logic_error);
    EXPECT_THROW(panel.setVisible("Frame88", true), std::logic_error);
    EXPECT_NO_THROW(panel.caption(ctl::SentTraffic));
}
