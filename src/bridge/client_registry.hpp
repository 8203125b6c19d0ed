// SPDX-License-Identifier: MIT
#pragma once
// The bridge's clients as its rules see them: which listener and kind each came to, how many a
// listener admits, and what a lost device does to each kind. The sockets are the Qt layer's.
#include "bridge/listener_option.hpp"
#include "bridge/pjlink_session.hpp"
#include "link/exchange_queue.hpp"

#include <cstddef>
#include <string>
#include <map>
#include <optional>
#include <vector>

namespace tova::bridge {

enum class ClientKind { Pjlink, SharedLine };

// A PJLink listener's projector: the defaults of every projector with the listener's own
// settings over them.
ProjectorConfig projectorConfig(const ProjectorConfig& defaults, const ListenerOption& own);

// A log line for received bytes that answered no line.
std::string describeDropped(const Dropped& d);

class ClientRegistry {
  public:
    explicit ClientRegistry(int maxClients) : m_max(maxClients) {}

    // A new client of that kind, or nullopt when the limit is reached.
    std::optional<ClientId> admit(ClientKind kind);
    void remove(ClientId id);
    // The device is lost: the clients to close. Shared-line clients go, as a device server's
    // clients do; PJLink clients stay and are answered ERR4 until the device is back.
    std::vector<ClientId> lostDevice() const;
    int limit() const { return m_max; }

  private:
    int m_max;
    ClientId m_next = 1;
    std::map<ClientId, ClientKind> m_clients;
};

} // namespace tova::bridge
