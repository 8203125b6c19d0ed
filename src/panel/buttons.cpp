// SPDX-License-Identifier: MIT
// The one-shot buttons, the held buttons and the repeat timer.
#include "panel/form1.hpp"

namespace tova {

void Form1::applyTiming(const TimingChange& c) {
    if (c.repeatPeriod) m_timers.repeat.setInterval(*c.repeatPeriod);
    if (c.replyTimeout) m_timers.replyTimeout.setInterval(*c.replyTimeout);
    if (c.displayClear) m_timers.displayClear.setInterval(*c.displayClear);
    if (c.adjustMode) adjustMode = *c.adjustMode;
}

void Form1::pressCommand(const CommandButton& b) {
    applyTiming(beforeCommand(b));
    transmit(b.code);
    applyTiming(afterCommand(b));
}

void Form1::startHold(const HoldButton& b) {
    repeatCode = b.repeatCode;
    // The arrow pad's line goes with its mode's time-out; any other row sets its timings after
    // the press, restarting their count.
    if (b.arrowPad) applyTiming(pressTiming(b, adjustMode));
    transmit(b.pressCode);
    if (!b.arrowPad) applyTiming(pressTiming(b, adjustMode));
    m_timers.repeat.setEnabled(true);
}

void Form1::onRepeatTick() {
    if (repeatCode == 0) return;
    auto code = repeatCodeFor(repeatCode);
    // A repeat never queues behind a line still on the wire: the projector would go on moving
    // after the release. The press itself always sends.
    if (!code.empty() && !m_serial.outputBusy()) transmit(code);
    // The repeat timer stays enabled as it is and keeps its period: enabling it again here would
    // restart its count, and a tick only ever runs while it is enabled.
}

void Form1::endHold(const HoldButton& b) {
    repeatCode = b.releaseCode;
    m_timers.repeat.setEnabled(false);
    m_timers.replyTimeout.setEnabled(false);
    m_timers.displayClear.setEnabled(true);
    m_panel.setCaption(ctl::SentTraffic, "");
    m_panel.setCaption(ctl::ReceivedTraffic, "");
    rxBuffer.clear();
    applyTiming(releaseTiming(b));
}

} // namespace tova
