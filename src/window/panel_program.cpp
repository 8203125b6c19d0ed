// SPDX-License-Identifier: MIT
#include "window/panel_program.hpp"

#include "link/tracing_serial.hpp"

#include <exception>

namespace tova {

PanelAssembly::PanelAssembly(SerialControl& serial, Window& window, const MakeTimer& makeTimer,
                             const std::function<void(InputHandlers)>& connect, PortChoices ports)
    : repeat(makeTimer()), replyTimeout(makeTimer()), comFrame(makeTimer()), displayClear(makeTimer()),
      panel(serial, window, {*repeat, *replyTimeout, *comFrame, *displayClear}) {
    connect(handlersOf(panel));
    panel.setPortChoices(std::move(ports));
    panel.startUp();
}

int runPanel(const std::vector<std::string>& arguments, PanelPlatform& p) {
    // The command line first: help, version and mistakes need no display.
    const PanelSystem system = p.system();
    const PanelCommandLine parsed = parsePanelCommandLine(arguments, system);
    if (!parsed.outcome.goOn()) return p.finish(parsed.outcome);
    const PanelOptions& opts = parsed.options;
    const Devices devices = chooseDevices(opts, p.keptDevices(), system);
    if (!devices.notice.empty()) p.notice(devices.notice);
    if (!devices.outcome.goOn()) return p.finish(devices.outcome);
    if (const std::string why = p.cannotShow(arguments); !why.empty()) return p.finish({1, "tova-control: " + why + "\n"});
    p.startWindowing();

    std::string com1 = devices.com1, com2 = devices.com2;
    try {
        if (opts.demo) {
            p.startDemo(com1, com2);
            p.notice("tova-control: demo: virtual projectors on COM1 " + com1 + " and COM2 " + com2 + "\n");
        }
    } catch (const std::exception& e) {
        return p.finish({1, std::string("tova-control: cannot start the virtual projectors: ") + e.what() + "\n"});
    }
    SerialControl& port = p.serialControl(com1, com2);
    std::unique_ptr<TracingSerial> traced;
    try {
        if (!opts.trace.empty()) traced = std::make_unique<TracingSerial>(port, opts.trace);
    } catch (const std::exception& e) {
        return p.finish({1, "tova-control: --trace " + opts.trace + ": " + e.what() + "\n"});
    }
    // A port led elsewhere is kept as --save keeps it.
    PortChoices ports{[&p] { return p.serialPorts(); },
                      [&p](int n, const std::string& device) {
                          DeviceStore::Kept k;
                          (n == 1 ? k.com1 : k.com2) = device;
                          return p.keptDevices().write(k);
                      }};
    PanelAssembly assembled(traced ? static_cast<SerialControl&>(*traced) : port, p.window(), [&p] { return p.timer(); },
                            [&p](InputHandlers h) { p.setInput(std::move(h)); }, std::move(ports));
    Panel& panel = assembled.panel;
    if (traced)
        traced->setOnFailure([&](const std::string& text) {
            p.notice("tova-control: " + text + "\n");
            panel.tell(text);
        });
    p.show();
    if (!opts.screenshot.empty()) p.screenshotLater(opts.screenshot, opts.screenshotHeight);
    const int status = p.run();
    p.setInput({}); // the panel goes before the window
    return status;
}

} // namespace tova
