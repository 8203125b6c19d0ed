// SPDX-License-Identifier: MIT
#include "bridge/connection_tally.hpp"

#include <utility>

namespace tova::bridge {

ConnectionTally::ConnectionTally(Timer& timer, std::function<void(const std::string&)> out)
    : m_timer(timer), m_out(std::move(out)) {
    m_timer.setEnabled(false);
    m_timer.setInterval(static_cast<int>(kEvery.count()));
    m_timer.setOnTick([this] { tell(); });
}

ConnectionTally::~ConnectionTally() { m_timer.setOnTick({}); }

void ConnectionTally::connected(const std::string& kind, const std::string& address) {
    Count& c = m_counts[kind];
    ++c.connections;
    if (c.addresses.size() < kMaxAddresses) c.addresses.insert(address);
    else c.more = c.more || !c.addresses.contains(address);
    if (!m_timer.enabled()) m_timer.setEnabled(true); // the minute starts with its first
}

void ConnectionTally::tell() {
    m_timer.setEnabled(false);
    std::string line;
    for (const auto& [kind, c] : std::exchange(m_counts, {})) {
        const std::size_t n = c.addresses.size();
        line += (line.empty() ? "" : "; ") + kind + ": " + std::to_string(c.connections) + " connection" +
                (c.connections == 1 ? "" : "s") + " from " + (c.more ? "over " : "") + std::to_string(n) + " address" +
                (n == 1 ? "" : "es");
    }
    if (!line.empty() && m_out) m_out(line + " in the last minute");
}

} // namespace tova::bridge
