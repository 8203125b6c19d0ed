// SPDX-License-Identifier: MIT
#include "bridge/listener_slots.hpp"

#include "core/host_port.hpp"

#include <algorithm>

namespace tova::bridge {

int defaultPerAddress(int size) { return std::max(1, std::min(8, size / 4)); }

std::optional<int> ListenerSlots::idlest(const std::string* group) const {
    const auto now = m_clock.now();
    std::optional<int> fresh, silent;
    std::chrono::milliseconds oldest{}, longest{};
    for (const auto& [id, h] : m_held) {
        if (group && h.group != *group) continue;
        if (!h.settled && now - h.since >= kGrace && (!fresh || h.since < oldest)) fresh = id, oldest = h.since;
        const bool quiet = h.settled && m_rules.idleAfter.count() > 0 && now - h.lastDone >= m_rules.idleAfter;
        if (quiet && (!silent || h.lastDone < longest)) silent = id, longest = h.lastDone;
    }
    return fresh ? fresh : silent;
}

std::chrono::milliseconds ListenerSlots::wait() const {
    if (static_cast<int>(m_held.size()) < m_rules.size) return std::chrono::milliseconds{0};
    std::optional<std::chrono::milliseconds> eldest;
    for (const auto& [id, h] : m_held)
        if (!h.settled && (!eldest || h.since < *eldest)) eldest = h.since;
    if (!eldest) return std::chrono::milliseconds{0};
    return std::max(std::chrono::milliseconds{0}, *eldest + kGrace - m_clock.now());
}

std::variant<ListenerSlots::Taken, ListenerSlots::Refused> ListenerSlots::take(int id, const std::string& address) {
    Taken taken;
    const std::string group = addressGroup(address);
    const bool limited = m_rules.perAddress > 0 && (m_rules.limitLoopback || !isLoopbackAddress(address));
    const auto fromGroup = std::count_if(m_held.begin(), m_held.end(), [&](const auto& h) { return h.second.group == group; });
    if (limited && fromGroup >= m_rules.perAddress) {
        // Its share is full: one of its own idle ones makes room.
        taken.evicted = idlest(&group);
        if (!taken.evicted) return Refused::AddressFull;
    } else if (static_cast<int>(m_held.size()) >= m_rules.size) {
        taken.evicted = idlest(nullptr);
        if (!taken.evicted) return Refused::Full;
    }
    if (taken.evicted) {
        taken.fellSilent = m_held.at(*taken.evicted).settled;
        m_held.erase(*taken.evicted);
    }
    m_held[id] = Held{group, m_clock.now()};
    return taken;
}

void ListenerSlots::settle(int id) {
    if (auto it = m_held.find(id); it != m_held.end()) {
        it->second.settled = true;
        it->second.lastDone = m_clock.now();
    }
}

void ListenerSlots::release(int id) { m_held.erase(id); }

} // namespace tova::bridge
