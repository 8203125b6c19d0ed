#include "core/form1.hpp"

#include "link/address_table.hpp"
#include "panel/command_table.hpp"
#include "panel/hold_table.hpp"

namespace tova {

Form1::Form1(SerialControl& serial, Panel& panel, Timers timers)
    : m_serial(serial), m_panel(panel), m_timers(timers) {
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

void Form1::click(std::string_view c) {
    if (findCommandButton(c)) return commandClick(c);
    for (const auto& a : kAddressOptions)
        if (a.name == c) return addressChoice(a.prefix);
    if (c == "Option1") return Option1_Click();
    if (c == "Option2") return Option2_Click();
    if (c == "Option9") return Option9_Click();
    if (c == "Option10") return Option10_Click();
    if (c == "Command16") return Command16_Click();
    if (c == "Command33") return Command33_Click();
    if (c == "Command34") return Command34_Click();
    if (c == "Command95") return Command95_Click();
    if (c == "Command96") return Command96_Click();
    // Held buttons have no click: activating one from the keyboard sends nothing.
}

void Form1::mouseDown(std::string_view c) {
    if (findHoldButton(c)) holdPress(c);
}

void Form1::mouseUp(std::string_view c) {
    if (findHoldButton(c)) holdRelease(c);
}

bool Form1::isHeld(std::string_view c) const { return findHoldButton(c) != nullptr; }

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

    try {
        m_serial.setCommPort(1);
        m_serial.setSettings(CommSettings);
        m_serial.setPortOpen(true);
    } catch (const SerialError&) {
        // The COM1 choice below opens the port again and reports a failure once.
    }

    bool wasMarked = m_panel.marked("Option1");
    m_panel.setMarked("Option1", true);
    if (!wasMarked) Option1_Click(); // marking an option raises its click
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
        showPortState();
        m_panel.warn(e.what(), [this, other] {
            try {
                if (!m_serial.portOpen()) m_serial.setCommPort(other);
            } catch (const SerialError&) {
            }
            showPortState();
        });
        return;
    }
    m_panel.setVisible("Frame8", false);
    showPortState();
}

void Form1::speedChoice(std::string_view settings) {
    try {
        m_serial.setSettings(std::string(settings));
    } catch (const SerialError& e) {
        // CommSettings and the marked speed keep naming the speed in force.
        m_panel.setMarked(CommSettings == kSettings9600 ? "Option10" : "Option9", true);
        showPortState();
        m_panel.warn(e.what());
        return;
    }
    CommSettings = settings;
    m_panel.setVisible("Frame8", false);
    showPortState();
}

void Form1::Command33_Click() {
    m_panel.setVisible("Frame8", true);
    m_timers.timer3.setEnabled(true);
}

void Form1::Timer3_Timer() {
    m_panel.setVisible("Frame8", false);
    m_timers.timer3.setEnabled(false);
}

void Form1::showPortState() {
    int port = m_serial.commPort();
    std::string tip = "COM" + std::to_string(port) + ": " + m_serial.devicePath(port) + ", " +
                      m_serial.settings() + ", ";
    if (m_serial.portOpen()) {
        tip += "open";
    } else {
        tip += "closed";
        if (auto err = m_serial.errorText(); !err.empty()) tip += " (" + err + ")";
    }
    m_panel.setToolTip("Command33", tip);
}

} // namespace tova
