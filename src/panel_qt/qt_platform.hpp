// SPDX-License-Identifier: MIT
#pragma once
// What the panel program is given on Qt: its settings for the kept devices, the application,
// the virtual projectors, the serial control, timers and the window.
#include "core/serial_ports.hpp"
#include "panel_qt/demo_projectors.hpp"
#include "panel_qt/kept_devices.hpp"
#include "panel_qt/qt_window.hpp"
#include "qt/qt_serial_control.hpp"
#include "window/panel_program.hpp"

#include <QApplication>

#include <memory>

namespace tova {

class QtPlatform : public PanelPlatform {
  public:
    // argc and argv as main has them: Qt takes its own options from them.
    QtPlatform(int& argc, char** argv) : m_argc(argc), m_argv(argv) {}

    PanelSystem system() const override { return qtPanelSystem(); }
    DeviceStore& keptDevices() override { return m_kept; }
    std::vector<SerialPortInfo> serialPorts() override { return tova::serialPorts(); }
    int finish(const cli::Outcome& outcome) override { return cli::finish(outcome); }
    void notice(const std::string& text) override;
    std::string cannotShow(const std::vector<std::string>& arguments) override { return missingDisplay(arguments); }
    void startWindowing() override;
    void startDemo(std::string& com1, std::string& com2) override { m_demo = std::make_unique<DemoProjectors>(com1, com2); }
    SerialControl& serialControl(const std::string& com1, const std::string& com2) override;
    std::unique_ptr<Timer> timer() override { return std::make_unique<QtTimer>(); }
    Window& window() override;
    void setInput(InputHandlers handlers) override { m_window->setInput(std::move(handlers)); }
    void show() override { m_window->showAtStart(); }
    void screenshotLater(const std::string& file, int heightTwips) override;
    int run() override { return QApplication::exec(); }

  private:
    int& m_argc;
    char** m_argv;
    KeptDevices m_kept;
    std::unique_ptr<QApplication> m_app;
    std::unique_ptr<DemoProjectors> m_demo;
    std::unique_ptr<QtSerialControl> m_port;
    std::unique_ptr<QtWindow> m_window;
};

} // namespace tova
