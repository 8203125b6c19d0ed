// SPDX-License-Identifier: MIT
#pragma once
// The serial control of the Qt build: ports 1 and 2 lead to devices by name (a serial device, or
// tcp://HOST:PORT of a device server), each opened by the transport its name says.
#include "link/link_serial_control.hpp"
#include "qt/transport.hpp"

#include <QString>

#include <string>
#include <vector>

namespace tova {

namespace detail {
// Held before the links that read it.
struct ConsoleList {
    Consoles consoles;
};
} // namespace detail

class QtSerialControl : private detail::ConsoleList, public LinkSerialControl {
  public:
    QtSerialControl(const QString& com1, const QString& com2);
    // One device behind both ports, for the programs that take one device.
    explicit QtSerialControl(const QString& device) : QtSerialControl(device, device) {}

    // Where port n leads when no device is named: USB adapters on Linux, COM1 and COM2 on Windows.
    static QString defaultDevice(int port);

    // The system consoles this control refuses to open (by default the active ones).
    void setConsoles(std::vector<std::string> devices) { consoles = std::move(devices); }
};

} // namespace tova
