// SPDX-License-Identifier: MIT
#pragma once
// tova-send's command line, the same on every system.
#include "core/serial_ports.hpp"
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
    bool listPorts = false; // print the serial ports this computer has and end (JSON with json)
    bool json = false;
};

// The serial ports, one per line: the name to give --device, a tab, the system's words for it;
// or one JSON object per line.
std::string portListing(const std::vector<SerialPortInfo>& ports, bool json);

struct SendCommandLine {
    SendOptions options;
    cli::Outcome outcome; // go on, or end as it says (help, a usage error)
};

SendCommandLine parseSendCommandLine(const std::vector<std::string>& arguments);

} // namespace tova
