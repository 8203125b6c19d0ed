// SPDX-License-Identifier: MIT
#pragma once
// The bridge's logic on a fake clock and a fake line, with a projector of the test's own that
// answers each line it recognises at once, after a delay, or not at all.
#include "bridge/client_registry.hpp"
#include "fakes.hpp"
#include "link/address.hpp"
#include "link/exchange_queue.hpp"
#include "tables/line_requests.hpp"

#include <map>

namespace tova::test {

struct BridgeRig {
    FakeClock clock;
    FakeTimer timeout{clock}, guard{clock};
    FakeSerial serial{clock};
    std::vector<std::string> logged;
    std::function<void(const Request&, const ExchangeResult&)> exchanged; // a test's own look at each exchange
    ExchangeQueue queue{serial, timeout, guard, clock,
                        {.log = [this](const std::string& s) { logged.push_back(s); },
                         .dropped = [this](const Dropped& d) { logged.push_back(describe(d)); },
                         .exchanged =
                             [this](const Request& r, const ExchangeResult& e) {
                                 if (exchanged) exchanged(r, e);
                             }}};
    // What the projector answers each line with; a line it does not know gets nothing.
    std::map<std::string, std::string> answers;
    std::size_t answered = 0; // lines of serial.writes seen by the projector

    BridgeRig() {
        clock.timers = {&timeout, &guard};
        serial.setPortOpen(true);
        serial.setEvents({[this](const std::string& bytes) { queue.received(bytes); }, {}});
    }
    // A line of a client's, with the reply its code expects.
    Submitted submit(ClientId client, const std::string& line, int timeoutMs, Done done) {
        return queue.submit(client, {line, timeoutMs, expectFor(codeOfLine(line))}, std::move(done));
    }
    // The projector answers every line written since it last looked, at once.
    void answer() {
        while (answered < serial.writes.size()) {
            const std::string line = serial.writes[answered++];
            if (auto it = answers.find(line); it != answers.end()) serial.receive(it->second);
        }
    }
};

} // namespace tova::test
