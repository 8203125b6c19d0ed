// SPDX-License-Identifier: MIT
#include "tables/hold_table.hpp"
#include "tables/button_groups.hpp"
#include "tables/find_named.hpp"

#include <array>

namespace tova {
namespace {

constexpr int U = kUnchanged;

// D.Zoom "-" is the one row whose press sends another code than its ticks.
constexpr std::array<HoldButton, 19> kPress{{
    {"Command1", groups::Volume, 1, "C09", "C09", 250, 200, 245},
    {"Command2", groups::Volume, 2, "C0A", "C0A", 250, 200, 245},
    {"Command15", groups::Zoom, 7, "C47", "C47", 105, 100, 100},
    {"Command35", groups::Zoom, 8, "C46", "C46", 105, 100, 100},
    {"Command36", groups::Focus, 9, "C4B", "C4B", 105, 100, 100},
    {"Command37", groups::Focus, 10, "C4A", "C4A", 105, 100, 100},
    {"Command48", groups::DigitalZoom, 17, "CF DZOOM UP", "CF DZOOM UP", 250, 200, 245, false, true},
    {"Command49", groups::DigitalZoom, 18, "C31", "CF DZOOM DN", 250, 200, 245, false, true},
    {"Command50", groups::Keystone, 19, "CF KEYSTONE UP", "CF KEYSTONE UP", 250, 200, 245},
    {"Command51", groups::Keystone, 20, "CF KEYSTONE DN", "CF KEYSTONE DN", 250, 200, 245},
    {"Command59", groups::LensShift, 21, "C5D", "C5D", 105, 100, 100},
    {"Command62", groups::LensShift, 22, "C5E", "C5E", 105, 100, 100},
    {"Command60", groups::LensShift, 23, "C5F", "C5F", 105, 100, 100},
    {"Command61", groups::LensShift, 24, "C60", "C60", 105, 100, 100},
    {"Command6", groups::MenuArrows, 13, "C3F", "C3F", 500, 200, 245, false, false, 14},
    {"Command5", groups::MenuArrows, 3, "C3C", "C3C", U, U, U, true},
    {"Command7", groups::MenuArrows, 4, "C3D", "C3D", U, U, U, true},
    {"Command9", groups::MenuArrows, 5, "C3B", "C3B", U, U, U, true},
    {"Command8", groups::MenuArrows, 6, "C3A", "C3A", U, U, U, true},
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
