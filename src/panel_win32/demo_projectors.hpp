// SPDX-License-Identifier: MIT
#pragma once
// A virtual projector behind a loopback TCP port, for --demo on Windows, where there are no
// pseudo-terminals: one client at a time, as a device server's port; the newest takes it over.
#include "core/clock.hpp"
#include "sim/projector_port.hpp"
#include "win32/dispatcher.hpp"

#include <atomic>
#include <memory>
#include <string>
#include <thread>

#include <winsock2.h>

namespace tova::win32 {

class DemoProjector {
  public:
    // Throws std::runtime_error when no loopback port can be had.
    DemoProjector(Dispatcher& dispatcher, sim::ProjectorLine::Options options);
    ~DemoProjector();
    DemoProjector(const DemoProjector&) = delete;
    DemoProjector& operator=(const DemoProjector&) = delete;

    // What the panel is given: tcp://127.0.0.1:PORT.
    std::string where() const { return m_where; }

  private:
    void serve(HANDLE stop);

    Dispatcher& m_dispatcher;
    Win32Timer m_timer;
    SteadyClock m_clock;
    sim::ProjectorPort m_port;
    SOCKET m_listener = INVALID_SOCKET;
    std::atomic<SOCKET> m_client{INVALID_SOCKET};
    std::string m_where;
    HANDLE m_stop = nullptr;
    std::thread m_thread;
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};

} // namespace tova::win32
