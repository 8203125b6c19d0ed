// SPDX-License-Identifier: MIT
// The one-shot buttons, the held buttons and the repeat timer.
#include "core/form1.hpp"
#include "panel/command_table.hpp"
#include "panel/hold_table.hpp"

namespace tova {

void Form1::commandClick(const CommandButton& b) {
    if (b.extra == CommandExtra::PictureMode) {
        m_timers.timer2.setInterval(kLongReplyTimeout);
        m_timers.timer4.setInterval(kLongDisplayClear);
    } else if (b.extra == CommandExtra::Source) {
        m_timers.timer2.setInterval(kSourceReplyTimeout);
        m_timers.timer4.setInterval(kSourceDisplayClear);
    }
    transmit(b.code);
    if (b.extra == CommandExtra::MenuTiming) {
        m_timers.timer1.setInterval(kMenuRepeat);
        AdjustMode = kAdjustMenu;
    }
}

void Form1::holdPress(const HoldButton& b) {
    if (b.arrowPad) {
        if (AdjustMode == kAdjustMenu) {
            m_timers.timer2.setInterval(kMenuReplyTimeout);
            m_timers.timer4.setInterval(kMenuDisplayClear);
        } else if (AdjustMode == kAdjustDigitalZoom) {
            m_timers.timer2.setInterval(kDigitalZoomTiming);
            m_timers.timer4.setInterval(kDigitalZoomTiming);
        }
        RepeatCode = b.repeatCode;
        transmit(b.pressCode);
        m_timers.timer1.setEnabled(true);
        return;
    }
    RepeatCode = b.repeatCode;
    transmit(b.pressCode);
    m_timers.timer1.setInterval(b.timer1);
    m_timers.timer2.setInterval(b.timer2);
    m_timers.timer4.setInterval(b.timer4);
    m_timers.timer1.setEnabled(true);
}

void Form1::Timer1_Timer() {
    if (RepeatCode == 0) return;
    auto code = repeatCodeFor(RepeatCode);
    // A repeat never queues behind a line still on the wire: the projector would go on moving
    // after the release. The press itself always sends.
    if (!code.empty() && !m_serial.outputBusy()) transmit(code);
    // Timer1 stays enabled as it is and keeps its period: enabling it again here would restart
    // its count, and a tick only ever runs while it is enabled.
}

void Form1::holdRelease(const HoldButton& b) {
    RepeatCode = b.releaseCode;
    m_timers.timer1.setEnabled(false);
    m_timers.timer2.setEnabled(false);
    m_timers.timer4.setEnabled(true);
    m_panel.setCaption(ctl::Label11, "");
    m_panel.setCaption(ctl::Label12, "");
    m_timers.timer2.setInterval(kTimer2Start);
    m_timers.timer4.setInterval(kTimer4Start);
    RxBuffer.clear();
    if (b.digitalZoom) {
        m_timers.timer1.setInterval(kDigitalZoomTiming);
        AdjustMode = kAdjustDigitalZoom;
    }
}

} // namespace tova
