// SPDX-License-Identifier: MIT
#include "bridge/device_keeper.hpp"

namespace tova::bridge {

DeviceKeeper::DeviceKeeper(SerialControl& line, Timer& retry, ExchangeQueue& queue, LineSettings settings)
    : m_line(line), m_retry(retry), m_queue(queue), m_settings(settings) {
    m_retry.setEnabled(false);
    m_retry.setInterval(kRetryMs);
    m_retry.setOnTick([this] { tryOpen(); });
    m_line.setOnComm([this] {
        if (m_line.commEvent() == comEvReceive) m_queue.received(m_line.input());
        else if (m_line.commEvent() == comEventLost) lost();
    });
}

DeviceKeeper::~DeviceKeeper() {
    m_retry.setOnTick({});
    m_line.setOnComm({});
}

void DeviceKeeper::start() {
    m_queue.setLineUp(false);
    try {
        m_line.setCommPort(1);
        m_line.setSettings(m_settings); // kept by the closed port, applied at each open
    } catch (const SerialError& e) {
        if (log) log(e.what());
    }
    tryOpen();
}

void DeviceKeeper::tryOpen() {
    m_retry.setEnabled(false); // until this try has its outcome
    m_line.openPort([this, alive = std::weak_ptr<bool>(m_alive)](const SerialError* failed) {
        if (alive.expired()) return;
        if (failed) {
            const std::string why = describeDevice(failed->failure());
            if (log && m_state != why) log(why + "; trying again every 2 s");
            m_state = why;
            m_retry.setEnabled(true);
            return;
        }
        if (log) log(m_line.devicePath(1) + ": open; serving");
        m_state = "open";
        m_queue.setLineUp(true);
        if (onUp) onUp();
    });
}

void DeviceKeeper::lost() {
    const std::string why = describeDevice(m_line.lastFailure());
    if (log) log(why + "; trying again every 2 s");
    m_state = why;
    m_queue.setLineUp(false);
    if (onDown) onDown();
    m_retry.setEnabled(true);
}

} // namespace tova::bridge
