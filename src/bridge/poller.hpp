// SPDX-License-Identifier: MIT
#pragma once
// The background poller: a serial projector never reports a change by itself, so every period
// the bridge asks its status (CR0) and, when it is on, its input mode (CR1) and its mute and
// signal (CRA); its lamp hours (CR3) every five minutes, since they change slowly. It is the line's
// lowest-priority client: it goes when no client's line waits, and two periods after a poll was
// due it takes its turn like any other, so it polls about every three periods however busy the
// line (and a tick that comes while a poll waits is not lost: the next goes right after).
#include "bridge/projector_state.hpp"
#include "core/timer.hpp"
#include "link/exchange_queue.hpp"

#include <chrono>
#include <optional>
#include <string>

namespace tova::bridge {

class Poller {
  public:
    // periodMs 0: it never polls.
    Poller(ExchangeQueue& queue, Timer& timer, ClientId id, std::string prefix, ProjectorState& state, int periodMs);
    ~Poller();
    static constexpr std::chrono::milliseconds kLampPeriod{5 * 60 * 1000};
    Poller(const Poller&) = delete;
    Poller& operator=(const Poller&) = delete;

    void start();
    // The device is there again: it need not wait out the period to be asked.
    void pollNow() {
        if (m_period > 0) tick();
    }
    std::size_t polls() const { return m_polls; } // status answers it got

  private:
    void tick();
    void poll();
    void lamp();
    void finish();
    void ask(QueryId id, std::function<void(std::string_view)> read);
    ExchangeQueue& m_queue;
    Timer& m_timer;
    ClientId m_id;
    std::string m_prefix;
    ProjectorState& m_state;
    int m_period;
    bool m_asking = false; // a poll is on its way
    std::optional<std::chrono::milliseconds> m_due; // a poll is due since then
    std::chrono::milliseconds m_dueAt{0};           // the poll on its way was due then
    std::size_t m_polls = 0;
    std::optional<std::chrono::milliseconds> m_lampAsked; // lamp hours last answered then
};

} // namespace tova::bridge
