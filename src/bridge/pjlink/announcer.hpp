// SPDX-License-Identifier: MIT
#pragma once
// PJLink's UDP side: the answers to a controller's search (%2SRCH) and the status notifications
// (%2POWR, %2ERST, %2INPT, %2LKUP). Which datagram goes where is decided here; the sockets are
// the Qt layer's. Bounded against reflection: at most one answer set per searching address a
// second, twenty answers a second in all, and nothing ever sent to a broadcast, multicast or own
// address. The twenty are shared among sources, not first come: searches wait up to a second
// for their turn, and the source answered longest ago (or never) goes first, so that hundreds of
// sources searching over and over cannot keep a newcomer out. Controllers the bridge knows (the
// notify targets, and those that authenticated over TCP) are answered at once, outside the
// shared budget. Notifications go to at most 64 controllers for ten minutes: the known ones are
// never pushed out by searchers, and among searchers those that searched again are kept before
// one-off sources (a search's source can be forged).
#include "bridge/pjlink/pjlink_answers.hpp"
#include "bridge/projector_state.hpp"
#include "core/clock.hpp"
#include "core/timer.hpp"

#include <chrono>
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace tova::bridge {

struct Endpoint {
    std::string address;
    int port = 0;
    bool operator==(const Endpoint&) const = default;
};

struct Datagram {
    std::string from; // the listener's address it leaves from
    Endpoint to;
    std::string bytes;
};

// A MAC for a listener whose address belongs to no interface with one (loopback, any address):
// locally administered, derived from the listener's address, port and projector address, so
// that it stays the same from one start to the next.
std::string derivedMac(const std::string& address, int port, const std::string& prefix);

class Announcer {
  public:
    static constexpr std::chrono::milliseconds kControllerLife{600000};
    static constexpr std::size_t kMaxControllers = 64;
    static constexpr int kAnswersPerSecond = 20;
    static constexpr std::chrono::milliseconds kSearchWait{1000}; // a search not answered by then is dropped
    static constexpr std::size_t kMaxWaiting = 256;               // searches waiting for their turn
    static constexpr std::size_t kMaxSources = 4096;              // sources whose last answer is remembered

    struct Callbacks {
        std::function<void(const Datagram&)> send{};
        // Addresses nothing is sent to: broadcast, multicast and the bridge's own.
        std::function<bool(const std::string& address)> forbidden{};
    };
    // turns: the announcer's own timer; controllerPort: where a controller hears answers and
    // notifications (the search port); configured: the --notify targets.
    Announcer(const Clock& clock, Timer& turns, int controllerPort, std::vector<Endpoint> configured, Callbacks callbacks);
    ~Announcer();
    Announcer(const Announcer&) = delete;
    Announcer& operator=(const Announcer&) = delete;

    struct Projector {
        std::string from; // the listener's address
        std::string mac;  // "00:50:56:C0:00:08"
        const ProjectorState* state;
        const Inputs* inputs;
    };
    void add(Projector p);

    // A datagram on the search socket from a controller's address.
    void received(std::string_view bytes, const std::string& address);
    // A controller sent an authenticated request: it hears notifications for ten minutes.
    void controllerSeen(const std::string& address);
    // %2LKUP to the configured targets: at start, and when the device is back.
    void lookup();
    // What a state learned changed: each projector of that state tells its controllers.
    void changed(const ProjectorState& state, ProjectorState::Change change);

    std::size_t ignored() const { return m_ignored; } // datagrams that were no search

  private:
    struct Controller {
        std::chrono::milliseconds seen{0};
        bool authenticated = false; // over TCP
        int searches = 0;           // answered searches while remembered
    };
    std::vector<Endpoint> targets();
    void put(const Projector& p, const Endpoint& to, const std::string& bytes);
    bool known(const std::string& address) const;
    // A waiting search's place in the turn: answered longest ago first (never before all), then
    // the one that came first.
    std::pair<std::chrono::milliseconds, std::chrono::milliseconds> turnOf(const std::string& source,
                                                                         std::chrono::milliseconds came) const;
    void answer(const std::string& address);
    void serve();                          // waiting searches in their turn, within the budget
    void remember(const std::string& address, bool authenticated);
    void forgetOld();

    Callbacks m_tell;
    const Clock& m_clock;
    Timer& m_turns;
    int m_port;
    std::vector<Endpoint> m_configured;
    std::vector<Projector> m_projectors;
    std::map<std::string, Controller> m_controllers;
    std::map<std::string, std::chrono::milliseconds> m_answered; // source: last answered
    std::map<std::string, std::chrono::milliseconds> m_waiting;  // source: when its search came
    double m_tokens = kAnswersPerSecond;                         // answers the budget allows now
    std::chrono::milliseconds m_refilled{0};
    std::size_t m_ignored = 0;
};

} // namespace tova::bridge
