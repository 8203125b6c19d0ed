// SPDX-License-Identifier: MIT
#include "link/decoder.hpp"

#include "link/traffic.hpp"

#include <array>
#include <cmath>
#include <cstdlib>
#include <span>

namespace tova {
namespace {

struct Row {
    std::string_view key;
    std::string_view text;
};

constexpr std::array<Row, 13> kStatus{{
    {" 0 0", " Power ON"},
    {" 8 0", " Stand by"},
    {" 4 0", " Count down"},
    {" 2 0", " Cooling down"},
    {" 1 0", " Power Fail"},
    {" 0 8", " Temperature Warning(Power ON)"},
    {" 0 2", " NO Key input "},
    {" 0 4", " Lamp OFF by PWR Management"},
    {" 2 8", " Temperature Warning & cooling down"},
    {" 2 4", " Lamp OFF & Tempereture Warning by PWR Management"},
    {" 8 8", " Temperature Warning and recoverd"},
    {" 2 1", " Cooling down (All Lamp FAIL)"},
    {" 8 1", " Cooling down & sutandby (All Lamp FAIL)"},
}};

constexpr std::array<Row, 5> kInputMode{{
    {" 1", " Input mode 1"},
    {" 2", " Input mode 2"},
    {" 3", " Input mode 3"},
    {" 4", " Input mode 4"},
    {" 5", " Input mode 5"},
}};

constexpr std::array<Row, 4> kReversal{{
    {" 1 1", " Normally"},
    {" 1 0", " Top/Bottom reversal"},
    {" 0 1", " Left/Right reversal"},
    {" 0 0", " Top/Bottom , Left/Right reversal"},
}};

constexpr std::array<Row, 6> kMute{{
    {" 0 0", " Video & Audio mute OFF"},
    {" 0 1", " Video mute ON"},
    {" 0 2", " Audio mute ON"},
    {" 0 3", " Video & Audio mute ON"},
    {" 8 0", " No signal"},
    {" F F", " Stand by"},
}};

constexpr std::array<Row, 8> kLampMode{{
    {" 0 0", " All OFF : 2 Lamp mode"},
    {" 0 1", " No1 ON  : 2 Lamp mode"},
    {" 0 2", " No2 ON  : 2 Lamp mode"},
    {" 0 3", " No1,2 ON  : 2 Lamp mode"},
    {" 1 0", " All OFF : 1 Lamp mode(No1 USE)"},
    {" 1 1", " No1 ON  : 1 Lamp mode(No1 USE)"},
    {" 2 0", " All OFF : 1 Lamp mode(No2 USE)"},
    {" 2 2", " No2 ON  : 1 Lamp mode(No2 USE)"},
}};

// Characters from..to (counted from 1) of text, cut short at its end.
std::string_view mid(std::string_view text, std::size_t from, std::size_t to) {
    if (from > text.size()) return {};
    return text.substr(from - 1, to - from + 1);
}

std::optional<std::string> lookup(std::string_view traffic, std::size_t n, std::span<const Row> table) {
    auto prefix = traffic.substr(0, n);
    for (const auto& row : table)
        if (prefix == row.key) return std::string(row.text);
    return std::nullopt;
}

std::string temperatures(std::string_view t) {
    std::string s = "  S1=";
    s.append(mid(t, 1, 10)).append(" C  ,   S2= ").append(mid(t, 15, 22));
    s.append(" C  ,   S3= ").append(mid(t, 28, 35)).append(" C  ,   S4= ");
    s.append(mid(t, 41, 48)).append(" C ");
    return s;
}

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n'; }

int digitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return 99;
}

double readRadix(std::string_view s, int radix) {
    unsigned long long v = 0;
    bool any = false;
    for (char c : s) {
        int d = digitValue(c);
        if (d >= radix) break;
        any = true;
        if (v > (~0ULL >> 4)) return HUGE_VAL; // far beyond any 32-bit value
        v = v * static_cast<unsigned>(radix) + static_cast<unsigned>(d);
    }
    if (!any) return 0;
    // As typed literals: up to 16 bits wraps into a 16-bit value, up to 32 bits into 32 bits.
    if (v <= 0xFFFFULL) return static_cast<std::int16_t>(static_cast<std::uint16_t>(v));
    if (v <= 0xFFFFFFFFULL) return static_cast<std::int32_t>(static_cast<std::uint32_t>(v));
    return HUGE_VAL;
}

} // namespace

std::string_view printablePart(std::string_view traffic) {
    // After the leading blank, a printable character's token is the character and a blank. The
    // tokens "CR ", "ACK ", "LF ", "? " and "&" are not: the letter C is "C ", never "CR".
    std::size_t i = traffic.empty() ? 0 : 1;
    while (i + 1 < traffic.size() && traffic[i + 1] == ' ' && traffic[i] != '?') i += 2;
    return traffic.substr(0, i);
}

double readNumber(std::string_view text) {
    std::string s;
    for (char c : text)
        if (!isBlank(c)) s.push_back(c);
    if (s.size() >= 2 && s[0] == '&') {
        char k = static_cast<char>(s[1] & ~0x20);
        if (k == 'H') return readRadix(std::string_view(s).substr(2), 16);
        if (k == 'O') return readRadix(std::string_view(s).substr(2), 8);
    }
    // Collect the longest prefix that forms a decimal number, then convert it.
    std::string num;
    std::size_t i = 0;
    auto isDigit = [&](std::size_t k) { return k < s.size() && s[k] >= '0' && s[k] <= '9'; };
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) num.push_back(s[i++]);
    bool digits = false;
    while (isDigit(i)) num.push_back(s[i++]), digits = true;
    if (i < s.size() && s[i] == '.') {
        num.push_back(s[i++]);
        while (isDigit(i)) num.push_back(s[i++]), digits = true;
    }
    if (!digits) return 0;
    if (i < s.size() && (s[i] == 'E' || s[i] == 'e' || s[i] == 'D' || s[i] == 'd')) {
        std::size_t j = i + 1;
        std::string exp = "e";
        if (j < s.size() && (s[j] == '+' || s[j] == '-')) exp.push_back(s[j++]);
        if (isDigit(j)) {
            while (isDigit(j)) exp.push_back(s[j++]);
            num += exp;
        }
    }
    return std::strtod(num.c_str(), nullptr);
}

std::optional<std::int16_t> roundTo16(double v) {
    if (!std::isfinite(v)) return std::nullopt;
    double r = std::nearbyint(v); // the default rounding mode: half to even
    if (r < -32768.0 || r > 32767.0) return std::nullopt;
    return static_cast<std::int16_t>(r);
}

std::optional<std::int16_t> pressureHpa(double reading) {
    auto value = roundTo16(reading);
    if (!value || *value < -6553 || *value > 6553) return std::nullopt; // x5 must stay in 16 bits
    auto product = static_cast<std::int16_t>(*value * 5);
    return roundTo16((product / 1024.0 - 0.204) / 0.00459 + 150.0);
}

namespace {

using Decode = std::optional<std::string> (*)(std::string_view traffic, std::int16_t& pressureValue);

std::optional<std::string> pressure(std::string_view traffic, std::int16_t& pressureValue) {
    auto hpa = pressureHpa(readNumber(printablePart(traffic)));
    if (!hpa) return std::string(kPressureOutOfRange);
    pressureValue = *hpa;
    return std::to_string(*hpa) + " hPa";
}

// The nine queries, in the order their lines are compared with the last line sent.
constexpr std::pair<std::string_view, Decode> kDecodings[] = {
    {"CR0", [](std::string_view t, std::int16_t&) { return lookup(t, 4, kStatus); }},
    {"CR1", [](std::string_view t, std::int16_t&) { return lookup(t, 2, kInputMode); }},
    {"CR4", [](std::string_view t, std::int16_t&) { return lookup(t, 4, kReversal); }},
    {"CR3", [](std::string_view t, std::int16_t&) -> std::optional<std::string> {
         return std::string(t.substr(0, 38)) + " Hour Use";
     }},
    {"CR6", [](std::string_view t, std::int16_t&) -> std::optional<std::string> { return temperatures(t); }},
    {"CRA", [](std::string_view t, std::int16_t&) { return lookup(t, 4, kMute); }},
    {"CR9", [](std::string_view t, std::int16_t&) -> std::optional<std::string> { return std::string(t); }},
    {"CR PRESSURE", pressure},
    {"CR7", [](std::string_view t, std::int16_t&) { return lookup(t, 4, kLampMode); }},
};

} // namespace

bool isQueryCode(std::string_view code) {
    for (const auto& [query, decode] : kDecodings)
        if (query == code) return true;
    return false;
}

DecodeResult decodeReply(std::string_view sendLine, std::string_view addressPrefix,
                         std::string_view traffic, std::int16_t pressureValue) {
    DecodeResult r{std::nullopt, pressureValue};
    for (const auto& [query, decode] : kDecodings)
        if (sendLine == frameLine(addressPrefix, query)) {
            r.label22 = decode(traffic, r.pressureValue);
            break;
        }
    return r;
}

} // namespace tova
