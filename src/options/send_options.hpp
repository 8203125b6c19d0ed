// SPDX-License-Identifier: MIT
#pragma once
// tova-send's command line, the same on every system.
#include "core/command_line.hpp"
#include "core/settings.hpp"
#include "send/send_run.hpp"

#include <string>
#include <vector>

namespace tova {

struct SendOptions {
    std::string device;
    LineSettings settings;
    send::Options run;
    bool list = false; // print the command codes and end
};

struct SendCommandLine {
    SendOptions options;
    cli::Outcome outcome; // go on, or end as it says (help, a usage error)
};

SendCommandLine parseSendCommandLine(const std::vector<std::string>& arguments);

} // namespace tova
