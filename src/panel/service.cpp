// SPDX-License-Identifier: MIT
// The service keys, the picture, the data button and the free-text command.
#include "link/traffic.hpp"
#include "tables/data_button.hpp"
#include "panel/panel.hpp"

namespace tova {

void Panel::onKeyDown(int keyCode, int shift) {
    const int modifiers = shift & (kShiftMask | kCtrlMask | kAltMask);
    if (keyCode != kKeyK || modifiers != kCtrlMask) return;
    m_window.setHeight(kServiceHeight);
    dataShown = true;
    m_window.setCaption(ctl::DataButton, std::string(kClose));
    m_window.setVisible(ctl::DataButton, true);
}

void Panel::onPictureDoubleClick() {
    if (!dataShown) return;
    m_window.setHeight(kFullHeight);
    m_window.setCaption(ctl::DataButton, std::string(kClose));
    m_window.setVisible(ctl::DataButton, true);
}

void Panel::toggleData() {
    m_timers.comFrame.setEnabled(false);
    dataShown = false;
    if (m_window.height() >= kDataThreshold) {
        m_window.setHeight(kCompactHeight);
        m_window.setCaption(ctl::DataButton, std::string(kShowData));
    } else {
        m_window.setHeight(kDataHeight);
        m_window.setCaption(ctl::DataButton, std::string(kHideData));
    }
    m_timers.comFrame.setEnabled(true);
}

void Panel::sendFreeText() {
    m_timers.replyTimeout.setInterval(kLongReplyTimeout);
    m_timers.displayClear.setInterval(kLongDisplayClear);
    const std::string typed = m_window.text(ctl::CommandBox);
    // A control character would end the line early and frame a second one, unaddressed.
    if (const auto at = controlCharacter(typed, false))
        return m_warning.warn("The command box holds a control character (" + *at +
                              "): a command is one line, and nothing was sent.");
    freeCommand = typedBytes(typed);
    transmit(freeCommand);
}

void Panel::clearFreeText() { m_window.setText(ctl::CommandBox, ""); }

} // namespace tova
