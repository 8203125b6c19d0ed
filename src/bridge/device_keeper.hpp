// SPDX-License-Identifier: MIT
#pragma once
// Keeps the serial line open for the bridge: opens it at start, and when it fails (an unplugged
// adapter, a dropped device-server connection) tells the queue, and tries again every 2 s until
// it is back. Each change of state is logged once, not each try. Opening never waits: a device
// server that does not answer holds up nothing else.
#include "bridge/log_priority.hpp"
#include "core/serial_control.hpp"
#include "core/timer.hpp"
#include "link/exchange_queue.hpp"

#include <functional>
#include <memory>
#include <string>

namespace tova::bridge {

class DeviceKeeper {
  public:
    static constexpr int kRetryMs = 2000;

    struct Callbacks {
        std::function<void(Priority, const std::string&)> log{};
        std::function<void()> down{}; // the line has failed: shared-line clients are closed
        std::function<void()> up{};   // the line is open: served again
    };
    DeviceKeeper(SerialControl& line, Timer& retry, ExchangeQueue& queue, LineSettings settings, Callbacks callbacks);
    ~DeviceKeeper();
    DeviceKeeper(const DeviceKeeper&) = delete;
    DeviceKeeper& operator=(const DeviceKeeper&) = delete;

    void start();
    // The line failed (told by the line's events, which its owner routes here).
    void lost(const SerialFailure& f);

  private:
    void tryOpen();
    SerialControl& m_line;
    Callbacks m_tell;
    Timer& m_retry;
    ExchangeQueue& m_queue;
    LineSettings m_settings;
    std::string m_state; // what was last logged about the device
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true); // for an open that ends later
};

} // namespace tova::bridge
