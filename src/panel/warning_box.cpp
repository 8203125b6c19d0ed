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

void WarningBox::ask(const std::string& text, std::function<void(bool yes)> answered) {
    if (m_open) return answered(false);
    m_open = true;
    m_window.askYesNo(text, [this, answered = std::move(answered)](bool yes) {
        closed(); // the answer may open a box of its own
        answered(yes);
    });
}

void WarningBox::closed() {
    m_open = false;
    for (auto& f : std::exchange(m_after, {})) f();
}

} // namespace tova
