// SPDX-License-Identifier: MIT
#pragma once
// Where --save keeps the panel's devices on Windows: the user's registry, under the key the Qt
// build of the panel uses too.
#include "options/panel_options.hpp"

namespace tova::win32 {

class KeptDevices : public DeviceStore {
  public:
    std::string where() const override;
    std::optional<Kept> read() override;
    bool write(const Kept& given) override;
};

// The panel's system facts for its command line, as the Windows program has them.
PanelSystem win32PanelSystem();

} // namespace tova::win32
