// SPDX-License-Identifier: MIT
#pragma once
// When a reply on the line is complete, and what it says. Used by the panel's tools, the bridge
// and the tests alike: complete at a leading ACK, a leading NAK or the first CR; a refusal when
// it begins with NAK or with "ERR" (the virtual projector's form); anything else is an answer.
#include <cstddef>
#include <string_view>

namespace tova {

enum class ReplyKind { Incomplete, Acknowledged, Refused, Answered };

struct Reply {
    ReplyKind kind = ReplyKind::Incomplete;
    std::size_t length = 0; // bytes of the received text that make up the reply; 0 if incomplete
};

Reply readReply(std::string_view received);

} // namespace tova
