// SPDX-License-Identifier: MIT
#include "bridge/shared_line.hpp"

#include "link/address.hpp"
#include "link/traffic.hpp"
#include "tables/vocabulary.hpp"

#include <utility>

namespace tova::bridge {

SharedLineClient::SharedLineClient(ClientId id, ExchangeQueue& queue) : m_id(id), m_queue(queue) {}

SharedLineClient::~SharedLineClient() { m_queue.forget(m_id); }

void SharedLineClient::received(std::string_view bytes) {
    for (char c : bytes) {
        if (m_closed) return;
        if (c != kCR) {
            if (m_partial.size() >= kReceiveCap) { // endless bytes without a line end
                m_closed = true;
                if (log) log("cut off: " + std::to_string(kReceiveCap) + " bytes without a carriage return");
                close();
                return;
            }
            m_partial.push_back(c);
            continue;
        }
        std::string line = std::exchange(m_partial, {}) + kCR;
        // Framed again from its own address and code, it is the line as the client sent it.
        const AddressedCode a = splitAddress(line);
        const Submitted s = m_queue.submit(m_id, requestFor(prefixFor(a.target), a.code), [this](const ExchangeResult& r) {
            if (r.outcome == ExchangeResult::Replied) send(r.bytes);
        });
        if (log && s == Submitted::Duplicate && !std::exchange(m_toldDuplicate, true))
            log("dropped, the same line waits already (said once):" + trafficText(line));
        if (log && s == Submitted::Full) log("dropped, 16 lines wait already:" + trafficText(line));
        if (log && s == Submitted::LineDown) log("dropped, the device is not there:" + trafficText(line));
    }
}

} // namespace tova::bridge
