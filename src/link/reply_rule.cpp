// SPDX-License-Identifier: MIT
#include "link/reply_rule.hpp"

#include "link/traffic.hpp"

namespace tova {

Reply readReply(std::string_view received, const Expect& expect) {
    if (received.empty()) return {};
    if (received.front() == kAck)
        return {expect.kind == Expect::Data ? ReplyKind::NoData : ReplyKind::Acknowledged, 1};
    if (received.front() == kNak) return {ReplyKind::Refused, 1};
    const auto cr = received.find(kCR);
    if (cr == std::string_view::npos) return {};
    const bool refused = received.substr(0, 3) == "ERR";
    return {refused ? ReplyKind::Refused : ReplyKind::Answered, cr + 1};
}

} // namespace tova
