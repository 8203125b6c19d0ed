// SPDX-License-Identifier: MIT
// tova-control.exe: the operator panel in native Win32.
#include "link/tracing_serial.hpp"
#include "options/panel_options.hpp"
#include "panel/form1.hpp"
#include "panel_win32/panel_window.hpp"
#include "sim/projector.hpp"
#include "win32/demo_projector.hpp"
#include "win32/dispatcher.hpp"
#include "win32/program_output.hpp"
#include "win32/registry_devices.hpp"
#include "win32/win32_serial_control.hpp"

#include <memory>

#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    namespace w = tova::win32;
    const tova::PanelSystem system = w::win32PanelSystem();
    const tova::PanelCommandLine parsed = tova::parsePanelCommandLine(w::programArguments(), system);
    if (!parsed.outcome.goOn()) return w::finish(parsed.outcome);
    const tova::PanelOptions& opts = parsed.options;
    w::RegistryDevices kept;
    const tova::Devices devices = tova::chooseDevices(opts, kept, system);
    w::notice(devices.notice);
    if (!devices.outcome.goOn()) return w::finish(devices.outcome);

    // The system's timer ticks every millisecond while the panel runs: a held button's period is
    // kept to the millisecond, as on the classic panel.
    using TimePeriod = UINT(WINAPI*)(UINT);
    const HMODULE winmm = LoadLibraryW(L"winmm.dll");
    const auto begin = winmm ? reinterpret_cast<TimePeriod>(reinterpret_cast<void*>(GetProcAddress(winmm, "timeBeginPeriod"))) : nullptr;
    if (begin) begin(1);

    w::Dispatcher dispatcher;
    std::string com1 = devices.com1, com2 = devices.com2;
    std::unique_ptr<w::DemoProjector> demo1, demo2;
    try {
        if (opts.demo) {
            tova::sim::ProjectorLine::Options o;
            o.timings = tova::sim::fastTimings();
            demo1 = std::make_unique<w::DemoProjector>(dispatcher, o);
            demo2 = std::make_unique<w::DemoProjector>(dispatcher, o);
            com1 = demo1->where();
            com2 = demo2->where();
            w::notice("tova-control: demo: virtual projectors on COM1 " + com1 + " and COM2 " + com2 + "\n");
        }
    } catch (const std::exception& e) {
        return w::finish({1, std::string("tova-control: cannot start the virtual projectors: ") + e.what() + "\n"});
    }
    w::Win32SerialControl port(com1, com2, dispatcher);
    std::unique_ptr<tova::TracingSerial> traced;
    try {
        if (!opts.trace.empty()) traced = std::make_unique<tova::TracingSerial>(port, opts.trace);
    } catch (const std::exception& e) {
        return w::finish({1, "tova-control: --trace " + opts.trace + ": " + e.what() + "\n"});
    }
    tova::SerialControl& line = traced ? static_cast<tova::SerialControl&>(*traced) : port;

    w::PanelWindow window;
    w::Win32Timer repeat(dispatcher), replyTimeout(dispatcher), comFrame(dispatcher), displayClear(dispatcher);
    tova::Form1 form(line, window, {repeat, replyTimeout, comFrame, displayClear});
    window.setForm(&form);
    form.startUp();
    if (traced)
        traced->setOnFailure([&](const std::string& text) {
            w::notice("tova-control: " + text + "\n");
            form.tell(text);
        });
    window.show();
    w::Win32Timer shot(dispatcher);
    if (!opts.screenshot.empty()) {
        // Once the window stands shown, as the operator would see it.
        shot.setOnTick([&] {
            shot.setEnabled(false);
            const bool saved = window.saveScreenshot(opts.screenshot, opts.screenshotHeight);
            w::notice("tova-control: " + std::string(saved ? "screenshot saved to " : "cannot save the screenshot to ") +
                      opts.screenshot + "\n");
        });
        shot.setInterval(900);
        shot.setEnabled(true);
    }
    const int status = window.run();
    using EndPeriod = UINT(WINAPI*)(UINT);
    const auto endPeriod = winmm ? reinterpret_cast<EndPeriod>(reinterpret_cast<void*>(GetProcAddress(winmm, "timeEndPeriod"))) : nullptr;
    if (endPeriod) endPeriod(1);
    return status;
}
