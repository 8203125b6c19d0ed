// SPDX-License-Identifier: MIT
// The service keys, the picture, the data button and the free-text command.
#include "link/traffic.hpp"
#include "tables/data_button.hpp"
#include "panel/form1.hpp"

namespace tova {

void Form1::onKeyDown(int keyCode, int shift) {
    const int modifiers = shift & (kShiftMask | kCtrlMask | kAltMask);
    if (keyCode != kKeyK || modifiers != kCtrlMask) return;
    m_panel.setHeight(kServiceHeight);
    dataShown = true;
    m_panel.setCaption(ctl::DataButton, std::string(kClose));
    m_panel.setVisible(ctl::DataButton, true);
}

void Form1::onPictureDoubleClick() {
    if (!dataShown) return;
    m_panel.setHeight(kFullHeight);
    m_panel.setCaption(ctl::DataButton, std::string(kClose));
    m_panel.setVisible(ctl::DataButton, true);
}

void Form1::toggleData() {
    m_timers.comFrame.setEnabled(false);
    dataShown = false;
    if (m_panel.height() >= kDataThreshold) {
        m_panel.setHeight(kCompactHeight);
        m_panel.setCaption(ctl::DataButton, std::string(kShowData));
    } else {
        m_panel.setHeight(kDataHeight);
        m_panel.setCaption(ctl::DataButton, std::string(kHideData));
    }
    m_timers.comFrame.setEnabled(true);
}

void Form1::sendFreeText() {
    m_timers.replyTimeout.setInterval(kLongReplyTimeout);
    m_timers.displayClear.setInterval(kLongDisplayClear);
    freeCommand = typedBytes(m_panel.text(ctl::CommandBox));
    transmit(freeCommand);
}

void Form1::clearFreeText() { m_panel.setText(ctl::CommandBox, ""); }

} // namespace tova
