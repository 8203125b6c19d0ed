// SPDX-License-Identifier: MIT
#pragma once
// The serial control of the Windows programs: ports 1 and 2 lead to a serial port by name (COM1,
// COM10) or to tcp://HOST:PORT of a device server.
#include "link/link_serial_control.hpp"
#include "win32/dispatcher.hpp"

#include <memory>
#include <string>

namespace tova::win32 {

// The link a name leads to, not opened yet.
std::unique_ptr<Link> makeLink(const std::string& name, Dispatcher& dispatcher);

class Win32SerialControl : public LinkSerialControl {
  public:
    Win32SerialControl(const std::string& com1, const std::string& com2, Dispatcher& dispatcher)
        : LinkSerialControl([&dispatcher](const std::string& device) { return makeLink(device, dispatcher); }, com1, com2,
                            [&dispatcher](std::function<void()> f) { dispatcher.post(std::move(f)); }) {}
    // Where port n leads when no device is named.
    static std::string defaultDevice(int port) { return "COM" + std::to_string(port); }
};

} // namespace tova::win32
