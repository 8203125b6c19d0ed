// SPDX-License-Identifier: MIT
#include "tables/vocabulary.hpp"

#include "link/line_limits.hpp"
#include "link/query_table.hpp"
#include "link/traffic.hpp"
#include "tables/command_table.hpp"
#include "tables/controls.hpp"
#include "tables/hold_table.hpp"
#include "tables/layout_table.hpp"

#include <algorithm>

namespace tova {

namespace {
constexpr std::string_view kHeld = " (held)";
std::string captionOf(std::string_view name) {
    const LayoutControl* c = findLayoutControl(name);
    return c ? std::string(c->caption) : std::string();
}
} // namespace

std::string describeButton(std::string_view name) {
    if (const CommandButton* b = findCommandButton(name)) return std::string(b->group) + " " + captionOf(name);
    if (const HoldButton* b = findHoldButton(name)) return std::string(b->group) + " " + captionOf(name) + std::string(kHeld);
    return {};
}

std::vector<VocabularyEntry> commandVocabulary() {
    std::vector<VocabularyEntry> out;
    for (const auto& b : commandButtons()) out.push_back({b.code, b.group, captionOf(b.name)});
    for (const auto& b : holdButtons()) {
        out.push_back({std::string(b.pressCode), b.group, captionOf(b.name) + std::string(kHeld)});
        if (b.tickCode != b.pressCode)
            out.push_back({std::string(b.tickCode), b.group, captionOf(b.name) + " (held, repeated)"});
    }
    return out;
}

std::string commandListing() {
    std::string out;
    for (const auto& e : commandVocabulary()) out += e.code + "\t" + std::string(e.group) + "\t" + e.caption + "\n";
    return out;
}

bool switchesInput(std::string_view code) {
    if (const auto& t = commandButtons(); std::any_of(t.begin(), t.end(), [&](const CommandButton& b) {
            return b.extra == CommandExtra::Source && b.code == code;
        }))
        return true;
    return std::any_of(ctl::InputModeSet.begin(), ctl::InputModeSet.end(),
                       [&](std::string_view c) { return code == codeOf(c); });
}

int replyTimeoutFor(std::string_view code, int atLeastMs) {
    int ms = kReplyTimeoutMs;
    if (switchesInput(code)) ms = kInputChangeTimeoutMs;
    else if (const Query* q = findQuery(code)) ms = q->timeoutMs;
    return std::max(ms, atLeastMs);
}

Request requestFor(std::string_view prefix, std::string_view code, int atLeastMs) {
    return {frameLine(prefix, code), replyTimeoutFor(code, atLeastMs), expectFor(code)};
}

Expect expectFor(std::string_view code) {
    if (const Query* q = findQuery(code)) return {Expect::Data, q};
    const auto& commands = commandButtons();
    const auto held = holdButtons();
    const bool command =
        std::any_of(commands.begin(), commands.end(), [&](const CommandButton& b) { return b.code == code; }) ||
        std::any_of(held.begin(), held.end(),
                    [&](const HoldButton& b) { return b.pressCode == code || b.tickCode == code; });
    return {command ? Expect::Acknowledgement : Expect::Anything, nullptr};
}

} // namespace tova
