// SPDX-License-Identifier: MIT
#include "bridge/client_registry.hpp"

namespace tova::bridge {

int ClientRegistry::addListener(ClientKind kind, SlotRules rules) {
    m_listeners.push_back({kind, ListenerSlots(m_clock, rules)});
    return static_cast<int>(m_listeners.size()) - 1;
}

std::variant<ClientRegistry::Admitted, ClientRegistry::Refusal> ClientRegistry::admit(int listener, const std::string& address,
                                                                                    bool lineUp) {
    Listener& l = m_listeners.at(static_cast<std::size_t>(listener));
    if (l.kind == ClientKind::SharedLine && !lineUp) return Refusal::DeviceGone;
    const ClientId id = m_next;
    const auto taken = l.places.take(id, address);
    if (const auto* refused = std::get_if<ListenerSlots::Refused>(&taken))
        return *refused == ListenerSlots::Refused::Full ? Refusal::Full : Refusal::AddressFull;
    ++m_next;
    m_clients.emplace(id, listener);
    const auto& t = std::get<ListenerSlots::Taken>(taken);
    if (t.evicted) m_clients.erase(*t.evicted);
    return Admitted{id, t.evicted, t.fellSilent};
}

void ClientRegistry::settle(ClientId id) {
    if (const auto it = m_clients.find(id); it != m_clients.end())
        m_listeners[static_cast<std::size_t>(it->second)].places.settle(id);
}

void ClientRegistry::remove(ClientId id) {
    const auto it = m_clients.find(id);
    if (it == m_clients.end()) return;
    m_listeners[static_cast<std::size_t>(it->second)].places.release(id);
    m_clients.erase(it);
}

std::vector<ClientId> ClientRegistry::lostDevice() const {
    std::vector<ClientId> out;
    for (const auto& [id, listener] : m_clients)
        if (m_listeners[static_cast<std::size_t>(listener)].kind == ClientKind::SharedLine) out.push_back(id);
    return out;
}

std::size_t ClientRegistry::clients(int listener) const { return m_listeners.at(static_cast<std::size_t>(listener)).places.used(); }

} // namespace tova::bridge
