// SPDX-License-Identifier: MIT
#include "core/utf8.hpp"

#include <cstdint>
#include <optional>

namespace tova {
namespace {

// The code point at bytes[i] and its length, or nullopt where the bytes are no UTF-8.
std::optional<char32_t> next(std::string_view bytes, std::size_t& i) {
    const auto at = [&](std::size_t k) { return static_cast<unsigned char>(bytes[k]); };
    const unsigned char lead = at(i);
    if (lead < 0x80) return char32_t(bytes[i++]);
    std::size_t length = 0;
    char32_t c = 0, least = 0;
    if (lead >= 0xC2 && lead <= 0xDF) length = 2, c = lead & 0x1F, least = 0x80;
    else if (lead >= 0xE0 && lead <= 0xEF) length = 3, c = lead & 0x0F, least = 0x800;
    else if (lead >= 0xF0 && lead <= 0xF4) length = 4, c = lead & 0x07, least = 0x10000;
    else return std::nullopt; // a continuation byte, an overlong lead, or past U+10FFFF
    if (i + length > bytes.size()) return std::nullopt;
    for (std::size_t k = 1; k < length; ++k) {
        if ((at(i + k) & 0xC0) != 0x80) return std::nullopt;
        c = (c << 6) | (at(i + k) & 0x3F);
    }
    if (c < least || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return std::nullopt;
    i += length;
    return c;
}

} // namespace

bool validUtf8(std::string_view bytes) {
    for (std::size_t i = 0; i < bytes.size();)
        if (!next(bytes, i)) return false;
    return true;
}

bool printableUtf8(std::string_view bytes) {
    for (std::size_t i = 0; i < bytes.size();) {
        const auto c = next(bytes, i);
        if (!c || *c < 0x20 || (*c >= 0x7F && *c <= 0x9F)) return false;
    }
    return true;
}

} // namespace tova
