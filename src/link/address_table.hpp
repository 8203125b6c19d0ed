// SPDX-License-Identifier: MIT
#pragma once
#include <array>
#include <string_view>

namespace tova {

struct AddressOption {
    std::string_view name;   // the option; its caption is the layout's
    std::string_view prefix;
};

// The six address options and the prefix each puts ahead of every command code.
inline constexpr std::array<AddressOption, 6> kAddressOptions{{
    {"Option3", ""},
    {"Option4", "AFFF"},
    {"Option5", "A001"},
    {"Option6", "A002"},
    {"Option7", "A003"},
    {"Option8", "A004"},
}};

// The code of a framed line: without its address prefix and its CR.
inline std::string_view codeOfLine(std::string_view line) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    for (const auto& a : kAddressOptions)
        if (!a.prefix.empty() && line.starts_with(a.prefix)) return line.substr(a.prefix.size());
    return line;
}

} // namespace tova
