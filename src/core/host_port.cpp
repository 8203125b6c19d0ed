// SPDX-License-Identifier: MIT
#include "core/host_port.hpp"

#include <charconv>

namespace tova {

std::optional<HostPort> parseHostPort(std::string_view text) {
    const std::size_t colon = text.rfind(':');
    if (colon == std::string_view::npos || colon == 0) return std::nullopt;
    std::string_view host = text.substr(0, colon), port = text.substr(colon + 1);
    if (host.front() == '[') {
        if (host.size() < 3 || host.back() != ']') return std::nullopt;
        host = host.substr(1, host.size() - 2);
    } else if (host.find(':') != std::string_view::npos) {
        return std::nullopt; // an IPv6 host is written in brackets
    }
    HostPort hp{std::string(host), 0};
    auto [end, ec] = std::from_chars(port.data(), port.data() + port.size(), hp.port);
    if (port.empty() || ec != std::errc{} || end != port.data() + port.size() || hp.port < 0 || hp.port > 65535)
        return std::nullopt;
    return hp;
}

std::string formatHostPort(const HostPort& hp) {
    const bool v6 = hp.host.find(':') != std::string::npos;
    return (v6 ? "[" + hp.host + "]" : hp.host) + ":" + std::to_string(hp.port);
}

} // namespace tova
