// SPDX-License-Identifier: MIT
#include "core/settings.hpp"

#include <charconv>
#include <vector>

namespace tova {
namespace {

std::vector<std::string_view> split(std::string_view text) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    for (;;) {
        auto comma = text.find(',', start);
        parts.push_back(text.substr(start, comma - start));
        if (comma == std::string_view::npos) return parts;
        start = comma + 1;
    }
}

std::optional<int> number(std::string_view s) {
    int v = 0;
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec != std::errc{} || end != s.data() + s.size() || s.empty()) return std::nullopt;
    return v;
}

} // namespace

std::optional<LineSettings> parseSettings(std::string_view text) {
    auto parts = split(text);
    if (parts.size() != 4) return std::nullopt;
    LineSettings s;
    auto baud = number(parts[0]);
    auto bits = number(parts[2]);
    if (!baud || *baud < 50 || *baud > 4000000 || !bits || *bits < 5 || *bits > 8)
        return std::nullopt;
    if (parts[1].size() != 1 || std::string_view("NEOMSneoms").find(parts[1][0]) == std::string_view::npos)
        return std::nullopt;
    s.baud = *baud;
    s.parity = static_cast<char>(parts[1][0] & ~0x20); // upper case
    s.dataBits = *bits;
    if (parts[3] == "1") s.stopBits10 = 10;
    else if (parts[3] == "1.5") s.stopBits10 = 15;
    else if (parts[3] == "2") s.stopBits10 = 20;
    else return std::nullopt;
    return s;
}

std::optional<int> parseSpeed(std::string_view text) {
    if (text == "19200") return 19200;
    if (text == "9600") return 9600;
    return std::nullopt;
}

std::string formatSettings(const LineSettings& s) {
    std::string stop = s.stopBits10 == 15 ? "1.5" : std::to_string(s.stopBits10 / 10);
    return std::to_string(s.baud) + ',' + s.parity + ',' + std::to_string(s.dataBits) + ',' + stop;
}

std::chrono::microseconds wireTime(std::size_t chars, const LineSettings& s) {
    // In tenths of a bit, so that 1.5 stop bits stay exact.
    long long tenths = 10 + 10LL * s.dataBits + (s.parity == 'N' ? 0 : 10) + s.stopBits10;
    long long us = static_cast<long long>(chars) * tenths * 100000LL / s.baud;
    return std::chrono::microseconds(us);
}

} // namespace tova
