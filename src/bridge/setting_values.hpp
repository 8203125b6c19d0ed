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

// The most places any listener has: what its clients may hold of the bridge's memory is bounded,
// so that the service's memory limit means something.
inline constexpr int kMostPlaces = 4096;
inline constexpr std::string_view kPlacesRule = "takes a number from 1 to 4096";
inline std::optional<int> placesNumber(std::string_view v) {
    const auto n = wholeNumber(v);
    if (!n || *n < 1 || *n > kMostPlaces) return std::nullopt;
    return n;
}

// Connections one address may hold: 0 (no limit) up to any listener's size.
inline std::optional<int> perAddressNumber(std::string_view v) {
    const auto n = wholeNumber(v);
    if (!n || *n < 0 || *n > kMostPlaces) return std::nullopt;
    return n;
}
inline constexpr std::string_view kPerAddressRule = "takes a number from 0 (no limit) to the listener's max-clients";

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
