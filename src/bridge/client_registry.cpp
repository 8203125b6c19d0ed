// SPDX-License-Identifier: MIT
#include "bridge/client_registry.hpp"

#include "link/traffic.hpp"

namespace tova::bridge {

ProjectorConfig projectorConfig(const BridgeSettings& s, const ListenerSpec& own) {
    ProjectorConfig c;
    c.prefix = own.prefix;
    if (s.name) c.name = *s.name;
    if (s.inputs) c.inputs = *s.inputs;
    if (own.name) c.name = *own.name;
    if (own.inputs) c.inputs = *own.inputs;
    if (own.inputNames) c.inputNames = *own.inputNames;
    c.serial = own.serial;
    c.version = own.version;
    c.lampModel = own.lampModel;
    c.filterModel = own.filterModel;
    return c;
}

std::string describeDropped(const Dropped& d) {
    const std::string shown = trafficText(std::string_view(d.bytes).substr(0, 64));
    switch (d.why) {
    case Dropped::AfterReply: return "dropped after the reply:" + shown;
    case Dropped::Stray: return "dropped, the reply of another line:" + shown;
    case Dropped::WhileQuiet:
    case Dropped::NobodyAsked: break;
    }
    return "dropped, nobody asked:" + shown;
}

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
