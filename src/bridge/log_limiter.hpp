// SPDX-License-Identifier: MIT
#pragma once
// The bridge's log, bounded: of the lines of one kind, kBurst are said in each kWindow and the
// rest counted, then summarised ("... 120 more like this from 97 addresses in the last 10 s").
// A kind is what happened, not who did it: a client that floods, clients that rotate their
// addresses, or a device that never stops talking, cost the log a few lines.
#include "bridge/log_priority.hpp"
#include "core/clock.hpp"
#include "core/timer.hpp"

#include <chrono>
#include <functional>
#include <map>
#include <set>
#include <string>

namespace tova::bridge {

class LogLimiter {
  public:
    static constexpr int kBurst = 3;
    static constexpr int kWindowMs = 10000;
    static constexpr std::size_t kMaxSources = 1024; // addresses counted per kind and window

    // out: where the lines said go, with how much they matter.
    LogLimiter(const Clock& clock, Timer& window, std::function<void(Priority, const std::string&)> out);
    ~LogLimiter();
    LogLimiter(const LogLimiter&) = delete;
    LogLimiter& operator=(const LogLimiter&) = delete;

    // A line of its kind; from: the address it concerns, if any, counted for the summary.
    void say(const std::string& kind, const std::string& text, const std::string& from = {},
             Priority priority = Priority::Warning);

  private:
    void summarise();
    struct Kind {
        explicit Kind(std::chrono::milliseconds at = {}) : since(at) {}
        std::chrono::milliseconds since;
        int said = 0, more = 0;
        std::string last; // the last line held back, for its summary
        Priority priority = Priority::Warning;
        std::set<std::string> from; // the addresses of those held back
        bool moreSources = false;   // past kMaxSources
    };
    const Clock& m_clock;
    Timer& m_window;
    std::function<void(Priority, const std::string&)> m_out;
    std::map<std::string, Kind> m_kinds;
};

} // namespace tova::bridge
