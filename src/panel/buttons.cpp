// SPDX-License-Identifier: MIT
// The one-shot buttons, the held buttons and the repeat timer.
#include "panel/form1.hpp"

namespace tova {

void Form1::pressCommand(const CommandButton& b) {
    if (b.extra == CommandExtra::PictureMode) {
        m_timers.replyTimeout.setInterval(kLongReplyTimeout);
        m_timers.displayClear.setInterval(kLongDisplayClear);
    } else if (b.extra == CommandExtra::Source) {
        m_timers.replyTimeout.setInterval(kSourceReplyTimeout);
        m_timers.displayClear.setInterval(kSourceDisplayClear);
    }
    transmit(b.code);
    if (b.extra == CommandExtra::MenuTiming) {
        m_timers.repeat.setInterval(kMenuRepeat);
        adjustMode = AdjustMode::Menu;
    }
}

void Form1::startHold(const HoldButton& b) {
    if (b.arrowPad) {
        if (adjustMode == AdjustMode::Menu) {
            m_timers.replyTimeout.setInterval(kMenuReplyTimeout);
            m_timers.displayClear.setInterval(kMenuDisplayClear);
        } else if (adjustMode == AdjustMode::DigitalZoom) {
            m_timers.replyTimeout.setInterval(kDigitalZoomTiming);
            m_timers.displayClear.setInterval(kDigitalZoomTiming);
        }
        repeatCode = b.repeatCode;
        transmit(b.pressCode);
        m_timers.repeat.setEnabled(true);
        return;
    }
    repeatCode = b.repeatCode;
    transmit(b.pressCode);
    m_timers.repeat.setInterval(b.period);
    m_timers.replyTimeout.setInterval(b.replyTimeout);
    m_timers.displayClear.setInterval(b.displayClear);
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
    m_timers.replyTimeout.setInterval(kReplyTimeoutMs);
    m_timers.displayClear.setInterval(kDisplayClearMs);
    rxBuffer.clear();
    if (b.digitalZoom) {
        m_timers.repeat.setInterval(kDigitalZoomTiming);
        adjustMode = AdjustMode::DigitalZoom;
    }
}

} // namespace tova
