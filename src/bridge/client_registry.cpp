// SPDX-License-Identifier: MIT
#include "bridge/client_registry.hpp"

namespace tova::bridge {

int ClientRegistry::addListener(ClientKind kind, int maxClients) {
    m_listeners.push_back({kind, maxClients});
    return static_cast<int>(m_listeners.size()) - 1;
}

std::variant<ClientId, ClientRegistry::Refusal> ClientRegistry::admit(int listener, bool lineUp) {
    Listener& l = m_listeners.at(static_cast<std::size_t>(listener));
    if (l.kind == ClientKind::SharedLine && !lineUp) return Refusal::DeviceGone;
    if (static_cast<int>(l.clients) >= l.max) return Refusal::Full;
    ++l.clients;
    const ClientId id = m_next++;
    m_clients.emplace(id, listener);
    return id;
}

void ClientRegistry::remove(ClientId id) {
    const auto it = m_clients.find(id);
    if (it == m_clients.end()) return;
    --m_listeners[static_cast<std::size_t>(it->second)].clients;
    m_clients.erase(it);
}

std::vector<ClientId> ClientRegistry::lostDevice() const {
    std::vector<ClientId> out;
    for (const auto& [id, listener] : m_clients)
        if (m_listeners[static_cast<std::size_t>(listener)].kind == ClientKind::SharedLine) out.push_back(id);
    return out;
}

std::size_t ClientRegistry::clients(int listener) const {
    return m_listeners.at(static_cast<std::size_t>(listener)).clients;
}

} // namespace tova::bridge
