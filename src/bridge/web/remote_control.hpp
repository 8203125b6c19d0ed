// SPDX-License-Identifier: MIT
#pragma once
// The web remote's buttons on one projector, pressed from any page. A one-shot press sends its
// line as the panel's button does. One held button at a time repeats, with the held-button
// table's codes and the timings one panel would have (the arrow pad reads the adjust mode that
// MENU ON, A-PC Adj and D.Zoom set from any page), and never queues a repeat behind its own line
// still waiting. A hold ends at the page's release, when its keep-held messages stop, when the
// page goes, when the line goes down, or after kMaxHold in all: a lens shift never keeps moving
// because a phone went to sleep. Like the panel's release, the end sends nothing.
#include "core/timer.hpp"
#include "link/exchange_queue.hpp"
#include "tables/hold_rules.hpp"

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace tova::bridge {

class RemoteControl {
  public:
    static constexpr int kKeepHeldMs = 600;
    static constexpr std::chrono::milliseconds kMaxHold{30000};

    enum class Refused {
        None,
        UnknownButton,    // no such button of that kind
        HeldElsewhere,    // another page holds a button of this projector
        NotHolding,       // a keep-held from a page that holds nothing
        Full,             // the page has as many lines waiting as a client may
        LineDown,         // the device is not there
    };
    enum class Ended { Released, KeepHeldMissed, TooLong, PageGone, LineDown };

    struct Callbacks {
        // A hold started (holder and button set) or ended (why given; holder empty after).
        std::function<void(std::optional<Ended>)> holdChanged{};
        // A line of a press or a hold has ended: the page that sent it and what came of it.
        std::function<void(ClientId page, const std::string& line, const ExchangeResult&)> replied{};
    };
    // repeat and keepHeld are this projector's own timers.
    RemoteControl(ExchangeQueue& queue, Timer& repeat, Timer& keepHeld, std::string prefix, Callbacks callbacks);
    ~RemoteControl();
    RemoteControl(const RemoteControl&) = delete;
    RemoteControl& operator=(const RemoteControl&) = delete;

    Refused press(ClientId page, std::string_view name);
    Refused hold(ClientId page, std::string_view name);
    Refused keepHeld(ClientId page);
    void release(ClientId page);
    void forget(ClientId page); // the page has gone: its hold ends, its lines are dropped

    std::optional<ClientId> holder() const { return m_holder; }
    const std::string& heldButton() const { return m_button; } // empty: none
    const PanelTiming& timing() const { return m_timing; }

  private:
    Refused send(ClientId page, std::string_view code, int timeoutMs, bool repeat);
    void tick();
    void end(Ended why);

    ExchangeQueue& m_queue;
    Timer& m_repeat;
    Timer& m_keepHeld;
    std::string m_prefix;
    Callbacks m_tell;
    PanelTiming m_timing;
    std::optional<ClientId> m_holder;
    std::string m_button;
    std::uint8_t m_repeatCode = 0;
    std::chrono::milliseconds m_since{0};
    bool m_waiting = false; // the hold's last line has not ended yet
    std::string m_repeatWaiting; // a repeat's line waiting for the line: withdrawn at the hold's end
    unsigned m_hold = 0;    // which hold a line's end belongs to
};

} // namespace tova::bridge
