// SPDX-License-Identifier: MIT
#include "core/host_port.hpp"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <vector>

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

// An IPv6 address's eight groups (a zone taken off), or nullopt when it is none.
std::optional<std::array<std::uint16_t, 8>> ipv6Groups(std::string_view s) {
    if (const std::size_t zone = s.find('%'); zone != std::string_view::npos) {
        if (zone + 1 == s.size()) return std::nullopt;
        s = s.substr(0, zone);
    }
    const std::size_t gap = s.find("::");
    if (gap != std::string_view::npos && s.find("::", gap + 1) != std::string_view::npos) return std::nullopt;
    // Each half's groups in order; a dotted IPv4 tail is two groups.
    auto read = [](std::string_view half, std::vector<std::uint16_t>& out, bool last) {
        if (half.empty()) return true;
        for (;;) {
            const std::size_t colon = half.find(':');
            const std::string_view g = half.substr(0, colon);
            if (last && colon == std::string_view::npos && g.find('.') != std::string_view::npos) {
                if (!ipv4(g)) return false;
                unsigned b[4] = {};
                std::size_t at = 0;
                for (unsigned& v : b) {
                    const std::size_t dot = g.find('.', at);
                    std::from_chars(g.data() + at, g.data() + (dot == std::string_view::npos ? g.size() : dot), v);
                    at = dot + 1;
                }
                out.push_back(std::uint16_t(b[0] << 8 | b[1]));
                out.push_back(std::uint16_t(b[2] << 8 | b[3]));
                return true;
            }
            if (!hexGroup(g)) return false;
            unsigned v = 0;
            std::from_chars(g.data(), g.data() + g.size(), v, 16);
            out.push_back(std::uint16_t(v));
            if (colon == std::string_view::npos) return true;
            half.remove_prefix(colon + 1);
        }
    };
    std::vector<std::uint16_t> head, tail;
    if (gap == std::string_view::npos) {
        if (!read(s, head, true) || head.size() != 8) return std::nullopt;
    } else if (!read(s.substr(0, gap), head, false) || !read(s.substr(gap + 2), tail, true) || head.size() + tail.size() >= 8) {
        return std::nullopt;
    }
    std::array<std::uint16_t, 8> groups{};
    std::copy(head.begin(), head.end(), groups.begin());
    std::copy(tail.begin(), tail.end(), groups.end() - std::ptrdiff_t(tail.size()));
    return groups;
}

bool ipv6(std::string_view s) { return ipv6Groups(s).has_value(); }

} // namespace

bool isAddressLiteral(std::string_view host) { return ipv4(host) || (host.find(':') != std::string_view::npos && ipv6(host)); }

bool isLoopbackAddress(std::string_view a) {
    if (ipv4(a)) return a.starts_with("127.");
    if (!ipv6(a)) return false;
    // ::1 however it is written: every group zero but the last, which is 1 (and there: "::"
    // ends in no group at all).
    const std::size_t last = a.rfind(':');
    const std::string_view group = a.substr(last + 1);
    return !group.empty() && group.find_first_not_of('0') == group.size() - 1 && group.back() == '1' &&
           a.substr(0, last).find_first_not_of("0:") == std::string_view::npos;
}

std::string addressGroup(const std::string& address) {
    const auto groups = ipv6Groups(address);
    // Global unicast (2000::/3) only: what a host is given is a /64 at least.
    if (!groups || ((*groups)[0] & 0xe000) != 0x2000) return address;
    char text[48];
    std::snprintf(text, sizeof text, "%x:%x:%x:%x::/64", (*groups)[0], (*groups)[1], (*groups)[2], (*groups)[3]);
    return text;
}

std::optional<std::string> deviceServerProblem(std::string_view device) {
    constexpr std::string_view scheme = "tcp://";
    if (device.size() < scheme.size()) return std::nullopt;
    for (std::size_t i = 0; i < scheme.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(device[i])) != scheme[i]) return std::nullopt;
    const auto hp = parseHostPort(device.substr(scheme.size()));
    if (hp && !hp->host.empty() && hp->port > 0) return std::nullopt;
    return std::string(device) + ": a device server is tcp://HOST:PORT, the port a number from 1 to 65535 (IPv6 in brackets)";
}

std::string formatHostPort(const HostPort& hp) {
    const bool v6 = hp.host.find(':') != std::string::npos;
    return (v6 ? "[" + hp.host + "]" : hp.host) + ":" + std::to_string(hp.port);
}

} // namespace tova
