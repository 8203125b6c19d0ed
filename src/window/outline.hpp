// SPDX-License-Identifier: MIT
#pragma once
// The arrow pad's outline as both windows draw it: each line of the layout table at the
// window's scale, each end reaching half the width of the widest line that meets it there, so
// that the corners close; no line moves. The windows draw each with a flat cap.
#include <vector>

namespace tova {

struct OutlineStroke {
    double x1, y1, x2, y2; // pixels
    double width;          // pixels
};

// At dpi (96: one pixel a layout pixel, 15 twips).
std::vector<OutlineStroke> outlineStrokes(int dpi);

} // namespace tova
