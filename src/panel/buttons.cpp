// The one-shot buttons, the held buttons and the repeat timer.
#include "core/form1.hpp"
#include "panel/command_table.hpp"
#include "panel/hold_table.hpp"

namespace tova {

void Form1::commandClick(std::string_view control) {
    const CommandButton* b = findCommandButton(control);
    if (!b) return;
    if (b->extra == CommandExtra::PictureMode) {
        m_timers.timer2.setInterval(2000);
        m_timers.timer4.setInterval(2500);
    } else if (b->extra == CommandExtra::Source) {
        m_timers.timer2.setInterval(5000);
        m_timers.timer4.setInterval(5500);
    }
    transmit(b->code);
    if (b->extra == CommandExtra::MenuTiming) {
        m_timers.timer1.setInterval(200);
        AdjustMode = 1;
    }
}

void Form1::holdPress(std::string_view control) {
    const HoldButton* b = findHoldButton(control);
    if (!b) return;
    if (b->arrowPad) {
        if (AdjustMode == 1) {
            m_timers.timer2.setInterval(150);
            m_timers.timer4.setInterval(190);
        } else if (AdjustMode == 3) {
            m_timers.timer2.setInterval(5);
            m_timers.timer4.setInterval(5);
        }
        RepeatCode = b->repeatCode;
        transmit(std::string(b->pressCode));
        m_timers.timer1.setEnabled(true);
        return;
    }
    RepeatCode = b->repeatCode;
    transmit(std::string(b->pressCode));
    m_timers.timer1.setInterval(b->timer1);
    m_timers.timer2.setInterval(b->timer2);
    m_timers.timer4.setInterval(b->timer4);
    m_timers.timer1.setEnabled(true);
}

void Form1::Timer1_Timer() {
    if (RepeatCode == 0) return;
    auto code = repeatCodeFor(RepeatCode);
    // A repeat never queues behind a line still on the wire: the projector would go on moving
    // after the release. The press itself always sends.
    if (!code.empty() && !m_serial.outputBusy()) transmit(std::string(code));
    // Enabled again as it is, keeping its period (re-enabling would restart the count).
    if (!m_timers.timer1.enabled()) m_timers.timer1.setEnabled(true);
}

void Form1::holdRelease(std::string_view control) {
    const HoldButton* b = findHoldButton(control);
    if (!b) return;
    RepeatCode = b->releaseCode;
    m_timers.timer1.setEnabled(false);
    m_timers.timer2.setEnabled(false);
    m_timers.timer4.setEnabled(true);
    m_panel.setCaption("Label11", "");
    m_panel.setCaption("Label12", "");
    m_timers.timer2.setInterval(kTimer2Start);
    m_timers.timer4.setInterval(kTimer4Start);
    RxBuffer.clear();
    if (b->digitalZoom) {
        m_timers.timer1.setInterval(5);
        AdjustMode = 3;
    }
}

} // namespace tova
