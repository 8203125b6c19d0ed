// SPDX-License-Identifier: MIT
#pragma once
// The bridge's clients as its rules see them: the listener each came to, how many a listener
// admits, and what a lost device does to each kind. The sockets are the Qt layer's.
#include "bridge/listener.hpp"
#include "link/exchange_queue.hpp"

#include <cstddef>
#include <map>
#include <string>
#include <variant>
#include <vector>

namespace tova::bridge {

class ClientRegistry {
  public:
    // Why a client is not admitted.
    enum class Refusal {
        Full,       // its listener serves as many as it may
        DeviceGone, // a shared-line client while the device is gone: it could do nothing
    };

    // A listener of that kind admitting at most maxClients at once; its number.
    int addListener(ClientKind kind, int maxClients);
    std::variant<ClientId, Refusal> admit(int listener, bool lineUp);
    void remove(ClientId id);
    // The device is lost: the clients to close. Shared-line clients go, as a device server's
    // clients do; PJLink clients stay and are answered ERR4 until the device is back.
    std::vector<ClientId> lostDevice() const;
    std::size_t clients(int listener) const;
    int limit(int listener) const { return m_listeners.at(static_cast<std::size_t>(listener)).max; }

  private:
    struct Listener {
        ClientKind kind;
        int max;
        std::size_t clients = 0;
    };
    std::vector<Listener> m_listeners;
    ClientId m_next = 1;
    std::map<ClientId, int> m_clients; // the listener of each
};

} // namespace tova::bridge
