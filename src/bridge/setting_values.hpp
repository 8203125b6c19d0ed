// SPDX-License-Identifier: MIT
// The value forms that the bridge's settings share, on the command line and in the config file.
#pragma once

#include "core/numbers.hpp"

#include <optional>
#include <string_view>

namespace tova::bridge {

inline std::optional<int> positiveNumber(std::string_view v) {
    const auto n = wholeNumber(v);
    if (!n || *n < 1) return std::nullopt;
    return n;
}

inline std::optional<bool> onOff(std::string_view v) {
    if (v == "true" || v == "yes" || v == "on" || v == "1") return true;
    if (v == "false" || v == "no" || v == "off" || v == "0") return false;
    return std::nullopt;
}

// A setting given on the command line stands over the file's.
template <typename T> void overlay(T& to, const T& from) {
    if (from) to = from;
}

} // namespace tova::bridge
