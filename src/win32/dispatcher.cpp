// SPDX-License-Identifier: MIT
#include "win32/dispatcher.hpp"

#include <stdexcept>
#include <utility>

namespace tova::win32 {
namespace {

constexpr UINT kPosted = WM_APP + 1;
constexpr wchar_t kClass[] = L"TovaDispatcher";

} // namespace

Dispatcher::Dispatcher() {
    WNDCLASSW c{};
    c.lpfnWndProc = proc;
    c.hInstance = GetModuleHandleW(nullptr);
    c.lpszClassName = kClass;
    RegisterClassW(&c); // a second dispatcher finds it registered already
    m_window = CreateWindowExW(0, kClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, c.hInstance, nullptr);
    if (!m_window) throw std::runtime_error("cannot make the program's message window");
    SetWindowLongPtrW(m_window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

Dispatcher::~Dispatcher() {
    SetWindowLongPtrW(m_window, GWLP_USERDATA, 0);
    DestroyWindow(m_window);
}

void Dispatcher::post(std::function<void()> f) {
    std::lock_guard lock(m_mutex);
    m_posted.push_back(std::move(f));
    if (!std::exchange(m_signalled, true)) PostMessageW(m_window, kPosted, 0, 0);
}

void Dispatcher::runPosted() {
    std::deque<std::function<void()>> now;
    {
        std::lock_guard lock(m_mutex);
        now.swap(m_posted);
        m_signalled = false;
    }
    for (auto& f : now) f();
}

LRESULT CALLBACK Dispatcher::proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto* self = reinterpret_cast<Dispatcher*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self && msg == kPosted) {
        self->runPosted();
        return 0;
    }
    if (self && msg == WM_TIMER) {
        auto it = self->m_timers.find(wp);
        // A tick already queued when its timer was stopped is not delivered.
        if (it != self->m_timers.end() && it->second->m_enabled && it->second->m_onTick) it->second->m_onTick();
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

Win32Timer::Win32Timer(Dispatcher& d) : m_dispatcher(d), m_id(d.m_nextTimer++) { d.m_timers[m_id] = this; }

Win32Timer::~Win32Timer() {
    KillTimer(m_dispatcher.m_window, m_id);
    m_dispatcher.m_timers.erase(m_id);
}

void Win32Timer::arm() {
    // SetTimer on a running timer replaces it: its count starts again.
    SetTimer(m_dispatcher.m_window, m_id, static_cast<UINT>(m_interval > 0 ? m_interval : 1), nullptr);
}

void Win32Timer::setInterval(int ms) {
    m_interval = ms;
    if (m_enabled) arm();
}

void Win32Timer::setEnabled(bool enabled) {
    m_enabled = enabled;
    if (enabled) arm();
    else KillTimer(m_dispatcher.m_window, m_id);
}

} // namespace tova::win32
