// SPDX-License-Identifier: MIT
// The choice of port and speed, and the COM frame.
#include "panel/panel.hpp"

#include "core/settings.hpp"

namespace tova {

void Panel::choosePort(int port) {
    const int other = port == 1 ? 2 : 1;
    try {
        if (m_serial.portOpen()) m_serial.setPortOpen(false);
        m_serial.setCommPort(port);
        // A closed port is opened too: otherwise one failure would keep it closed for good.
        m_serial.setPortOpen(true);
    } catch (const SerialError& e) {
        portFailed(e, other);
        return;
    }
    m_window.setVisible(ctl::ComFrame, false);
    showPortState();
}

void Panel::portFailed(const SerialError& e, int other) {
    showPortState();
    auto toOther = [this, other] {
        try {
            if (!m_serial.portOpen()) m_serial.setCommPort(other);
        } catch (const SerialError&) {
        }
        showPortState();
    };
    const std::string text = warningText(e.failure());
    const int port = other == 1 ? 2 : 1;
    const auto offer = portToOffer();
    if (!offer) return m_warning.warn(text, toOther);
    // A port this computer has, where the chosen one does not open: one answer leads there.
    m_warning.ask(text + "\nThis computer has " + portLabel(*offer) + ". Use it as COM" + std::to_string(port) + "?",
                  [this, port, device = offer->path, toOther](bool yes) {
                      if (yes) leadPort(port, device);
                      else toOther();
                  });
}

void Panel::chooseSpeed(std::string_view settings) {
    try {
        m_serial.setSettings(*parseSettings(settings));
    } catch (const SerialError& e) {
        // The settings text and the marked speed keep naming the speed in force.
        m_window.setMarked(commSettings == kSettings9600 ? ctl::Speed9600 : ctl::Speed19200, true);
        showPortState();
        m_warning.warn(warningText(e.failure()));
        return;
    }
    commSettings = settings;
    m_window.setVisible(ctl::ComFrame, false);
    showPortState();
}

void Panel::showComFrame() {
    m_window.setVisible(ctl::ComFrame, true);
    m_timers.comFrame.setEnabled(true);
}

void Panel::hideComFrame() {
    m_window.setVisible(ctl::ComFrame, false);
    m_timers.comFrame.setEnabled(false);
}

void Panel::showPortState() {
    int port = m_serial.commPort();
    std::string tip = "COM" + std::to_string(port) + ": " + m_serial.devicePath(port) + ", " +
                      formatSettings(m_serial.settings()) + ", ";
    if (m_serial.portOpen()) {
        tip += "open";
    } else {
        tip += "closed";
        // Each failure stays with the port it happened on, whichever port is chosen now.
        if (auto last = m_serial.lastFailure(); !last.text.empty())
            tip += "; last failure: " + describe(last);
    }
    m_window.setToolTip(ctl::ComButton, tip);
}

} // namespace tova
