// SPDX-License-Identifier: MIT
#pragma once
// Every command code the panel can send, with its panel group and caption: for listings, and
// for what a code is (a query, an input change) wherever a code arrives without its button.
#include <string>
#include <string_view>
#include <vector>

namespace tova {

struct VocabularyEntry {
    std::string code;
    std::string_view group;
    std::string caption; // the button's caption; a held button's repeated code is marked so
};

// One-shot buttons in table order, then the held buttons (a repeat that differs from its
// press is listed after it).
std::vector<VocabularyEntry> commandVocabulary();

// True for a code that switches the input (a source or an INPUT MODE SET button): projectors
// acknowledge it only after switching, long after an ordinary reply.
bool switchesInput(std::string_view code);

} // namespace tova
