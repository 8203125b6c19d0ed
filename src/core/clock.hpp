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
    // The calendar's time, since 1970 (UTC), for what is shown or exported as a time of day.
    virtual std::chrono::milliseconds wallTime() const = 0;
};

// The system's steady clock, for the programs.
class SteadyClock : public Clock {
  public:
    std::chrono::milliseconds now() const override {
        return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch());
    }
    std::chrono::milliseconds wallTime() const override {
        return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch());
    }
};

} // namespace tova
