// SPDX-License-Identifier: MIT
#pragma once
// The bridge's clients as its rules see them: the listener each came to, the places a listener
// has and who gives one up for a newcomer, and what a lost device does to each kind. The sockets
// are the Qt layer's.
#include "bridge/listener.hpp"
#include "bridge/listener_slots.hpp"
#include "link/exchange_queue.hpp"

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace tova::bridge {

class ClientRegistry {
  public:
    // Why a client is not admitted.
    enum class Refusal {
        Full,        // its listener serves as many as it may, each doing its part
        AddressFull, // its address holds its share of the listener
        DeviceGone,  // a shared-line client while the device is gone: it could do nothing
    };
    struct Admitted {
        ClientId id;
        std::optional<ClientId> evicted; // closed to make room for it
        bool evictedFellSilent = false;  // it had done its part, then nothing for its listener's idle bound
    };

    explicit ClientRegistry(const Clock& clock) : m_clock(clock) {}

    // A listener of that kind with those places; its number.
    int addListener(ClientKind kind, SlotRules rules);
    std::variant<Admitted, Refusal> admit(int listener, const std::string& address, bool lineUp);
    // The client has done its part (authenticated, a whole request or line): it keeps its place.
    void settle(ClientId id);
    void remove(ClientId id);
    // The device is lost: the clients to close. Shared-line clients go, as a device server's
    // clients do; PJLink clients stay and are answered ERR4 until the device is back.
    std::vector<ClientId> lostDevice() const;
    std::size_t clients(int listener) const;
    // How long the listener's next newcomer waits for a place (0: now, or refused).
    std::chrono::milliseconds wait(int listener) const { return m_listeners.at(static_cast<std::size_t>(listener)).places.wait(); }
    const SlotRules& rules(int listener) const { return m_listeners.at(static_cast<std::size_t>(listener)).places.rules(); }

  private:
    struct Listener {
        ClientKind kind;
        ListenerSlots places;
    };
    const Clock& m_clock;
    std::vector<Listener> m_listeners;
    ClientId m_next = 1;
    std::map<ClientId, int> m_clients; // the listener of each
};

} // namespace tova::bridge
