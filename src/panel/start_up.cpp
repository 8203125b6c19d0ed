// SPDX-License-Identifier: MIT
// Start-up and END.
#include "panel/panel.hpp"

#include "core/settings.hpp"

#include <optional>

namespace tova {

Panel::Panel(SerialControl& serial, Window& window, Timers timers)
    : m_serial(serial), m_window(window), m_timers(timers), m_warning(window) {
    const std::pair<Timer*, int> start[] = {{&m_timers.repeat, kRepeatPeriodStart},
                                            {&m_timers.replyTimeout, kReplyTimeoutMs},
                                            {&m_timers.comFrame, kComFrameMs},
                                            {&m_timers.displayClear, kDisplayClearMs}};
    for (auto [timer, ms] : start) {
        timer->setEnabled(false);
        timer->setInterval(ms);
    }
    m_timers.repeat.setOnTick([this] { onRepeatTick(); });
    m_timers.replyTimeout.setOnTick([this] { onReplyTimeout(); });
    m_timers.comFrame.setOnTick([this] { hideComFrame(); });
    m_timers.displayClear.setOnTick([this] { clearTraffic(); });
    m_serial.setEvents({[this](const std::string& bytes) { onReceived(bytes); },
                        [this](const SerialFailure& f) { onDeviceLost(f); }});
}

void Panel::startUp() {
    commSettings = kSettings19200;
    addressPrefix.clear();

    // Centred for the size as laid out, before the window is shrunk.
    auto screen = m_window.screenSize();
    double left = (screen.width - m_window.width()) / 2.0;
    double top = (screen.height - m_window.height()) / 2.0;
    m_window.move(left, top);

    m_window.setHeight(kCompactHeight);

    repeatCode = 0;
    awaitingReply = false;
    rxBuffer.clear();

    std::optional<SerialError> failed;
    try {
        m_serial.setCommPort(1);
        m_serial.setSettings(*parseSettings(commSettings));
        m_serial.setPortOpen(true);
    } catch (const SerialError& e) {
        failed = e;
    }

    bool wasMarked = m_window.marked(ctl::Com1);
    m_window.setMarked(ctl::Com1, true);
    if (!wasMarked) {
        // Marking COM1 raises its click: the COM1 choice. The port has just been opened on COM1
        // (or has just failed to), so the choice's close and open again would change nothing but
        // cost a second try (a second connect to a device server that does not answer); its
        // outcome is applied as it stands: the frame hidden, or the failure told once.
        if (failed) portFailed(*failed, 2);
        else m_window.setVisible(ctl::ComFrame, false);
    }
    showPortState();
}

void Panel::end() {
    try {
        m_serial.setPortOpen(false);
    } catch (const SerialError&) {
        // END ends the program whether or not the port could be closed.
    }
    m_window.end();
}

} // namespace tova
