// SPDX-License-Identifier: MIT
#include "link/address.hpp"

namespace tova {
namespace {
constexpr std::string_view kAll = "AFFF";
} // namespace

std::string prefixFor(int target) {
    if (target == kEveryProjector) return std::string(kAll);
    if (target < 1 || target > kProjectors) return {};
    return "A00" + std::to_string(target);
}

std::optional<int> projectorNumber(std::string_view digits) {
    if (digits.size() != 3 || digits.substr(0, 2) != "00" || digits[2] < '1' || digits[2] > '0' + kProjectors)
        return std::nullopt;
    return digits[2] - '0';
}

AddressedCode splitAddress(std::string_view line) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.starts_with(kAll)) return {kEveryProjector, line.substr(kAll.size())};
    if (line.size() >= 4 && line[0] == 'A')
        if (auto n = projectorNumber(line.substr(1, 3))) return {*n, line.substr(4)};
    return {kNoAddress, line};
}

} // namespace tova
