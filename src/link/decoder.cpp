// SPDX-License-Identifier: MIT
#include "link/decoder.hpp"

#include "link/query_table.hpp"
#include "link/traffic.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <charconv>
#include <cstdlib>
#include <span>

namespace tova {
namespace {

// Characters from..to (counted from 1) of text, cut short at its end.
std::string_view mid(std::string_view text, std::size_t from, std::size_t to) {
    if (from > text.size()) return {};
    return text.substr(from - 1, to - from + 1);
}

// A table's key as the traffic text shows it: the reply's leading characters, each with the
// blank before it (" 0 0" for "00"). The traffic text is compared with it, as far as it reaches.
std::optional<std::string> lookup(std::string_view traffic, std::span<const ReplyRow> table) {
    for (const auto& row : table) {
        const std::size_t n = 2 * row.reply.size();
        if (traffic.substr(0, n) == std::string_view(trafficText(row.reply)).substr(0, n))
            return std::string(row.text);
    }
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
    // Read as the projector writes it, whatever the process's locale says a decimal point is.
    if (num.front() == '+') num.erase(num.begin());
    double v = 0;
    const auto r = std::from_chars(num.data(), num.data() + num.size(), v);
    if (r.ec == std::errc::result_out_of_range) return num.front() == '-' ? -HUGE_VAL : HUGE_VAL;
    return v;
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

std::optional<std::string> decode(const Query& q, std::string_view traffic, std::int16_t& pressureValue) {
    switch (q.decoding) {
    case Decoding::Table: return lookup(traffic, q.rows);
    case Decoding::LampHours: return std::string(traffic.substr(0, 38)) + " Hour Use";
    case Decoding::Temperatures: return temperatures(traffic);
    case Decoding::AsReceived: return std::string(traffic);
    case Decoding::Pressure: {
        auto hpa = pressureHpa(readNumber(printablePart(traffic)));
        if (!hpa) return std::string(kPressureOutOfRange);
        pressureValue = *hpa;
        return std::to_string(*hpa) + " hPa";
    }
    }
    return std::nullopt;
}

} // namespace

DecodeResult decodeReply(std::string_view sendLine, std::string_view addressPrefix,
                         std::string_view traffic, std::int16_t pressureValue) {
    DecodeResult r{std::nullopt, pressureValue};
    for (const Query& q : queries())
        if (sendLine == frameLine(addressPrefix, q.code)) {
            r.words = decode(q, traffic, r.pressureValue);
            break;
        }
    return r;
}

namespace {

// A decimal number standing alone in text (blanks around it allowed); nullopt for anything else.
std::optional<double> plainNumber(std::string_view text) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    if (text.empty()) return std::nullopt;
    double v = 0;
    const auto r = std::from_chars(text.data(), text.data() + text.size(), v, std::chars_format::fixed);
    if (r.ec != std::errc() || r.ptr != text.data() + text.size()) return std::nullopt;
    return v;
}

} // namespace

ReplyNumbers replyNumbers(const Query& q, std::string_view reply) {
    ReplyNumbers n;
    if (q.id == QueryId::LampHours) {
        if (const auto digits = lampHours(reply)) n.lampHours = std::stol(std::string(*digits));
    } else if (q.id == QueryId::Temperatures) {
        n.temperatures.emplace();
        for (std::size_t i = 0; i < 4; ++i) {
            const auto [from, to] = kTemperatureFields[i];
            if (from <= reply.size()) (*n.temperatures)[i] = plainNumber(reply.substr(from - 1, to - from + 1));
        }
    } else if (q.id == QueryId::Pressure) {
        const std::string traffic = trafficText(reply);
        const std::string_view printable = printablePart(traffic);
        const bool digit = printable.find_first_of("0123456789") != std::string_view::npos;
        if (digit)
            if (const auto hpa = pressureHpa(readNumber(printable))) n.pressureHpa = *hpa;
    }
    return n;
}

namespace {

std::string_view withoutBlanks(std::string_view s) {
    while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
    return s;
}

} // namespace

std::string replyValue(const Query& q, std::string_view reply, std::string_view words) {
    if (q.id == QueryId::LampHours)
        if (const auto hours = replyNumbers(q, reply).lampHours) return std::to_string(*hours);
    if (q.id == QueryId::PcType) return pcType(reply);
    return std::string(withoutBlanks(words));
}

std::vector<QueryValues> queryValues() {
    std::vector<QueryValues> out;
    for (const Query& q : queries()) {
        QueryValues v{q.code, {}};
        switch (q.decoding) {
        case Decoding::Table:
            for (const ReplyRow& row : q.rows) {
                const std::string quoted = "\"" + std::string(withoutBlanks(row.text)) + "\"";
                if (std::find(v.values.begin(), v.values.end(), quoted) == v.values.end()) v.values.push_back(quoted);
            }
            break;
        case Decoding::LampHours: v.values.push_back("the lamp hours, a number (1234)"); break;
        case Decoding::Temperatures: v.values.push_back("the four temperatures as the panel shows them (S1= ... S4= ...)"); break;
        case Decoding::AsReceived: v.values.push_back("the model as the projector names it"); break;
        case Decoding::Pressure:
            v.values.push_back("the pressure (1013 hPa)");
            v.values.push_back("\"" + std::string(withoutBlanks(kPressureOutOfRange)) + "\"");
            break;
        }
        out.push_back(std::move(v));
    }
    return out;
}

} // namespace tova
