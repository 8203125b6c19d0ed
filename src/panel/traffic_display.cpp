// SPDX-License-Identifier: MIT
// Sending a line, showing what was sent and received, the receive event and the two traffic
// timers.
#include "link/address.hpp"
#include "link/decoder.hpp"
#include "link/traffic.hpp"
#include "panel/panel.hpp"

namespace tova {

void Panel::transmit(std::string_view code) {
    sendLine = frameLine(addressPrefix, code);
    send(sendLine);
}

void Panel::send(const std::string& line) {
    try {
        m_serial.output(line);
    } catch (const SerialError& e) {
        // Not shown as sent and no reply awaited: the operator is told instead.
        showPortState();
        m_warning.warn(warningText(e.failure()));
        return;
    }
    showSent(line);
}

void Panel::showSent(const std::string& line) {
    // A line sent while no exchange is open starts afresh: a late reply to an earlier line (an
    // input change is acknowledged only after switching) is not read as this one's.
    if (!m_timers.replyTimeout.enabled()) rxBuffer.clear();
    m_window.setCaption(ctl::SentTraffic, trafficText(line));
    m_timers.replyTimeout.setEnabled(true);
    awaitingReply = true;
    m_timers.displayClear.setEnabled(true);
}

void Panel::showReceived(const std::string& text) {
    m_window.setCaption(ctl::ReceivedTraffic, trafficText(text));
    auto decoded = decodeReply(sendLine, addressPrefix, m_window.caption(ctl::ReceivedTraffic), pressureValue);
    pressureValue = decoded.pressureValue;
    if (decoded.words) m_window.setCaption(ctl::DecodedReply, *decoded.words);
}

void Panel::onReceived(const std::string& in) {
    if (rxBuffer.size() < kReceiveCap) rxBuffer.append(in, 0, kReceiveCap - rxBuffer.size());
    awaitingReply = false;
    showReceived(rxBuffer);
}

void Panel::onDeviceLost(const SerialFailure& f) {
    // The control has closed the port; tell the operator once, with its own words.
    showPortState();
    m_warning.warn(warningText(f));
}

void Panel::onReplyTimeout() {
    if (awaitingReply) {
        m_window.setCaption(ctl::ReceivedTraffic, std::string(kNoReplyMark));
        m_serial.noteNoReply();
    }
    m_timers.replyTimeout.setEnabled(false);
    rxBuffer.clear();
    awaitingReply = false;
}

void Panel::clearTraffic() {
    m_window.setCaption(ctl::SentTraffic, "");
    m_window.setCaption(ctl::ReceivedTraffic, "");
    m_window.setCaption(ctl::DecodedReply, "");
    m_timers.displayClear.setEnabled(false);
}

void Panel::chooseAddress(int target) { addressPrefix = prefixFor(target); }

} // namespace tova
