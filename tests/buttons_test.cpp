// SPDX-License-Identifier: MIT
// The one-shot buttons: what reaches the line, and the timings some of them set.
#include "fakes.hpp"
#include "tables/command_table.hpp"
#include "tables/hold_table.hpp"
#include "tables/layout_table.hpp"
#include "tables/vocabulary.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <set>

using namespace tova;
using namespace tova::test;

namespace {

// One of the four forms of a code: C and two hex digits, CR and one digit or letter,
// "CF " word, blank, word, and "CR PRESSURE".
bool wellFormed(const std::string& c) {
    auto upperOrDigit = [](char x) { return std::isdigit(static_cast<unsigned char>(x)) || (x >= 'A' && x <= 'Z'); };
    auto hex = [](char x) { return std::isxdigit(static_cast<unsigned char>(x)) && !std::islower(static_cast<unsigned char>(x)); };
    if (c == "CR PRESSURE") return true;
    if (c.size() == 3 && c[0] == 'C' && c[1] == 'R' && upperOrDigit(c[2])) return true;
    if (c.size() == 3 && c[0] == 'C' && hex(c[1]) && hex(c[2])) return true;
    if (c.rfind("CF ", 0) != 0) return false;
    const auto blank = c.find(' ', 3);
    if (blank == std::string::npos || blank == 3 || blank + 1 == c.size()) return false;
    for (std::size_t i = 3; i < c.size(); ++i)
        if (i != blank && !upperOrDigit(c[i]) && !(c[i] == '-' && i > blank)) return false;
    return true;
}

std::string sent(const char* address, const char* button) {
    Rig r;
    Rig::load(r);
    r.panel.click(address);
    r.panel.click(button);
    return r.serial.written;
}

} // namespace

TEST(Buttons, SampleLinesByteExact) {
    struct Case {
        const char* address;
        const char* button;
        std::string bytes;
    } cases[] = {
        {"Option3", "Command17", "C00\r"},
        {"Option4", "Command17", "AFFFC00\r"},
        {"Option8", "Command44", "A004CR0\r"},
        {"Option3", "Command87", "C03\r"},
        {"Option3", "Command89", "CF SHUTLVL NORMAL\r"},
        {"Option4", "Command88", "AFFFCF SHUTLVL ON\r"},
        {"Option3", "Command31", "C0F\r"},
        {"Option8", "Command99", "A004CR PRESSURE\r"},
        {"Option3", "Command63", "CF INPUT1 DIGITAL\r"},
        {"Option6", "Command76", "A002CF INPUT2 S-VIDEO\r"},
        {"Option3", "Command86", "CF INPUT3 SDI1\r"},
        {"Option4", "Command66", "AFFFCF INPUT1 YPBPR\r"},
        {"Option3", "Command75", "CF INPUT2 YCBCR\r"},
        {"Option3", "Command80", "CF INPUT3 ANALOG\r"},
        {"Option3", "Command4", "CF IMAGE STANDPC\r"},
        {"Option3", "Command39", "CF IMAGE STANDAV\r"},
        {"Option3", "Command97", "CF FANSPEED MAX\r"},
        {"Option3", "Command12", "CRA\r"},
        {"Option3", "Command38", "CR9\r"},
        {"Option3", "Command3", "C1E\r"},
        {"Option8", "Command13", "A004C89\r"},
        {"Option3", "Command56", "C70\r"},
        {"Option3", "Command58", "C72\r"},
    };
    for (const auto& c : cases) EXPECT_EQ(sent(c.address, c.button), c.bytes) << c.button;
}

// Every row, under each address: one line of printable ASCII in one of the four code forms.
TEST(Buttons, EveryButtonSendsOneWellFormedLine) {
    const auto& table = commandButtons();
    EXPECT_EQ(table.size(), 65u);
    std::set<std::string_view> names;
    for (const auto& b : table) {
        EXPECT_TRUE(names.insert(b.name).second) << b.name;
        EXPECT_TRUE(wellFormed(b.code)) << b.name << " " << b.code;
        for (auto [option, prefix] : {std::pair{"Option3", ""}, {"Option4", "AFFF"}, {"Option8", "A004"}})
            EXPECT_EQ(sent(option, std::string(b.name).c_str()), prefix + b.code + "\r") << b.name;
    }
    int sources = 0;
    for (const auto& b : table) sources += b.extra == CommandExtra::Source;
    EXPECT_EQ(sources, 24);
}

// The codes tova-send lists: each one-shot button's once, each held button's press, and its
// repeated code too where that differs, marked so.
TEST(Buttons, TheVocabularyHasEveryCodeOnce) {
    const auto words = commandVocabulary();
    auto entries = [&](std::string_view code) {
        return std::count_if(words.begin(), words.end(), [&](const VocabularyEntry& e) { return e.code == code; });
    };
    std::size_t repeated = 0;
    for (const auto& b : holdButtons()) {
        EXPECT_GE(entries(b.pressCode), 1) << b.name;
        if (b.tickCode == b.pressCode) continue;
        ++repeated;
        const auto tick = std::find_if(words.begin(), words.end(), [&](const VocabularyEntry& e) { return e.code == b.tickCode; });
        ASSERT_NE(tick, words.end()) << b.name;
        EXPECT_NE(tick->caption.find("(held, repeated)"), std::string::npos) << tick->caption;
    }
    EXPECT_GT(repeated, 0u);
    EXPECT_EQ(words.size(), commandButtons().size() + holdButtons().size() + repeated);
}

TEST(Buttons, CaptionsAsWritten) {
    const std::pair<const char*, const char*> cases[] = {
        {"Command31", "Nopmal"}, {"Command87", "5"}, {"Command13", "A-PC Adj"},
        {"Command70", "SDI-1"},  {"Command68", "S-VIDEO"}, {"Command99", "PRESSURE"},
        {"Command38", "PC type"}, {"Command12", "SETTING 2"}};
    for (auto [name, caption] : cases) EXPECT_EQ(findLayoutControl(name)->caption, caption);
}

TEST(Buttons, TimingsSetAndCarriedOver) {
    struct Case {
        const char* first;
        int timeOutAt;   // of a STATUS sent afterwards without reply
        int clearAt;
    } cases[] = {
        {"Command17", 500, 1000},  // POWER ON sets nothing
        {"Command10", 2000, 2500}, // REAL
        {"Command4", 2000, 2500},
        {"Command63", 5000, 5500}, // a source
        {"Command86", 5000, 5500},
    };
    for (const auto& c : cases) {
        Rig r;
        Rig::load(r);
        r.panel.click(c.first);
        r.clock.advance(10000);
        r.panel.click("Command44");
        r.clock.advance(c.timeOutAt - 1);
        EXPECT_EQ(r.label("Label12"), "") << c.first;
        r.clock.advance(1);
        EXPECT_EQ(r.label("Label12"), " X X X X") << c.first;
        r.clock.advance(c.clearAt - c.timeOutAt - 1);
        EXPECT_EQ(r.label("Label11"), " C R 0 CR ") << c.first;
        r.clock.advance(1);
        EXPECT_EQ(r.label("Label11"), "") << c.first;
    }
}

TEST(Buttons, TheSourceButtonsOwnLineGetsTheLongTimeOut) {
    Rig r;
    Rig::load(r);
    r.panel.click("Command65");
    r.clock.advance(4999);
    EXPECT_EQ(r.label("Label12"), "");
    r.clock.advance(1);
    EXPECT_EQ(r.label("Label12"), " X X X X");
}

TEST(Buttons, MenuOnAndAPcAdjSetTheMenuTiming) {
    for (const char* b : {"Command23", "Command13"}) {
        Rig r;
        Rig::load(r);
        r.t1.setInterval(105);
        r.panel.click(b);
        EXPECT_EQ(r.t1.interval(), 200) << b;
        EXPECT_EQ(r.panel.adjustMode, AdjustMode::Menu) << b;
        EXPECT_FALSE(r.t1.enabled()) << b;
        r.panel.click("Command24"); // MENU OFF leaves both
        EXPECT_EQ(r.panel.adjustMode, AdjustMode::Menu);
        EXPECT_EQ(r.t1.interval(), 200);
    }
}

TEST(Buttons, EachClickTransmitsEvenTwiceInARow) {
    Rig r;
    Rig::load(r);
    r.panel.click("Command44");
    r.panel.click("Command44");
    EXPECT_EQ(r.serial.written, "CR0\rCR0\r");
    EXPECT_EQ(r.panel.sendLine, "CR0\r");
}
