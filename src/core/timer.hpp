// SPDX-License-Identifier: MIT
#pragma once
#include <functional>
#include <memory>

namespace tova {

// One window timer. Setting the interval of a running timer restarts its count; setting it on a
// stopped timer does not start it. Enabling a running timer restarts its count. A stopped timer
// delivers no further tick.
class Timer {
  public:
    virtual ~Timer() = default;
    virtual void setInterval(int ms) = 0;
    virtual int interval() const = 0;
    virtual void setEnabled(bool enabled) = 0;
    virtual bool enabled() const = 0;
    virtual void setOnTick(std::function<void()> handler) = 0;
};

// What a class that makes timers of its own is given to make them with.
using MakeTimer = std::function<std::unique_ptr<Timer>()>;

} // namespace tova
