// SPDX-License-Identifier: MIT
#pragma once
// Whether a projector answers. It does while it has replied (to the poller or to any client)
// within its window: three poll periods, 15 s without polling. One that has not replied within
// the window since the line opened, or since its last reply, does not: the wrong cable that
// never answered at all is the first case, not only a projector that stops. Its silence counts
// only once a line of its own went on the wire and got no reply: a line held by another
// projector's long input change is no fault of this one's. Until then it is not known yet.
// While the line is closed nothing is known; the watch starts again when it opens.
#include "core/clock.hpp"
#include "core/timer.hpp"

#include <chrono>
#include <functional>
#include <optional>

namespace tova::bridge {

class Answering {
  public:
    enum class State { Unknown, Yes, No };
    static constexpr std::chrono::milliseconds kWindowWithoutPolling{15000};
    // The window for a poll period (0: no polling).
    static std::chrono::milliseconds windowFor(int pollSeconds);

    // changed: it answers (before: as it was), or it has not for silentFor.
    using Changed = std::function<void(State now, State before, std::chrono::milliseconds silentFor)>;
    Answering(const Clock& clock, Timer& timer, std::chrono::milliseconds window, Changed changed);
    ~Answering();
    Answering(const Answering&) = delete;
    Answering& operator=(const Answering&) = delete;

    void lineUp();   // the line opened: the window starts
    void lineDown(); // the line closed: nothing is known until it opens again
    void heard();      // a reply from the projector, now
    void unanswered(); // a line of its own went on the wire and got no reply

    State state() const { return m_state; }
    bool answering() const { return m_state == State::Yes; }
    // When it last replied, on the calendar (ms since 1970); nullopt: never.
    std::optional<std::chrono::milliseconds> lastHeard() const { return m_lastWall; }
    // Since when it has not answered, on the calendar: its last reply, or the line's opening.
    std::optional<std::chrono::milliseconds> silentSince() const;
    std::chrono::milliseconds window() const { return m_window; }

  private:
    void expired();
    const Clock& m_clock;
    Timer& m_timer;
    std::chrono::milliseconds m_window;
    Changed m_changed;
    State m_state = State::Unknown;
    bool m_lineUp = false;
    bool m_unanswered = false; // since its last reply (or the line's opening)
    std::chrono::milliseconds m_since{0};         // the steady clock's: its last reply, or the line's opening
    std::chrono::milliseconds m_sinceWall{0};     // the same, on the calendar
    std::optional<std::chrono::milliseconds> m_lastWall;
};

} // namespace tova::bridge
