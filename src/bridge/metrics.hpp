// SPDX-License-Identifier: MIT
#pragma once
// /metrics in Prometheus's text format (0.0.4): each projector's state as the poller keeps it,
// the line's counters and exchange times, clients per listener, failed logins and digests.
#include "bridge/projector.hpp"
#include "bridge/projector_state.hpp"
#include "link/exchange_queue.hpp"

#include <array>
#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tova::bridge {

// The line's counters, fed by the exchange queue as each exchange ends and each stray arrives.
class LineStats {
  public:
    // Upper bounds of the exchange-time histogram, in seconds.
    static constexpr std::array<double, 9> kBuckets{0.01, 0.025, 0.05, 0.1, 0.25, 0.5, 1, 2.5, 5};

    void exchanged(const ExchangeResult& r);
    void stray() { ++m_strays; }

    std::uint64_t exchanges() const { return m_exchanges; }
    std::uint64_t timeouts() const { return m_timeouts; }
    std::uint64_t strays() const { return m_strays; }
    // Exchanges that took at most each bucket's bound (not cumulative), the rest, the sum.
    const std::array<std::uint64_t, kBuckets.size() + 1>& counts() const { return m_counts; }
    double seconds() const { return m_seconds; }

  private:
    std::uint64_t m_exchanges = 0, m_timeouts = 0, m_strays = 0;
    std::array<std::uint64_t, kBuckets.size() + 1> m_counts{};
    double m_seconds = 0;
};

struct ListenerMetrics {
    std::string name; // as the log names it
    std::string kind; // "pjlink", "shared_line" or "http"
    std::size_t clients = 0;
};

struct MetricsInput {
    std::vector<ServedProjector> projectors;
    std::vector<ListenerMetrics> listeners;
    const LineStats* line = nullptr;
    bool lineUp = false;
    std::uint64_t pjlinkAuthFailures = 0, httpAuthFailures = 0;
    std::chrono::milliseconds now{0};      // the steady clock's, as the state's times are
    std::chrono::milliseconds wallTime{0}; // the calendar's
    std::chrono::milliseconds startedAt{0}; // the calendar's, when the bridge started
    std::string version;
};

std::string metricsText(const MetricsInput& in);

// A label value as the format writes it: backslash, double quote and line feed escaped.
std::string labelValue(std::string_view text);

} // namespace tova::bridge
