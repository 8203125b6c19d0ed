// SPDX-License-Identifier: MIT
#pragma once
// tova-bridge's command line: its configuration file, and the settings it lays over the file's.
#include "bridge/bridge_settings.hpp"
#include "core/command_line.hpp"

#include <optional>
#include <string>
#include <vector>

namespace tova {

struct BridgeCommandLine {
    std::optional<std::string> config; // --config: the file to read first
    bridge::BridgeSettings settings;   // the command line's own
    cli::Outcome outcome;
};

BridgeCommandLine parseBridgeCommandLine(const std::vector<std::string>& arguments);

} // namespace tova
