// SPDX-License-Identifier: MIT
#include "panel_win32/win32_platform.hpp"

#include "sim/projector.hpp"
#include "win32/program_output.hpp"

namespace tova::win32 {
namespace {
using TimePeriod = UINT(WINAPI*)(UINT);
TimePeriod periodCall(HMODULE winmm, const char* name) {
    return winmm ? reinterpret_cast<TimePeriod>(reinterpret_cast<void*>(GetProcAddress(winmm, name))) : nullptr;
}
} // namespace

Win32Platform::~Win32Platform() {
    if (const auto end = periodCall(m_winmm, "timeEndPeriod")) end(1);
}

int Win32Platform::finish(const cli::Outcome& outcome) { return win32::finish(outcome); }

void Win32Platform::notice(const std::string& text) { win32::notice(text); }

void Win32Platform::startWindowing() {
    // The system's timer ticks every millisecond while the panel runs: a held button's period
    // is kept to the millisecond, as on the classic panel. Set first thing in the message loop,
    // before any input, so that loading the library does not hold the window back.
    m_dispatcher.post([this] {
        m_winmm = LoadLibraryW(L"winmm.dll");
        if (const auto begin = periodCall(m_winmm, "timeBeginPeriod")) begin(1);
    });
}

void Win32Platform::startDemo(std::string& com1, std::string& com2) {
    sim::ProjectorLine::Options o;
    o.timings = sim::fastTimings();
    m_demo1 = std::make_unique<DemoProjector>(m_dispatcher, o);
    m_demo2 = std::make_unique<DemoProjector>(m_dispatcher, o);
    com1 = m_demo1->where();
    com2 = m_demo2->where();
}

SerialControl& Win32Platform::serialControl(const std::string& com1, const std::string& com2) {
    m_port = std::make_unique<Win32SerialControl>(com1, com2, m_dispatcher);
    return *m_port;
}

Window& Win32Platform::window() {
    m_window = std::make_unique<Win32Window>();
    return m_window->surface();
}

void Win32Platform::screenshotLater(const std::string& file, int heightTwips) {
    // Once the window stands shown, as the operator would see it.
    m_shot = std::make_unique<Win32Timer>(m_dispatcher);
    m_shot->setOnTick([this, file, heightTwips] {
        m_shot->setEnabled(false);
        const bool saved = m_window->saveScreenshot(file, heightTwips);
        notice("tova-control: " + std::string(saved ? "screenshot saved to " : "cannot save the screenshot to ") + file + "\n");
    });
    m_shot->setInterval(900);
    m_shot->setEnabled(true);
}

} // namespace tova::win32
