// SPDX-License-Identifier: MIT
#include "window/control_plan.hpp"

#include "tables/hold_table.hpp"

#include <algorithm>

namespace tova {
namespace {
bool focusable(Kind k) { return k == Kind::Button || k == Kind::Option || k == Kind::TextBox; }
} // namespace

bool sharesArea(const LayoutControl& a, const LayoutControl& b) {
    return a.left < b.left + b.width && b.left < a.left + a.width && a.top < b.top + b.height && b.top < a.top + a.height;
}

std::vector<PlannedControl> planControls(int dpi) {
    std::vector<PlannedControl> out;
    for (const LayoutControl& c : layoutControls()) {
        const LayoutControl* container = c.container.empty() ? nullptr : findLayoutControl(c.container);
        const Box place{pixelsOf(c.left, dpi), pixelsOf(c.top, dpi), pixelsOf(c.width, dpi), pixelsOf(c.height, dpi)};
        const bool covers = std::any_of(out.begin(), out.end(), [&](const PlannedControl& earlier) {
            return earlier.layout->container == c.container && sharesArea(*earlier.layout, c);
        });
        out.push_back({&c, place, c.font != (container ? container->font : FontCode::W), focusable(c.kind),
                       c.kind == Kind::Button && findHoldButton(c.name) != nullptr, covers});
    }
    return out;
}

std::vector<std::string_view> tabOrder() {
    std::vector<const LayoutControl*> order;
    for (const LayoutControl& c : layoutControls())
        if (focusable(c.kind)) order.push_back(&c);
    std::stable_sort(order.begin(), order.end(), [](const auto* a, const auto* b) { return a->tab < b->tab; });
    std::vector<std::string_view> names;
    for (const auto* c : order) names.push_back(c->name);
    return names;
}

std::string_view nextInTabOrder(std::string_view current, int step, const std::function<bool(std::string_view)>& usable) {
    static const std::vector<std::string_view> order = tabOrder();
    const auto count = static_cast<long long>(order.size());
    const auto found = std::find(order.begin(), order.end(), current);
    const long long at = found == order.end() ? 0 : found - order.begin();
    for (long long n = 1; n <= count; ++n) {
        const auto i = static_cast<std::size_t>(((at + step * n) % count + count) % count);
        if (usable(order[i])) return order[i];
    }
    return current;
}

} // namespace tova
