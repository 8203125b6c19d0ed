// SPDX-License-Identifier: MIT
#pragma once
// What the panel program is given in native Win32: the registry for the kept devices, the
// system's millisecond timer, the virtual projectors, the serial control, timers and the window.
#include "core/serial_ports.hpp"
#include "panel_win32/demo_projectors.hpp"
#include "panel_win32/kept_devices.hpp"
#include "panel_win32/win32_window.hpp"
#include "win32/dispatcher.hpp"
#include "win32/win32_serial_control.hpp"
#include "window/panel_program.hpp"

#include <memory>

namespace tova::win32 {

class Win32Platform : public PanelPlatform {
  public:
    Win32Platform() = default;
    ~Win32Platform() override;

    PanelSystem system() const override { return win32PanelSystem(); }
    DeviceStore& keptDevices() override { return m_kept; }
    std::vector<SerialPortInfo> serialPorts() override { return tova::serialPorts(); }
    int finish(const cli::Outcome& outcome) override;
    void notice(const std::string& text) override;
    void startWindowing() override;
    void startDemo(std::string& com1, std::string& com2) override;
    SerialControl& serialControl(const std::string& com1, const std::string& com2) override;
    std::unique_ptr<Timer> timer() override { return std::make_unique<Win32Timer>(m_dispatcher); }
    Window& window() override;
    void setInput(InputHandlers handlers) override { m_window->setInput(std::move(handlers)); }
    void show() override { m_window->show(); }
    void screenshotLater(const std::string& file, int heightTwips) override;
    int run() override { return m_window->run(); }

  private:
    KeptDevices m_kept;
    HMODULE m_winmm = nullptr;
    Dispatcher m_dispatcher;
    std::unique_ptr<DemoProjector> m_demo1, m_demo2;
    std::unique_ptr<Win32SerialControl> m_port;
    std::unique_ptr<Win32Window> m_window;
    std::unique_ptr<Win32Timer> m_shot;
};

} // namespace tova::win32
