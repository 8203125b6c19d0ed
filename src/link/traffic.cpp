// SPDX-License-Identifier: MIT
#include "link/traffic.hpp"

namespace tova {

std::string frameLine(std::string_view addressPrefix, std::string_view code) {
    std::string line;
    line.reserve(addressPrefix.size() + code.size() + 1);
    line.append(addressPrefix).append(code).push_back(kCR);
    return line;
}

std::string typedBytes(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    std::size_t i = 0;
    while (i < utf8.size()) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        if (lead < 0x80) {
            out.push_back(static_cast<char>(lead));
            ++i;
            continue;
        }
        // The length the lead byte announces; a sequence cut short counts as its bytes so far.
        const std::size_t len = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
        std::size_t n = 1;
        while (n < len && i + n < utf8.size() &&
               (static_cast<unsigned char>(utf8[i + n]) & 0xC0) == 0x80)
            ++n;
        out.push_back('?');
        i += n;
    }
    return out;
}

namespace {
// A control character as a message shows it: \x01.
std::string hexEscape(unsigned char c) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    return std::string("\\x") + kHex[c >> 4] + kHex[c & 15];
}
} // namespace

std::optional<std::string> controlCharacter(std::string_view typed, bool endsLine) {
    // The line's own end, as a file with CRLF lines leaves it on a code, ends it: no second line.
    if (endsLine && typed.ends_with("\r\n")) typed.remove_suffix(2);
    else if (endsLine && !typed.empty() && (typed.back() == kCR || typed.back() == kLF)) typed.remove_suffix(1);
    for (std::size_t i = 0; i < typed.size(); ++i) {
        const auto c = static_cast<unsigned char>(typed[i]);
        if (c >= 0x20 && c != 0x7f) continue;
        const std::string name = c == kCR ? "CR" : c == kLF ? "LF" : c == '\t' ? "TAB" : c == 0x7f ? "DEL" : hexEscape(c);
        return name + " at " + std::to_string(i + 1);
    }
    return std::nullopt;
}

std::string quotedTyped(std::string_view typed) {
    std::string out = "\"";
    for (char ch : typed) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == kCR) out += "\\r";
        else if (c == kLF) out += "\\n";
        else if (c == '\t') out += "\\t";
        else if (c < 0x20 || c == 0x7f) out += hexEscape(c);
        else out += ch;
    }
    return out + "\"";
}

std::string_view trafficToken(unsigned char c, char (&scratch)[3]) {
    // The order of the tests matters: 20 and the named controls come before "below 32".
    if (c == kAck) return "ACK ";
    if (c == kDc4) return "&";
    if (c == kCR) return "CR ";
    if (c == kLF) return "LF ";
    if (c < 32 || c > 122) return "? ";
    scratch[0] = static_cast<char>(c);
    scratch[1] = ' ';
    return {scratch, 2};
}

std::string trafficText(std::string_view text) {
    std::string out(1, ' ');
    out.reserve(1 + 2 * text.size());
    char scratch[3];
    for (char c : text) out.append(trafficToken(static_cast<unsigned char>(c), scratch));
    return out;
}

} // namespace tova
