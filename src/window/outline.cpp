// SPDX-License-Identifier: MIT
#include "window/outline.hpp"

#include "tables/layout_table.hpp"

#include <algorithm>
#include <cmath>

namespace tova {

std::vector<OutlineStroke> outlineStrokes(int dpi) {
    const auto lines = outlineLines();
    // Scaled as twips * dpi / 1440 and pixels * dpi / 96, divided last: at 96 dpi exactly the
    // layout's pixels, whichever window divides.
    auto px = [dpi](int twips) { return twips * dpi / 1440.0; };
    auto meets = [](const OutlineLine& l, int x, int y) { return (l.x1 == x && l.y1 == y) || (l.x2 == x && l.y2 == y); };
    std::vector<OutlineStroke> out;
    for (const auto& l : lines) {
        double x[2] = {px(l.x1), px(l.x2)}, y[2] = {px(l.y1), px(l.y2)};
        const double length = std::max(1.0, std::hypot(x[1] - x[0], y[1] - y[0]));
        const double alongX = (x[1] - x[0]) / length, alongY = (y[1] - y[0]) / length;
        const int endX[2] = {l.x1, l.x2}, endY[2] = {l.y1, l.y2};
        for (int e = 0; e < 2; ++e) {
            double reach = 0;
            for (const auto& other : lines)
                if (&other != &l && meets(other, endX[e], endY[e])) reach = std::max(reach, other.widthPixels * dpi / 96.0 / 2.0);
            x[e] += (e == 0 ? -reach : reach) * alongX;
            y[e] += (e == 0 ? -reach : reach) * alongY;
        }
        out.push_back({x[0], y[0], x[1], y[1], l.widthPixels * dpi / 96.0});
    }
    return out;
}

} // namespace tova
