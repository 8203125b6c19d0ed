// SPDX-License-Identifier: MIT
#pragma once
// What the bridge's core serves, once the settings are read and checked, the password files
// read and the host names looked up: the line, each listener's projector and places, the web
// remote's access, the poller, the controllers told of changes.
#include "bridge/bridge_settings.hpp"
#include "bridge/pjlink/announcer.hpp"
#include "bridge/web/web_access.hpp"
#include "core/settings.hpp"

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

} // namespace tova::bridge
