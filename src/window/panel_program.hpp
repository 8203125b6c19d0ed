// SPDX-License-Identifier: MIT
#pragma once
// The panel program, the same for both windows: its command line, the devices it runs on (given,
// kept, or virtual projectors), the trace, the panel's logic on its timers and window, started
// up as the window's load does, shown, and run. Each system gives its parts through
// PanelPlatform, as a table of what it does; nothing of the order of things is written twice.
#include "core/window.hpp"
#include "core/serial_control.hpp"
#include "core/timer.hpp"
#include "options/panel_options.hpp"
#include "panel/panel.hpp"
#include "window/window_input.hpp"

#include <memory>
#include <string>
#include <vector>

namespace tova {

// The panel put together on a serial control and a window: its four timers and its logic, the
// window's input going to it (connect), started up as the window's load does before the window
// is first shown.
struct PanelAssembly {
    PanelAssembly(SerialControl& serial, Window& window, const MakeTimer& makeTimer,
                  const std::function<void(InputHandlers)>& connect, PortChoices ports = {});
    std::unique_ptr<Timer> repeat, replyTimeout, comFrame, displayClear;
    Panel panel;
};

class PanelPlatform {
  public:
    virtual ~PanelPlatform() = default;

    virtual PanelSystem system() const = 0;
    virtual DeviceStore& keptDevices() = 0;
    // The serial ports this computer has.
    virtual std::vector<SerialPortInfo> serialPorts() = 0;
    // Says the outcome where it can be read; its exit status.
    virtual int finish(const cli::Outcome& outcome) = 0;
    // A line for standard error (or the console), ending in a line feed.
    virtual void notice(const std::string& text) = 0;
    // Why no window can be shown here (no display), or empty.
    virtual std::string cannotShow(const std::vector<std::string>& arguments) { (void)arguments; return {}; }
    // The window system, before any window, port or timer.
    virtual void startWindowing() {}
    // Virtual projectors on both ports, their devices given back; throws when they cannot start.
    virtual void startDemo(std::string& com1, std::string& com2) = 0;
    virtual SerialControl& serialControl(const std::string& com1, const std::string& com2) = 0;
    virtual std::unique_ptr<Timer> timer() = 0;
    // The window; then its input, once the handlers it goes to stand.
    virtual Window& window() = 0;
    virtual void setInput(InputHandlers handlers) = 0;
    virtual void show() = 0;
    virtual void screenshotLater(const std::string& file, int heightTwips) = 0;
    // The event loop until the window is closed or END; the exit status.
    virtual int run() = 0;
};

int runPanel(const std::vector<std::string>& arguments, PanelPlatform& platform);

} // namespace tova
