// SPDX-License-Identifier: MIT
#pragma once
// The buttons that act while held: what the press sends and sets, and what a tick resends.
#include <cstdint>
#include <span>
#include <string_view>

namespace tova {

constexpr int kUnchanged = -1; // arrow pad: the interval is left as it is

struct HoldButton {
    std::string_view name;  // its caption is the layout's
    std::string_view group; // the caption of the label above it, for listings
    std::uint8_t repeatCode;
    std::string_view pressCode;
    std::string_view tickCode;       // what each tick resends while the repeat code names this row
    int period, replyTimeout, displayClear; // ms; kUnchanged for the arrow pad's
    bool arrowPad = false;           // time-out and display delay from AdjustMode
    bool digitalZoom = false;        // release sets the digital-zoom timing
    std::uint8_t releaseCode = 0;    // the repeat code the release leaves
};

std::span<const HoldButton> holdButtons();
const HoldButton* findHoldButton(std::string_view name);
// The code a tick sends for a repeat code; empty when the value has none.
std::string_view repeatCodeFor(std::uint8_t repeatCode);

} // namespace tova
