// SPDX-License-Identifier: MIT
// Start-up, END and the choice of port and speed.
#include "core/form1.hpp"

#include "core/settings.hpp"

#include <optional>

namespace tova {

Form1::Form1(SerialControl& serial, Panel& panel, Timers timers)
    : m_serial(serial), m_panel(panel), m_timers(timers), m_warning(panel) {
    const std::pair<Timer*, int> start[] = {{&m_timers.timer1, kTimer1Start},
                                            {&m_timers.timer2, kTimer2Start},
                                            {&m_timers.timer3, kTimer3Start},
                                            {&m_timers.timer4, kTimer4Start}};
    for (auto [timer, ms] : start) {
        timer->setEnabled(false);
        timer->setInterval(ms);
    }
    m_timers.timer1.setOnTick([this] { Timer1_Timer(); });
    m_timers.timer2.setOnTick([this] { Timer2_Timer(); });
    m_timers.timer3.setOnTick([this] { Timer3_Timer(); });
    m_timers.timer4.setOnTick([this] { Timer4_Timer(); });
    m_serial.setOnComm([this] { MSComm1_OnComm(); });
}

void Form1::Form_Load() {
    CommSettings = kSettings19200;
    AddressPrefix.clear();

    // Centred for the size as laid out, before the window is shrunk.
    auto screen = m_panel.screenSize();
    double left = (screen.width - m_panel.width()) / 2.0;
    double top = (screen.height - m_panel.height()) / 2.0;
    m_panel.move(left, top);

    m_panel.setHeight(kCompactHeight);

    RepeatCode = 0;
    AwaitingReply = 0;
    RxBuffer.clear();

    std::optional<SerialError> failed;
    try {
        m_serial.setCommPort(1);
        m_serial.setSettings(*parseSettings(CommSettings));
        m_serial.setPortOpen(true);
    } catch (const SerialError& e) {
        failed = e;
    }

    bool wasMarked = m_panel.marked(ctl::Option1);
    m_panel.setMarked(ctl::Option1, true);
    if (!wasMarked) {
        // Marking COM1 raises its click: the COM1 choice. The port has just been opened on COM1
        // (or has just failed to), so the choice's close and open again would change nothing but
        // cost a second try (a second connect to a device server that does not answer); its
        // outcome is applied as it stands: the frame hidden, or the failure told once.
        if (failed) portFailed(*failed, 2);
        else m_panel.setVisible(ctl::Frame8, false);
    }
    showPortState();
}

void Form1::Command16_Click() {
    try {
        m_serial.setPortOpen(false);
    } catch (const SerialError&) {
        // END ends the program whether or not the port could be closed.
    }
    m_panel.end();
}

void Form1::portChoice(int port) {
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
    m_panel.setVisible(ctl::Frame8, false);
    showPortState();
}

void Form1::portFailed(const SerialError& e, int other) {
    showPortState();
    m_warning.warn(e.what(), [this, other] {
        try {
            if (!m_serial.portOpen()) m_serial.setCommPort(other);
        } catch (const SerialError&) {
        }
        showPortState();
    });
}

void Form1::speedChoice(std::string_view settings) {
    try {
        m_serial.setSettings(*parseSettings(settings));
    } catch (const SerialError& e) {
        // CommSettings and the marked speed keep naming the speed in force.
        m_panel.setMarked(CommSettings == kSettings9600 ? ctl::Option10 : ctl::Option9, true);
        showPortState();
        m_warning.warn(e.what());
        return;
    }
    CommSettings = settings;
    m_panel.setVisible(ctl::Frame8, false);
    showPortState();
}

void Form1::Command33_Click() {
    m_panel.setVisible(ctl::Frame8, true);
    m_timers.timer3.setEnabled(true);
}

void Form1::Timer3_Timer() {
    m_panel.setVisible(ctl::Frame8, false);
    m_timers.timer3.setEnabled(false);
}

void Form1::showPortState() {
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
    m_panel.setToolTip(ctl::Command33, tip);
}

} // namespace tova
