// SPDX-License-Identifier: MIT
#pragma once
// Where --save keeps the panel's devices with Qt: its settings (a file in the user's
// configuration folder, the registry on Windows).
#include "options/panel_options.hpp"

#include <QSettings>

namespace tova {

class KeptDevices : public DeviceStore {
  public:
    KeptDevices() : m_settings(QStringLiteral("tova-control"), QStringLiteral("tova-control")) {}
    std::string where() const override;
    std::optional<Kept> read() override;
    bool write(const Kept& given) override;

  private:
    QSettings m_settings;
};

// The panel's system facts for its command line, as the Qt build has them.
PanelSystem qtPanelSystem();

// Why the window cannot be shown here, or empty: no display for the platform that would be used.
std::string missingDisplay(const std::vector<std::string>& arguments);

} // namespace tova
