// SPDX-License-Identifier: MIT
#include "bridge/listener_option.hpp"

#include <charconv>

namespace tova::bridge {

std::variant<ListenerOption, std::string> parseListenerOption(std::string_view text, bool extras) {
    ListenerOption s;
    // The extras: ",name=" and ",inputs=" start them; a value runs to the next one (an inputs
    // list may hold commas itself, a name blanks).
    std::string_view rest;
    auto extra = [&](std::string_view from) {
        std::size_t at = std::string_view::npos;
        for (std::string_view key : {",name=", ",inputs="}) at = std::min(at, from.find(key));
        return at;
    };
    if (const std::size_t at = extra(text); at != std::string_view::npos) {
        rest = text.substr(at);
        text = text.substr(0, at);
    }
    if (const std::size_t slash = text.find('/'); slash != std::string_view::npos) {
        const std::string_view address = text.substr(slash + 1);
        if (address.size() != 3 || address.substr(0, 2) != "00" || address[2] < '1' || address[2] > '4')
            return std::string("the projector address is /001 to /004");
        s.prefix = "A" + std::string(address);
        text = text.substr(0, slash);
    }
    const std::size_t colon = text.rfind(':');
    if (colon == std::string_view::npos || colon == 0) return std::string("HOST:PORT is needed");
    std::string_view host = text.substr(0, colon), port = text.substr(colon + 1);
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']') host = host.substr(1, host.size() - 2);
    s.host = host;
    auto [end, ec] = std::from_chars(port.data(), port.data() + port.size(), s.port);
    if (ec != std::errc{} || end != port.data() + port.size() || s.port < 0 || s.port > 65535)
        return std::string("the port is a number from 0 to 65535");
    if (!extras && (!s.prefix.empty() || !rest.empty())) return std::string("only HOST:PORT is taken here");
    while (!rest.empty()) {
        rest.remove_prefix(1); // the comma
        const std::size_t eq = rest.find('=');
        const std::string_view key = rest.substr(0, eq);
        rest.remove_prefix(eq + 1);
        const std::size_t next = extra(rest);
        const std::string_view value = rest.substr(0, next);
        rest = next == std::string_view::npos ? std::string_view() : rest.substr(next);
        if (key == "name") {
            if (value.empty() || value.size() > 64) return std::string("name= takes 1 to 64 characters");
            s.name = std::string(value);
        } else if (auto in = parseInputs(value)) {
            s.inputs = in;
        } else {
            return std::string("inputs= takes five PJLink inputs, such as 11,12,13,14,15");
        }
    }
    return s;
}

} // namespace tova::bridge
