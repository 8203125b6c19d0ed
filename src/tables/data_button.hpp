// SPDX-License-Identifier: MIT
#pragma once
#include <string_view>

namespace tova {
// Captions of the data button Command34.
inline constexpr std::string_view kShowData = "\u30c7\u30fc\u30bf\u3092\u8868\u793a\u3059\u308b";
inline constexpr std::string_view kHideData = "\u30c7\u30fc\u30bf\u3092\u8868\u793a\u3057\u306a\u3044";
inline constexpr std::string_view kClose = "CLOSE";
} // namespace tova
