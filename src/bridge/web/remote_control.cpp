// SPDX-License-Identifier: MIT
#include "bridge/web/remote_control.hpp"

#include "link/traffic.hpp"
#include "tables/line_requests.hpp"

#include <utility>

namespace tova::bridge {

RemoteControl::RemoteControl(ExchangeQueue& queue, Timer& repeat, Timer& keepHeld, std::string prefix, Callbacks callbacks)
    : m_queue(queue), m_repeat(repeat), m_keepHeld(keepHeld), m_prefix(std::move(prefix)), m_tell(std::move(callbacks)) {
    m_repeat.setEnabled(false);
    m_keepHeld.setEnabled(false);
    m_keepHeld.setInterval(kKeepHeldMs);
    m_repeat.setOnTick([this] { tick(); });
    m_keepHeld.setOnTick([this] { end(Ended::KeepHeldMissed); });
}

RemoteControl::~RemoteControl() {
    m_repeat.setOnTick({});
    m_keepHeld.setOnTick({});
}

RemoteControl::Refused RemoteControl::send(ClientId page, std::string_view code, int timeoutMs, bool repeat) {
    Request r = requestFor(m_prefix, code);
    r.timeoutMs = timeoutMs; // the panel's timing for this press or repeat
    const unsigned hold = m_hold;
    if (repeat) m_waiting = true;
    // The reply comes back to this press, with the page that pressed.
    const Submitted s = m_queue.submit(page, r, [this, page, line = r.line, hold, repeat](const ExchangeResult& e) {
        if (m_tell.replied) m_tell.replied(page, line, e);
        if (!repeat || hold != m_hold) return;
        m_waiting = false;
        m_repeatWaiting.clear();
        if (e.outcome == ExchangeResult::LineDown) end(Ended::LineDown);
    });
    switch (s) {
    case Submitted::Queued:
    case Submitted::Shared:
    case Submitted::Duplicate: return Refused::None; // a repeat of its own waiting line: one is enough
    case Submitted::Full:
        if (repeat) m_waiting = false;
        return Refused::Full;
    case Submitted::LineDown:
        if (repeat) m_waiting = false;
        return Refused::LineDown;
    }
    return Refused::None;
}

RemoteControl::Refused RemoteControl::press(ClientId page, std::string_view name) {
    const CommandButton* b = findCommandButton(name);
    if (!b) return Refused::UnknownButton;
    const TimingChange before = beforeCommand(*b);
    m_timing.apply(before);
    const Refused r = send(page, b->code, replyTimeoutFor(b->code, before.replyTimeout.value_or(0)), false);
    if (r == Refused::None) m_timing.apply(afterCommand(*b));
    return r;
}

RemoteControl::Refused RemoteControl::hold(ClientId page, std::string_view name) {
    const HoldButton* b = findHoldButton(name);
    if (!b) return Refused::UnknownButton;
    if (m_holder && *m_holder != page) return Refused::HeldElsewhere;
    if (m_holder) end(Ended::Released); // the same page moved to another button
    // Its line goes with the press's time-out, whatever order the panel's timers take them in.
    const HoldPress press = holdPress(*b, m_timing.adjustMode);
    m_timing.apply(press.timing);
    ++m_hold;
    const Refused r = send(page, press.code, m_timing.replyTimeout, true);
    if (r != Refused::None) return r;
    m_holder = page;
    m_button = std::string(name);
    m_repeatCode = press.repeatCode;
    m_since = m_queue.clock().now();
    m_repeat.setInterval(m_timing.repeatPeriod);
    m_repeat.setEnabled(true);
    m_keepHeld.setEnabled(true);
    if (m_tell.holdChanged) m_tell.holdChanged(std::nullopt);
    return Refused::None;
}

RemoteControl::Refused RemoteControl::keepHeld(ClientId page) {
    if (m_holder != page) return Refused::NotHolding;
    if (m_queue.clock().now() - m_since >= kMaxHold) {
        end(Ended::TooLong);
        return Refused::None;
    }
    m_keepHeld.setEnabled(true); // its count starts again
    return Refused::None;
}

void RemoteControl::release(ClientId page) {
    if (m_holder == page) end(Ended::Released);
}

void RemoteControl::forget(ClientId page) {
    if (m_holder == page) end(Ended::PageGone);
}

void RemoteControl::tick() {
    if (!m_holder) return;
    if (m_queue.clock().now() - m_since >= kMaxHold) return end(Ended::TooLong);
    // Its previous line still waiting in the queue occupies the line as far as the hold goes.
    if (const auto code = repeatDue(m_repeatCode, m_waiting); !code.empty())
        if (send(*m_holder, code, m_timing.replyTimeout, true) == Refused::None) m_repeatWaiting = frameLine(m_prefix, code);
}

void RemoteControl::end(Ended why) {
    if (!m_holder) return;
    m_repeat.setEnabled(false);
    m_keepHeld.setEnabled(false);
    // A repeat still waiting for the line would move the projector after the button was let go.
    if (!m_repeatWaiting.empty()) m_queue.withdraw(*m_holder, std::exchange(m_repeatWaiting, {}));
    if (const HoldButton* b = findHoldButton(m_button)) m_timing.apply(holdRelease(*b).timing);
    m_holder.reset();
    m_button.clear();
    m_waiting = false;
    ++m_hold; // a line of this hold that ends later is no longer its
    if (m_tell.holdChanged) m_tell.holdChanged(why);
}

} // namespace tova::bridge
