// SPDX-License-Identifier: MIT
#include "window/warnings.hpp"

namespace tova {

void Warnings::show(const std::string& text, bool question, std::function<void(bool yes)> onClosed) {
    m_platform.later([this, text, question, onClosed = std::move(onClosed)]() mutable {
        if (const std::string held = m_input.letGoHeld(); !held.empty()) m_platform.showUp(held);
        m_platform.open(std::string(kProgramTitle), text, question, std::move(onClosed));
    });
}

} // namespace tova
