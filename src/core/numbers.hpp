// SPDX-License-Identifier: MIT
#pragma once
// Numbers as options and settings write them: the whole text, in the C locale whatever the
// system's (a decimal point, never a comma).
#include <charconv>
#include <optional>
#include <string_view>

namespace tova {

inline std::optional<int> wholeNumber(std::string_view text) {
    int n = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
    if (text.empty() || ec != std::errc{} || end != text.data() + text.size()) return std::nullopt;
    return n;
}

inline std::optional<double> decimalNumber(std::string_view text) {
    double v = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v, std::chars_format::fixed);
    if (text.empty() || ec != std::errc{} || end != text.data() + text.size()) return std::nullopt;
    return v;
}

} // namespace tova
