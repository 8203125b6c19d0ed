// SPDX-License-Identifier: MIT
#pragma once
// What a --pjlink or --share option names: HOST:PORT (an IPv6 host in brackets), and for a
// PJLink listener a projector address /001 to /004 and its own name= and inputs=.
#include "bridge/pjlink_answers.hpp"
#include "core/host_port.hpp"

#include <optional>
#include <string>
#include <variant>

namespace tova::bridge {

struct ListenerOption {
    std::string host;   // as given, without brackets
    int port = 0;
    std::string prefix; // "" (no address) or "A001".."A004"
    std::optional<std::string> name;
    std::optional<Inputs> inputs;
};

// The option, or what is wrong with it. Extras (/ADDRESS, name=, inputs=) only when allowed.
std::variant<ListenerOption, std::string> parseListenerOption(std::string_view text, bool extras);

} // namespace tova::bridge
