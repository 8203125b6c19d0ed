// SPDX-License-Identifier: MIT
#pragma once
#include "core/timer.hpp"

#include <QTimer>

namespace tova {

class QtTimer : public Timer {
  public:
    QtTimer() {
        m_timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            if (m_onTick) m_onTick();
        });
    }
    // QTimer restarts a running timer on setInterval and start(), as the panel expects.
    void setInterval(int ms) override { m_timer.setInterval(ms); }
    int interval() const override { return m_timer.interval(); }
    void setEnabled(bool on) override { on ? m_timer.start() : m_timer.stop(); }
    bool enabled() const override { return m_timer.isActive(); }
    void setOnTick(std::function<void()> handler) override { m_onTick = std::move(handler); }

  private:
    QTimer m_timer;
    std::function<void()> m_onTick;
};

} // namespace tova
