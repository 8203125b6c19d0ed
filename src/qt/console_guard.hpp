// SPDX-License-Identifier: MIT
#pragma once
// The system console must never be taken over: on many servers and virtual machines the first
// serial port is it. Devices are compared by device number, so any name for one is caught.
// On Windows, where a COM port is never the console, both find nothing, on purpose.
#include <string>
#include <vector>

namespace tova {

// The active consoles as device paths ("/dev/ttyS0"), from sysRoot/class/tty/console/active;
// "tty0" stands for the virtual terminal in use and is resolved through sysRoot/class/tty/tty0.
std::vector<std::string> activeConsoles(const std::string& sysRoot = "/sys");

// The console among consoles that devicePath names (by device number), or empty.
std::string consoleBehind(const std::string& devicePath, const std::vector<std::string>& consoles);

} // namespace tova
