// SPDX-License-Identifier: MIT
#pragma once
// What a code is, wherever it arrives without its button (a query, a command, an input change),
// and the request the exchange engine is given for a line of it: its reply time-out and the
// reply it may get, from the command and query tables.
#include "link/exchange_queue.hpp"
#include "link/reply_rule.hpp"

#include <string_view>

namespace tova {

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
