// SPDX-License-Identifier: MIT
#include "link/reply_rule.hpp"

#include "link/query_table.hpp"
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

bool fits(const Reply& reply, std::string_view bytes, const Expect& expect) {
    switch (reply.kind) {
    case ReplyKind::Incomplete: return false;
    case ReplyKind::Refused:
    case ReplyKind::Acknowledged:
    case ReplyKind::NoData: return true;
    case ReplyKind::Answered: break;
    }
    if (expect.kind == Expect::Anything) return true;
    if (expect.kind == Expect::Acknowledgement || !expect.query) return false;
    return hasForm(expect.query->form, bytes.substr(0, reply.length - 1)); // without its CR
}

} // namespace tova
