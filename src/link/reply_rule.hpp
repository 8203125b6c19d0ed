// SPDX-License-Identifier: MIT
#pragma once
// When a reply on the line is complete, and what it says. Used by tova-send, the bridge and
// the tests alike: complete at a leading ACK, a leading NAK or the first CR; a refusal when it
// begins with NAK or with "ERR" (the virtual projector's form); anything else is an answer. A
// bare ACK to a query is an answer without data: each front says what that means to its users.
#include <cstddef>
#include <string_view>

namespace tova {

struct Query;

enum class ReplyKind { Incomplete, Acknowledged, Refused, Answered, NoData };

struct Reply {
    ReplyKind kind = ReplyKind::Incomplete;
    std::size_t length = 0; // bytes of the received text that make up the reply; 0 if incomplete
};

// What a line's reply may be: a query's data, a command's acknowledgement, or, for a line that
// is in no table (typed freely), anything.
struct Expect {
    enum Kind { Anything, Acknowledgement, Data } kind = Anything;
    const Query* query = nullptr; // the query, for Data
};

Reply readReply(std::string_view received, const Expect& expect = {});

// True when a complete reply has a form its line accepts: a refusal always; a bare ACK to a
// command or a query (then an answer without data); a query's data in the query table's form; a
// line in no table takes any reply. Anything else answers another line: a stray.
bool fits(const Reply& reply, std::string_view bytes, const Expect& expect);

} // namespace tova
