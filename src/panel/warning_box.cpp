// SPDX-License-Identifier: MIT
#include "panel/warning_box.hpp"

#include <utility>

namespace tova {

void WarningBox::warn(const std::string& text, std::function<void()> afterDismiss) {
    if (afterDismiss) m_after.push_back(std::move(afterDismiss));
    if (m_open) return;
    m_open = true;
    m_window.showWarning(text, [this] { closed(); });
}

void WarningBox::closed() {
    m_open = false;
    for (auto& f : std::exchange(m_after, {})) f();
}

} // namespace tova
