// SPDX-License-Identifier: MIT
// The one-shot buttons, the held buttons and the repeat timer.
#include "panel/panel.hpp"

namespace tova {

void Panel::applyTiming(const TimingChange& c) {
    if (c.repeatPeriod) m_timers.repeat.setInterval(*c.repeatPeriod);
    if (c.replyTimeout) m_timers.replyTimeout.setInterval(*c.replyTimeout);
    if (c.displayClear) m_timers.displayClear.setInterval(*c.displayClear);
    if (c.adjustMode) adjustMode = *c.adjustMode;
}

void Panel::pressCommand(const CommandButton& b) {
    applyTiming(beforeCommand(b));
    transmit(b.code);
    applyTiming(afterCommand(b));
}

void Panel::startHold(const HoldButton& b) {
    const HoldPress press = holdPress(b, adjustMode);
    repeatCode = press.repeatCode;
    if (press.timingFirst) applyTiming(press.timing);
    transmit(press.code);
    if (!press.timingFirst) applyTiming(press.timing);
    m_timers.repeat.setEnabled(true);
}

void Panel::onRepeatTick() {
    // The press itself always sends; a repeat waits for the wire.
    if (const auto code = repeatDue(repeatCode, m_serial.outputBusy()); !code.empty()) transmit(code);
    // The repeat timer stays enabled as it is and keeps its period: enabling it again here would
    // restart its count, and a tick only ever runs while it is enabled.
}

void Panel::endHold(const HoldButton& b) {
    const HoldRelease release = holdRelease(b);
    repeatCode = release.repeatCode;
    m_timers.repeat.setEnabled(false);
    m_timers.replyTimeout.setEnabled(false);
    m_timers.displayClear.setEnabled(true);
    m_window.setCaption(ctl::SentTraffic, "");
    m_window.setCaption(ctl::ReceivedTraffic, "");
    rxBuffer.clear();
    applyTiming(release.timing);
}

} // namespace tova
