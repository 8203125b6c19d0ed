// SPDX-License-Identifier: MIT
#include "sim/projector_port.hpp"

#include "core/settings.hpp"
#include "link/traffic.hpp"

#include <algorithm>

namespace tova::sim {

ProjectorPort::ProjectorPort(ProjectorLine::Options options, Timer& timer, const Clock& clock, Callbacks callbacks)
    : m_line(options), m_timer(timer), m_clock(clock), m_tell(std::move(callbacks)), m_start(clock.now()) {
    m_timer.setEnabled(false);
    m_timer.setOnTick([this] { tick(); });
}

ProjectorPort::~ProjectorPort() { m_timer.setOnTick({}); }

void ProjectorPort::received(std::string_view bytes) {
    const int baud = lineBaud();
    for (auto& out : m_line.receive(bytes, baud, now())) {
        Due d{out.at, m_line.toPanel(out.bytes, baud), out.bytes, m_session};
        m_due.insert(std::upper_bound(m_due.begin(), m_due.end(), d, [](const Due& a, const Due& b) { return a.at < b.at; }),
                     std::move(d));
    }
    if (m_tell.log)
        for (const auto& l : m_line.takeLog()) log("line:" + trafficText(l));
    tick();
}

void ProjectorPort::newSession() {
    ++m_session;
    m_out.clear();
    m_line.dropPartial();
}

void ProjectorPort::tick() {
    m_timer.setEnabled(false);
    const Ms t = now();
    std::size_t taken = 0;
    for (; taken < m_due.size() && m_due[taken].at <= t; ++taken) {
        if (m_due[taken].session != m_session) continue; // its party has gone
        log("reply:" + trafficText(m_due[taken].reply));
        // On a quiet line the first byte goes now; behind others, when they have gone.
        if (m_out.empty()) m_nextCharUs = std::max<long long>(m_nextCharUs, t.count() * 1000LL);
        m_out += m_due[taken].bytes;
    }
    m_due.erase(m_due.begin(), m_due.begin() + static_cast<std::ptrdiff_t>(taken));
    pump();
    arm();
}

void ProjectorPort::pump() {
    // Bytes leave at the line rate: 10 bits a character at the speed the line is set to.
    const long long charUs = wireTime(1, LineSettings{lineBaud()}).count();
    const long long nowUs = static_cast<long long>(now().count()) * 1000;
    std::size_t due = 0;
    while (due < m_out.size() && m_nextCharUs + static_cast<long long>(due) * charUs <= nowUs) ++due;
    if (due == 0 || !m_tell.send) return;
    const std::size_t n = m_tell.send(std::string_view(m_out).substr(0, due));
    m_out.erase(0, n);
    m_nextCharUs += static_cast<long long>(n) * charUs;
}

void ProjectorPort::arm() {
    long long next = -1; // ms from now
    const long long nowMs = now().count();
    if (!m_due.empty()) next = std::max<long long>(0, m_due.front().at.count() - nowMs);
    if (!m_out.empty()) {
        // The next byte's millisecond; one already due (the write ran late) goes at once.
        const long long byte = std::max<long long>(0, (m_nextCharUs - nowMs * 1000 + 999) / 1000);
        next = next < 0 ? byte : std::min(next, byte);
    }
    if (next < 0) return;
    m_timer.setInterval(static_cast<int>(std::max<long long>(1, next)));
    m_timer.setEnabled(true);
}

} // namespace tova::sim
