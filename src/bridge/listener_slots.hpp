// SPDX-License-Identifier: MIT
#pragma once
// Who holds a listener's places, and who gives one up for a newcomer. A full listener makes room
// by closing the oldest connection that has had a second and has done nothing yet (not
// authenticated, no whole request or line); a connection that has done its part is never
// dropped for one. While every place is held but some by connections younger than that,
// newcomers wait, unaccepted, in the order they came, until one can be made: clients that
// reconnect as soon as they are closed only join the back of that line, and a controller is
// greeted within about a second however many there are. A newcomer is refused only when every
// place is held by a connection that has done its part. One address holds at most perAddress
// places, so that one remote host cannot fill a listener; loopback peers (the panel, tova-send,
// a local controller) are exempt unless limitLoopback.
#include "core/clock.hpp"

#include <chrono>
#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <variant>

namespace tova::bridge {

struct SlotRules {
    int size = 1;
    int perAddress = 0; // 0: no limit
    bool limitLoopback = false;
};

// A listener's places per address unless told: the smaller of 8 and a quarter of its places.
int defaultPerAddress(int size);

class ListenerSlots {
  public:
    // A connection younger than this is not yet judged idle.
    static constexpr std::chrono::milliseconds kGrace{1000};

    struct Taken {
        std::optional<int> evicted; // the connection to close to make room
    };
    enum class Refused {
        Full,        // every place held by a connection that has done its part, or too young
        AddressFull, // the address holds its share, each doing its part or too young
    };

    ListenerSlots(const Clock& clock, SlotRules rules) : m_clock(clock), m_rules(rules) {}

    // How long the next newcomer waits before it is taken: 0 when a place is free or can be
    // made now, and when none can be made at all (it is refused).
    std::chrono::milliseconds wait() const;
    // A place for connection id from address, or why not.
    std::variant<Taken, Refused> take(int id, const std::string& address);
    // The connection has done its part: it keeps its place.
    void settle(int id);
    void release(int id);
    std::size_t used() const { return m_held.size(); }
    const SlotRules& rules() const { return m_rules; }

  private:
    struct Held {
        std::string address;
        std::chrono::milliseconds since;
        bool settled = false;
    };
    // The oldest unsettled connection past its grace, of one address or of all.
    std::optional<int> idlest(const std::string* address) const;

    const Clock& m_clock;
    SlotRules m_rules;
    std::map<int, Held> m_held;
};

} // namespace tova::bridge
