// SPDX-License-Identifier: MIT
#pragma once
#include <chrono>

namespace tova {

// Monotonic time for the logic: what it measures (time on the wire, poll ages, back-off) is
// tested on a fake clock, and read from the system's steady clock in the programs.
class Clock {
  public:
    virtual ~Clock() = default;
    virtual std::chrono::milliseconds now() const = 0;
};

// The system's steady clock, for the programs.
class SteadyClock : public Clock {
  public:
    std::chrono::milliseconds now() const override {
        return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch());
    }
};

} // namespace tova
