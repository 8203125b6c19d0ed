// SPDX-License-Identifier: MIT
#pragma once
// tova-sim's command line.
#include "core/command_line.hpp"
#include "core/host_port.hpp"
#include "sim/projector.hpp"

#include <optional>
#include <string>
#include <vector>

namespace tova {

struct SimOptions {
    sim::ProjectorLine::Options line;
    std::optional<HostPort> listen; // raw TCP instead of a pseudo-terminal
    std::string link;               // a symbolic link to the device
};

struct SimCommandLine {
    SimOptions options;
    cli::Outcome outcome;
};

SimCommandLine parseSimCommandLine(const std::vector<std::string>& arguments);

} // namespace tova
