// SPDX-License-Identifier: MIT
#pragma once
// Strings as JSON strings. Line traffic is bytes, not UTF-8: every byte beyond ASCII is written
// as \u00XX. Captions and names are UTF-8 text and pass as they are. Both escape "<", so that a
// JSON text never closes a script element whatever it carries.
#include <string>
#include <string_view>

namespace tova {
namespace json_detail {
inline void escaped(std::string& out, unsigned char c) {
    static const char hex[] = "0123456789abcdef";
    out += "\\u00";
    out += hex[c >> 4];
    out += hex[c & 15];
}
inline std::string quoted(std::string_view s, bool bytes) {
    std::string out = "\"";
    for (char ch : s) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += ch;
        } else if (c < 0x20 || c == 0x7f || c == '<' || (bytes && c > 0x7f)) {
            escaped(out, c);
        } else {
            out += ch;
        }
    }
    return out + '"';
}
} // namespace json_detail

// A byte string: control characters and every byte beyond ASCII as \u00XX.
inline std::string jsonString(std::string_view bytes) { return json_detail::quoted(bytes, true); }
// UTF-8 text: control characters escaped, the rest as it is.
inline std::string jsonText(std::string_view utf8) { return json_detail::quoted(utf8, false); }

} // namespace tova
