// SPDX-License-Identifier: MIT
#pragma once
// The bridge's log, bounded: of the lines of one kind, kBurst are said in each kWindow and the
// rest counted, then summarised ("... 120 more like this in the last 10 s"). A client that
// floods, or a device that never stops talking, costs the log a few lines.
#include "core/clock.hpp"
#include "core/timer.hpp"

#include <chrono>
#include <functional>
#include <map>
#include <string>

namespace tova::bridge {

class LogLimiter {
  public:
    static constexpr int kBurst = 3;
    static constexpr int kWindowMs = 10000;

    // out: where the lines said go.
    LogLimiter(const Clock& clock, Timer& window, std::function<void(const std::string&)> out);
    ~LogLimiter();
    LogLimiter(const LogLimiter&) = delete;
    LogLimiter& operator=(const LogLimiter&) = delete;

    // A line of its kind (lines of one kind say the same thing of the same source).
    void say(const std::string& kind, const std::string& text);

  private:
    void summarise();
    struct Kind {
        std::chrono::milliseconds since{0};
        int said = 0, more = 0;
        std::string last; // the last line held back, for its summary
    };
    const Clock& m_clock;
    Timer& m_window;
    std::function<void(const std::string&)> m_out;
    std::map<std::string, Kind> m_kinds;
};

} // namespace tova::bridge
