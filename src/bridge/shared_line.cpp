// SPDX-License-Identifier: MIT
#include "bridge/shared_line.hpp"

#include "link/address.hpp"
#include "link/traffic.hpp"
#include "tables/line_requests.hpp"

#include <utility>

namespace tova::bridge {

SharedLineClient::SharedLineClient(ClientId id, ExchangeQueue& queue, Callbacks callbacks)
    : m_tell(std::move(callbacks)), m_id(id), m_queue(queue) {}

SharedLineClient::~SharedLineClient() { m_queue.forget(m_id); }

void SharedLineClient::received(std::string_view bytes) {
    for (char c : bytes) {
        if (m_closed) return;
        if (c != kCR) {
            if (m_partial.size() >= kReceiveCap) { // endless bytes without a line end
                m_closed = true;
                if (m_tell.log) m_tell.log("cut off: " + std::to_string(kReceiveCap) + " bytes without a carriage return");
                m_tell.close();
                return;
            }
            m_partial.push_back(c);
            continue;
        }
        std::string line = std::exchange(m_partial, {}) + kCR;
        if (m_tell.line) m_tell.line();
        // Framed again from its own address and code, it is the line as the client sent it.
        const AddressedCode a = splitAddress(line);
        if (m_tell.mayAddress && !m_tell.mayAddress(a.target)) {
            if (m_tell.log) m_tell.log("dropped, no such projector is served here:" + trafficText(line));
            continue;
        }
        const Submitted s = m_queue.submit(m_id, requestFor(prefixFor(a.target), a.code), [this](const ExchangeResult& r) {
            if (r.outcome == ExchangeResult::Replied) m_tell.send(r.bytes);
        });
        if (m_tell.log && s == Submitted::Duplicate && !std::exchange(m_toldDuplicate, true))
            m_tell.log("dropped, the same line waits already (said once):" + trafficText(line));
        if (m_tell.log && s == Submitted::Full) m_tell.log("dropped, 16 lines wait already:" + trafficText(line));
        if (m_tell.log && s == Submitted::LineDown) m_tell.log("dropped, the device is not there:" + trafficText(line));
    }
}

} // namespace tova::bridge
