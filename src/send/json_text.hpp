// SPDX-License-Identifier: MIT
#pragma once
// A byte string as a JSON string: quotes and backslashes escaped, control characters and every
// byte beyond ASCII as \u00XX (the protocol's characters are bytes, not UTF-8).
#include <string>
#include <string_view>

namespace tova {

inline std::string jsonString(std::string_view bytes) {
    std::string out = "\"";
    for (char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += ch;
        } else if (c < 0x20 || c >= 0x7f) {
            static const char hex[] = "0123456789abcdef";
            out += "\\u00";
            out += hex[c >> 4];
            out += hex[c & 15];
        } else {
            out += ch;
        }
    }
    return out + '"';
}

} // namespace tova
