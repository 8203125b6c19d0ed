// SPDX-License-Identifier: MIT
// The service keys, the picture, the data button and the free-text command.
#include "core/form1.hpp"
#include "link/traffic.hpp"
#include "panel/data_button.hpp"

namespace tova {

void Form1::Form_KeyDown(int keyCode, int shift) {
    const int modifiers = shift & (kShiftMask | kCtrlMask | kAltMask);
    if (keyCode != kKeyK || modifiers != kCtrlMask) return;
    m_panel.setHeight(kServiceHeight);
    DataShown = 1;
    m_panel.setCaption(ctl::Command34, std::string(kClose));
    m_panel.setVisible(ctl::Command34, true);
}

void Form1::Image1_DblClick() {
    if (DataShown != 1) return;
    m_panel.setHeight(kFullHeight);
    m_panel.setCaption(ctl::Command34, std::string(kClose));
    m_panel.setVisible(ctl::Command34, true);
}

void Form1::Command34_Click() {
    m_timers.timer3.setEnabled(false);
    DataShown = 0;
    if (m_panel.height() >= kDataThreshold) {
        m_panel.setHeight(kCompactHeight);
        m_panel.setCaption(ctl::Command34, std::string(kShowData));
    } else {
        m_panel.setHeight(kDataHeight);
        m_panel.setCaption(ctl::Command34, std::string(kHideData));
    }
    m_timers.timer3.setEnabled(true);
}

void Form1::Command95_Click() {
    m_timers.timer2.setInterval(kLongReplyTimeout);
    m_timers.timer4.setInterval(kLongDisplayClear);
    FreeCommand = typedBytes(m_panel.text(ctl::Text1));
    transmit(FreeCommand);
}

void Form1::Command96_Click() { m_panel.setText(ctl::Text1, ""); }

} // namespace tova
