// SPDX-License-Identifier: MIT
#include "bridge/poller.hpp"

#include "link/traffic.hpp"
#include "tables/line_requests.hpp"

namespace tova::bridge {

Poller::Poller(ExchangeQueue& queue, Timer& timer, ClientId id, std::string prefix, ProjectorState& state, int periodMs)
    : m_queue(queue), m_timer(timer), m_id(id), m_prefix(std::move(prefix)), m_state(state), m_period(periodMs) {
    m_timer.setEnabled(false);
    m_timer.setInterval(periodMs);
    m_timer.setOnTick([this] { tick(); });
}

Poller::~Poller() {
    m_timer.setOnTick({});
    m_queue.forget(m_id);
}

void Poller::start() {
    if (m_period <= 0) return;
    m_timer.setEnabled(true);
    tick();
}

void Poller::tick() {
    if (!m_due) m_due = m_queue.clock().now();
    if (!m_asking) poll();
}

void Poller::ask(QueryId id, std::function<void(std::string_view)> read) {
    const std::string_view code = query(id).code;
    // Patient for two periods from when the poll was due, then as any client.
    const auto waited = m_queue.clock().now() - m_dueAt;
    const int patience = static_cast<int>(std::max<long long>(0, 2LL * m_period - waited.count()));
    Request r = requestFor(m_prefix, code);
    r.background = true;
    r.patienceMs = patience;
    const Submitted s = m_queue.submit(m_id, std::move(r), [this, read = std::move(read)](const ExchangeResult& e) {
        if (e.outcome == ExchangeResult::Replied && e.reply.kind == ReplyKind::Answered) read(e.bytes);
        else finish();
    });
    if (s != Submitted::Queued && s != Submitted::Shared) finish(); // the line is down: the next one
}

void Poller::poll() {
    m_asking = true;
    m_dueAt = *m_due;
    m_due.reset();
    ask(QueryId::Status, [this](std::string_view reply) {
        ++m_polls;
        m_state.status(reply);
        const auto power = m_state.power();
        if (power != Power::On && power != Power::WarmingUp) return lamp();
        ask(QueryId::InputMode, [this](std::string_view mode) {
            m_state.inputMode(mode);
            ask(QueryId::MuteAndSignal, [this](std::string_view mute) {
                m_state.muteAndSignal(mute);
                lamp();
            });
        });
    });
}

void Poller::lamp() {
    const auto now = m_queue.clock().now();
    if (m_lampAsked && now - *m_lampAsked < kLampPeriod) return finish();
    ask(QueryId::LampHours, [this, now](std::string_view hours) {
        m_lampAsked = now;
        m_state.lampHours(hours);
        finish();
    });
}

void Poller::finish() {
    m_asking = false;
    if (m_due) poll(); // a tick came while this poll waited
}

} // namespace tova::bridge
