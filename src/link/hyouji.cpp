// SPDX-License-Identifier: MIT
// Transmission, the traffic display, the receive event and the two traffic timers.
#include "core/form1.hpp"
#include "link/decoder.hpp"
#include "link/traffic.hpp"

namespace tova {

void Form1::transmit(std::string_view code) {
    SendLine = frameLine(AddressPrefix, code);
    Hyouji(SendLine, kHyoujiTransmit);
}

void Form1::Hyouji(const std::string& text, std::uint8_t mode) {
    if (mode == kHyoujiTransmit) {
        try {
            m_serial.output(text);
        } catch (const SerialError& e) {
            // Not shown as sent and no reply awaited: the operator is told instead.
            showPortState();
            m_warning.warn(e.what());
            return;
        }
    }
    std::string traffic = trafficText(text);
    if (mode == kHyoujiTransmit) {
        // A line sent while no exchange is open starts afresh: a late reply to an earlier line
        // (an input change is acknowledged only after switching) is not read as this one's.
        if (!m_timers.timer2.enabled()) RxBuffer.clear();
        m_panel.setCaption(ctl::Label11, traffic);
        m_timers.timer2.setEnabled(true);
        AwaitingReply = 1;
        m_timers.timer4.setEnabled(true);
        return;
    }
    m_panel.setCaption(ctl::Label12, traffic);
    auto decoded = decodeReply(SendLine, AddressPrefix, m_panel.caption(ctl::Label12), PressureValue);
    PressureValue = decoded.pressureValue;
    if (decoded.label22) m_panel.setCaption(ctl::Label22, *decoded.label22);
}

void Form1::MSComm1_OnComm() {
    int kind = m_serial.commEvent();
    if (kind == comEvReceive) {
        std::string in = m_serial.input();
        if (RxBuffer.size() < kRxBufferLimit)
            RxBuffer.append(in, 0, kRxBufferLimit - RxBuffer.size());
        AwaitingReply = 0;
        Hyouji(RxBuffer, kHyoujiReceived);
    } else if (kind == comEventLost) {
        // The control has closed the port; tell the operator once, with its own words.
        showPortState();
        m_warning.warn(describe(m_serial.lastFailure()));
    }
}

void Form1::Timer2_Timer() {
    if (AwaitingReply == 1) {
        m_panel.setCaption(ctl::Label12, " X X X X");
        m_serial.noteNoReply();
    }
    m_timers.timer2.setEnabled(false);
    RxBuffer.clear();
    AwaitingReply = 0;
}

void Form1::Timer4_Timer() {
    m_panel.setCaption(ctl::Label11, "");
    m_panel.setCaption(ctl::Label12, "");
    m_panel.setCaption(ctl::Label22, "");
    m_timers.timer4.setEnabled(false);
}

void Form1::addressChoice(std::string_view prefix) { AddressPrefix = prefix; }

} // namespace tova
