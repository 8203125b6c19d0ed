// SPDX-License-Identifier: MIT
#include "tables/line_requests.hpp"

#include "link/query_table.hpp"
#include "link/traffic.hpp"
#include "tables/command_table.hpp"
#include "tables/controls.hpp"
#include "tables/hold_table.hpp"

#include <algorithm>

namespace tova {

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
    Request r{frameLine(prefix, code), replyTimeoutFor(code, atLeastMs), expectFor(code)};
    r.target = std::string(prefix);
    return r;
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
