// SPDX-License-Identifier: MIT
#include "link/exchange_queue.hpp"

#include "link/traffic.hpp"

#include <algorithm>
#include <optional>
#include <tuple>
#include <utility>

namespace tova {

using std::chrono::milliseconds;

ExchangeQueue::ExchangeQueue(SerialControl& line, Timer& timeout, Timer& guard, const Clock& clock, Callbacks callbacks)
    : m_line(line), m_tell(std::move(callbacks)), m_timeout(timeout), m_guard(guard), m_clock(clock) {
    m_timeout.setEnabled(false);
    m_guard.setEnabled(false);
    m_timeout.setOnTick([this] { timedOut(); });
    m_guard.setOnTick([this] { quiet(); });
}

Submitted ExchangeQueue::submit(ClientId client, Request request, Done done) {
    if (!m_up) return Submitted::LineDown;
    auto& own = m_queues[client];
    const bool query = request.expect.kind == Expect::Data;
    // A command waiting already is not sent twice: a held button's repeat through the shared
    // line would go on moving the projector after its release.
    if (!query)
        for (const auto& l : own)
            if (l->request.line == request.line) return Submitted::Duplicate;
    if (m_asked[client] >= kMaxWaiting) return Submitted::Full;
    ++m_asked[client];
    if (query) {
        // One exchange answers identical queries: the client's own last line, or, when it has
        // nothing waiting, the same query on the wire or waiting for another client. Each line
        // asked gets the reply, and no client's replies come out of order.
        if (!own.empty() && own.back()->request.line == request.line) {
            own.back()->waiters.push_back({client, std::move(done)});
            return Submitted::Shared;
        }
        if (own.empty() && m_open && m_open->request.awaitReply && m_open->request.line == request.line) {
            m_open->waiters.push_back({client, std::move(done)});
            return Submitted::Shared;
        }
        // Only a line next in its queue is joined: one behind the poller's deferred line would
        // wait out the poller's patience.
        LinePtr shared;
        if (own.empty())
            for (auto& [other, lines] : m_queues)
                if (!shared && other != client && !lines.empty() && lines.front()->request.line == request.line)
                    shared = lines.front();
        if (shared) {
            // It goes in the turn of whichever of its askers would go first, and is a client's
            // line, not the poller's background one, once a client has asked it.
            if (!request.background) shared->request.background = false;
            shared->waiters.push_back({client, std::move(done)});
            own.push_back(shared);
            return Submitted::Shared;
        }
    }
    auto l = std::make_shared<Line>(Line{std::move(request), query, {}, m_clock.now()});
    l->waiters.push_back({client, std::move(done)});
    own.push_back(std::move(l));
    pump();
    return Submitted::Queued;
}

void ExchangeQueue::forget(ClientId client) {
    if (m_open) std::erase_if(m_open->waiters, [&](const Waiter& w) { return w.client == client; });
    if (auto it = m_queues.find(client); it != m_queues.end()) {
        for (const auto& l : it->second)
            std::erase_if(l->waiters, [&](const Waiter& w) { return w.client == client; });
        m_queues.erase(it);
    }
    m_asked.erase(client);
    m_finished.erase(client);
}

void ExchangeQueue::withdraw(ClientId client, std::string_view line) {
    const auto it = m_queues.find(client);
    if (it == m_queues.end()) return;
    std::erase_if(it->second, [&](const LinePtr& l) {
        if (l->request.line != line) return false;
        // Others who asked the same query keep it.
        const auto gone = std::erase_if(l->waiters, [&](const Waiter& w) { return w.client == client; });
        if (auto a = m_asked.find(client); a != m_asked.end()) a->second -= std::min(a->second, gone);
        return true;
    });
}

void ExchangeQueue::pump() {
    if (m_open || m_guarding || m_telling || !m_up) return;
    for (;;) {
        std::erase_if(m_queues, [](const auto& q) { return q.second.empty(); });
        if (m_queues.empty()) return;
        const auto [next, tag] = nextClient();
        if (!m_queues.contains(next)) return;
        m_lastServed = next;
        LinePtr line = m_queues[next].front();
        for (auto& [c, lines] : m_queues) std::erase(lines, line); // out of every queue holding it
        if (line->waiters.empty()) continue; // everyone who asked has gone
        m_open = line;
        // The virtual time moves on to its finish tag, which every client it answers has used.
        m_virtual = std::max(m_virtual, tag);
        for (const Waiter& w : line->waiters) m_finished[w.client] = std::max(m_finished[w.client], tag);
        m_in.clear();
        m_openedAt = m_clock.now();
        // Withheld: answered as no reply once this turn's handler has returned, the wire untouched.
        m_withheld = m_tell.withhold && m_tell.withhold(line->request);
        if (m_withheld) {
            m_timeout.setInterval(0);
            m_timeout.setEnabled(true);
            return;
        }
        ++m_exchanges;
        if (m_tell.logEach) m_tell.logEach("exchange" + trafficText(line->request.line));
        try {
            m_line.output(line->request.line);
        } catch (const SerialError& e) {
            if (m_tell.log) m_tell.log(std::string("cannot send: ") + e.what());
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
    if (m_tell.dropped && !bytes.empty()) m_tell.dropped({why, std::string(bytes)});
}

void ExchangeQueue::received(std::string_view bytes) {
    if (!m_open || !m_open->request.awaitReply || m_withheld) {
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
    for (;;) {
        const Reply r = readReply(m_in, m_open->request.expect);
        if (r.kind == ReplyKind::Incomplete) return;
        if (fits(r, m_in, m_open->request.expect)) {
            m_timeout.setEnabled(false);
            drop(Dropped::AfterReply, std::string_view(m_in).substr(r.length));
            finish({ExchangeResult::Replied, r, m_in.substr(0, r.length)});
            return;
        }
        // Another line's reply, late: it is nobody's, and this line goes on waiting.
        drop(Dropped::Stray, std::string_view(m_in).substr(0, r.length));
        m_in.erase(0, r.length);
    }
}

void ExchangeQueue::timedOut() {
    if (std::exchange(m_withheld, false)) {
        m_timeout.setEnabled(false);
        ExchangeResult none{ExchangeResult::TimedOut};
        none.withheld = true;
        finish(std::move(none));
        return;
    }
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
    // A late reply may still be on its way: the line must be quiet before the next line, and
    // that wait is the time-out's clients' time on the wire too.
    m_quietFor.clear();
    for (const auto& w : m_open->waiters) m_quietFor.push_back(w.client);
    startQuiet();
    finish({outcome});
}

void ExchangeQueue::settle() {
    m_quietFor.clear();
    startQuiet();
}

void ExchangeQueue::startQuiet() {
    m_guarding = true;
    m_quietSince = m_clock.now();
    m_quietBy = m_quietSince + milliseconds(kMaxQuietMs);
    m_guard.setInterval(kQuietGuardMs);
    m_guard.setEnabled(true);
}

void ExchangeQueue::quiet() {
    m_guard.setEnabled(false);
    m_guarding = false;
    // The wait for quiet after a time-out is its clients' time on the line too.
    for (ClientId c : std::exchange(m_quietFor, {}))
        if (auto it = m_finished.find(c); it != m_finished.end()) it->second += (m_clock.now() - m_quietSince).count();
    pump();
}

void ExchangeQueue::finish(ExchangeResult result) {
    LinePtr line = std::exchange(m_open, nullptr);
    if (line) {
        result.took = m_clock.now() - m_openedAt;
        if (m_tell.logEach && !result.withheld)
            m_tell.logEach("reply" + (result.outcome == ExchangeResult::Replied ? trafficText(result.bytes)
                                                                                : std::string(" none")));
        // The callbacks may submit their next lines; the next line out is chosen once every client
        // this reply answers has had its say, not at the first one's.
        m_telling = true;
        struct Told {
            bool& telling;
            ~Told() { telling = false; }
        } told{m_telling};
        if (m_tell.exchanged) m_tell.exchanged(line->request, result);
        for (auto& w : std::exchange(line->waiters, {})) {
            if (auto it = m_asked.find(w.client); it != m_asked.end() && it->second > 0) --it->second;
            w.done(result);
        }
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
    m_withheld = false;
    std::vector<Waiter> told;
    if (m_open) told = std::exchange(m_open->waiters, {});
    m_open = nullptr;
    for (auto& [client, lines] : m_queues)
        for (auto& l : lines)
            for (auto& w : std::exchange(l->waiters, {})) told.push_back(std::move(w));
    m_queues.clear();
    m_asked.clear();
    for (auto& w : told) w.done({ExchangeResult::LineDown});
}

std::string describe(const Dropped& d) {
    const std::string shown = trafficText(std::string_view(d.bytes).substr(0, 64));
    switch (d.why) {
    case Dropped::AfterReply: return "dropped after the reply:" + shown;
    case Dropped::Stray: return "dropped, the reply of another line:" + shown;
    case Dropped::WhileQuiet:
    case Dropped::NobodyAsked: break;
    }
    return "dropped, nobody asked:" + shown;
}

} // namespace tova
