// SPDX-License-Identifier: MIT
#include "link/exchange_queue.hpp"

#include "link/traffic.hpp"

#include <algorithm>
#include <utility>

namespace tova {

using std::chrono::milliseconds;

ExchangeQueue::ExchangeQueue(SerialControl& line, Timer& timeout, Timer& guard, const Clock& clock)
    : m_line(line), m_timeout(timeout), m_guard(guard), m_clock(clock) {
    m_timeout.setEnabled(false);
    m_guard.setEnabled(false);
    m_timeout.setOnTick([this] { timedOut(); });
    m_guard.setOnTick([this] { quiet(); });
}

Submitted ExchangeQueue::submit(ClientId client, Request request, Done done) {
    if (!m_up) return Submitted::LineDown;
    auto& own = m_queues[client];
    for (const auto& l : own)
        if (l->request.line == request.line) return Submitted::Duplicate;
    if (own.size() >= kMaxWaiting) return Submitted::Full;
    const bool query = request.expect.kind == Expect::Data;
    // An identical query on the wire, or one that another client sends next, shares its
    // exchange, provided this client has nothing before it: then no client's replies come out of
    // order. A poller asking what another has just asked gets the same fresh answer.
    const bool inFlight = m_open && std::any_of(m_open->waiters.begin(), m_open->waiters.end(),
                                                [&](const Waiter& w) { return w.client == client; });
    if (query && own.empty() && !inFlight && m_open && m_open->request.line == request.line) {
        m_open->waiters.push_back({client, std::move(done)});
        return Submitted::Shared;
    }
    if (query && own.empty() && !inFlight)
        for (auto& [other, lines] : m_queues)
            if (other != client && !lines.empty() && lines.front()->request.line == request.line) {
                LinePtr shared = lines.front();
                shared->waiters.push_back({client, std::move(done)});
                own.push_back(shared);
                return Submitted::Shared;
            }
    auto l = std::make_shared<Line>(Line{std::move(request), query, {}});
    l->waiters.push_back({client, std::move(done)});
    own.push_back(std::move(l));
    pump();
    return Submitted::Queued;
}

void ExchangeQueue::forget(ClientId client) {
    if (m_open)
        std::erase_if(m_open->waiters, [&](const Waiter& w) { return w.client == client; });
    if (auto it = m_queues.find(client); it != m_queues.end()) {
        for (const auto& l : it->second)
            std::erase_if(l->waiters, [&](const Waiter& w) { return w.client == client; });
        m_queues.erase(it);
    }
}

void ExchangeQueue::pump() {
    if (m_open || m_guarding || !m_up) return;
    std::erase_if(m_queues, [](const auto& q) { return q.second.empty(); });
    while (!m_queues.empty()) {
        // Round the clients in turn: the first with a line waiting after the one served last.
        auto it = m_queues.upper_bound(m_lastServed);
        if (it == m_queues.end()) it = m_queues.begin();
        m_lastServed = it->first;
        LinePtr line = it->second.front();
        // Out of every queue that holds it (a shared query is at the front of each).
        for (auto& [c, lines] : m_queues)
            if (!lines.empty() && lines.front() == line) lines.pop_front();
        std::erase_if(m_queues, [](const auto& q) { return q.second.empty(); });
        if (line->waiters.empty()) continue; // everyone who asked has gone
        m_open = line;
        m_in.clear();
        ++m_exchanges;
        if (verbose && log) log("exchange" + trafficText(line->request.line));
        m_openedAt = m_clock.now();
        try {
            m_line.output(line->request.line);
        } catch (const SerialError& e) {
            if (log) log(std::string("cannot send: ") + e.what());
            ExchangeResult down{ExchangeResult::LineDown, {}, {}, {}, e.what()};
            finish(std::move(down));
            return;
        }
        const Request& r = line->request;
        m_timeout.setInterval(r.awaitReply ? r.timeoutMs : std::min(kLeavePollMs, r.timeoutMs));
        m_timeout.setEnabled(true);
        return;
    }
}

void ExchangeQueue::drop(Dropped::Why why, std::string_view bytes) {
    if (onDropped && !bytes.empty()) onDropped({why, std::string(bytes)});
}

void ExchangeQueue::received(std::string_view bytes) {
    if (!m_open || !m_open->request.awaitReply) {
        if (m_guarding) {
            // Not quiet yet: the guard starts over, but never beyond its bound.
            drop(Dropped::WhileQuiet, bytes);
            const auto left = (m_quietBy - m_clock.now()).count();
            m_guard.setInterval(static_cast<int>(std::clamp<long long>(left, 1, kQuietGuardMs)));
            m_guard.setEnabled(true);
            return;
        }
        drop(Dropped::NobodyAsked, bytes);
        return;
    }
    m_in.append(bytes.substr(0, kReceiveCap - std::min(kReceiveCap, m_in.size())));
    const Reply r = readReply(m_in, m_open->request.expect);
    if (r.kind == ReplyKind::Incomplete) return;
    m_timeout.setEnabled(false);
    drop(Dropped::AfterReply, std::string_view(m_in).substr(r.length));
    finish({ExchangeResult::Replied, r, m_in.substr(0, r.length)});
}

void ExchangeQueue::timedOut() {
    const Request& r = m_open->request;
    const bool late = m_clock.now() - m_openedAt >= milliseconds(r.timeoutMs);
    if (!r.awaitReply) {
        // Looked at until its bytes have left, at most for its time-out.
        if (m_line.outputBusy() && !late) return;
        m_timeout.setEnabled(false);
        finish({m_line.outputBusy() ? ExchangeResult::NotTaken : ExchangeResult::Sent});
        return;
    }
    m_timeout.setEnabled(false);
    // Bytes still waiting to leave: the device has not taken the line, let alone answered.
    const auto outcome = m_line.outputBusy() ? ExchangeResult::NotTaken : ExchangeResult::TimedOut;
    // A late reply may still be on its way: the line must be quiet before the next line.
    startQuiet();
    finish({outcome});
}

void ExchangeQueue::settle() { startQuiet(); }

void ExchangeQueue::startQuiet() {
    m_guarding = true;
    m_quietBy = m_clock.now() + milliseconds(kMaxQuietMs);
    m_guard.setInterval(kQuietGuardMs);
    m_guard.setEnabled(true);
}

void ExchangeQueue::quiet() {
    m_guard.setEnabled(false);
    m_guarding = false;
    pump();
}

void ExchangeQueue::finish(ExchangeResult result) {
    LinePtr line = std::exchange(m_open, nullptr);
    if (line) {
        result.took = m_clock.now() - m_openedAt;
        if (verbose && log)
            log("reply" + (result.outcome == ExchangeResult::Replied ? trafficText(result.bytes)
                                                                     : std::string(" none")));
        // The callbacks may submit the next line; the line is free for it by now.
        for (auto& w : std::exchange(line->waiters, {})) w.done(result);
    }
    pump();
}

void ExchangeQueue::setLineUp(bool up) {
    m_up = up;
    if (up) {
        pump();
        return;
    }
    m_timeout.setEnabled(false);
    m_guard.setEnabled(false);
    m_guarding = false;
    std::vector<Waiter> told;
    if (m_open) told = std::exchange(m_open->waiters, {});
    m_open = nullptr;
    for (auto& [client, lines] : m_queues)
        for (auto& l : lines)
            for (auto& w : std::exchange(l->waiters, {})) told.push_back(std::move(w));
    m_queues.clear();
    for (auto& w : told) w.done({ExchangeResult::LineDown});
}

} // namespace tova
