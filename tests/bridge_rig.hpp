// SPDX-License-Identifier: MIT
#pragma once
// The bridge's logic on a fake clock and a fake line, with a projector of the test's own that
// answers each line it recognises at once, after a delay, or not at all.
#include "bridge/exchange_queue.hpp"
#include "fakes.hpp"

#include <map>

namespace tova::test {

struct BridgeRig {
    FakeClock clock;
    FakeTimer timeout{clock}, guard{clock};
    FakeSerial serial{clock};
    bridge::ExchangeQueue queue{serial, timeout, guard};
    std::vector<std::string> logged;
    // What the projector answers each line with; a line it does not know gets nothing.
    std::map<std::string, std::string> answers;
    std::size_t answered = 0; // lines of serial.writes seen by the projector

    BridgeRig() {
        clock.timers = {&timeout, &guard};
        serial.setPortOpen(true);
        serial.setOnComm([this] { queue.received(serial.input()); });
        queue.log = [this](const std::string& s) { logged.push_back(s); };
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
