#pragma once
#include <array>
#include <string_view>

namespace tova {

struct AddressOption {
    std::string_view name;
    std::string_view caption;
    std::string_view prefix;
};

// The six address options and the prefix each puts ahead of every command code.
inline constexpr std::array<AddressOption, 6> kAddressOptions{{
    {"Option3", "SINGLE", ""},
    {"Option4", "ALL", "AFFF"},
    {"Option5", "001", "A001"},
    {"Option6", "002", "A002"},
    {"Option7", "003", "A003"},
    {"Option8", "004", "A004"},
}};

} // namespace tova
