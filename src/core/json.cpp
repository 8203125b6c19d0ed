// SPDX-License-Identifier: MIT
#include "core/json.hpp"

#include <cmath>

namespace tova {
namespace {

// Bytes beyond ASCII ride in the document as the code points U+F780 to U+F7FF of the Private
// Use Area (valid UTF-8 for the document), and leave it as \u0080 to \u00FF. No caption, name or
// reply of ours holds those code points.
constexpr unsigned kByteRow = 0xF700;

void escape(std::string& out, unsigned c) {
    static const char hex[] = "0123456789abcdef";
    out += "\\u00";
    out += hex[(c >> 4) & 15];
    out += hex[c & 15];
}

} // namespace

Json jsonBytes(std::string_view bytes) {
    std::string s;
    s.reserve(bytes.size());
    for (char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x80) {
            s += ch;
            continue;
        }
        const unsigned cp = kByteRow + c; // three bytes of UTF-8: EF 9E/9F xx
        s += static_cast<char>(0xE0 | (cp >> 12));
        s += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        s += static_cast<char>(0x80 | (cp & 0x3F));
    }
    return s;
}

Json jsonNumber(std::optional<double> v) {
    if (!v) return nullptr;
    // Whole numbers as integers: 25, never 25.0.
    if (std::trunc(*v) == *v && std::fabs(*v) < 9e15) return static_cast<long long>(*v);
    return *v;
}

std::string dumpJson(const Json& j) {
    const std::string raw = j.dump(-1, ' ', false, Json::error_handler_t::replace);
    // nlohmann writes \n, \r, \t, \b, \f short and leaves "<", DEL and the byte row as they are.
    std::string out;
    out.reserve(raw.size());
    bool inString = false;
    for (std::size_t i = 0; i < raw.size(); ++i) {
        const char c = raw[i];
        if (!inString) {
            out += c;
            inString = c == '"';
            continue;
        }
        if (c == '"') {
            inString = false;
            out += c;
        } else if (c == '\\') {
            const char e = raw[++i];
            static constexpr std::string_view kShort = "bfnrt", kCode = "\b\f\n\r\t";
            if (const auto at = kShort.find(e); at != std::string_view::npos) escape(out, static_cast<unsigned char>(kCode[at]));
            else (out += c) += e;
        } else if (c == '<' || c == 0x7f) {
            escape(out, static_cast<unsigned char>(c));
        } else if (static_cast<unsigned char>(c) == 0xEF && i + 2 < raw.size() &&
                   (static_cast<unsigned char>(raw[i + 1]) & 0xFE) == 0x9E) {
            const unsigned cp = 0xF000 | ((static_cast<unsigned char>(raw[i + 1]) & 0x3F) << 6) |
                                (static_cast<unsigned char>(raw[i + 2]) & 0x3F);
            if (cp >= kByteRow + 0x80) {
                escape(out, cp - kByteRow);
                i += 2;
            } else {
                out += c;
            }
        } else {
            out += c;
        }
    }
    return out;
}

} // namespace tova
