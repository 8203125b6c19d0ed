// SPDX-License-Identifier: MIT
#pragma once
// What the bridge's core serves, once the settings are read and checked, the password files
// read and the host names looked up: the line, each listener's projector and places, the web
// remote's access, the poller, the controllers told of changes.
#include "bridge/bridge_settings.hpp"
#include "bridge/client_bounds.hpp"
#include "bridge/pjlink/announcer.hpp"
#include "bridge/web/web_access.hpp"
#include "core/settings.hpp"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tova::bridge {

// A listener as the core serves it.
struct CoreListener {
    ClientKind kind = ClientKind::Pjlink;
    ProjectorConfig config; // PJLink: its projector, its password read
    SlotRules places;
};

struct CoreWeb {
    WebAccessConfig access;
    SlotRules places{kDefaultMaxHttp};
};

struct CorePlan {
    LineSettings settings;
    bool verbose = false;
    int pollSeconds = kDefaultPollSeconds;
    int controllerPort = kPjlinkPort;   // where controllers hear search answers and notifications
    std::vector<Endpoint> notify;       // addresses looked up
    std::vector<CoreListener> listeners;
    std::optional<CoreWeb> web;
    std::string version;                // /metrics's
};

// The most the bridge may hold at once: its base (20 MiB measured idle, with room) and every
// place taken by a client at its bounds (a PJLink or shared-line client's unsent replies and a
// read; a web connection's unsent responses and a request). The service's memory limit is this
// at the default places.
inline constexpr std::uint64_t kBaseMemory = std::uint64_t(32) << 20;
inline std::uint64_t mostMemory(const CorePlan& plan) {
    std::uint64_t bytes = kBaseMemory;
    for (const CoreListener& l : plan.listeners) bytes += std::uint64_t(l.places.size) * (OutputBound::kCloseAt + kClientReadChunk);
    if (plan.web) bytes += std::uint64_t(plan.web->places.size) * (OutputBound::kCloseAt + kMaxWebRequest);
    return bytes;
}

} // namespace tova::bridge
