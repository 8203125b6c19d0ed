// SPDX-License-Identifier: MIT
#pragma once
// The one warning box: at most one is open. A warning raised while it is open adds nothing the
// operator has not been told; what was to follow its dismissal still follows it.
#include "core/window.hpp"

#include <functional>
#include <string>
#include <vector>

namespace tova {

class WarningBox {
  public:
    explicit WarningBox(Window& panel) : m_window(panel) {}
    void warn(const std::string& text, std::function<void()> afterDismiss = {});
    // The box with Yes and No. While a box is open the question is not asked: answered(false).
    void ask(const std::string& text, std::function<void(bool yes)> answered);

  private:
    void closed();
    Window& m_window;
    bool m_open = false;
    std::vector<std::function<void()>> m_after;
};

} // namespace tova
