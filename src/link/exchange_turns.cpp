// SPDX-License-Identifier: MIT
// Whose line goes next when the line falls free: fair queuing on the line's virtual time.
#include "link/exchange_queue.hpp"

#include <algorithm>
#include <optional>
#include <tuple>

namespace tova {

using std::chrono::milliseconds;

std::pair<ClientId, long long> ExchangeQueue::nextClient() {
    // A shared line goes out only once it leads every queue that holds it.
    auto leads = [&](const LinePtr& line) {
        return std::all_of(m_queues.begin(), m_queues.end(), [&](const auto& q) {
            return q.second.empty() || q.second.front() == line ||
                   std::find(q.second.begin(), q.second.end(), line) == q.second.end();
        });
    };
    // Clients' lines go before a background line that has not waited out its patience. Of the
    // rest, the smallest finish tag goes first; of equals, the line that may hold the wire
    // shortest; then the first client after the one served last, as taking turns would.
    auto deferred = [&](const LinePtr& l) {
        return l->request.background && m_clock.now() - l->since < milliseconds(l->request.patienceMs);
    };
    std::optional<ClientId> best;
    std::tuple<bool, long long, int> least{};
    auto finishTag = [&](ClientId c, const Line& l) {
        const auto last = m_finished.find(c);
        return std::max(m_virtual, last == m_finished.end() ? 0 : last->second) + l.request.timeoutMs;
    };
    auto after = m_queues.upper_bound(m_lastServed);
    std::vector<ClientId> order;
    for (auto it = after; it != m_queues.end(); ++it) order.push_back(it->first);
    for (auto it = m_queues.begin(); it != after; ++it) order.push_back(it->first);
    for (ClientId c : order) {
        const auto& lines = m_queues[c];
        if (lines.empty() || !leads(lines.front())) continue;
        const LinePtr& l = lines.front();
        const std::tuple<bool, long long, int> key{deferred(l), finishTag(c, *l), l->request.timeoutMs};
        if (!best || key < least) best = c, least = key;
    }
    return {best.value_or(0), std::get<1>(least)};
}

} // namespace tova
