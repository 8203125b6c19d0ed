// SPDX-License-Identifier: MIT
#pragma once
// The thread a program's handlers run on, without a window of its own: a message-only window
// that runs what other threads post to it and ticks the timers, in order, one at a time. Modal
// loops (a message box) dispatch to it too, as to every window of the thread.
#include "core/timer.hpp"

#include <deque>
#include <functional>
#include <map>
#include <mutex>

#include <windows.h>

namespace tova::win32 {

class Dispatcher {
  public:
    Dispatcher();
    ~Dispatcher();
    Dispatcher(const Dispatcher&) = delete;
    Dispatcher& operator=(const Dispatcher&) = delete;

    // Runs f on the dispatcher's thread, after the handler running now; from any thread.
    void post(std::function<void()> f);
    HWND window() const { return m_window; }

  private:
    friend class Win32Timer;
    static LRESULT CALLBACK proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    void runPosted();

    HWND m_window = nullptr;
    std::mutex m_mutex;
    std::deque<std::function<void()>> m_posted;
    bool m_signalled = false;
    std::map<UINT_PTR, class Win32Timer*> m_timers;
    UINT_PTR m_nextTimer = 1;
};

// A window timer: SetTimer on the dispatcher's window. Setting the interval of a running timer
// restarts its count, as does enabling it again; a stopped timer ticks no more.
class Win32Timer : public Timer {
  public:
    explicit Win32Timer(Dispatcher& d);
    ~Win32Timer() override;
    Win32Timer(const Win32Timer&) = delete;
    Win32Timer& operator=(const Win32Timer&) = delete;

    void setInterval(int ms) override;
    int interval() const override { return m_interval; }
    void setEnabled(bool enabled) override;
    bool enabled() const override { return m_enabled; }
    void setOnTick(std::function<void()> handler) override { m_onTick = std::move(handler); }

  private:
    friend class Dispatcher;
    void arm();
    Dispatcher& m_dispatcher;
    UINT_PTR m_id;
    int m_interval = 0;
    bool m_enabled = false;
    std::function<void()> m_onTick;
};

} // namespace tova::win32
