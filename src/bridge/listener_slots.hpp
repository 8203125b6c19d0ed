// SPDX-License-Identifier: MIT
#pragma once
// Who holds a listener's places, and who gives one up for a newcomer. A full listener makes room
// by closing the oldest connection that has had a second and has done nothing yet (not
// authenticated, no whole request or line); a connection that has done its part is never
// dropped for one. While every place is held but some by connections younger than that,
// newcomers wait, unaccepted, in the order they came, until one can be made: clients that
// reconnect as soon as they are closed only join the back of that line, and a controller is
// greeted within about a second however many there are. A newcomer is refused only when every
// place is held by a connection that has done its part. Where the listener has an idle bound, a
// connection that has done nothing more for that long is judged idle again (its place is taken
// only when a newcomer needs it). One address holds at most perAddress places, so that one
// remote host cannot fill a listener; a global IPv6 address counts by its /64, which any host
// has whole; loopback peers (the panel, tova-send, a local controller) are exempt unless
// limitLoopback.
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
    // A connection that has done its part and then nothing for this long may be made room of
    // (0: it keeps its place).
    std::chrono::milliseconds idleAfter{0};
};

// A listener's places per address unless told: the smaller of 8 and a quarter of its places.
int defaultPerAddress(int size);

class ListenerSlots {
  public:
    // A connection younger than this is not yet judged idle.
    static constexpr std::chrono::milliseconds kGrace{1000};

    struct Taken {
        std::optional<int> evicted; // the connection to close to make room
        bool fellSilent = false;    // it had done its part, and then nothing for idleAfter
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
    // The connection has done its part (again): it keeps its place.
    void settle(int id);
    void release(int id);
    std::size_t used() const { return m_held.size(); }
    const SlotRules& rules() const { return m_rules; }

  private:
    struct Held {
        std::string group; // its address as the limit per address counts it
        std::chrono::milliseconds since;
        bool settled = false;
        std::chrono::milliseconds lastDone{0};
    };
    // The connection to make room of, of one address group or of all: the oldest that has done
    // nothing past its grace, else the longest silent past the idle bound.
    std::optional<int> idlest(const std::string* group) const;

    const Clock& m_clock;
    SlotRules m_rules;
    std::map<int, Held> m_held;
};

} // namespace tova::bridge
