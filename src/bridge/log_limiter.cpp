// SPDX-License-Identifier: MIT
#include "bridge/log_limiter.hpp"

namespace tova::bridge {

using std::chrono::milliseconds;

LogLimiter::LogLimiter(const Clock& clock, Timer& window, std::function<void(Priority, const std::string&)> out)
    : m_clock(clock), m_window(window), m_out(std::move(out)) {
    m_window.setEnabled(false);
    m_window.setInterval(kWindowMs);
    m_window.setOnTick([this] { summarise(); });
}

LogLimiter::~LogLimiter() { m_window.setOnTick({}); }

void LogLimiter::say(const std::string& kind, const std::string& text, const std::string& from, Priority priority) {
    const auto now = m_clock.now();
    Kind& k = m_kinds[kind];
    if (now - k.since >= milliseconds(kWindowMs) && k.more == 0) k = Kind{now};
    k.priority = priority;
    if (k.said < kBurst) {
        ++k.said;
        if (m_out) m_out(priority, text);
        return;
    }
    ++k.more;
    k.last = text;
    if (!from.empty()) {
        if (k.from.size() < kMaxSources) k.from.insert(from);
        else k.moreSources = k.moreSources || !k.from.contains(from);
    }
    if (!m_window.enabled()) m_window.setEnabled(true);
}

void LogLimiter::summarise() {
    const auto now = m_clock.now();
    for (auto it = m_kinds.begin(); it != m_kinds.end();) {
        Kind& k = it->second;
        if (k.more > 0) {
            std::string sources;
            if (k.from.size() > 1 || k.moreSources)
                sources = " from " + std::string(k.moreSources ? "over " : "") + std::to_string(k.from.size()) + " addresses";
            if (m_out)
                m_out(k.priority, k.last + " ... " + std::to_string(k.more) + " more like this" + sources + " in the last " +
                      std::to_string(kWindowMs / 1000) + " s");
            k = Kind{now};
            ++it;
        } else if (now - k.since >= milliseconds(kWindowMs)) {
            it = m_kinds.erase(it); // quiet for a whole window: forgotten
        } else {
            ++it;
        }
    }
    if (m_kinds.empty()) m_window.setEnabled(false);
}

} // namespace tova::bridge
