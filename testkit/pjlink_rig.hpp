// SPDX-License-Identifier: MIT
#pragma once
// One PJLink session on the fake clock, with the test's projector at the end of the line.
#include "bridge/pjlink/pjlink_session.hpp"
#include "bridge_rig.hpp"

#include <memory>

namespace tova::test {

struct PjlinkRig : BridgeRig {
    FakeTimer idle{clock};
    bridge::ProjectorConfig config;
    bridge::ProjectorState state{clock};
    std::unique_ptr<bridge::PjlinkSession> session;
    std::string sent;
    bool closed = false;
    std::function<void()> onRoom; // a test's own look at the session reading again

    explicit PjlinkRig(bridge::ProjectorConfig c = {}) : config(std::move(c)) {
        clock.timers.push_back(&idle);
        config.info = "tova-bridge 1.40.0";
        // The random values of the protocol's worked examples: the greeting's, and P of 2.10.
        auto random = [](std::size_t digits) {
            return std::string(digits == 8 ? "498e4a67" : "3db25e10f69c47a85adb24cf361897e0");
        };
        session = std::make_unique<bridge::PjlinkSession>(
            1, config, state, queue, idle, random,
            bridge::PjlinkSession::Callbacks{.send = [this](const std::string& s) { sent += s; },
                                             .close = [this] { closed = true; },
                                             .room = [this] {
                                                 if (onRoom) onRoom();
                                             }});
        session->start();
        sent.clear();
    }
    // A request; the projector answers from answers, and time runs out for what it does not.
    std::string ask(const std::string& request) {
        sent.clear();
        session->received(request + "\r");
        for (int i = 0; i < 4 && sent.empty(); ++i) {
            answer();
            if (sent.empty()) clock.advance(5100);
        }
        return sent;
    }
};

} // namespace tova::test
