// SPDX-License-Identifier: MIT
#pragma once
// The one warning box: at most one is open. A warning raised while it is open adds nothing the
// operator has not been told; what was to follow its dismissal still follows it.
#include "core/panel.hpp"

#include <functional>
#include <string>
#include <vector>

namespace tova {

class WarningBox {
  public:
    explicit WarningBox(Panel& panel) : m_panel(panel) {}
    void warn(const std::string& text, std::function<void()> afterDismiss = {});

  private:
    void closed();
    Panel& m_panel;
    bool m_open = false;
    std::vector<std::function<void()>> m_after;
};

} // namespace tova
