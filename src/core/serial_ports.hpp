// SPDX-License-Identifier: MIT
#pragma once
// The serial ports this computer has, as the system names them, in the order they are offered:
// on Linux the stable /dev/serial/by-id/ names first, then the ttyUSB, ttyACM and ttyS nodes with
// hardware behind them (a driver bound, and not the platform's 32 ttyS placeholders); on Windows
// the COM ports the system maps, by number, each with its device's friendly name. Listing opens
// no port, and never offers the system console.
#include <string>
#include <vector>

namespace tova {

struct SerialPortInfo {
    std::string path;        // what a COM button may lead to: "/dev/serial/by-id/...", "COM5"
    std::string description; // the system's words for the device ("USB Serial Port"), or empty
    bool operator==(const SerialPortInfo&) const = default;
};

// This computer's ports (each system's lister gives these). TOVA_PORTS_ROOT, when set, is a folder that stands for "/" (tests
// give one of their own, with links to pseudo-terminals).
std::vector<SerialPortInfo> serialPorts();
#ifndef _WIN32
// The ports under root, a folder standing for "/": its dev/ and sys/.
std::vector<SerialPortInfo> serialPortsUnder(const std::string& root);
#endif

// How a port reads in a menu, a box or a list: "COM5 (USB Serial Port)", or its path alone.
inline std::string portLabel(const SerialPortInfo& p) {
    return p.description.empty() ? p.path : p.path + " (" + p.description + ")";
}

} // namespace tova
