// SPDX-License-Identifier: MIT
#include "bridge/answering.hpp"

#include <utility>

namespace tova::bridge {

std::chrono::milliseconds Answering::windowFor(int pollSeconds) {
    return pollSeconds > 0 ? std::chrono::milliseconds(3LL * pollSeconds * 1000) : kWindowWithoutPolling;
}

Answering::Answering(const Clock& clock, Timer& timer, std::chrono::milliseconds window, Changed changed)
    : m_clock(clock), m_timer(timer), m_window(window), m_changed(std::move(changed)) {
    m_timer.setEnabled(false);
    m_timer.setInterval(static_cast<int>(m_window.count()));
    m_timer.setOnTick([this] { expired(); });
}

Answering::~Answering() { m_timer.setOnTick({}); }

void Answering::lineUp() {
    m_lineUp = true;
    m_unanswered = false;
    m_state = State::Unknown;
    m_since = m_clock.now();
    m_sinceWall = m_clock.wallTime();
    m_timer.setEnabled(true); // its count starts now
}

void Answering::lineDown() {
    m_lineUp = false;
    m_state = State::Unknown;
    m_timer.setEnabled(false);
}

void Answering::heard() {
    if (!m_lineUp) return;
    m_unanswered = false;
    m_since = m_clock.now();
    m_sinceWall = m_clock.wallTime();
    m_lastWall = m_sinceWall;
    m_timer.setEnabled(true); // the window starts over
    if (const State before = std::exchange(m_state, State::Yes); before != State::Yes && m_changed)
        m_changed(State::Yes, before, {});
}

void Answering::unanswered() {
    if (!m_lineUp) return;
    m_unanswered = true;
    // Its window passed while its line waited: the silence that follows counts now.
    if (m_state != State::No && !m_timer.enabled()) expired();
}

void Answering::expired() {
    m_timer.setEnabled(false); // told once; a reply starts it again
    if (!m_lineUp || m_state == State::No) return;
    if (!m_unanswered) return; // asked nothing yet: no fault of its own
    const State before = std::exchange(m_state, State::No);
    if (m_changed) m_changed(State::No, before, m_clock.now() - m_since);
}

std::optional<std::chrono::milliseconds> Answering::silentSince() const {
    if (m_state != State::No) return std::nullopt;
    return m_sinceWall;
}

} // namespace tova::bridge
