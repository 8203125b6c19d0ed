// SPDX-License-Identifier: MIT
#pragma once
// Every command code the panel can send, with its panel group and caption: for listings and
// tooltips.
#include <string>
#include <string_view>
#include <vector>

namespace tova {

struct VocabularyEntry {
    std::string code;
    std::string_view group;
    std::string caption; // the button's caption; a held button's repeated code is marked so
};

// A button as listings and tooltips name it: its group and caption, a held button marked so
// ("VOL + (held)"); empty for a name that is no button.
std::string describeButton(std::string_view name);

// One-shot buttons in table order, then the held buttons (a repeat that differs from its
// press is listed after it).
std::vector<VocabularyEntry> commandVocabulary();
// The same as lines of text: code, group and caption, tab-separated (tova-send --list).
std::string commandListing();

} // namespace tova
