// SPDX-License-Identifier: MIT
#pragma once
#include "link/address.hpp"

#include <array>
#include <string_view>

namespace tova {

struct AddressOption {
    std::string_view name; // the option; its caption is the layout's
    int target;            // the projector it addresses
};

// The six address options of PJ Select.
inline constexpr std::array<AddressOption, 6> kAddressOptions{{
    {"Option3", kNoAddress},
    {"Option4", kEveryProjector},
    {"Option5", 1},
    {"Option6", 2},
    {"Option7", 3},
    {"Option8", 4},
}};

} // namespace tova
