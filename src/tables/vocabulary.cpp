// SPDX-License-Identifier: MIT
#include "tables/vocabulary.hpp"

#include "tables/command_table.hpp"
#include "tables/hold_table.hpp"
#include "tables/layout_table.hpp"

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

} // namespace tova
