// SPDX-License-Identifier: MIT
#pragma once
// The settings text of the serial control: "speed,parity,data bits,stop bits".
#include <chrono>
#include <optional>
#include <string>
#include <string_view>

namespace tova {

struct LineSettings {
    int baud = 19200;
    char parity = 'N';  // N, E, O, M or S
    int dataBits = 8;   // 5 to 8
    int stopBits10 = 10; // stop bits times ten: 10, 15 or 20
    bool operator==(const LineSettings&) const = default;
};

std::optional<LineSettings> parseSettings(std::string_view text);

// The two speeds a projector's line runs at, as every program's options and settings take them:
// "19200" or "9600"; nullopt for anything else.
std::optional<int> parseSpeed(std::string_view text);
inline constexpr std::string_view kSpeedRule = "takes 19200 or 9600";
// The settings text again: "19200,N,8,1".
std::string formatSettings(const LineSettings& s);

// Time n characters occupy the line: start bit, data bits, parity bit and stop bits each.
std::chrono::microseconds wireTime(std::size_t chars, const LineSettings& s);

} // namespace tova
