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

namespace {

bool ipv4(std::string_view s) {
    int parts = 0;
    for (;;) {
        const std::size_t dot = s.find('.');
        const std::string_view part = s.substr(0, dot);
        int n = 0;
        auto [end, ec] = std::from_chars(part.data(), part.data() + part.size(), n);
        if (part.empty() || part.size() > 3 || ec != std::errc{} || end != part.data() + part.size() || n > 255) return false;
        ++parts;
        if (dot == std::string_view::npos) return parts == 4;
        s.remove_prefix(dot + 1);
    }
}

bool hexGroup(std::string_view g) {
    return !g.empty() && g.size() <= 4 && g.find_first_not_of("0123456789abcdefABCDEF") == std::string_view::npos;
}

bool ipv6(std::string_view s) {
    if (const std::size_t zone = s.find('%'); zone != std::string_view::npos) {
        if (zone + 1 == s.size()) return false;
        s = s.substr(0, zone);
    }
    const std::size_t gap = s.find("::");
    if (gap != std::string_view::npos && s.find("::", gap + 1) != std::string_view::npos) return false;
    int groups = 0;
    bool tailV4 = false;
    auto count = [&](std::string_view half) {
        if (half.empty()) return true;
        for (;;) {
            const std::size_t colon = half.find(':');
            const std::string_view g = half.substr(0, colon);
            if (colon == std::string_view::npos && g.find('.') != std::string_view::npos) {
                if (!ipv4(g)) return false;
                groups += 2;
                tailV4 = true;
                return true;
            }
            if (!hexGroup(g)) return false;
            ++groups;
            if (colon == std::string_view::npos) return true;
            half.remove_prefix(colon + 1);
        }
    };
    if (gap == std::string_view::npos) return count(s) && groups == 8;
    const std::string_view head = s.substr(0, gap), tail = s.substr(gap + 2);
    if (!count(head)) return false;
    if (tailV4 && !head.empty()) return false;
    return count(tail) && groups < 8;
}

} // namespace

bool isAddressLiteral(std::string_view host) { return ipv4(host) || (host.find(':') != std::string_view::npos && ipv6(host)); }

bool isLoopbackAddress(std::string_view a) {
    if (ipv4(a)) return a.starts_with("127.");
    if (!ipv6(a)) return false;
    // ::1 however it is written: every group zero but the last, which is 1.
    const std::size_t last = a.rfind(':');
    const std::string_view group = a.substr(last + 1);
    return group.find_first_not_of('0') == group.size() - 1 && group.back() == '1' &&
           a.substr(0, last).find_first_not_of("0:") == std::string_view::npos;
}

std::string formatHostPort(const HostPort& hp) {
    const bool v6 = hp.host.find(':') != std::string::npos;
    return (v6 ? "[" + hp.host + "]" : hp.host) + ":" + std::to_string(hp.port);
}

} // namespace tova
