// SPDX-License-Identifier: MIT
#include "tables/hold_table.hpp"
#include "tables/find_named.hpp"

#include <array>

namespace tova {
namespace {

constexpr int U = kUnchanged;

// D.Zoom "-" is the one row whose press sends another code than its ticks.
constexpr std::array<HoldButton, 19> kPress{{
    {"Command1", "VOL", 1, "C09", "C09", 250, 200, 245},
    {"Command2", "VOL", 2, "C0A", "C0A", 250, 200, 245},
    {"Command15", "Zoom", 7, "C47", "C47", 105, 100, 100},
    {"Command35", "Zoom", 8, "C46", "C46", 105, 100, 100},
    {"Command36", "Focus", 9, "C4B", "C4B", 105, 100, 100},
    {"Command37", "Focus", 10, "C4A", "C4A", 105, 100, 100},
    {"Command48", "D.Zoom", 17, "CF DZOOM UP", "CF DZOOM UP", 250, 200, 245, false, true},
    {"Command49", "D.Zoom", 18, "C31", "CF DZOOM DN", 250, 200, 245, false, true},
    {"Command50", "Keystone", 19, "CF KEYSTONE UP", "CF KEYSTONE UP", 250, 200, 245},
    {"Command51", "Keystone", 20, "CF KEYSTONE DN", "CF KEYSTONE DN", 250, 200, 245},
    {"Command59", "LENS SHIFT", 21, "C5D", "C5D", 105, 100, 100},
    {"Command62", "LENS SHIFT", 22, "C5E", "C5E", 105, 100, 100},
    {"Command60", "LENS SHIFT", 23, "C5F", "C5F", 105, 100, 100},
    {"Command61", "LENS SHIFT", 24, "C60", "C60", 105, 100, 100},
    {"Command6", "arrow pad", 13, "C3F", "C3F", 500, 200, 245, false, false, 14},
    {"Command5", "arrow pad", 3, "C3C", "C3C", U, U, U, true},
    {"Command7", "arrow pad", 4, "C3D", "C3D", U, U, U, true},
    {"Command9", "arrow pad", 5, "C3B", "C3B", U, U, U, true},
    {"Command8", "arrow pad", 6, "C3A", "C3A", U, U, U, true},
}};

} // namespace

std::span<const HoldButton> holdButtons() { return kPress; }

const HoldButton* findHoldButton(std::string_view name) { return findNamed(kPress, name); }

std::string_view repeatCodeFor(std::uint8_t repeatCode) {
    for (const auto& b : kPress)
        if (b.repeatCode == repeatCode) return b.tickCode;
    return {};
}

} // namespace tova
