// SPDX-License-Identifier: MIT
#pragma once
// The window's controls as both windows build them from the layout table, in one loop: each
// in its container, at its place in pixels, with its own font only where it differs from its
// container's; which take the focus, in the layout's tab order; which are held buttons.
#include "tables/layout_table.hpp"
#include "window/caption_lines.hpp"

#include <functional>
#include <string_view>
#include <vector>

namespace tova {

// Twips as pixels at dpi (96: 15 twips a pixel), to the nearest.
inline int pixelsOf(int twips, int dpi) { return (twips * dpi + 720) / 1440; }

struct PlannedControl {
    const LayoutControl* layout;
    Box place;       // pixels, within its container
    bool ownFont;    // its font differs from its container's (the window's, on the window)
    bool takesFocus; // buttons, options and the text box
    bool held;       // a held button: the pointer works it, never the keys
    bool covers;     // it lies over an earlier control of its container, and must be shown above it
};

// Two controls' places share an area, not only an edge.
bool sharesArea(const LayoutControl& a, const LayoutControl& b);

// Every control of the layout table, containers before what they hold.
std::vector<PlannedControl> planControls(int dpi);

// The controls that take the focus, in the layout's tab order.
std::vector<std::string_view> tabOrder();
// The control step places from current in the tab order (-1: back) that usable accepts (it can
// be seen and is enabled); current itself when none is.
std::string_view nextInTabOrder(std::string_view current, int step, const std::function<bool(std::string_view)>& usable);

} // namespace tova
