// SPDX-License-Identifier: MIT
// Transmission, the traffic display, the receive event and the two traffic timers.
#include "link/address.hpp"
#include "link/decoder.hpp"
#include "link/traffic.hpp"
#include "panel/form1.hpp"

namespace tova {

void Form1::transmit(std::string_view code) {
    sendLine = frameLine(addressPrefix, code);
    showTraffic(sendLine, Traffic::Transmit);
}

void Form1::showTraffic(const std::string& text, Traffic way) {
    if (way == Traffic::Transmit) {
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
    if (way == Traffic::Transmit) {
        // A line sent while no exchange is open starts afresh: a late reply to an earlier line
        // (an input change is acknowledged only after switching) is not read as this one's.
        if (!m_timers.replyTimeout.enabled()) rxBuffer.clear();
        m_panel.setCaption(ctl::SentTraffic, traffic);
        m_timers.replyTimeout.setEnabled(true);
        awaitingReply = true;
        m_timers.displayClear.setEnabled(true);
        return;
    }
    m_panel.setCaption(ctl::ReceivedTraffic, traffic);
    auto decoded = decodeReply(sendLine, addressPrefix, m_panel.caption(ctl::ReceivedTraffic), pressureValue);
    pressureValue = decoded.pressureValue;
    if (decoded.words) m_panel.setCaption(ctl::DecodedReply, *decoded.words);
}

void Form1::onReceived(const std::string& in) {
    if (rxBuffer.size() < kReceiveCap) rxBuffer.append(in, 0, kReceiveCap - rxBuffer.size());
    awaitingReply = false;
    showTraffic(rxBuffer, Traffic::Received);
}

void Form1::onDeviceLost(const SerialFailure& f) {
    // The control has closed the port; tell the operator once, with its own words.
    showPortState();
    m_warning.warn(describe(f));
}

void Form1::onReplyTimeout() {
    if (awaitingReply) {
        m_panel.setCaption(ctl::ReceivedTraffic, std::string(kNoReplyMark));
        m_serial.noteNoReply();
    }
    m_timers.replyTimeout.setEnabled(false);
    rxBuffer.clear();
    awaitingReply = false;
}

void Form1::clearTraffic() {
    m_panel.setCaption(ctl::SentTraffic, "");
    m_panel.setCaption(ctl::ReceivedTraffic, "");
    m_panel.setCaption(ctl::DecodedReply, "");
    m_timers.displayClear.setEnabled(false);
}

void Form1::chooseAddress(int target) { addressPrefix = prefixFor(target); }

} // namespace tova
