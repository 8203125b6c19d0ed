// SPDX-License-Identifier: MIT
#include "bridge/client_bounds.hpp"

#include "core/host_port.hpp"

#include <algorithm>
#include <utility>

namespace tova::bridge {

OutputBound::OutputBound(Timer& stall, std::function<void(const std::string& why)> close)
    : m_stall(stall), m_close(std::move(close)) {
    m_stall.setEnabled(false);
    m_stall.setInterval(kStallMs);
    m_stall.setOnTick([this] {
        m_stall.setEnabled(false);
        if (!std::exchange(m_closed, true) && m_close) m_close("took nothing of its replies for 10 s");
    });
}

OutputBound::~OutputBound() { m_stall.setOnTick({}); }

void OutputBound::queued(std::size_t unsent) {
    if (m_closed) return;
    if (unsent >= kCloseAt) {
        m_closed = true;
        m_stall.setEnabled(false);
        if (m_close) m_close("1 MB of replies it does not take");
        return;
    }
    if (unsent > 0 && !m_stall.enabled()) m_stall.setEnabled(true);
}

void OutputBound::took(std::size_t unsent) {
    if (m_closed) return;
    if (unsent == 0) m_stall.setEnabled(false);
    else m_stall.setEnabled(true); // progress: the count starts over
}

bool DigestBackoff::wrong(const std::string& peer) {
    const std::string address = addressGroup(peer);
    const auto now = m_clock.now();
    if (!m_records.contains(address) && m_records.size() >= kAddresses) {
        auto oldest = m_records.end();
        for (auto it = m_records.begin(); it != m_records.end(); ++it)
            if (it->second.bannedUntil <= now && (oldest == m_records.end() || it->second.last < oldest->second.last)) oldest = it;
        if (oldest == m_records.end()) return false;
        m_records.erase(oldest);
    }
    Record& r = m_records[address];
    r.last = now;
    r.wrong.push_back(now);
    while (!r.wrong.empty() && r.wrong.front() <= now - kWindow) r.wrong.pop_front();
    if (static_cast<int>(r.wrong.size()) < kLimit || r.bannedUntil > now) return false;
    r.bannedUntil = now + kBan;
    r.wrong.clear();
    return true;
}

bool DigestBackoff::banned(const std::string& peer) {
    const auto it = m_records.find(addressGroup(peer));
    return it != m_records.end() && it->second.bannedUntil > m_clock.now();
}

} // namespace tova::bridge
