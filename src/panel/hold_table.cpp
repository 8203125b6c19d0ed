#include "panel/hold_table.hpp"
#include "panel/find_named.hpp"

#include <array>

namespace tova {
namespace {

constexpr int U = kUnchanged;

constexpr std::array<HoldButton, 19> kPress{{
    {"Command1", "+", "VOL", 1, "C09", 250, 200, 245},
    {"Command2", "-", "VOL", 2, "C0A", 250, 200, 245},
    {"Command15", "+", "Zoom", 7, "C47", 105, 100, 100},
    {"Command35", "-", "Zoom", 8, "C46", 105, 100, 100},
    {"Command36", "+", "Focus", 9, "C4B", 105, 100, 100},
    {"Command37", "-", "Focus", 10, "C4A", 105, 100, 100},
    {"Command48", "+", "D.Zoom", 17, "CF DZOOM UP", 250, 200, 245, false, true},
    {"Command49", "-", "D.Zoom", 18, "C31", 250, 200, 245, false, true},
    {"Command50", "+", "Keystone", 19, "CF KEYSTONE UP", 250, 200, 245},
    {"Command51", "-", "Keystone", 20, "CF KEYSTONE DN", 250, 200, 245},
    {"Command59", "\u2191", "LENS SHIFT", 21, "C5D", 105, 100, 100},
    {"Command62", "\u2193", "LENS SHIFT", 22, "C5E", 105, 100, 100},
    {"Command60", "\u2190", "LENS SHIFT", 23, "C5F", 105, 100, 100},
    {"Command61", "\u2192", "LENS SHIFT", 24, "C60", 105, 100, 100},
    {"Command6", "SELECT", "arrow pad", 13, "C3F", 500, 200, 245, false, false, 14},
    {"Command5", "\u2191", "arrow pad", 3, "C3C", U, U, U, true},
    {"Command7", "\u2193", "arrow pad", 4, "C3D", U, U, U, true},
    {"Command9", "\u2190", "arrow pad", 5, "C3B", U, U, U, true},
    {"Command8", "\u2192", "arrow pad", 6, "C3A", U, U, U, true},
}};

constexpr std::array<RepeatEntry, 19> kRepeat{{
    {1, "C09"},  {2, "C0A"},  {3, "C3C"},  {4, "C3D"},  {5, "C3B"},
    {6, "C3A"},  {7, "C47"},  {8, "C46"},  {9, "C4B"},  {10, "C4A"},
    {13, "C3F"}, {17, "CF DZOOM UP"}, {18, "CF DZOOM DN"}, {19, "CF KEYSTONE UP"},
    {20, "CF KEYSTONE DN"}, {21, "C5D"}, {22, "C5E"}, {23, "C5F"}, {24, "C60"},
}};

} // namespace

std::span<const HoldButton> holdButtons() { return kPress; }
std::span<const RepeatEntry> repeatTable() { return kRepeat; }

const HoldButton* findHoldButton(std::string_view name) {
    return findNamed(kPress, name);
}

std::string_view repeatCodeFor(std::uint8_t repeatCode) {
    for (const auto& e : kRepeat)
        if (e.repeatCode == repeatCode) return e.code;
    return {};
}

} // namespace tova
