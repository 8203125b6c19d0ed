// SPDX-License-Identifier: MIT
#include "bridge/listener_option.hpp"

#include "link/address.hpp"

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
        const auto projector = projectorNumber(text.substr(slash + 1));
        if (!projector) return std::string("the projector address is /001 to /004");
        s.prefix = prefixFor(*projector);
        text = text.substr(0, slash);
    }
    const auto where = parseHostPort(text);
    if (!where) return std::string("HOST:PORT is needed, the port a number from 0 to 65535");
    s.host = where->host;
    s.port = where->port;
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
            if (!validName(value)) return std::string(kNameRule);
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
