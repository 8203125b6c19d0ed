// SPDX-License-Identifier: MIT
#include "bridge/client_registry.hpp"

#include "link/traffic.hpp"

namespace tova::bridge {

ProjectorConfig projectorConfig(const ProjectorConfig& defaults, const ListenerOption& own) {
    ProjectorConfig c = defaults;
    c.prefix = own.prefix;
    if (own.name) c.name = *own.name;
    if (own.inputs) c.inputs = *own.inputs;
    return c;
}

std::string describeDropped(const Dropped& d) {
    const std::string shown = trafficText(std::string_view(d.bytes).substr(0, 64));
    return (d.why == Dropped::AfterReply ? "dropped after the reply:" : "dropped, nobody asked:") + shown;
}

std::optional<ClientId> ClientRegistry::admit(ClientKind kind) {
    if (static_cast<int>(m_clients.size()) >= m_max) return std::nullopt;
    const ClientId id = m_next++;
    m_clients.emplace(id, kind);
    return id;
}

void ClientRegistry::remove(ClientId id) { m_clients.erase(id); }

std::vector<ClientId> ClientRegistry::lostDevice() const {
    std::vector<ClientId> out;
    for (const auto& [id, kind] : m_clients)
        if (kind == ClientKind::SharedLine) out.push_back(id);
    return out;
}

} // namespace tova::bridge
