// SPDX-License-Identifier: MIT
#pragma once
// Every command code the panel can send, with its panel group and caption: for listings, and
// for what a code is (a query, a command, an input change) wherever a code arrives without its
// button: its reply time-out and the reply it may get.
#include "link/exchange_queue.hpp"
#include "link/reply_rule.hpp"

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

// True for a code that switches the input (a source or an INPUT MODE SET button): projectors
// acknowledge it only after switching, long after an ordinary reply.
bool switchesInput(std::string_view code);

// A line's reply time-out: an input change's, a query's or the ordinary one, and at least
// atLeastMs (a script's tool may wait longer than the panel).
int replyTimeoutFor(std::string_view code, int atLeastMs = 0);

// The request for one line to the exchange engine: the line framed from its address and code,
// the code's reply time-out (at least atLeastMs) and the reply it may get.
Request requestFor(std::string_view prefix, std::string_view code, int atLeastMs = 0);

// What the code's reply may be: a query's data, a command's acknowledgement (a code of the
// panel's buttons), or anything (a code typed freely).
Expect expectFor(std::string_view code);

} // namespace tova
