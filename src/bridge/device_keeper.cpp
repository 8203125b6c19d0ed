// SPDX-License-Identifier: MIT
#include "bridge/device_keeper.hpp"

namespace tova::bridge {

DeviceKeeper::DeviceKeeper(SerialControl& line, Timer& retry, ExchangeQueue& queue, LineSettings settings,
                           Callbacks callbacks)
    : m_line(line), m_tell(std::move(callbacks)), m_retry(retry), m_queue(queue), m_settings(settings) {
    m_retry.setEnabled(false);
    m_retry.setInterval(kRetryMs);
    m_retry.setOnTick([this] { tryOpen(); });
}

DeviceKeeper::~DeviceKeeper() { m_retry.setOnTick({}); }

void DeviceKeeper::start() {
    m_queue.setLineUp(false);
    try {
        m_line.setCommPort(1);
        m_line.setSettings(m_settings); // kept by the closed port, applied at each open
    } catch (const SerialError& e) {
        if (m_tell.log) m_tell.log(Priority::Error, e.what());
    }
    tryOpen();
}

void DeviceKeeper::tryOpen() {
    m_retry.setEnabled(false); // until this try has its outcome
    m_line.openPort([this, alive = std::weak_ptr<bool>(m_alive)](const SerialError* failed) {
        if (alive.expired()) return;
        if (failed) {
            const std::string why = describeDevice(failed->failure());
            if (m_tell.log && m_state != why) m_tell.log(Priority::Error, why + "; trying again every 2 s");
            m_state = why;
            m_retry.setEnabled(true);
            return;
        }
        if (m_tell.log) m_tell.log(Priority::Notice, m_line.devicePath(1) + ": open; serving");
        m_state = "open";
        m_queue.setLineUp(true);
        if (m_tell.up) m_tell.up();
    });
}

void DeviceKeeper::lost(const SerialFailure& f) {
    const std::string why = describeDevice(f);
    if (m_tell.log) m_tell.log(Priority::Error, why + "; trying again every 2 s");
    m_state = why;
    m_queue.setLineUp(false);
    if (m_tell.down) m_tell.down();
    m_retry.setEnabled(true);
}

} // namespace tova::bridge
